#include "skin/display/x11_window_manager.h"

#ifdef QUILLON_HAVE_X11
#include <X11/Xatom.h>
#include <X11/Xlib.h>

bool x11_has_window_manager() {
    // A window manager that follows the desktop's conventions names its own window on the root
    // window; without one nothing reads the full-screen state a window asks for.
    Display* display = XOpenDisplay(nullptr);
    if (!display) return true;
    bool found = false;
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check != None) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type, &format,
                               &count, &after, &data) == Success) {
            found = type == XA_WINDOW && count == 1;
        }
        if (data) XFree(data);
    }
    XCloseDisplay(display);
    return found;
}
#else
bool x11_has_window_manager() { return true; }
#endif
