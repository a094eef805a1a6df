// A private headless Wayland compositor for the tests, and real clipboard
// owners on it made with wl-copy.
#ifndef KLAVEDO_TEST_WAYLAND_SESSION_H
#define KLAVEDO_TEST_WAYLAND_SESSION_H

#include <string>

// Starts sway headless as an unprivileged user, in a runtime folder of its
// own, and points XDG_RUNTIME_DIR and WAYLAND_DISPLAY (the socket's name) at
// it. False when it could not be started.
bool StartCompositor();
void StopCompositor();

// The compositor's socket as an absolute path.
std::string CompositorSocketPath();

// Makes wl-copy offer these bytes (as the given MIME type, or as text when
// type is empty) and waits until the offer can be seen. A silent owner
// offers the type but never sends a byte of it.
bool OwnWaylandClipboard(const std::string &bytes, const std::string &type = "",
                         bool silent = false);
// Ends the current owner, so that there is no selection.
bool ClearWaylandClipboard();

#endif
