// Running programs from the tests: no shell, every process known by its id.
#ifndef KLAVEDO_TEST_PROCESS_H
#define KLAVEDO_TEST_PROCESS_H

#include <string>
#include <sys/types.h>
#include <vector>

struct RunResult {
    std::string out;
    std::string err;
    int status;  // exit status, or 128 + signal, or -1 when it could not run
    bool timedOut;
};

// Environment changes for a child: "NAME=value" sets, "NAME" removes.
using EnvChanges = std::vector<std::string>;

// Runs argv to its end, feeding it no input and capturing both streams;
// kills it after timeoutMs.
RunResult RunCapture(const std::vector<std::string> &argv, const EnvChanges &env,
                     int timeoutMs = 30000);

// Starts argv in the background with its streams on /dev/null (stdin from
// stdinPath when given); it dies with the test process.
pid_t StartBackground(const std::vector<std::string> &argv, const EnvChanges &env,
                      const std::string &stdinPath = "");

// Kills a background process and reaps it.
void StopProcess(pid_t pid);

std::string ReadFileBytes(const std::string &path);
void WriteFileBytes(const std::string &path, const std::string &bytes);
std::string MakeTempDir();

#endif
