#include "framework/widgets.h"

#include "framework/flatbutton.h"
#include "framework/fonts.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>

QLabel *placedLabel(QWidget *parent, const char *name, const QString &text, const QRect &geometry, Qt::Alignment align)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setAlignment(align);
    QRect r = geometry;
    const QSize hint = l->sizeHint();
    if (r.width() < hint.width()) {
        if (align & Qt::AlignRight)
            r.setLeft(r.right() - hint.width() + 1);
        else
            r.setWidth(hint.width());
    }
    r.setHeight(std::max(r.height(), hint.height()));
    l->setGeometry(r);
    return l;
}

QGroupBox *placedGroupBox(QWidget *parent, const char *name, const QString &caption, const QRect &geometry)
{
    auto *g = new QGroupBox(caption, parent);
    g->setObjectName(QString::fromLatin1(name));
    g->setGeometry(geometry);
    g->setAccessibleName(caption.trimmed());
    return g;
}

FlatButton *placedFlatButton(QWidget *parent, const char *name, const QString &caption, const QRect &geometry)
{
    auto *b = new FlatButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(geometry);
    return b;
}

void paintAsField(QWidget *w)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Base, QApplication::palette().color(QPalette::ToolTipBase));
    w->setPalette(p);
}

QLabel *silverHeading(QWidget *parent, const char *name, const QString &text, const QRect &geometry)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(geometry);
    QFont f = windowsFont(QStringLiteral("Verdana"), 8, true);
    f.setPixelSize(27);
    f.setItalic(true);
    l->setFont(f);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, QColor(192, 192, 192));
    l->setPalette(p);
    l->setAccessibleName(text);
    // Verdana's stand-in runs wider: the heading grows rather than losing letters.
    if (l->sizeHint().width() > geometry.width())
        l->resize(l->sizeHint().width(), geometry.height());
    return l;
}

bool swallowDialogKey(QKeyEvent *e)
{
    if (e->key() != Qt::Key_Escape && e->key() != Qt::Key_Return && e->key() != Qt::Key_Enter)
        return false;
    e->accept();
    return true;
}

void centreOnScreen(QWidget *w)
{
    if (const QScreen *s = w->screen())
        w->move(s->availableGeometry().center() - QPoint(w->frameGeometry().width() / 2, w->frameGeometry().height() / 2));
}
