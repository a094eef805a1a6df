// The lookup engine on small dictionaries written to real files, so that the
// reads and the block boundaries are the real ones.
#include "lookup/lookup.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Outcome {
    SearchResult result;
    std::string output;  // echo and entry, or empty when not found
};

std::string TempPath()
{
    char path[] = "/tmp/klavedo-engine-XXXXXX";
    int fd = mkstemp(path);
    if (fd >= 0)
        close(fd);
    return path;
}

Outcome LookUpIn(const char *dictionaryPath, const std::string &query)
{
    // The pattern is built in place, behind four bytes of room.
    std::vector<char> block(4 + query.size() + 1, '\0');
    std::copy(query.begin(), query.end(), block.begin() + 4);
    QueryPattern pattern = BuildQueryPattern(block.data() + 4);

    Outcome outcome = {SEARCH_NOT_FOUND, ""};
    int handle = OpenDictionary(dictionaryPath);
    EXPECT_NE(handle, -1) << dictionaryPath;
    BlockCursor cursor = MakeBlockCursor();
    outcome.result = FindPattern(handle, pattern, cursor);
    if (outcome.result == SEARCH_FOUND) {
        FILE *out = tmpfile();
        EXPECT_TRUE(PrintEntry(pattern, handle, cursor, out));
        long size = ftell(out);
        outcome.output.resize((size_t)size);
        rewind(out);
        EXPECT_EQ(fread(&outcome.output[0], 1, (size_t)size, out), (size_t)size);
        fclose(out);
    }
    EXPECT_EQ(CloseDictionary(handle), 0);
    return outcome;
}

Outcome LookUp(const std::string &dictionary, const std::string &query)
{
    std::string path = TempPath();
    FILE *f = fopen(path.c_str(), "wb");
    fwrite(dictionary.data(), 1, dictionary.size(), f);
    fclose(f);
    Outcome outcome = LookUpIn(path.c_str(), query);
    unlink(path.c_str());
    return outcome;
}

TEST(QueryPatternTest, BuiltInPlaceWithFoldedText)
{
    char block[] = "....aZ\xe0\xc0 \t\r\n";
    QueryPattern pattern = BuildQueryPattern(block + 4);
    ASSERT_EQ(pattern.bytes, reinterpret_cast<unsigned char *>(block));
    EXPECT_EQ(pattern.length, 12u);
    // Only a to z change; high bytes, blanks and line ends stay as they are.
    EXPECT_EQ(std::string(block), "\n   AZ\xe0\xc0 \t\r\n");
}

struct LookupCase {
    const char *name;
    std::string dictionary;
    std::string query;
    std::string expected;  // "" means not found
};

void PrintTo(const LookupCase &c, std::ostream *os)
{
    *os << c.name;
}

class LookupTable : public ::testing::TestWithParam<LookupCase> {};

TEST_P(LookupTable, WritesTheEntryOrFindsNothing)
{
    const LookupCase &c = GetParam();
    Outcome outcome = LookUp(c.dictionary, c.query);
    if (c.expected.empty()) {
        EXPECT_EQ(outcome.result, SEARCH_NOT_FOUND);
    } else {
        ASSERT_EQ(outcome.result, SEARCH_FOUND);
        EXPECT_EQ(outcome.output, c.expected);
    }
}

const std::string kTwoEntries = "title\n   Apple  n.\nA fruit.\n   banana\nYellow.\n";

