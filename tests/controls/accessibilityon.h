#pragma once

// Qt's accessibility switched on in this process, as the platform's bridge
// switches it on when a screen reader listens: the widgets then build their
// accessible interfaces and send their updates, and each update reaches the
// given handler instead of a bridge. Works on the offscreen platform, whose
// accessibility is Qt's plain one.

#include <QAccessible>
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
#include <functional>
#include <utility>

class AccessibilityOn
{
public:
    using Handler = std::function<void(QAccessibleEvent *)>;
    explicit AccessibilityOn(Handler handler)
    {
        s_handler = std::move(handler);
        m_previous = QAccessible::installUpdateHandler([](QAccessibleEvent *e) { s_handler(e); });
        platform()->setActive(true);
    }
    ~AccessibilityOn()
    {
        platform()->setActive(false);
        QAccessible::installUpdateHandler(m_previous);
        s_handler = nullptr;
    }
    AccessibilityOn(const AccessibilityOn &) = delete;
    AccessibilityOn &operator=(const AccessibilityOn &) = delete;

private:
    // Qt keeps the switch in its platform classes, which only its private headers publish.
    static QPlatformAccessibility *platform() { return QGuiApplicationPrivate::platformIntegration()->accessibility(); }
    static inline Handler s_handler;
    QAccessible::UpdateHandler m_previous = nullptr;
};
