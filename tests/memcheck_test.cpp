// The real program under valgrind's memcheck against a real clipboard: no
// invalid access, no use of undefined bytes, no leak, and the heap it takes
// does not grow with the dictionary.
#include "support/process.h"
#include "support/x11_clipboard.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

std::string dir;

struct Checked {
    RunResult run;
    long long heapBytes;  // total allocated over the run, -1 when not reported
};

// Runs the program under memcheck; valgrind's own report goes to a file so
// that the program's standard error stays its own.
Checked UnderMemcheck(const std::string &dictionary)
{
    const std::string log = dir + "/memcheck.log";
    Checked checked;
    checked.run = RunCapture({"valgrind", "--error-exitcode=1", "--leak-check=full",
                              "--errors-for-leak-kinds=definite,indirect", "--log-file=" + log, KLAVEDO_BIN,
                              dictionary},
                             {}, 300000);
    std::string report = ReadFileBytes(log);
    checked.heapBytes = -1;
    // "total heap usage: 12 allocs, 11 frees, 34,567 bytes allocated"
    size_t at = report.find("frees, ");
    if (at != std::string::npos) {
        std::string digits;
        for (size_t k = at + 7; k < report.size() && report[k] != ' '; k++)
            if (report[k] >= '0' && report[k] <= '9')
                digits += report[k];
        if (!digits.empty())
            checked.heapBytes = std::stoll(digits);
    }
    if (checked.run.status != 0)
        ADD_FAILURE() << report;
    return checked;
}

class XServerEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(StartXServer()) << "Xvfb could not be started";
        dir = MakeTempDir();
        const std::string entry = "   apple  n.\nA round fruit.\n   banana\n";
        WriteFileBytes(dir + "/small.dict", "memcheck dictionary\n" + entry);
        std::string large = "memcheck dictionary\n";
        while (large.size() < (8u << 20))
            large += "a body line that is no head line\n";
        WriteFileBytes(dir + "/large.dict", large + entry);
    }
    void TearDown() override
    {
        StopXServer();
        std::filesystem::remove_all(dir);
    }
};

const ::testing::Environment *const xServer =
    ::testing::AddGlobalTestEnvironment(new XServerEnvironment);

TEST(Memcheck, FoundAndNotFoundAreClean)
{
    ASSERT_TRUE(OwnClipboard("apple"));
    Checked found = UnderMemcheck(dir + "/small.dict");
    EXPECT_EQ(found.run.status, 0);
    EXPECT_EQ(found.run.out, "\n   APPLE  n.\nA round fruit.\n   ");

    ASSERT_TRUE(OwnClipboard("cherry"));
    Checked missing = UnderMemcheck(dir + "/small.dict");
    EXPECT_EQ(missing.run.status, 0);
    EXPECT_EQ(missing.run.out, "\"\n   CHERRY\" not found in " + dir + "/small.dict.\n");
    ClearClipboard();
}

TEST(Memcheck, HeapDoesNotGrowWithTheDictionary)
{
    // Everything the heap ever held bounds its peak; the same text looked up
    // in 100 bytes and in 8 MiB must take exactly the same.
    ASSERT_TRUE(OwnClipboard("apple"));
    Checked small = UnderMemcheck(dir + "/small.dict");
    Checked large = UnderMemcheck(dir + "/large.dict");
    ClearClipboard();
    EXPECT_EQ(small.run.out, large.run.out);
    ASSERT_GT(small.heapBytes, 0);
    EXPECT_EQ(large.heapBytes, small.heapBytes);
}

}  // namespace
