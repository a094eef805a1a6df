// The clipboard on Linux. A Wayland session's own clipboard comes first; the
// X11 selection serves X11 sessions, and also Wayland desktops that mirror
// their clipboard to XWayland when wl-paste is not installed.
#include "clipboard_readers.h"

ClipboardResult GetClipboardText()
{
    ClipboardResult result = {false, nullptr, 0, 1};
    if (ReadWaylandClipboard(result))
        return result;
    return ReadX11Clipboard();
}
