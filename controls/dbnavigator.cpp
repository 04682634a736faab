#include "dbnavigator.h"

#include "controls/dbgrid.h"
#include "framework/messages.h"

#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace {

const char *const ButtonNames[] = {"nbFirst", "nbPrior", "nbNext", "nbLast", "nbInsert",
                                   "nbDelete", "nbEdit", "nbPost", "nbCancel", "nbRefresh"};
const char *const AccessibleNames[] = {"Erster Datensatz", "Vorheriger Datensatz", "Nächster Datensatz", "Letzter Datensatz",
                                       "Datensatz einfügen", "Datensatz löschen", "Datensatz bearbeiten",
                                       "Datensatz speichern", "Bearbeitung abbrechen", "Daten aktualisieren"};

// Our own small glyphs, drawn so that they scale with the button.
QIcon glyph(DBNavigator::Button b)
{
    QPixmap pm(12, 12);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0, 0, 0);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    auto triangle = [&](qreal x, bool right) {
        QPainterPath path;
        if (right) {
            path.moveTo(x, 2);
            path.lineTo(x + 5, 6);
            path.lineTo(x, 10);
        } else {
            path.moveTo(x + 5, 2);
            path.lineTo(x, 6);
            path.lineTo(x + 5, 10);
        }
        path.closeSubpath();
        p.drawPath(path);
    };
    switch (b) {
    case DBNavigator::nbFirst: p.drawRect(QRectF(2, 2, 1.5, 8)); triangle(4, false); break;
    case DBNavigator::nbPrior: triangle(3.5, false); break;
    case DBNavigator::nbNext: triangle(3.5, true); break;
    case DBNavigator::nbLast: triangle(3, true); p.drawRect(QRectF(8.5, 2, 1.5, 8)); break;
    case DBNavigator::nbInsert: p.drawRect(QRectF(5.25, 2, 1.5, 8)); p.drawRect(QRectF(2, 5.25, 8, 1.5)); break;
    case DBNavigator::nbDelete: p.drawRect(QRectF(2, 5.25, 8, 1.5)); break;
    case DBNavigator::nbEdit: {
        QPainterPath path;
        path.moveTo(2, 10);
        path.lineTo(3, 7);
        path.lineTo(8, 2);
        path.lineTo(10, 4);
        path.lineTo(5, 9);
        path.closeSubpath();
        p.drawPath(path);
        break;
    }
    case DBNavigator::nbPost: {
        p.setPen(QPen(QColor(0, 128, 0), 2));
        p.setBrush(Qt::NoBrush);
        QPainterPath path;
        path.moveTo(2, 6);
        path.lineTo(5, 9);
        path.lineTo(10, 3);
        p.drawPath(path);
        break;
    }
    case DBNavigator::nbCancel:
        p.setPen(QPen(QColor(160, 0, 0), 2));
        p.drawLine(QPointF(3, 3), QPointF(9, 9));
        p.drawLine(QPointF(9, 3), QPointF(3, 9));
        break;
    case DBNavigator::nbRefresh:
        p.setPen(QPen(ink, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(2.5, 2.5, 7, 7), 30 * 16, 290 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawPolygon(QPolygonF({QPointF(7, 1), QPointF(10.5, 3), QPointF(7, 5.5)}));
        break;
    default: break;
    }
    return QIcon(pm);
}

} // namespace

DBNavigator::DBNavigator(QWidget *parent)
    : QWidget(parent), m_link([this](Notification n, Field *) {
          if (n != Notification::HandOver && n != Notification::SettleRequest)
              updateEnabled();
      })
{
    for (int i = 0; i < ButtonCount; ++i) {
        auto *b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(ButtonNames[i]));
        b->setAccessibleName(QString::fromUtf8(AccessibleNames[i]));
        b->setIcon(glyph(Button(i)));
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(i == nbPrior || i == nbNext);
        connect(b, &QToolButton::clicked, this, [this, i] { guarded([&] { click(Button(i)); }); });
        m_buttons[size_t(i)] = b;
        m_visible[size_t(i)] = true;
    }
    updateEnabled();
}

void DBNavigator::setDataSource(DataSource *ds)
{
    m_link.setDataSource(ds);
    updateEnabled();
}

void DBNavigator::setVisibleButtons(std::initializer_list<Button> buttons)
{
    m_visible.fill(false);
    for (Button b : buttons)
        m_visible[size_t(b)] = true;
    for (int i = 0; i < ButtonCount; ++i)
        m_buttons[size_t(i)]->setVisible(m_visible[size_t(i)]);
    layoutButtons();
}

QSize DBNavigator::sizeHint() const
{
    int count = 0;
    for (bool v : m_visible)
        count += v ? 1 : 0;
    return {25 * count, 18};
}

void DBNavigator::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    layoutButtons();
}

void DBNavigator::layoutButtons()
{
    int count = 0;
    for (bool v : m_visible)
        count += v ? 1 : 0;
    if (count == 0)
        return;
    // Whole pixels: the first buttons take the remainder, so the row fills the width exactly.
    const int base = width() / count, extra = width() % count;
    int x = 0, k = 0;
    for (int i = 0; i < ButtonCount; ++i) {
        if (!m_visible[size_t(i)])
            continue;
        const int w = base + (k++ < extra ? 1 : 0);
        m_buttons[size_t(i)]->setGeometry(x, 0, w, height());
        x += w;
    }
}

void DBNavigator::updateEnabled()
{
    RecordSet *rs = m_link.dataSet();
    const bool open = rs && rs->Active();
    const bool editing = m_link.editing();
    const std::array<bool, ButtonCount> on = {
        open && !rs->Bof(), open && !rs->Bof(), open && !rs->Eof(), open && !rs->Eof(),
        open, open && !rs->IsEmpty(), open && !editing, open && editing, open && editing, open,
    };
    for (int i = 0; i < ButtonCount; ++i)
        m_buttons[size_t(i)]->setEnabled(on[size_t(i)]);
}

void DBNavigator::click(Button b)
{
    RecordSet *rs = m_link.dataSet();
    if (!rs || !rs->Active())
        return;
    switch (b) {
    case nbFirst: rs->First(); break;
    case nbPrior: rs->Prior(); break;
    case nbNext: rs->Next(); break;
    case nbLast: rs->Last(); break;
    case nbInsert:
        rs->Insert();
        focusGridOfNewRow();
        break;
    case nbDelete:
        if (confirmOkCancel(QStringLiteral("Datensatz löschen?")))
            rs->Delete();
        break;
    case nbEdit: rs->Edit(); break;
    case nbPost: rs->Post(); break;
    case nbCancel: rs->Cancel(); break;
    case nbRefresh: rs->Refresh(); break;
    case ButtonCount: return;
    }
    if (m_onClick)
        m_onClick(b);
}

void DBNavigator::focusGridOfNewRow()
{
    // The buttons take no focus, so without this the keys would go on to
    // whatever had it before: a button that a blank presses, or a field of
    // another row. The new row is typed where it shows.
    for (DBGrid *grid : window()->findChildren<DBGrid *>())
        if (grid->dataSource() == m_link.dataSource() && grid->isVisible()) {
            grid->setFocus(Qt::OtherFocusReason);
            return;
        }
}
