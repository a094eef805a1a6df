#include "wayland_session.h"
#include "process.h"

#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <grp.h>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

pid_t compositorPid = -1;
pid_t ownerPid = -1;
std::string sessionDir;
std::string runtimeDir;
std::string socketName;
std::string silentPath;  // PATH for a silent owner: a cat that never answers

// The compositor's socket, once it is listening: wayland-N beside its lock.
std::string FindSocket()
{
    std::string found;
    DIR *dir = opendir(runtimeDir.c_str());
    if (!dir)
        return found;
    while (struct dirent *entry = readdir(dir)) {
        std::string name = entry->d_name;
        struct stat st;
        if (name.compare(0, 8, "wayland-") == 0 &&
            stat((runtimeDir + "/" + name).c_str(), &st) == 0 && S_ISSOCK(st.st_mode))
            found = name;
    }
    closedir(dir);
    return found;
}

// wl-paste lists the offered types, or says "No selection" when there is
// none; anything else means the compositor is not serving the clipboard yet.
bool WaitForSelection(bool wanted)
{
    for (int k = 0; k < 250; k++) {
        RunResult list = RunCapture({"wl-paste", "--list-types"}, {}, 5000);
        if (wanted && list.status == 0)
            return true;
        if (!wanted && list.status != 0 && list.err.find("No selection") != std::string::npos)
            return true;
        usleep(20000);
    }
    return false;
}

}  // namespace

bool StartCompositor()
{
    struct passwd *user = getpwnam("nobody");
    struct group *group = getgrnam("nogroup");
    sessionDir = MakeTempDir();
    if (!user || !group || sessionDir.empty())
        return false;
    // The compositor refuses to run as root: then it runs as nobody. Its
    // runtime folder is for it alone; it reads an empty config.
    bool root = geteuid() == 0;
    runtimeDir = sessionDir + "/runtime";
    std::string config = sessionDir + "/config";
    if (chmod(sessionDir.c_str(), 0755) != 0 || mkdir(runtimeDir.c_str(), 0700) != 0 ||
        (root && chown(runtimeDir.c_str(), user->pw_uid, group->gr_gid) != 0))
        return false;
    WriteFileBytes(config, "");
    chmod(config.c_str(), 0644);

    // Stands in for cat in a silent owner: wl-copy takes its input through
    // "cat" and sends each paste through "cat FILE", which this one never does.
    std::string fakeDir = sessionDir + "/silent";
    mkdir(fakeDir.c_str(), 0755);
    // It is first on PATH, so it finds the real cat on the rest of PATH.
    WriteFileBytes(fakeDir + "/cat",
                   "#!/bin/sh\n"
                   "if [ $# -eq 0 ]; then PATH=${PATH#*:} exec cat; fi\n"
                   "exec sleep 60\n");
    chmod((fakeDir + "/cat").c_str(), 0755);
    const char *path = getenv("PATH");
    silentPath = "PATH=" + fakeDir + ":" + (path ? path : "/usr/bin:/bin");

    std::vector<std::string> argv = {"sway", "-c", config};
    if (root)
        argv.insert(argv.begin(), {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
    compositorPid = StartBackground(argv, {"XDG_RUNTIME_DIR=" + runtimeDir, "WLR_BACKENDS=headless",
                                           "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman",
                                           "WAYLAND_DISPLAY", "DISPLAY"});
    for (int k = 0; k < 500 && socketName.empty(); k++) {
        usleep(20000);
        socketName = FindSocket();
    }
    if (socketName.empty())
        return false;
    setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
    setenv("WAYLAND_DISPLAY", socketName.c_str(), 1);
    return WaitForSelection(false);
}

void StopCompositor()
{
    ClearWaylandClipboard();
    StopProcess(compositorPid);
    compositorPid = -1;
    if (!sessionDir.empty())
        std::filesystem::remove_all(sessionDir);
    sessionDir.clear();
}

std::string CompositorSocketPath()
{
    return runtimeDir + "/" + socketName;
}

bool OwnWaylandClipboard(const std::string &bytes, const std::string &type, bool silent)
{
    if (!ClearWaylandClipboard())
        return false;
    std::string dir = MakeTempDir();
    std::string path = dir + "/clip";
    WriteFileBytes(path, bytes);
    std::vector<std::string> argv = {"wl-copy", "--foreground"};
    if (!type.empty()) {
        argv.push_back("--type");
        argv.push_back(type);
    }
    EnvChanges env;
    if (silent)
        env.push_back(silentPath);
    ownerPid = StartBackground(argv, env, path);
    bool owned = WaitForSelection(true);
    // wl-copy has taken its input into a file of its own once it offers it.
    unlink(path.c_str());
    rmdir(dir.c_str());
    return owned;
}

bool ClearWaylandClipboard()
{
    if (ownerPid > 0) {
        // A silent owner's stand-in would keep wl-copy waiting for it.
        std::string owner = std::to_string(ownerPid);
        std::istringstream children(ReadFileBytes("/proc/" + owner + "/task/" + owner + "/children"));
        for (long child; children >> child;)
            kill((pid_t)child, SIGKILL);
        // Told that its offer is gone, wl-copy removes its files and ends.
        RunCapture({"wl-copy", "--clear"}, {}, 5000);
        int raw;
        bool ended = false;
        for (int k = 0; k < 200 && !ended; k++) {
            ended = waitpid(ownerPid, &raw, WNOHANG) == ownerPid;
            if (!ended)
                usleep(10000);
        }
        // Nothing of the owner's group may outlive it.
        kill(-ownerPid, SIGKILL);
        if (!ended)
            StopProcess(ownerPid);
    }
    ownerPid = -1;
    return compositorPid <= 0 || WaitForSelection(false);
}
