#pragma once

// What the window manager made of the program's windows, read over a
// connection of the test's own, and the requests a user makes through the
// window manager: title-bar commands as client messages, a drag of the
// border as real pointer input (XTEST).

#include <QList>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

namespace x11 {

// _MOTIF_WM_HINTS, as Motif defines them.
enum : quint32 {
    HintFunctions = 1u << 0,
    HintDecorations = 1u << 1,
    FuncAll = 1u << 0,
    FuncResize = 1u << 1,
    FuncMove = 1u << 2,
    FuncMinimize = 1u << 3,
    FuncMaximize = 1u << 4,
    FuncClose = 1u << 5,
    DecorAll = 1u << 0,
    DecorTitle = 1u << 3,
    DecorMenu = 1u << 4,
    DecorMinimize = 1u << 5,
    DecorMaximize = 1u << 6,
};

struct MotifHints
{
    quint32 flags = 0;
    quint32 functions = 0;
    quint32 decorations = 0;

    // What the window allows, as a window manager that follows the hints reads them.
    bool allows(quint32 function) const
    {
        if (!(flags & HintFunctions))
            return true;
        return (functions & FuncAll) ? !(functions & function) : (functions & function) != 0;
    }
    bool decorates(quint32 decoration) const
    {
        if (!(flags & HintDecorations))
            return true;
        return (decorations & DecorAll) ? !(decorations & decoration) : (decorations & decoration) != 0;
    }
};

class Display
{
public:
    Display()
    {
        int screenNumber = 0;
        m_c = xcb_connect(nullptr, &screenNumber);
        if (xcb_connection_has_error(m_c))
            qFatal("no X display");
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_c));
        for (int i = 0; i < screenNumber; ++i)
            xcb_screen_next(&it);
        m_root = it.data->root;
    }
    ~Display() { xcb_disconnect(m_c); }
    Display(const Display &) = delete;
    Display &operator=(const Display &) = delete;

    xcb_window_t root() const { return m_root; }

    xcb_atom_t atom(const char *name)
    {
        auto *r = xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, quint16(strlen(name)), name), nullptr);
        const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(r);
        return a;
    }

    QString atomName(xcb_atom_t a)
    {
        auto *r = xcb_get_atom_name_reply(m_c, xcb_get_atom_name(m_c, a), nullptr);
        if (!r)
            return QString();
        const QString name = QString::fromLatin1(xcb_get_atom_name_name(r), xcb_get_atom_name_name_length(r));
        std::free(r);
        return name;
    }

    // A property of 32-bit items, whatever its type.
    QList<quint32> property32(xcb_window_t w, const char *name)
    {
        QList<quint32> out;
        auto *r = xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, w, atom(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 64), nullptr);
        if (r && r->format == 32) {
            const auto *v = static_cast<const quint32 *>(xcb_get_property_value(r));
            for (int i = 0; i < xcb_get_property_value_length(r) / 4; ++i)
                out << v[i];
        }
        std::free(r);
        return out;
    }

    QStringList atoms(xcb_window_t w, const char *name)
    {
        QStringList out;
        for (quint32 a : property32(w, name))
            out << atomName(a);
        return out;
    }

    MotifHints motif(xcb_window_t w)
    {
        const QList<quint32> v = property32(w, "_MOTIF_WM_HINTS");
        MotifHints h;
        if (v.size() >= 3) {
            h.flags = v[0];
            h.functions = v[1];
            h.decorations = v[2];
        }
        return h;
    }

    // Left, top, right, bottom, as the window manager has announced them;
    // null before it has framed the window.
    QMargins frameExtents(xcb_window_t w)
    {
        const QList<quint32> v = property32(w, "_NET_FRAME_EXTENTS");
        return v.size() == 4 ? QMargins(int(v[0]), int(v[2]), int(v[1]), int(v[3])) : QMargins();
    }

    // The window itself, in screen coordinates.
    QRect clientGeometry(xcb_window_t w)
    {
        QRect rect;
        auto *g = xcb_get_geometry_reply(m_c, xcb_get_geometry(m_c, w), nullptr);
        auto *t = xcb_translate_coordinates_reply(m_c, xcb_translate_coordinates(m_c, w, m_root, 0, 0), nullptr);
        if (g && t)
            rect = QRect(t->dst_x, t->dst_y, g->width, g->height);
        std::free(g);
        std::free(t);
        return rect;
    }

    QRect outerGeometry(xcb_window_t w) { return clientGeometry(w).marginsAdded(frameExtents(w)); }

    bool viewable(xcb_window_t w)
    {
        auto *r = xcb_get_window_attributes_reply(m_c, xcb_get_window_attributes(m_c, w), nullptr);
        const bool v = r && r->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(r);
        return v;
    }

    // A request to the window manager about a window, as pagers and task
    // bars send them.
    void ask(xcb_window_t w, const char *type, QList<quint32> data)
    {
        xcb_client_message_event_t e{};
        e.response_type = XCB_CLIENT_MESSAGE;
        e.format = 32;
        e.window = w;
        e.type = atom(type);
        for (int i = 0; i < 5 && i < data.size(); ++i)
            e.data.data32[i] = data[i];
        xcb_send_event(m_c, 0, m_root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&e));
        xcb_flush(m_c);
    }

    void minimise(xcb_window_t w) { ask(w, "WM_CHANGE_STATE", {3 /* IconicState */}); }

    void maximise(xcb_window_t w, bool on)
    {
        ask(w, "_NET_WM_STATE",
            {on ? 1u : 0u, atom("_NET_WM_STATE_MAXIMIZED_VERT"), atom("_NET_WM_STATE_MAXIMIZED_HORZ"), 2 /* pager */});
    }

    void close(xcb_window_t w) { ask(w, "_NET_CLOSE_WINDOW", {0, 2 /* pager */}); }

    // Presses the first button at `from`, moves the pointer to `to` in a few
    // steps and lets go, as a hand on the mouse would.
    void drag(QPoint from, QPoint to)
    {
        const auto input = [this](quint8 type, quint8 detail, QPoint p) {
            xcb_test_fake_input(m_c, type, detail, XCB_CURRENT_TIME, m_root, qint16(p.x()), qint16(p.y()), 0);
            xcb_flush(m_c);
            QTest::qWait(30);
        };
        input(XCB_MOTION_NOTIFY, 0, from);
        input(XCB_BUTTON_PRESS, 1, from);
        for (int step = 1; step <= 4; ++step)
            input(XCB_MOTION_NOTIFY, 0, from + (to - from) * step / 4);
        input(XCB_BUTTON_RELEASE, 1, to);
    }

private:
    xcb_connection_t *m_c = nullptr;
    xcb_window_t m_root = 0;
};

} // namespace x11