INSTANTIATE_TEST_SUITE_P(
    Engine, LookupTable,
    ::testing::Values(
        LookupCase{"FoldsLowerCaseQuery", kTwoEntries, "apple",
                   "\n   APPLE  n.\nA fruit.\n   "},
        LookupCase{"MatchesAnyCaseInFile", "t\n   aPPle\nx\n", "APPLE", "\n   APPLE\nx\n"},
        LookupCase{"LastEntryRunsToEndOfFile", kTwoEntries, "banana", "\n   BANANA\nYellow.\n"},
        LookupCase{"MatchAtVeryEndIsEchoAlone", "t\n   apple", "apple", "\n   APPLE"},
        LookupCase{"MissingWord", kTwoEntries, "cherry", ""},
        LookupCase{"EmptyFile", "", "apple", ""},
        LookupCase{"PatternLongerThanFile", "\n   ap", "apple", ""},
        // High bytes are compared exactly: 0xE0 and 0xC0 are different letters.
        LookupCase{"HighByteNotFolded", "t\n   \xc0x\n   \xe0y\n", "\xe0", "\n   \xe0y\n"},
        LookupCase{"HighByteMatchesItself", "t\n   \xc0x\n   \xe0y\n", "\xc0", "\n   \xc0x\n   "},
        LookupCase{"AtSignIsNotBacktick", "t\n   `a\n   @a\n", "@a", "\n   @A\n"},
        LookupCase{"PrefixFindsFirstInFileOrder", "t\n   apricot\nA\n   apple\nB\n", "ap",
                   "\n   APricot\nA\n   "},
        LookupCase{"HeadOnFirstLineIsNeverFound", "   apple\nbody\n", "apple", ""},
        LookupCase{"LeadingLineEndMakesFirstHeadFindable", "\n   apple\nbody\n", "apple",
                   "\n   APPLE\nbody\n"},
        LookupCase{"FourSpacesDoNotMatchLetter", "t\n    apple\n", "apple", ""},
        LookupCase{"FourSpacesMatchLeadingSpace", "t\n    apple\nx\n", " apple",
                   "\n    APPLE\nx\n"},
        // The byte that breaks a partial match is compared again with the LF.
        LookupCase{"HeadAfterShortIndentLine", "t\n  \n   apple\nx\n", "apple",
                   "\n   APPLE\nx\n"},
        LookupCase{"EmptyQueryFindsFirstIndentedLine", "title\n  x\n   first\nbody\n   second\n", "",
                   "\n   first\nbody\n   "},
        LookupCase{"ShortIndentsAndTabsDoNotStop",
                   "t\n   apple\n one\n  two\n\tthree\n\n\nfour\n   next\n", "apple",
                   "\n   APPLE\n one\n  two\n\tthree\n\n\nfour\n   "},
        LookupCase{"CrLfDictionary", "t\r\n   apple\r\nbody\r\n   next\r\n", "apple",
                   "\n   APPLE\r\nbody\r\n   "},
        // After the mismatch the border keeps LF and three spaces matched, and
        // the X that broke the match is compared with the pattern's X again.
        LookupCase{"MultiLineQueryNeedsFallback", "\n   X\r\n   X\r\n   Y tail\nz\n",
                   "X\r\n   Y", "\n   X\r\n   Y tail\nz\n"},
        LookupCase{"QueryKeepsTrailingBlanks", "t\n   apple\n   apple pie\nx\n", "apple ",
                   "\n   APPLE pie\nx\n"}),
    [](const ::testing::TestParamInfo<LookupCase> &info) { return std::string(info.param.name); });

TEST(EngineTest, EntryStopsAfterMaxBytes)
{
    std::string body(10000, 'x');
    Outcome outcome = LookUp("t\n   apple\n" + body, "apple");
    ASSERT_EQ(outcome.result, SEARCH_FOUND);
    EXPECT_EQ(outcome.output, "\n   APPLE" + std::string("\n") + body.substr(0, MAX_ENTRY_BYTES - 1));
}

// Places the head line so that the pattern ends `offset` bytes from the end of
// the first block (negative: it straddles into the next block).
std::string DictionaryWithHeadAt(long endOffset, const std::string &entry)
{
    std::string head = "\n   apple";
    long start = READ_BLOCK_SIZE - endOffset - (long)head.size();
    std::string filler = "title\n";
    while ((long)filler.size() < start)
        filler += (start - (long)filler.size() > 40) ? std::string(39, 'f') + "\n" : "f";
    filler.resize((size_t)start, 'f');
    return filler + head + entry;
}

TEST(EngineTest, MatchesAcrossAndAtTheBlockBoundary)
{
    const std::string entry = " n.\nbody\n   next\n";
    for (long endOffset : {0L, 1L, -1L, -5L, 5L}) {
        SCOPED_TRACE(endOffset);
        Outcome outcome = LookUp(DictionaryWithHeadAt(endOffset, entry), "apple");
        ASSERT_EQ(outcome.result, SEARCH_FOUND);
        EXPECT_EQ(outcome.output, "\n   APPLE n.\nbody\n   ");
    }
}

TEST(EngineTest, EntryLongerThanABlockAcrossReads)
{
    std::string body;
    while (body.size() < 3 * READ_BLOCK_SIZE)
        body += "  a body line that keeps going\n";
    Outcome outcome = LookUp("t\n   apple\n" + body, "apple");
    ASSERT_EQ(outcome.result, SEARCH_FOUND);
    EXPECT_EQ(outcome.output.size(), 9u + MAX_ENTRY_BYTES);
}

TEST(EngineTest, ReadErrorIsReportedNotTakenForEndOfFile)
{
    // Reading this file from its first byte fails.
    std::vector<char> block(4 + 6, '\0');
    std::copy_n("apple", 5, block.begin() + 4);
    QueryPattern pattern = BuildQueryPattern(block.data() + 4);
    int handle = OpenDictionary("/proc/self/mem");
    ASSERT_NE(handle, -1);
    BlockCursor cursor = MakeBlockCursor();
    EXPECT_EQ(FindPattern(handle, pattern, cursor), SEARCH_READ_ERROR);
    CloseDictionary(handle);
}

TEST(EngineTest, DirectoryAndMissingFileDoNotOpen)
{
    EXPECT_EQ(OpenDictionary("/"), -1);
    EXPECT_EQ(OpenDictionary("/nonexistent/klavedo.dict"), -1);
}

}  // namespace
