// The clipboard on Windows: its CF_TEXT data, copied in one short visit.
#include "platform.h"

#include <cstdlib>
#include <cstring>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

static void StopClipboardUnavailable()
{
    // Written straight to the handle: a text-mode stream would double the CRs.
    static const char message[] =
        "\r\nAssertion failed: fOpen, file klavedo, line 46\r\n"
        "\r\nAbnormal program termination\r\n";
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    const char *p = message;
    DWORD left = (DWORD)(sizeof message - 1);
    while (left > 0 && err != NULL && err != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        if (!WriteFile(err, p, left, &written, NULL) || written == 0)
            break;
        p += written;
        left -= written;
    }
    // At once, without exit procedures and without flushing any stream.
    _exit(3);
}

// The clipboard is released; a failed release must not read as success.
static ClipboardResult NoText()
{
    ClipboardResult result = {false, nullptr, 0, 1};
    BOOL closed = CloseClipboard();
    if (closed)
        result.status = closed;
    return result;
}

ClipboardResult GetClipboardText()
{
    BOOL fOpen = OpenClipboard(NULL);
    if (!fOpen)
        StopClipboardUnavailable();

    HANDLE data = GetClipboardData(CF_TEXT);
    if (!data)
        return NoText();

    // Four bytes of room in front for the pattern's head, and one behind so
    // that our own NUL fits even when the block holds none.
    SIZE_T size = GlobalSize(data);
    if (size > (SIZE_T)-1 - 5)
        return NoText();
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size + 4 + 1);
    if (!copy)
        return NoText();
    char *block = (char *)GlobalLock(copy);
    if (!block)
        return NoText();
    const char *source = (const char *)GlobalLock(data);
    if (!source)
        return NoText();

    // The text ends at its first NUL within the block, or with the block.
    const char *nul = (const char *)memchr(source, '\0', size);
    size_t length = nul ? (size_t)(nul - source) : (size_t)size;
    char *text = block + 4;
    memcpy(text, source, length);
    text[length] = '\0';

    GlobalUnlock(data);
    CloseClipboard();

    // The copy stays locked and allocated for the rest of the run.
    ClipboardResult result = {true, text, length, 0};
    return result;
}
