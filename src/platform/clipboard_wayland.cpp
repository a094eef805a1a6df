// The clipboard of a Wayland session, read by wl-paste. wl-paste uses the
// compositor's data-control protocol where it is offered, so no window takes
// focus, and the program itself needs no Wayland library. It runs directly,
// never through a shell, and every wait for it has a deadline.
#include "clipboard_readers.h"
#include "text_block.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

// The longest program path tried when searching PATH.
enum { PROGRAM_PATH_BYTES = 4096 };
// The pause between two looks at whether wl-paste has ended.
enum { EXIT_POLL_US = 2000 };

// Finds an executable wl-paste the way execvp searches PATH. The path is
// written into program, never longer than size.
static bool FindWlPaste(char *program, size_t size)
{
    static const char name[] = "wl-paste";
    const char *dirs = getenv("PATH");
    if (!dirs)
        dirs = "/bin:/usr/bin";
    for (const char *p = dirs;;) {
        const char *end = strchr(p, ':');
        size_t length = end ? (size_t)(end - p) : strlen(p);
        // An empty entry stands for the current folder.
        const char *dir = length ? p : ".";
        size_t dirLength = length ? length : 1;
        if (dirLength + 1 + sizeof name <= size) {
            memcpy(program, dir, dirLength);
            program[dirLength] = '/';
            memcpy(program + dirLength + 1, name, sizeof name);  // with its NUL
            struct stat st;
            if (stat(program, &st) == 0 && S_ISREG(st.st_mode) && access(program, X_OK) == 0)
                return true;
        }
        if (!end)
            return false;
        p = end + 1;
    }
}

// True when the compositor's socket accepts a connection. A socket left
// behind by a compositor that has gone refuses it, and then the session's
// X server (if any) is asked instead.
static bool CompositorAnswers(const char *display)
{
    struct sockaddr_un address;
    memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    const size_t room = sizeof address.sun_path;  // the NUL must fit too
    size_t used = 0;
    if (display[0] != '/') {
        const char *runtime = getenv("XDG_RUNTIME_DIR");
        if (!runtime || !runtime[0])
            return false;
        size_t length = strlen(runtime);
        if (length + 1 >= room)
            return false;
        memcpy(address.sun_path, runtime, length);
        address.sun_path[length] = '/';
        used = length + 1;
    }
    size_t length = strlen(display);
    if (length >= room - used)
        return false;
    memcpy(address.sun_path + used, display, length);

    // Non-blocking, so that a compositor too busy to take us cannot hang the
    // program here.
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    bool answered = connect(fd, (const struct sockaddr *)&address, sizeof address) == 0;
    close(fd);
    return answered;
}

// Starts wl-paste with its output into the given pipe end. Returns its
// process id, or -1.
static pid_t StartWlPaste(const char *program, int output)
{
    static char arg0[] = "wl-paste", arg1[] = "--no-newline", arg2[] = "--type", arg3[] = "text";
    char *const argv[] = {arg0, arg1, arg2, arg3, nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return -1;
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return -1;
    }
    // The output first: the pipe end may sit on one of the three standard
    // descriptors when ours were closed. What wl-paste says ("No selection")
    // is an outcome for us, not a message for the user. A process group of
    // its own, because wl-paste hands the transfer to a child process (cat),
    // which must end with it at the deadline.
    bool ready =
        posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO) == 0 &&
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0) == 0 &&
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0) == 0 &&
        posix_spawnattr_setpgroup(&attributes, 0) == 0 &&
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP) == 0;
    pid_t pid = -1;
    if (ready && posix_spawn(&pid, program, &actions, &attributes, argv, environ) != 0)
        pid = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Reads the pipe to its end. False when the deadline passed first, memory
// ran out or the read failed.
static bool ReadToEnd(int fd, TextBlock &text)
{
    long long deadline = MonotonicMs() + ANSWER_WAIT_MS;
    for (;;) {
        if (!ReserveText(text, 1))
            return false;
        long long left = deadline - MonotonicMs();
        if (left <= 0)
            return false;
        struct pollfd pfd = {fd, POLLIN, 0};
        int ready = poll(&pfd, 1, (int)left);
        if (ready < 0 && errno != EINTR)
            return false;
        if (ready <= 0)
            continue;
        ssize_t n = read(fd, text.block + 4 + text.used, text.capacity - text.used);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return false;
        }
        text.used += (size_t)n;
        deadline = MonotonicMs() + ANSWER_WAIT_MS;
    }
}

// Waits until wl-paste has ended, at most until the deadline; at the
// deadline, or at once when stopNow is set, it and its helper are killed.
// Returns its exit status, or -1 when it did not end by itself.
static int EndWlPaste(pid_t pid, bool stopNow)
{
    int raw = 0;
    long long deadline = MonotonicMs() + ANSWER_WAIT_MS;
    while (!stopNow) {
        pid_t got = waitpid(pid, &raw, WNOHANG);
        if (got == pid)
            return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        if (got < 0 && errno != EINTR)
            return -1;
        if (MonotonicMs() >= deadline)
            break;
        usleep(EXIT_POLL_US);
    }
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
    }
    return -1;
}

bool ReadWaylandClipboard(ClipboardResult &result)
{
    const char *display = getenv("WAYLAND_DISPLAY");
    if (!display || !display[0])
        return false;
    static char program[PROGRAM_PATH_BYTES];
    if (!FindWlPaste(program, sizeof program) || !CompositorAnswers(display))
        return false;

    result.hasText = false;
    result.text = nullptr;
    result.length = 0;
    result.status = 1;

    // Children of a process that ignores SIGCHLD vanish without an exit
    // status, and wl-paste's status is how it tells text from none.
    struct sigaction child;
    if (sigaction(SIGCHLD, nullptr, &child) == 0 && child.sa_handler == SIG_IGN) {
        child.sa_handler = SIG_DFL;
        sigaction(SIGCHLD, &child, nullptr);
    }

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return true;
    pid_t pid = StartWlPaste(program, pipeFds[1]);
    close(pipeFds[1]);
    if (pid < 0) {
        close(pipeFds[0]);
        return true;
    }
    TextBlock text = {nullptr, 0, 0};
    bool complete = ReadToEnd(pipeFds[0], text);
    close(pipeFds[0]);
    // wl-paste fails when there is no selection or no text among its types.
    if (EndWlPaste(pid, !complete) != 0 || !complete || !HandOverText(text, result))
        DropText(text);
    return true;
}
