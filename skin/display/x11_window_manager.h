#pragma once
// Whether the X server named by DISPLAY runs a window manager. Xlib's names stay in the .cpp: they
// clash with ours (Display, Window, None).

// True when a window manager announces itself on the root window, and whenever the question
// cannot be asked (no Xlib in the build, no connection): then full screen is assumed to work.
bool x11_has_window_manager();
