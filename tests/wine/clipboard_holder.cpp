// Holds the clipboard open until it is killed, so that no other program can
// open it. Creates the file named by its argument once it holds it.
// The clipboard is opened with a window of its own: a holder without a window
// does not keep other programs out under Wine.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

int main(int argc, char **argv)
{
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL,
                                  GetModuleHandleA(NULL), NULL);
    if (!window || !OpenClipboard(window))
        return 1;
    if (argc > 1) {
        HANDLE held = CreateFileA(argv[1], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
        if (held == INVALID_HANDLE_VALUE)
            return 2;
        CloseHandle(held);
    }
    Sleep(INFINITE);
    return 0;
}
