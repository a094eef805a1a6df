// Dictionary file calls and standard output on Windows, through the C
// runtime's low-level calls on integer handles.
#include "platform.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <sys/types.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// Buffer of standard output when it is not a console.
enum { OUTPUT_BUFFER_SIZE = 4096 };

int OpenDictionary(const char *path)
{
    // Binary: bytes as stored, no line-end translation and no end at Ctrl+Z.
    // Other programs may go on reading and writing the file meanwhile.
    int handle = -1;
    if (_sopen_s(&handle, path, _O_RDONLY | _O_BINARY | _O_NOINHERIT, _SH_DENYNO, _S_IREAD) != 0)
        return -1;
    // The runtime refuses to open a folder; should some runtime not, a folder
    // still is no dictionary.
    struct _stat64 st;
    if (_fstat64(handle, &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFDIR) {
        _close(handle);
        return -1;
    }
    return handle;
}

long ReadDictionary(int handle, unsigned char *buffer, size_t size)
{
    // _read counts in unsigned int; the engine asks for one block at a time.
    unsigned int count = size > 0x7fffffffu ? 0x7fffffffu : (unsigned int)size;
    int n = _read(handle, buffer, count);
    return n < 0 ? -1 : (long)n;
}

int CloseDictionary(int handle)
{
    return _close(handle) == 0 ? 0 : -1;
}

void SetUpStandardOutput()
{
    // Standard output stays in text mode: every LF goes out as CR LF.
    // A console sees each write at once; a file or pipe gets blocks.
    HANDLE out = (HANDLE)_get_osfhandle(_fileno(stdout));
    DWORD mode;
    if (out != INVALID_HANDLE_VALUE && GetConsoleMode(out, &mode))
        setvbuf(stdout, nullptr, _IONBF, 0);
    else
        setvbuf(stdout, nullptr, _IOFBF, OUTPUT_BUFFER_SIZE);
}
