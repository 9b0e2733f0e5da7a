#pragma once
// What a window manager is told about a window beyond what Qt tells it.

class QWidget;

namespace talvane {

// Whether the program is a native Wayland client, where the toolkit draws the frames (unless
// the compositor offers to) and the compositor alone places windows and gives the keyboard.
bool OnWayland();

// Lets `window`, once it has a native window, take a maximised or full-screen state that its
// frame or the compositor asks for while its size is fixed, and fixes its size again when it
// is back: a Wayland compositor ends a client whose window does not take the size given.
void KeepFixedSizeWindowed(QWidget* window);

// Types `window`, a fixed-size tool window about to be mapped, so that an X11 window manager
// frames it with a close box only. Does nothing elsewhere (Wayland, offscreen).
void TypeAsFixedToolWindow(QWidget* window);

}  // namespace talvane
