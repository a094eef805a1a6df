// A private X server for the tests and a real clipboard owner on it.
#ifndef KLAVEDO_TEST_X11_CLIPBOARD_H
#define KLAVEDO_TEST_X11_CLIPBOARD_H

#include <string>

// Starts Xvfb on a free display and points DISPLAY at it. False when it
// could not be started.
bool StartXServer();
void StopXServer();

// Makes a clipboard owner that offers these bytes (as the given target type,
// or as text when type is empty), and waits until it owns the selection.
bool OwnClipboard(const std::string &bytes, const std::string &type = "");
// Ends the current owner, so that the clipboard has none.
bool ClearClipboard();

#endif
