#include "app/platform/WindowManagerHints.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <cstring>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

namespace talvane {

bool OnWayland() { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

void KeepFixedSizeWindowed(QWidget* window) {
    QWindow* handle = window->windowHandle();
    if (!handle || handle->property("talvaneKeptWindowed").toBool()) return;
    handle->setProperty("talvaneKeptWindowed", true);
    QObject::connect(handle, &QWindow::windowStateChanged, window, [window, handle] {
        const Qt::WindowStates states = handle->windowStates();
        if (!(states & (Qt::WindowMaximized | Qt::WindowFullScreen))) return;
        if (window->minimumSize() != window->maximumSize()) return;
        // Asked back at once, so the compositor answers both requests with one configure
        // that leaves the window at its own size.
        handle->setWindowStates(states & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
    });
}

void TypeAsFixedToolWindow([[maybe_unused]] QWidget* window) {
#if QT_CONFIG(xcb)
    // The offscreen platform answers as an X11 application too, with no connection.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !x11 || !x11->connection())
        return;
    xcb_connection_t* connection = x11->connection();
    auto atom = [connection](const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return atom;
    };
    // Qt types a tool window a utility window and asks in its Motif hints for no minimise or
    // maximise button; openbox, for one, reads only the type and gives those buttons to every
    // type but toolbars and menus. A toolbar first, then, and a utility window for window
    // managers that know no toolbars. Written on Qt's own connection, so it reaches the
    // window manager before the window is mapped.
    const xcb_atom_t types[] = {atom("_NET_WM_WINDOW_TYPE_TOOLBAR"),
                                atom("_NET_WM_WINDOW_TYPE_UTILITY")};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, xcb_window_t(window->winId()),
                        atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 2, types);
#endif
}

}  // namespace talvane
