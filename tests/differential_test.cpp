// Every search kernel against the plain byte-at-a-time search: thousands of
// seeded small dictionaries dense in the bytes that matter (LF, spaces, CR,
// tabs, both cases, near-miss pairs), read in full blocks or in short reads
// that put block boundaries everywhere, with read errors at any call. The
// dictionary is served from memory by a stand-in for the platform's read call.
#include "oracle.h"
#include "lookup/lookup.h"
#include "lookup/scan.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

const int FAKE_HANDLE = 7;

// What the stand-in read serves and how.
struct FakeDictionary {
    std::string data;
    size_t pos = 0;
    unsigned maxChunk = 0;  // 0: as many bytes as asked; else 1..maxChunk per read
    long failAt = -1;       // index of the read call that fails
    std::mt19937 chunks;
    long reads = 0;
    bool badCall = false;   // asked for another handle, size or buffer
    const unsigned char *buffer = nullptr;
};

FakeDictionary fake;

}  // namespace

long ReadDictionary(int handle, unsigned char *buffer, size_t size)
{
    if (handle != FAKE_HANDLE || size != READ_BLOCK_SIZE || buffer != fake.buffer)
        fake.badCall = true;
    long call = fake.reads++;
    if (call == fake.failAt)
        return -1;
    size_t n = std::min(size, fake.data.size() - fake.pos);
    if (fake.maxChunk)
        n = std::min<size_t>(n, 1 + fake.chunks() % fake.maxChunk);
    memcpy(buffer, fake.data.data() + fake.pos, n);
    fake.pos += n;
    return (long)n;
}

