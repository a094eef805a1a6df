#include "wine.h"
#include "process.h"

#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char kLoader[] = "/usr/lib/wine/wine64";
const char kServer[] = "/usr/lib/wine/wineserver64";

std::string scratchDir;
std::string helpers;
pid_t serverPid = -1;
pid_t keeperPid = -1;
pid_t holderPid = -1;

// Waits for a helper to create its signal file; false as soon as it has
// ended without doing so (Wine missing, a broken prefix).
bool WaitForFile(const std::string &path, pid_t &helper, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        if (access(path.c_str(), F_OK) == 0)
            return true;
        if (waitpid(helper, nullptr, WNOHANG) == helper) {
            helper = -1;
            return false;
        }
        usleep(20000);
    }
    return false;
}

}  // namespace

bool StartWine(const std::string &helperDir)
{
    helpers = helperDir;
    scratchDir = MakeTempDir();
    if (scratchDir.empty())
        return false;
    std::string prefix = scratchDir + "/prefix";
    // The server needs the prefix folder; the first program fills it.
    std::filesystem::create_directory(prefix);
    setenv("WINEPREFIX", prefix.c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    // A new prefix would offer to install its .NET and HTML engines, and
    // wait for an answer that never comes.
    setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
    // The ANSI code page of an English system (1252), whatever the locale of
    // the machine that runs the tests.
    setenv("LC_ALL", "C", 1);

    // Persistent and in the foreground, so that it is our child, known by its id.
    serverPid = StartBackground({kServer, "--foreground", "--persistent"}, {});
    // The keeper's first visit to the clipboard starts the prefix's services.
    // Started with its streams on /dev/null, they never hold the pipes of the
    // programs under test.
    std::string ready = scratchDir + "/keeper-ready";
    keeperPid = StartBackground({kLoader, helpers + "/clipboard_keeper.exe", ready}, {});
    // Creating a prefix takes a few seconds, more on a busy machine.
    return WaitForFile(ready, keeperPid, 180000);
}

void StopWine()
{
    ReleaseClipboard();
    StopProcess(keeperPid);
    keeperPid = -1;
    if (serverPid > 0) {
        RunCapture({kServer, "--kill"}, {});
        StopProcess(serverPid);
        serverPid = -1;
    }
    if (!scratchDir.empty())
        std::filesystem::remove_all(scratchDir);
    scratchDir.clear();
}

std::vector<std::string> WineCommand(const std::string &exe)
{
    return {kLoader, exe};
}

bool HoldClipboard()
{
    ReleaseClipboard();
    std::string held = scratchDir + "/holder-ready";
    unlink(held.c_str());
    holderPid = StartBackground({kLoader, helpers + "/clipboard_holder.exe", held}, {});
    return WaitForFile(held, holderPid, 30000);
}

void ReleaseClipboard()
{
    StopProcess(holderPid);
    holderPid = -1;
}
