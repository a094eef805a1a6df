// The clipboard readers of the Linux program. GetClipboardText chooses among
// them at run time; nothing outside the platform layer sees them.
#ifndef KLAVEDO_CLIPBOARD_READERS_H
#define KLAVEDO_CLIPBOARD_READERS_H

#include "platform.h"

// The X11 CLIPBOARD selection. When no X server can be reached it writes the
// diagnostic to standard error and ends the process with status 3.
ClipboardResult ReadX11Clipboard();

// The clipboard of a Wayland session, read through wl-paste. Returns false,
// leaving result alone, when there is no Wayland clipboard to read:
// WAYLAND_DISPLAY unset, wl-paste not on PATH, or the compositor's socket
// refusing connections. Otherwise result holds the text or no text.
bool ReadWaylandClipboard(ClipboardResult &result);

#endif
