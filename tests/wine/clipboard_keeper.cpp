// Keeps a Wine prefix warm for the tests: opening the clipboard once starts
// the prefix's background services, and staying alive keeps them running, so
// every later program starts in a fraction of a second. Creates the file
// named by its argument once the clipboard has answered, then sleeps.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

int main(int argc, char **argv)
{
    if (OpenClipboard(NULL))
        CloseClipboard();
    if (argc > 1) {
        HANDLE ready = CreateFileA(argv[1], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, NULL);
        if (ready == INVALID_HANDLE_VALUE)
            return 2;
        CloseHandle(ready);
    }
    Sleep(INFINITE);
    return 0;
}
