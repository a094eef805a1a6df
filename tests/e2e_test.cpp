// The real program against a real clipboard on a private X server: standard
// output, standard error and the exit status, byte for byte.
#include "support/process.h"
#include "support/wine.h"
#include "support/x11_clipboard.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

std::string fixtureDir;

// Set when the build was given a cross-built klavedo.exe to run under Wine.
const char kWindowsExe[] = KLAVEDO_WINDOWS_EXE;

const char kDictionary[] =
    "klavedo test dictionary\n"
    "   apple  n.\n"
    "A round fruit.\n"
    "  Grows on trees.\n"
    "   Banana\n"
    "A long yellow fruit.\n";

const char kAppleEntry[] = "\n   APPLE  n.\nA round fruit.\n  Grows on trees.\n   ";

// The same head word twice, once in UTF-8 and once in the one byte of the
// ANSI code page 1252.
const char kAccents[] =
    "head words with accents\n"
    "   caf\xc3\xa9  UTF-8\n"
    "   caf\xe9  one byte\n";

// Line ends as Windows editors write them, and a Ctrl+Z in a body line: read
// as bytes, neither ends anything.
const char kCrLfDictionary[] =
    "title\r\n"
    "   apple  n.\r\n"
    "A round\x1a fruit.\r\n"
    "   banana\r\n";

// A head line that the first two reads of the file share between them.
std::string AcrossReads()
{
    std::string bytes = "head line split between two reads\n";
    while (bytes.size() < 32768 - 5)
        bytes += "filler\n";
    bytes.resize(32768 - 5, 'x');
    return bytes + "\n   zebra  n.\nStriped.\n   zoo\n";
}

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
    bool held = false;  // another program keeps the clipboard open
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
Clip Held(const std::string &text)
{
    return {true, text, "", true};
}

// Which programs a case applies to.
enum Reach { ALL_TARGETS, NOT_WINDOWS, WINDOWS_ONLY };

struct E2ECase {
    std::string name;
    Clip clip;
    std::vector<std::string> args;  // "@DIR@" stands for the fixture folder
    std::string out;
    std::string err;
    int status;
    EnvChanges env;
    Reach reach = ALL_TARGETS;
    // What the Windows program writes, before its stream's CR LF, where
    // Wine hands it other bytes than the X clipboard holds.
    std::optional<std::string> windowsOut = std::nullopt;
};

// A program under test: how to start it and how its standard output ends lines.
struct Target {
    std::string name;
    std::vector<std::string> command;
    bool crlf;
    bool windows = false;
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
    const std::string accents = "@DIR@/accents.txt";
    const std::string crlf = "@DIR@/crlf.txt";
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
        // A Windows program's text stream adds its own CR before each LF.
        {"CrLfAndCtrlZCopiedAsBytes", Text("apple"), {crlf}, "\n   APPLE  n.\r\nA round\x1a fruit.\r\n   ", "", 0, {}},
        {"MatchAcrossTwoReads", Text("zebra"), {"@DIR@/across.txt"}, "\n   ZEBRA  n.\nStriped.\n   ", "", 0, {}},
        {"NotFound", Text("cherry"), {dict}, NotFound("cherry", dict), "", 0, {}},
        // Wine hands X text to Windows programs with Windows line ends: the
        // LF arrives as CR LF.
        {"TextIsNotTrimmed", Text("apple\n"), {dict}, NotFound("apple\n", dict), "", 0, {},
         ALL_TARGETS, NotFound("apple\r\n", dict)},
        // The bytes searched for are the clipboard's text as the platform
        // gives it: X holds UTF-8, while Wine converts it to the ANSI code
        // page (1252), where e-acute is the one byte 0xE9.
        {"AccentsAsThePlatformGivesThem", Text("caf\xc3\xa9"), {accents},
         "\n   CAF\xc3\xa9  UTF-8\n   ", "", 0, {}, ALL_TARGETS, std::string("\n   CAF\xe9  one byte\n")},
        // The runtime expands no wildcards: the path is taken as it stands.
        {"WildcardsNotExpanded", Text("apple"), {"@DIR@/*.txt"}, "Cannot open file @DIR@/*.txt\n", "", 2, {}},
        {"EmptyTextFindsFirstHead", Text(""), {dict}, "\n   apple  n.\nA round fruit.\n  Grows on trees.\n   ", "", 0, {}},
        {"LargeTextByIncrements", Text(large), {dict}, NotFound(large, dict), "", 0, {}},
        {"MissingDictionary", Text("apple"), {"@DIR@/missing.txt"}, "Cannot open file @DIR@/missing.txt\n", "", 2, {}},
        {"DirectoryAsDictionary", Text("apple"), {"@DIR@"}, "Cannot open file @DIR@\n", "", 2, {}},
        {"MissingDictionaryNoText", NoOwner(), {"@DIR@/missing.txt"}, "", "", 1, {}},
        {"NoOwnerIsNoText", NoOwner(), {dict}, "", "", 1, {}},
        {"ImageOnlyIsNoText", Typed(png, "image/png"), {dict}, "", "", 1, {}},
        // Under Wine the prefix's desktop keeps its own X connection.
        {"NoXServer", Text("apple"), {dict}, "", kDiagnostic, 3, {"DISPLAY"}, NOT_WINDOWS},
        {"ClipboardHeldByAnotherProgram", Held("apple"), {dict}, "", kDiagnostic, 3, {}, WINDOWS_ONLY},
        // Unreadable from its first byte; Wine reaches it as Z:\proc\self\mem and
        // fails the same way.
        {"ReadError", Text("apple"), {"/proc/self/mem"}, "Cannot read file /proc/self/mem\n", "", 4, {}},
    };
}

