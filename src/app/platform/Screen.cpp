#include "app/platform/Screen.h"

#include <QGuiApplication>
#include <QScreen>

namespace talvane::Screen {

float Width() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? float(PixelsToTwips(screen->geometry().width())) : 0.0f;
}

float Height() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? float(PixelsToTwips(screen->geometry().height())) : 0.0f;
}

}  // namespace talvane::Screen
