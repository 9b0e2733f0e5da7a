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

namespace {
// Lets a fixed-size window take the size a compositor gives it in a maximised or full-screen
// state, and fixes it again once it is back at its own size: a Wayland compositor ends a
// client whose maximised window keeps its own size.
class WindowedKeeper : public QObject {
public:
    WindowedKeeper(QWidget* window, QWindow* handle) : QObject(window), w_(window), h_(handle) {
        connect(handle, &QWindow::windowStateChanged, this, [this] { StateChanged(); });
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize && relaxed_ && !Enlarged() && w_->size() == fixed_) {
            relaxed_ = false;
            w_->setFixedSize(fixed_);
        }
        return false;
    }

private:
    bool Enlarged() const {
        return bool(h_->windowStates() & (Qt::WindowMaximized | Qt::WindowFullScreen));
    }
    void StateChanged() {
        if (relaxed_ || !Enlarged() || w_->minimumSize() != w_->maximumSize()) return;
        relaxed_ = true;
        fixed_ = w_->size();
        w_->setMinimumSize(0, 0);
        w_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }

    QWidget* w_;
    QWindow* h_;
    QSize fixed_;
    bool relaxed_ = false;
};
}  // namespace

void KeepFixedSizeWindowed(QWidget* window) {
    QWindow* handle = window->windowHandle();
    if (!handle || window->property("talvaneKeptWindowed").toBool()) return;
    window->setProperty("talvaneKeptWindowed", true);
    new WindowedKeeper(window, handle);
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