std::vector<Target> Targets()
{
    std::vector<Target> targets = {{"linux", {KLAVEDO_BIN}, false}};
    if (kWindowsExe[0])
        targets.push_back({"wine", WineCommand(kWindowsExe), true, true});
    return targets;
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
        WriteFileBytes(fixtureDir + "/accents.txt", kAccents);
        WriteFileBytes(fixtureDir + "/crlf.txt", kCrLfDictionary);
        WriteFileBytes(fixtureDir + "/across.txt", AcrossReads());
    }
    void TearDown() override
    {
        StopXServer();
        std::filesystem::remove_all(fixtureDir);
    }
};

const ::testing::Environment *const xServer =
    ::testing::AddGlobalTestEnvironment(new XServerEnvironment);

// Wine on the X server above, set up once: a new prefix takes seconds, a
// warm one runs a program in a fraction of one.
class WineEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (kWindowsExe[0]) {
            ASSERT_TRUE(StartWine(std::filesystem::path(kWindowsExe).parent_path().string()))
                << "Wine could not be started";
        }
    }
    void TearDown() override
    {
        if (kWindowsExe[0])
            StopWine();
    }
};

const ::testing::Environment *const wine =
    ::testing::AddGlobalTestEnvironment(new WineEnvironment);

class EndToEnd : public ::testing::TestWithParam<std::tuple<Target, E2ECase>> {};

TEST_P(EndToEnd, OutputErrorsAndStatus)
{
    const Target &target = std::get<0>(GetParam());
    const E2ECase &c = std::get<1>(GetParam());
    if (c.reach == (target.windows ? NOT_WINDOWS : WINDOWS_ONLY))
        GTEST_SKIP() << "does not apply to the " << target.name << " program";
    if (c.clip.owned) {
        ASSERT_TRUE(OwnClipboard(c.clip.bytes, c.clip.type));
    } else if (target.windows) {
        // Wine keeps the last text it took from X after the owner is gone,
        // as Windows keeps the text of a program that has ended. A clipboard
        // without text is, to a Windows program, one whose owner offers none.
        ASSERT_TRUE(OwnClipboard("", "application/octet-stream"));
    } else {
        ASSERT_TRUE(ClearClipboard());
    }

    std::vector<std::string> argv = target.command;
    for (const std::string &arg : c.args)
        argv.push_back(Expand(arg));
    if (c.clip.held) {
        ASSERT_TRUE(HoldClipboard());
    }
    RunResult run = RunCapture(argv, c.env);
    if (c.clip.held)
        ReleaseClipboard();

    std::string out = Expand(target.windows && c.windowsOut ? *c.windowsOut : c.out);
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
