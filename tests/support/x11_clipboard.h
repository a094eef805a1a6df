// A private X server for the tests and a real clipboard owner on it.
#ifndef KLAVEDO_TEST_X11_CLIPBOARD_H
#define KLAVEDO_TEST_X11_CLIPBOARD_H

#include <string>
#include <vector>

// Starts Xvfb on a free display and points DISPLAY at it. False when it
// could not be started.
bool StartXServer();
void StopXServer();

// Makes a clipboard owner that offers these bytes (as the given target type,
// or as text when type is empty), and waits until it owns the selection.
bool OwnClipboard(const std::string &bytes, const std::string &type = "");
// The same with an owner program of the test's choice, fed the bytes on its
// standard input.
bool OwnClipboardWith(const std::vector<std::string> &owner, const std::string &bytes);
// Ends the current owner, so that the clipboard has none.
bool ClearClipboard();

// The window that owns the clipboard now, or 0.
unsigned ClipboardOwner();
// The clipboard's bytes as the given target type, as another client reads them.
bool ReadClipboard(const std::string &type, std::string *bytes);

#endif
