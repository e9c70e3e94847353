#include <QByteArray>
#include <QGuiApplication>

#include "platform/compositor.h"

// Xlib's macros (Status, Bool, None) break Qt headers included after it.
#include <X11/Xlib.h>

namespace tallyra {

bool HasCompositor() {
    if (QGuiApplication::platformName() == QLatin1String("wayland")) return true;
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return false;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    // A compositing manager owns the selection _NET_WM_CM_S<screen>.
    const QByteArray atom = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(display));
    const bool owned =
        XGetSelectionOwner(display, XInternAtom(display, atom.constData(), False)) != None;
    XCloseDisplay(display);
    return owned;
}

}  // namespace tallyra
