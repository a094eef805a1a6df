#include "x11_clipboard.h"
#include "process.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

pid_t serverPid = -1;
pid_t ownerPid = -1;
std::string ownerText;
xcb_connection_t *connection = nullptr;
xcb_atom_t clipboardAtom = XCB_NONE;

bool HasOwner()
{
    xcb_get_selection_owner_reply_t *reply = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, clipboardAtom), nullptr);
    bool owned = reply && reply->owner != XCB_NONE;
    free(reply);
    return owned;
}

// xclip says nothing when it has taken the selection: ask the server.
bool WaitForOwner(bool wanted)
{
    for (int k = 0; k < 500; k++) {
        if (HasOwner() == wanted)
            return true;
        usleep(10000);
    }
    return false;
}

}  // namespace

bool StartXServer()
{
    int ready[2];
    if (pipe(ready) != 0)
        return false;
    fcntl(ready[0], F_SETFD, FD_CLOEXEC);
    serverPid = StartBackground({"Xvfb", "-displayfd", std::to_string(ready[1]), "-nolisten",
                                 "tcp", "-screen", "0", "320x240x24"},
                                {});
    close(ready[1]);
    std::string number;
    struct pollfd pfd = {ready[0], POLLIN, 0};
    char c;
    while (poll(&pfd, 1, 15000) == 1 && read(ready[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(ready[0]);
    if (number.empty())
        return false;
    std::string display = ":" + number;
    setenv("DISPLAY", display.c_str(), 1);
    connection = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(connection))
        return false;
    xcb_intern_atom_reply_t *atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, 9, "CLIPBOARD"), nullptr);
    if (!atom)
        return false;
    clipboardAtom = atom->atom;
    free(atom);
    return true;
}

void StopXServer()
{
    ClearClipboard();
    if (connection)
        xcb_disconnect(connection);
    connection = nullptr;
    StopProcess(serverPid);
    serverPid = -1;
}

bool OwnClipboard(const std::string &bytes, const std::string &type)
{
    std::vector<std::string> argv = {"xclip", "-selection", "clipboard", "-quiet", "-i"};
    if (!type.empty()) {
        argv.push_back("-t");
        argv.push_back(type);
    }
    return OwnClipboardWith(argv, bytes);
}

bool OwnClipboardWith(const std::vector<std::string> &owner, const std::string &bytes)
{
    if (!ClearClipboard())
        return false;
    std::string dir = MakeTempDir();
    std::string path = dir + "/clip";
    WriteFileBytes(path, bytes);
    ownerPid = StartBackground(owner, {}, path);
    bool owned = WaitForOwner(true);
    // The owner has read its input once it owns the selection.
    unlink(path.c_str());
    rmdir(dir.c_str());
    return owned;
}

unsigned ClipboardOwner()
{
    xcb_get_selection_owner_reply_t *reply = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, clipboardAtom), nullptr);
    unsigned owner = reply ? reply->owner : 0;
    free(reply);
    return owner;
}

bool ReadClipboard(const std::string &type, std::string *bytes)
{
    RunResult run = RunCapture({"xclip", "-selection", "clipboard", "-o", "-t", type}, {}, 20000);
    *bytes = run.out;
    return run.status == 0 && !run.timedOut;
}

bool ClearClipboard()
{
    if (ownerPid > 0)
        StopProcess(ownerPid);
    ownerPid = -1;
    return !connection || WaitForOwner(false);
}
