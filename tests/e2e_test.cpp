// The real program against a real clipboard on a private X server: standard
// output, standard error and the exit status, byte for byte.
#include "support/process.h"
#include "support/x11_clipboard.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string fixtureDir;

const char kDictionary[] =
    "klavedo test dictionary\n"
    "   apple  n.\n"
    "A round fruit.\n"
    "  Grows on trees.\n"
    "   Banana\n"
    "A long yellow fruit.\n";

const char kAppleEntry[] = "\n   APPLE  n.\nA round fruit.\n  Grows on trees.\n   ";

const char kUsage[] =
    "Command line: KLAVEDO [dictionary file] \n"
    "Description: Performs bynary search of string=[3 spaces + ClipboardText] in "
    "[dictionary file] and output the following text \n";

const char kDiagnostic[] =
    "\r\nAssertion failed: fOpen, file klavedo, line 46\r\n"
    "\r\nAbnormal program termination\r\n";

// What the clipboard holds while the program runs.
struct Clip {
    bool owned;
    std::string bytes;
    std::string type;  // empty: offered as text
};

Clip NoOwner()
{
    return {false, "", ""};
}
Clip Text(const std::string &text)
{
    return {true, text, ""};
}
Clip Typed(const std::string &bytes, const std::string &type)
{
    return {true, bytes, type};
}

struct E2ECase {
    std::string name;
    Clip clip;
    std::vector<std::string> args;  // "@DIR@" stands for the fixture folder
    std::string out;
    std::string err;
    int status;
    EnvChanges env;
};

// A program under test: how to start it and how its standard output ends lines.
struct Target {
    std::string name;
    std::vector<std::string> command;
    bool crlf;
};

void PrintTo(const E2ECase &c, std::ostream *os)
{
    *os << c.name;
}
void PrintTo(const Target &t, std::ostream *os)
{
    *os << t.name;
}

std::string Expand(std::string s)
{
    const std::string marker = "@DIR@";
    for (size_t at = s.find(marker); at != std::string::npos; at = s.find(marker, at))
        s.replace(at, marker.size(), fixtureDir);
    return s;
}

std::string WithCrLf(const std::string &s)
{
    std::string out;
    for (char c : s) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

std::string Upper(std::string s)
{
    for (char &c : s)
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 32);
    return s;
}

std::string NotFound(const std::string &text, const std::string &path)
{
    return "\"\n   " + Upper(text) + "\" not found in " + path + ".\n";
}

std::string LargeText()
{
    // Large enough that the owner must send it in increments.
    std::string text;
    while (text.size() < (4u << 20))
        text += "incremental transfer of a long clipboard text ";
    return text;
}

std::vector<E2ECase> Cases()
{
    const std::string dict = "@DIR@/dict.txt";
    const std::string spaced = "@DIR@/a folder with spaces/dict.txt";
    const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    const std::string large = LargeText();
    return {
        // The clipboard is never reached: no X server is there to reach.
        {"UsageWithoutArgument", Text("apple"), {}, kUsage, "", 1, {"DISPLAY"}},
        {"Found", Text("apple"), {dict}, kAppleEntry, "", 0, {}},
        {"FoundInAnyCase", Text("aPpLe"), {dict}, kAppleEntry, "", 0, {}},
        {"LastEntryEndsWithFile", Text("banana"), {dict}, "\n   BANANA\nA long yellow fruit.\n", "", 0, {}},
        {"FurtherArgumentsIgnored", Text("apple"), {dict, "other.txt", "x"}, kAppleEntry, "", 0, {}},
        {"PathWithSpaces", Text("apple"), {spaced}, kAppleEntry, "", 0, {}},
        {"NotFound", Text("cherry"), {dict}, NotFound("cherry", dict), "", 0, {}},
        {"TextIsNotTrimmed", Text("apple\n"), {dict}, NotFound("apple\n", dict), "", 0, {}},
        {"EmptyTextFindsFirstHead", Text(""), {dict}, "\n   apple  n.\nA round fruit.\n  Grows on trees.\n   ", "", 0, {}},
        {"LargeTextByIncrements", Text(large), {dict}, NotFound(large, dict), "", 0, {}},
        {"MissingDictionary", Text("apple"), {"@DIR@/missing.txt"}, "Cannot open file @DIR@/missing.txt\n", "", 2, {}},
        {"DirectoryAsDictionary", Text("apple"), {"@DIR@"}, "Cannot open file @DIR@\n", "", 2, {}},
        {"MissingDictionaryNoText", NoOwner(), {"@DIR@/missing.txt"}, "", "", 1, {}},
        {"NoOwnerIsNoText", NoOwner(), {dict}, "", "", 1, {}},
        {"ImageOnlyIsNoText", Typed(png, "image/png"), {dict}, "", "", 1, {}},
        {"NoXServer", Text("apple"), {dict}, "", kDiagnostic, 3, {"DISPLAY"}},
        {"ReadError", Text("apple"), {"/proc/self/mem"}, "Cannot read file /proc/self/mem\n", "", 4, {}},
    };
}

std::vector<Target> Targets()
{
    return {{"linux", {KLAVEDO_BIN}, false}};
}

class XServerEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(StartXServer()) << "Xvfb could not be started";
        // A Wayland session around the tests would be read first.
        unsetenv("WAYLAND_DISPLAY");
        fixtureDir = MakeTempDir();
        WriteFileBytes(fixtureDir + "/dict.txt", kDictionary);
        std::filesystem::create_directory(fixtureDir + "/a folder with spaces");
        WriteFileBytes(fixtureDir + "/a folder with spaces/dict.txt", kDictionary);
    }
    void TearDown() override
    {
        StopXServer();
        std::filesystem::remove_all(fixtureDir);
    }
};

const ::testing::Environment *const xServer =
    ::testing::AddGlobalTestEnvironment(new XServerEnvironment);

class EndToEnd : public ::testing::TestWithParam<std::tuple<Target, E2ECase>> {};

TEST_P(EndToEnd, OutputErrorsAndStatus)
{
    const Target &target = std::get<0>(GetParam());
    const E2ECase &c = std::get<1>(GetParam());
    if (c.clip.owned)
        ASSERT_TRUE(OwnClipboard(c.clip.bytes, c.clip.type));
    else
        ASSERT_TRUE(ClearClipboard());

    std::vector<std::string> argv = target.command;
    for (const std::string &arg : c.args)
        argv.push_back(Expand(arg));
    RunResult run = RunCapture(argv, c.env);

    std::string out = Expand(c.out);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, c.status);
    EXPECT_TRUE(run.out == (target.crlf ? WithCrLf(out) : out))
        << "stdout (" << run.out.size() << " bytes): " << run.out.substr(0, 400);
    EXPECT_EQ(run.err, c.err);
}

INSTANTIATE_TEST_SUITE_P(
    Clipboard, EndToEnd, ::testing::Combine(::testing::ValuesIn(Targets()), ::testing::ValuesIn(Cases())),
    [](const ::testing::TestParamInfo<std::tuple<Target, E2ECase>> &info) {
        return std::get<0>(info.param).name + "_" + std::get<1>(info.param).name;
    });

}  // namespace
