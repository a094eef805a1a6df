// klavedo: looks up the text on the clipboard in a plain-text dictionary and
// writes its entry.
#include "lookup/lookup.h"
#include "platform/platform.h"

#include <cstdio>

enum {
    STATUS_USAGE = 1,
    STATUS_CANNOT_OPEN = 2,
    STATUS_CANNOT_READ = 4,
};

static void WriteUsage()
{
    // Both lines end with a space before the line end; callers may match on it.
    fputs("Command line: KLAVEDO [dictionary file] \n", stdout);
    fputs("Description: Performs bynary search of string=[3 spaces + ClipboardText] "
          "in [dictionary file] and output the following text \n",
          stdout);
    fflush(stdout);
}

void ReportNotFound(const QueryPattern &pattern, const char *path)
{
    fputs("\"", stdout);
    fwrite(pattern.bytes, 1, pattern.length, stdout);
    fputs("\" not found in ", stdout);
    fputs(path, stdout);
    fputs(".\n", stdout);
    fflush(stdout);
}

int RunLookup(int argc, char **argv)
{
    if (argc < 2) {
        WriteUsage();
        return STATUS_USAGE;
    }
    const char *path = argv[1];

    // Opened before the clipboard is read, reported only once there is text.
    int handle = OpenDictionary(path);

    ClipboardResult clip = GetClipboardText();
    if (!clip.hasText)
        return clip.status;

    QueryPattern pattern = BuildQueryPattern(clip.text);

    if (handle == -1) {
        printf("Cannot open file %s\n", path);
        fflush(stdout);
        return STATUS_CANNOT_OPEN;
    }

    BlockCursor cursor = MakeBlockCursor();
    SearchResult result = FindPattern(handle, pattern, cursor);
    bool complete = true;
    if (result == SEARCH_FOUND) {
        complete = PrintEntry(pattern, handle, cursor, stdout);
    } else if (result == SEARCH_NOT_FOUND) {
        ReportNotFound(pattern, path);
    } else {
        printf("Cannot read file %s\n", path);
        fflush(stdout);
        complete = false;
    }

    int closed = CloseDictionary(handle);
    if (!complete)
        return STATUS_CANNOT_READ;
    return closed;
}

int main(int argc, char **argv)
{
    SetUpStandardOutput();
    return RunLookup(argc, argv);
}
