// Everything that touches the operating system: the clipboard, the dictionary
// file calls and the standard streams. One source per platform implements it.
#ifndef KLAVEDO_PLATFORM_H
#define KLAVEDO_PLATFORM_H

#include <cstddef>

struct ClipboardResult {
    bool hasText;
    char *text;     // NUL-terminated, with four writable bytes in front of it
    size_t length;  // bytes before the NUL
    int status;     // when there is no text: non-zero once the clipboard was released
};

// Copies the clipboard's text in one short visit. When the clipboard cannot be
// reached at all it writes the diagnostic to standard error and ends the
// process with status 3; it does not return then.
ClipboardResult GetClipboardText();

// Opens the dictionary read-only, bytes as stored; -1 on failure (a directory
// fails too). Never creates the file.
int OpenDictionary(const char *path);
// Reads up to size bytes; 0 at the end of the file, -1 when the read failed.
long ReadDictionary(int handle, unsigned char *buffer, size_t size);
// 0, or -1 when closing failed.
int CloseDictionary(int handle);

// Unbuffered standard output on a terminal, block-buffered otherwise.
void SetUpStandardOutput();

#endif
