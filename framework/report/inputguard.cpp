#include "inputguard.h"

#include <QApplication>
#include <QEvent>

namespace rpt {

InputGuard::InputGuard()
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    for (QWidget *w : QApplication::topLevelWidgets())
        m_before.append(w);
    qApp->installEventFilter(this);
    m_active = true;
}

InputGuard::~InputGuard() { release(); }

void InputGuard::release()
{
    if (!m_active)
        return;
    qApp->removeEventFilter(this);
    m_active = false;
}

bool InputGuard::blocks(QObject *receiver) const
{
    // Input reaches widgets; a shortcut reaches its action or shortcut object,
    // which belongs to the widget it sits on.
    QObject *o = receiver;
    while (o && !o->isWidgetType())
        o = o->parent();
    if (!o)
        return receiver && !receiver->isWindowType();
    const QWidget *window = static_cast<QWidget *>(o)->window();
    for (const QPointer<QWidget> &w : m_before)
        if (w == window)
            return true;
    return false;
}

bool InputGuard::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::Close:
        if (blocks(watched)) {
            event->ignore();
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace rpt
