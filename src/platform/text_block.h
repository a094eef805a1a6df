// The block that a Linux clipboard reader gathers the text in: four bytes of
// room in front for the pattern's head, the text, and room for our NUL.
#ifndef KLAVEDO_TEXT_BLOCK_H
#define KLAVEDO_TEXT_BLOCK_H

#include "platform.h"

#include <cstddef>

// How long an owner may take to answer, renewed by every chunk it sends.
enum { ANSWER_WAIT_MS = 2000 };

struct TextBlock {
    char *block;
    size_t capacity;  // bytes that may follow the four in front
    size_t used;
};

// Makes room for at least `more` bytes behind those used; false when the
// memory cannot be had.
bool ReserveText(TextBlock &text, size_t more);
bool AppendText(TextBlock &text, const void *bytes, size_t count);

// Turns the gathered bytes into the text: they end at their first NUL, and
// the NUL is written by us inside the block, which lives to the end of the
// process. False when not even an empty block can be had.
bool HandOverText(TextBlock &text, ClipboardResult &result);
// Gives back a block whose text is not wanted.
void DropText(TextBlock &text);

long long MonotonicMs();

#endif
