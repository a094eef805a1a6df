// Fuzz target: the real pattern, search and entry output, reading a real file
// through the platform's read call, must give byte for byte what the plain
// byte-at-a-time reference gives.
//
// Input layout:
//   byte 0   lead padding: none below 0x80, else READ_BLOCK_SIZE * (1 + (b >> 6 & 1))
//            - (b & 0x3F) bytes, so that what follows straddles the end of the
//            first or second block;
//   byte 1   the byte the lead padding is made of;
//   byte 2   tail padding: b bytes below 0x80, else (b & 0x7F) * 128 bytes (long
//            entries, up to 16256 bytes);
//   byte 3   the byte the tail padding is made of;
//   then the query text up to the first NUL (a clipboard text never holds one),
//   then the dictionary's own bytes.
// The dictionary is lead padding, own bytes, tail padding.
#include "lookup/lookup.h"
#include "oracle.h"
#include "platform/platform.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

struct Outcome {
    SearchResult result;
    bool complete;
    std::string output;
};

void Fail(const char *what)
{
    fprintf(stderr, "lookup_fuzzer: %s\n", what);
    abort();
}

// One memory file for the whole session, refilled for every input.
int DictionaryHandle(const std::string &bytes)
{
    static int fd = -1;
    if (fd < 0)
        fd = memfd_create("dictionary", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, 0) != 0)
        Fail("cannot make the dictionary file");
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = pwrite(fd, bytes.data() + done, bytes.size() - done, (off_t)done);
        if (n <= 0)
            Fail("cannot write the dictionary");
        done += (size_t)n;
    }
    return fd;
}

// Fills the read buffer with copies of the pattern, so that a scan that looks
// at bytes the last read did not deliver finds something it must not.
void Stain(BlockCursor &cursor, const std::string &pattern)
{
    size_t filled = pattern.size() < READ_BLOCK_SIZE ? pattern.size() : READ_BLOCK_SIZE;
    memcpy(cursor.buffer, pattern.data(), filled);
    while (filled < READ_BLOCK_SIZE) {
        size_t more = filled < READ_BLOCK_SIZE - filled ? filled : READ_BLOCK_SIZE - filled;
        memcpy(cursor.buffer + filled, cursor.buffer, more);
        filled += more;
    }
}

Outcome LookUp(bool reference, const QueryPattern &pattern, int handle, BlockCursor &cursor)
{
    Outcome outcome = {SEARCH_NOT_FOUND, true, ""};
    if (lseek(handle, 0, SEEK_SET) != 0)
        Fail("cannot rewind the dictionary");
    outcome.result = reference ? OracleFindPattern(handle, pattern, cursor)
                               : FindPattern(handle, pattern, cursor);
    if (outcome.result == SEARCH_FOUND) {
        char *text = nullptr;
        size_t size = 0;
        FILE *out = open_memstream(&text, &size);
        if (!out)
            Fail("open_memstream failed");
        outcome.complete = reference ? OraclePrintEntry(pattern, handle, cursor, out)
                                     : PrintEntry(pattern, handle, cursor, out);
        fclose(out);
        outcome.output.assign(text, size);
        free(text);
    }
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    const uint8_t lead = data[0], leadByte = data[1], tail = data[2], tailByte = data[3];
    const char *rest = reinterpret_cast<const char *>(data + 4);
    const size_t restSize = size - 4;
    const char *nul = static_cast<const char *>(memchr(rest, '\0', restSize));
    const size_t queryLength = nul ? (size_t)(nul - rest) : restSize;

    std::string dictionary;
    // Most inputs stay small and fast; padding is asked for by the high bit.
    if (lead & 0x80)
        dictionary.assign((size_t)READ_BLOCK_SIZE * (1 + (lead >> 6 & 1)) - (lead & 0x3F), (char)leadByte);
    if (nul)
        dictionary.append(nul + 1, restSize - queryLength - 1);
    dictionary.append((tail & 0x80) ? (size_t)(tail & 0x7F) * 128 : tail, (char)tailByte);

    // The pattern as the rules read: LF, three spaces, the query with a to z
    // upper-cased and every other byte as it is.
    std::string expected = "\n   ";
    for (size_t k = 0; k < queryLength; k++) {
        unsigned char c = (unsigned char)rest[k];
        expected += (char)(c >= 'a' && c <= 'z' ? c - 32 : c);
    }

    // The text as the clipboard hands it over: four bytes of room in front,
    // a NUL behind, and not one byte more.
    char *block = static_cast<char *>(malloc(4 + queryLength + 1));
    memcpy(block + 4, rest, queryLength);
    block[4 + queryLength] = '\0';
    QueryPattern pattern = BuildQueryPattern(block + 4);
    if (pattern.bytes != reinterpret_cast<unsigned char *>(block))
        Fail("the pattern was not built in the text's block");
    if (pattern.length != expected.size() || memcmp(pattern.bytes, expected.data(), expected.size()) != 0 ||
        pattern.bytes[pattern.length] != '\0')
        Fail("the pattern differs");

    static unsigned char referenceBuffer[READ_BLOCK_SIZE];
    BlockCursor referenceCursor = {referenceBuffer, 0, 0};
    BlockCursor cursor = MakeBlockCursor();
    Stain(cursor, expected);
    Stain(referenceCursor, expected);
    int handle = DictionaryHandle(dictionary);
    Outcome want = LookUp(true, pattern, handle, referenceCursor);
    Outcome got = LookUp(false, pattern, handle, cursor);
    free(block);

    if (got.result != want.result)
        Fail("the search result differs");
    if (got.complete != want.complete)
        Fail("the completeness of the output differs");
    if (got.output != want.output) {
        size_t at = 0;
        while (at < got.output.size() && at < want.output.size() && got.output[at] == want.output[at])
            at++;
        fprintf(stderr, "lookup_fuzzer: output differs at byte %zu (got %zu bytes, want %zu)\n", at,
                got.output.size(), want.output.size());
        abort();
    }
    return 0;
}
