// Dictionary file calls and standard output on POSIX systems.
#include "platform.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int OpenDictionary(const char *path)
{
    int handle = open(path, O_RDONLY | O_CLOEXEC);
    if (handle == -1)
        return -1;
    // A directory opens here but cannot be read as a dictionary.
    struct stat st;
    if (fstat(handle, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(handle);
        return -1;
    }
    return handle;
}

long ReadDictionary(int handle, unsigned char *buffer, size_t size)
{
    for (;;) {
        ssize_t n = read(handle, buffer, size);
        if (n >= 0)
            return (long)n;
        if (errno != EINTR)
            return -1;
    }
}

int CloseDictionary(int handle)
{
    return close(handle) == 0 ? 0 : -1;
}

void SetUpStandardOutput()
{
    if (isatty(STDOUT_FILENO))
        setvbuf(stdout, nullptr, _IONBF, 0);
    else
        setvbuf(stdout, nullptr, _IOFBF, BUFSIZ);
}