namespace {

struct Case {
    std::string file;
    std::string query;  // no NUL: it comes from the clipboard as a C string
    unsigned maxChunk;
    long failAt;
    uint32_t chunkSeed;
};

struct Outcome {
    SearchResult result;
    size_t next, count;
    long searchReads, reads;
    bool printed;
    std::string output;
    bool badCall;
};

bool operator==(const Outcome &a, const Outcome &b)
{
    return a.result == b.result && a.next == b.next && a.count == b.count &&
           a.searchReads == b.searchReads && a.reads == b.reads && a.printed == b.printed &&
           a.output == b.output && a.badCall == b.badCall;
}

std::string Visible(const std::string &s)
{
    std::string out;
    for (unsigned char c : s) {
        char hex[8];
        if (c >= 0x21 && c < 0x7F && c != '\\') {
            out += (char)c;
        } else {
            snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

Outcome Run(const Case &c, bool oracle)
{
    fake.data = c.file;
    fake.pos = 0;
    fake.maxChunk = c.maxChunk;
    fake.failAt = c.failAt;
    fake.chunks.seed(c.chunkSeed);
    fake.reads = 0;
    fake.badCall = false;

    std::vector<char> text(4 + c.query.size() + 1, 0);
    memcpy(text.data() + 4, c.query.data(), c.query.size());
    QueryPattern pattern = BuildQueryPattern(text.data() + 4);

    BlockCursor cursor = MakeBlockCursor();
    fake.buffer = cursor.buffer;
    // Stale bytes that would make a match if a kernel looked past the bytes read.
    for (size_t k = 0; k < READ_BLOCK_SIZE; k++)
        cursor.buffer[k] = pattern.bytes[k % pattern.length];

    Outcome o;
    o.result = oracle ? OracleFindPattern(FAKE_HANDLE, pattern, cursor)
                      : FindPattern(FAKE_HANDLE, pattern, cursor);
    o.next = cursor.next;
    o.count = cursor.count;
    o.searchReads = fake.reads;
    o.printed = false;
    if (o.result == SEARCH_FOUND) {
        FILE *out = tmpfile();
        o.printed = oracle ? OraclePrintEntry(pattern, FAKE_HANDLE, cursor, out)
                           : PrintEntry(pattern, FAKE_HANDLE, cursor, out);
        long size = ftell(out);
        rewind(out);
        o.output.resize((size_t)size);
        if (size > 0 && fread(&o.output[0], 1, (size_t)size, out) != (size_t)size)
            o.output = "(lost)";
        fclose(out);
    }
    o.reads = fake.reads;
    o.badCall = fake.badCall;
    return o;
}

// Bytes that decide matches: line ends, indents, CR, tab, both cases of two
// letters, '@' and '`' (0x40 and 0x60), 0xC0 and 0xE0, and NUL.
const unsigned char DENSE[] = {'\n', '\n', '\n', ' ', ' ', ' ', ' ', '\r', '\t', 'a', 'A',
                               'b',  'B',  '@',  '`', 0xC0, 0xE0, 'x', 0};

unsigned char Dense(std::mt19937 &rng, bool allowNul)
{
    size_t n = sizeof DENSE - (allowNul ? 0 : 1);
    return DENSE[rng() % n];
}

// Changes the case of some letters: the search must not care.
void FlipCases(std::string &s, std::mt19937 &rng)
{
    for (char &c : s)
        if (isalpha((unsigned char)c) && rng() % 2)
            c = (char)(c ^ 0x20);
}

std::string RandomWord(std::mt19937 &rng)
{
    static const char letters[] = "abAB@`\xC0\xE0";
    std::string w;
    size_t len = 1 + rng() % 5;
    for (size_t k = 0; k < len; k++)
        w += letters[rng() % (sizeof letters - 1)];
    return w;
}

Case MakeCase(uint32_t seed)
{
    std::mt19937 rng(seed);
    Case c;
    c.chunkSeed = seed * 2654435761u;
    switch (rng() % 4) {
    case 0: {  // random bytes, query often cut from the file
        size_t len = rng() % 400;
        for (size_t k = 0; k < len; k++)
            c.file += (char)Dense(rng, true);
        if (!c.file.empty() && rng() % 2) {
            size_t at = rng() % c.file.size();
            c.query = c.file.substr(at, rng() % 9);
            c.query.erase(std::remove(c.query.begin(), c.query.end(), '\0'), c.query.end());
            if (rng() % 2)
                c.file.insert(rng() % (c.file.size() + 1), "\n   " + c.query);
        } else {
            size_t qlen = rng() % 7;
            for (size_t k = 0; k < qlen; k++)
                c.query += (char)Dense(rng, false);
        }
        break;
    }
    case 1: {  // repeated indented lines: long partial matches and long fallbacks
        static const char *const units[] = {"\n   a", "\n   a", "\n   a", "\n   A", "\n   b",
                                            "\n  a",  "\r\n   a", "\n    a", "x"};
        size_t count = rng() % 120;
        for (size_t k = 0; k < count; k++)
            c.file += units[rng() % (sizeof units / sizeof *units)];
        static const char *const tails[] = {"\n   a", "\n   a", "\n   b", "\r\n   a", "\n   "};
        c.query = rng() % 4 ? "a" : "";
        size_t qunits = rng() % 10;
        for (size_t k = 0; k < qunits; k++)
            c.query += tails[rng() % (sizeof tails / sizeof *tails)];
        if (rng() % 2)
            c.query += "b";
        break;
    }
    default: {  // entries with bodies: the output's stop rules
        size_t entries = 1 + rng() % 12;
        std::vector<std::string> words;
        for (size_t e = 0; e < entries; e++) {
            words.push_back(RandomWord(rng));
            c.file += (rng() % 8 ? "\n   " : "\n    ") + words.back();
            c.file += rng() % 2 ? " n.\r" : " v.";
            size_t lines = rng() % 5;
            for (size_t l = 0; l < lines; l++) {
                static const char *const starts[] = {"\n  ", "\n ", "\n\t", "\n", "\n   ", "\r\n  "};
                c.file += starts[rng() % (sizeof starts / sizeof *starts)];
                c.file += rng() % 40 ? std::string(rng() % 30, 'y') : std::string(8100, 'z');
            }
        }
        c.query = words[rng() % words.size()];
        c.query.resize(1 + rng() % c.query.size());
        if (rng() % 5 == 0)
            c.query = RandomWord(rng);
        break;
    }
    }
    FlipCases(c.query, rng);
    if (rng() % 3 == 0) {
        // Start the interesting part just before the first block boundary.
        // The filler has indents of two spaces only: it never matches.
        size_t at = READ_BLOCK_SIZE - rng() % 600;
        std::string filler;
        while (filler.size() < at)
            filler += "\n  zz";
        filler.resize(at);
        c.file = filler + c.file;
    }
    switch (rng() % 3) {
    case 0: c.maxChunk = 0; break;
    case 1: c.maxChunk = 1 + rng() % 64; break;
    default: c.maxChunk = 1 + rng() % 4096; break;
    }
    c.failAt = rng() % 5 == 0 ? (long)(rng() % 12) : -1;
    return c;
}

class KernelTest : public ::testing::TestWithParam<ScanKernelKind> {
protected:
    void SetUp() override
    {
        if (!ScanKernelAvailable(GetParam()))
            GTEST_SKIP() << "kernel not in this build or not run by this processor";
        ASSERT_TRUE(UseScanKernel(GetParam()));
    }
    void TearDown() override { UseScanKernel(SCAN_KERNEL_BEST); }
};

void ExpectSameAsOracle(const Case &c, const std::string &label)
{
    Outcome want = Run(c, true);
    Outcome got = Run(c, false);
    ASSERT_FALSE(want.badCall);
    ASSERT_TRUE(got == want) << label << ": query \"" << Visible(c.query) << "\", file of "
                             << c.file.size() << " bytes, reads of up to " << c.maxChunk
                             << ", failing read " << c.failAt << "\n  oracle: result "
                             << want.result << " next " << want.next << " output \""
                             << Visible(want.output) << "\"\n  kernel: result " << got.result
                             << " next " << got.next << " output \"" << Visible(got.output) << "\"";
}

TEST_P(KernelTest, AgreesWithOracleOnSeededDictionaries)
{
    for (uint32_t seed = 1; seed <= 4000; seed++) {
        ExpectSameAsOracle(MakeCase(seed), "seed " + std::to_string(seed));
        if (HasFatalFailure())
            return;
    }
}

// A query longer than a block, and matches that straddle or end exactly at a
// block's end.
TEST_P(KernelTest, AgreesWithOracleAcrossBlockEnds)
{
    std::mt19937 rng(99);
    std::string dictionary;
    while (dictionary.size() < 3 * READ_BLOCK_SIZE) {
        dictionary += "\n   " + RandomWord(rng) + " n.";
        dictionary += "\n  " + std::string(rng() % 60, 'q');
    }
    size_t head = dictionary.find("\n   ", 20000);
    Case longQuery = {dictionary, dictionary.substr(head + 4, 40000), 0, -1, 1};
    ExpectSameAsOracle(longQuery, "query longer than a block");
    longQuery.query.back() = '~';  // fails only at its last byte
    ExpectSameAsOracle(longQuery, "long query missing");

    const size_t block = READ_BLOCK_SIZE;
    for (size_t end : {block - 1, block, block + 1, block + 4, 2 * block}) {
        for (std::string query : {"Ab", "ab@\xC0", "a\n   b"}) {
            std::string file(end - query.size() - 4, ' ');
            file += "\n   " + query + "\n  body\n   next";
            FlipCases(file, rng);
            for (long failAt : {-1L, 1L, 2L}) {
                Case c = {file, query, 0, failAt, 3};
                ExpectSameAsOracle(c, "match ending at " + std::to_string(end));
            }
        }
    }
}

// The failure table changes only the cost: with it and without it, and
// against the fallback worked out at each mismatch, the results are the same.
TEST_P(KernelTest, FailureTableMatchesFallbackWorkedOutEachTime)
{
    ScanKernel scan = ActiveScanKernel();
    for (uint32_t seed = 1; seed <= 300; seed++) {
        std::mt19937 rng(seed);
        std::string p = "\n   ";
        size_t len = rng() % 40;
        for (size_t k = 0; k < len; k++)
            p += "\n A"[rng() % 3];
        const unsigned char *bytes = reinterpret_cast<const unsigned char *>(p.data());
        uint32_t *table = BuildBorderTable(bytes, p.size());
        ASSERT_NE(table, nullptr);
        for (size_t i = 1; i < p.size(); i++)
            ASSERT_EQ(table[i], BorderOnDemand(bytes, i)) << Visible(p) << " i=" << i;

        std::string block;
        for (size_t k = 0; k < 500; k++)
            block += "\n Aa"[rng() % 4];
        const unsigned char *b = reinterpret_cast<const unsigned char *>(block.data());
        ScanPattern with = {bytes, p.size(), table};
        ScanPattern without = {bytes, p.size(), nullptr};
        for (size_t start = 0; start < p.size(); start += 3) {
            size_t iWith = start, iWithout = start;
            size_t jWith = scan(with, b, block.size(), &iWith);
            size_t jWithout = scan(without, b, block.size(), &iWithout);
            ASSERT_EQ(jWith, jWithout);
            ASSERT_EQ(iWith, iWithout);
        }
        free(table);
    }
}

std::string KernelName(const ::testing::TestParamInfo<ScanKernelKind> &info)
{
    switch (info.param) {
    case SCAN_KERNEL_PORTABLE: return "Portable";
    case SCAN_KERNEL_SSE2: return "Sse2";
    case SCAN_KERNEL_AVX2: return "Avx2";
    default: return "Best";
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, KernelTest,
                         ::testing::Values(SCAN_KERNEL_PORTABLE, SCAN_KERNEL_SSE2, SCAN_KERNEL_AVX2),
                         KernelName);

}  // namespace
