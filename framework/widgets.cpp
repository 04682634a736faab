#include "framework/widgets.h"

#include "framework/flatbutton.h"
#include "framework/fonts.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>

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

QPushButton *placedPushButton(QWidget *parent, const char *name, const QString &caption, const QRect &geometry)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
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

namespace {

// What one window's manager has told about its frame, and what is to be
// done again once the frame is there. A window that is already on the
// screen has its frame; one that is about to show gets it before it is
// first exposed.
class WindowFrame : public QObject
{
public:
    static WindowFrame *of(QWidget *w)
    {
        if (auto *f = w->findChild<QObject *>(Name, Qt::FindDirectChildrenOnly))
            return static_cast<WindowFrame *>(f);
        return new WindowFrame(w);
    }

    void centreNowAndWhenFramed()
    {
        m_centre = true;
        watchNativeWindow();
        place(m_window->size());
        if (m_watched && m_watched->isExposed())
            framed();
    }

    void sizeWhenFramed(const QSize &outer)
    {
        m_outer = outer;
        m_window->resize(outer.shrunkBy(m_margins));
        watchNativeWindow();
        if (m_watched && m_watched->isExposed())
            framed();
    }

    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (o == m_window && e->type() == QEvent::Show)
            watchNativeWindow();
        else if (o == m_watched && e->type() == QEvent::Expose && m_watched->isExposed())
            framed();
        return false;
    }

private:
    static constexpr const char *Name = "windowFrame";

    explicit WindowFrame(QWidget *w) : QObject(w), m_window(w)
    {
        setObjectName(QString::fromLatin1(Name));
        w->installEventFilter(this);
    }

    // The native window exists from the first showing on.
    void watchNativeWindow()
    {
        QWindow *native = m_window->windowHandle();
        if (native && native != m_watched) {
            native->installEventFilter(this);
            m_watched = native;
        }
    }

    void framed()
    {
        m_margins = m_watched->frameMargins();
        QSize size = m_window->size();
        if (m_outer.isValid()) {
            size = m_outer.shrunkBy(m_margins);
            m_outer = QSize();
        }
        if (m_centre) {
            m_centre = false;
            place(size);
        } else if (size != m_window->size()) {
            m_window->resize(size);
        }
    }

    // Size and place in one go, by the window itself: how a position of
    // the frame turns into one of the window depends on what the window
    // system has been told about the frame so far.
    void place(const QSize &size)
    {
        const QScreen *s = m_window->screen();
        if (!s)
            return;
        const QSize outer = size.grownBy(m_margins);
        const QPoint frame = s->availableGeometry().center() - QPoint(outer.width() / 2, outer.height() / 2);
        m_window->setGeometry(QRect(frame + QPoint(m_margins.left(), m_margins.top()), size));
    }

    QWidget *m_window;
    QPointer<QWindow> m_watched;
    QMargins m_margins;
    QSize m_outer;
    bool m_centre = false;
};

class ModalWindowsOnScreen : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() != QEvent::WindowStateChange || !o->isWidgetType())
            return false;
        auto *w = static_cast<QWidget *>(o);
        if (w->isWindow() && w->isMinimized() && QApplication::activeModalWidget()) {
            // Not from inside the window manager's own change.
            QTimer::singleShot(0, w, [w] {
                if (w->isMinimized())
                    w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
            });
        }
        return false;
    }
};

} // namespace

void centreOnScreen(QWidget *w)
{
    WindowFrame::of(w)->centreNowAndWhenFramed();
}

void setOuterSize(QWidget *w, const QSize &outer)
{
    WindowFrame::of(w)->sizeWhenFramed(outer);
}

void keepModalWindowsOnScreen(QApplication &app)
{
    app.installEventFilter(new ModalWindowsOnScreen(&app));
}
