#include "process.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char **environ;

namespace {

std::vector<std::string> MergedEnvironment(const EnvChanges &changes)
{
    std::vector<std::string> env;
    for (char **e = environ; *e; e++)
        env.push_back(*e);
    for (const std::string &change : changes) {
        std::string name = change.substr(0, change.find('='));
        for (size_t k = 0; k < env.size();) {
            if (env[k].compare(0, name.size() + 1, name + "=") == 0)
                env.erase(env.begin() + (long)k);
            else
                k++;
        }
        if (change.find('=') != std::string::npos)
            env.push_back(change);
    }
    return env;
}

std::vector<char *> Pointers(std::vector<std::string> &strings)
{
    std::vector<char *> pointers;
    for (std::string &s : strings)
        pointers.push_back(&s[0]);
    pointers.push_back(nullptr);
    return pointers;
}

// Forks a child that execs argv with stdin/stdout/stderr on the given fds.
pid_t Spawn(const std::vector<std::string> &argv, const EnvChanges &changes, int in, int out,
            int err)
{
    std::vector<std::string> args = argv;
    std::vector<std::string> env = MergedEnvironment(changes);
    std::vector<char *> argp = Pointers(args);
    std::vector<char *> envp = Pointers(env);
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) {
        // Servers and clipboard owners must not outlive a crashed test.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        setpgid(0, 0);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execve(argp[0], argp.data(), envp.data());
        execvpe(argp[0], argp.data(), envp.data());
        _exit(127);
    }
    return pid;
}

long long NowMs()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

int DecodeStatus(int raw)
{
    if (WIFEXITED(raw))
        return WEXITSTATUS(raw);
    if (WIFSIGNALED(raw))
        return 128 + WTERMSIG(raw);
    return -1;
}

}  // namespace

RunResult RunCapture(const std::vector<std::string> &argv, const EnvChanges &env, int timeoutMs)
{
    RunResult result = {"", "", -1, false};
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
        return result;
    int devnull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    pid_t pid = Spawn(argv, env, devnull, outPipe[1], errPipe[1]);
    close(devnull);
    close(outPipe[1]);
    close(errPipe[1]);

    long long deadline = NowMs() + timeoutMs;
    struct pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string *sinks[2] = {&result.out, &result.err};
    int open = 2;
    char buffer[65536];
    while (open > 0) {
        long long left = deadline - NowMs();
        if (left <= 0) {
            result.timedOut = true;
            kill(-pid, SIGKILL);
            kill(pid, SIGKILL);
            break;
        }
        if (poll(fds, 2, (int)left) < 0 && errno != EINTR)
            break;
        for (int k = 0; k < 2; k++) {
            if (fds[k].fd < 0 || !(fds[k].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            ssize_t n = read(fds[k].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[k]->append(buffer, (size_t)n);
            } else if (n == 0 || errno != EINTR) {
                close(fds[k].fd);
                fds[k].fd = -1;
                open--;
            }
        }
    }
    for (struct pollfd &fd : fds)
        if (fd.fd >= 0)
            close(fd.fd);
    int raw = 0;
    while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
    }
    result.status = DecodeStatus(raw);
    return result;
}

pid_t StartBackground(const std::vector<std::string> &argv, const EnvChanges &env,
                      const std::string &stdinPath)
{
    int in = open(stdinPath.empty() ? "/dev/null" : stdinPath.c_str(), O_RDONLY | O_CLOEXEC);
    int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    pid_t pid = Spawn(argv, env, in, null, null);
    close(in);
    close(null);
    return pid;
}

void StopProcess(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    int raw;
    for (int k = 0; k < 200; k++) {
        if (waitpid(pid, &raw, WNOHANG) == pid)
            return;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &raw, 0);
}

std::string ReadFileBytes(const std::string &path)
{
    std::string bytes;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return bytes;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, n);
    fclose(f);
    return bytes;
}

void WriteFileBytes(const std::string &path, const std::string &bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return;
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

std::string MakeTempDir()
{
    char path[] = "/tmp/klavedo-test-XXXXXX";
    return mkdtemp(path) ? path : "";
}
