#pragma once
// What a window manager is told about a window beyond what Qt tells it.

class QWidget;

namespace talvane {

// Types `window`, a fixed-size tool window about to be mapped, so that an X11 window manager
// frames it with a close box only. Does nothing elsewhere (Wayland, offscreen).
void TypeAsFixedToolWindow(QWidget* window);

}  // namespace talvane
