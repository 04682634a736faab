#include "icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace rpt {

namespace {

// Drawn on a 16 x 16 grid, painted at twice that for sharp high-density screens.
constexpr int Grid = 16;

const QColor Ink(40, 40, 40);
const QColor Blue(30, 90, 170);
const QColor Paper(252, 252, 252);

void magnifier(QPainter &p)
{
    p.setPen(QPen(Ink, 1.4));
    p.setBrush(QColor(220, 235, 250));
    p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    p.setPen(QPen(Ink, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9.5, 9.5), QPointF(14, 14));
}

void triangle(QPainter &p, bool right, double x)
{
    QPolygonF t;
    if (right)
        t << QPointF(x, 3) << QPointF(x + 6, 8) << QPointF(x, 13);
    else
        t << QPointF(x + 6, 3) << QPointF(x, 8) << QPointF(x + 6, 13);
    p.setPen(Qt::NoPen);
    p.setBrush(Blue);
    p.drawPolygon(t);
}

void bar(QPainter &p, double x)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Blue);
    p.drawRect(QRectF(x, 3, 2, 10));
}

void printer(QPainter &p)
{
    p.setPen(QPen(Ink, 1));
    p.setBrush(Paper);
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    p.setBrush(QColor(170, 170, 170));
    p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1, 1);
    p.setBrush(Paper);
    p.drawRect(QRectF(4.5, 10.5, 7, 4));
    p.setPen(QPen(QColor(0, 160, 0), 1));
    p.drawPoint(QPointF(12.5, 8.5));
}

void draw(QPainter &p, PreviewIcon which)
{
    switch (which) {
    case PreviewIcon::ZoomFit:
        magnifier(p);
        p.setPen(QPen(Ink, 1));
        p.setBrush(Paper);
        p.drawRect(QRectF(4.5, 3.5, 3, 4));
        break;
    case PreviewIcon::Zoom100: {
        magnifier(p);
        p.setPen(QPen(Ink, 1.2));
        p.drawLine(QPointF(6, 3.5), QPointF(6, 8.5));
        p.drawLine(QPointF(4.8, 4.6), QPointF(6, 3.5));
        break;
    }
    case PreviewIcon::ZoomWidth:
        magnifier(p);
        p.setPen(QPen(Ink, 1));
        p.drawLine(QPointF(3.5, 6), QPointF(8.5, 6));
        p.drawLine(QPointF(3.5, 6), QPointF(5, 4.5));
        p.drawLine(QPointF(3.5, 6), QPointF(5, 7.5));
        p.drawLine(QPointF(8.5, 6), QPointF(7, 4.5));
        p.drawLine(QPointF(8.5, 6), QPointF(7, 7.5));
        break;
    case PreviewIcon::FirstPage:
        bar(p, 3);
        triangle(p, false, 6);
        break;
    case PreviewIcon::PriorPage:
        triangle(p, false, 5);
        break;
    case PreviewIcon::NextPage:
        triangle(p, true, 5);
        break;
    case PreviewIcon::LastPage:
        triangle(p, true, 4);
        bar(p, 11);
        break;
    case PreviewIcon::GoToPage: {
        p.setPen(QPen(Ink, 1));
        p.setBrush(Paper);
        p.drawRect(QRectF(2.5, 1.5, 9, 13));
        p.setPen(QPen(Blue, 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6, 8), QPointF(14, 8));
        p.drawLine(QPointF(11, 5), QPointF(14, 8));
        p.drawLine(QPointF(11, 11), QPointF(14, 8));
        break;
    }
    case PreviewIcon::PrinterSetup:
        printer(p);
        p.setPen(QPen(Blue, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(9.5, 9.5, 5, 5));
        break;
    case PreviewIcon::Print:
        printer(p);
        break;
    case PreviewIcon::Save: {
        p.setPen(QPen(Ink, 1));
        p.setBrush(Blue);
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Paper);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(4.5, 9.5, 7, 5));
        break;
    }
    case PreviewIcon::Load: {
        p.setPen(QPen(Ink, 1));
        p.setBrush(QColor(230, 190, 80));
        QPainterPath back;
        back.moveTo(1.5, 13.5);
        back.lineTo(1.5, 3.5);
        back.lineTo(5.5, 3.5);
        back.lineTo(7, 5);
        back.lineTo(12.5, 5);
        back.lineTo(12.5, 13.5);
        back.closeSubpath();
        p.drawPath(back);
        p.setBrush(QColor(250, 215, 110));
        QPolygonF front;
        front << QPointF(1.5, 13.5) << QPointF(4, 7.5) << QPointF(15, 7.5) << QPointF(12.5, 13.5);
        p.drawPolygon(front);
        break;
    }
    }
}

} // namespace

QIcon previewIcon(PreviewIcon which)
{
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pm(Grid * scale, Grid * scale);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.scale(scale, scale);
        draw(p, which);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

} // namespace rpt
