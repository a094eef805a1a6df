// The real program against a real clipboard on a private X server: standard
// output, standard error and the exit status, byte for byte.
#include "support/expected.h"
#include "support/process.h"
#include "support/wine.h"
#include "support/x11_clipboard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <functional>
#include <memory>
#include <pthread.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
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

// What the clipboard holds while the program runs.
struct Clip {
    bool owned;
    std::string bytes;
    std::string type;  // empty: offered as text
    bool held = false;  // another program keeps the clipboard open
    std::string helperMode = "";  // owned by clip_owner in this mode instead of xclip
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
// Offered only as STRING (Latin-1); UTF8_STRING is refused.
Clip StringOnly(const std::string &bytes)
{
    return {true, bytes, "STRING", false, "string-only"};
}
// An owner that takes the selection and never answers.
Clip Silent()
{
    return {true, "never sent", "", false, "silent"};
}

// Made ready before the run (in the fixture folder); what it returns is
// called after the run to stop and remove what it made.
using Prepare = std::function<std::function<void()>(const std::string &dir)>;

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
    Prepare prepare = nullptr;
    bool fileGrows = false;  // the dictionary is written to during the run
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

std::string LargeText()
{
    // Large enough that the owner must send it in increments.
    std::string text;
    while (text.size() < (4u << 20))
        text += "incremental transfer of a long clipboard text ";
    return text;
}

template <size_t N>
std::string Bytes(const char (&literal)[N])
{
    return std::string(literal, N - 1);  // NUL bytes included
}

std::string AllByteValues()
{
    std::string text;
    for (int c = 1; c <= 0xFF; c++)
        text += (char)c;
    return text;
}

const char kCrLfTabDictionary[] =
    "crlf dictionary\r\n"
    "   Tab\tSep\r\n"
    "\tindented body\r\n"
    "  two spaces\r\n"
    "   next\r\n";
const char kLatin1Dictionary[] = "latin-1\n   Caf\xe9 noir\nstrong coffee\n   th\xe9\n";
const char kNulDictionary[] = "x\0y\n   nul\0word\n\0body\n   next";
// The only head line is the last line, without a line end.
const char kLonelyDictionary[] = "no entries here\n   lonely";
// Not valid UTF-8 (a Latin-1 byte), then UTF-8, then a space.
const char kOddName[] = "w\xf6rterbuch \xe4\xb8\xad.txt";

// Runs work on a thread until the returned function stops and joins it. A
// write to a pipe whose reader has gone fails there with EPIPE instead of
// ending the test process.
std::function<void()> InBackground(std::function<void(const std::atomic<bool> &stop)> work)
{
    auto stop = std::make_shared<std::atomic<bool>>(false);
    auto thread = std::make_shared<std::thread>([stop, work] {
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
        work(*stop);
    });
    return [stop, thread] {
        *stop = true;
        thread->join();
    };
}

// Stops the writer, then removes the file it wrote to.
std::function<void()> StopAndRemove(std::function<void()> stop, const std::string &path)
{
    return [stop, path] {
        stop();
        unlink(path.c_str());
    };
}

// A FIFO fed by a writer a few bytes at a time, so that reads come back short
// and a match is spread over several of them.
std::function<void()> FifoFedByWriter(const std::string &dir)
{
    const std::string path = dir + "/fifo.dict";
    mkfifo(path.c_str(), 0600);
    std::function<void()> finish = InBackground([path](const std::atomic<bool> &stop) {
        int fd = -1;
        // Opening for writing succeeds only once the reader has opened it.
        for (int k = 0; k < 20000 && fd < 0 && !stop; k++) {
            fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0)
                usleep(1000);
        }
        if (fd < 0)
            return;
        fcntl(fd, F_SETFL, 0);
        const std::string bytes = kDictionary;
        for (size_t at = 0; at < bytes.size(); at += 7) {
            if (write(fd, bytes.data() + at, std::min<size_t>(7, bytes.size() - at)) < 0)
                break;
            usleep(2000);
        }
        close(fd);
    });
    return StopAndRemove(finish, path);
}

// Mostly a hole: the only data stands past 4.5 GiB, beyond any 32-bit offset.
const char kSparseTail[] = "\n   sparse\nat the very end\n";
std::function<void()> SparseBeyond4GiB(const std::string &dir)
{
    const std::string path = dir + "/sparse.dict";
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const std::string tail = kSparseTail;
    EXPECT_EQ(pwrite(fd, tail.data(), tail.size(), ((off_t)9 << 29) + 5), (ssize_t)tail.size());
    close(fd);
    return [path] { unlink(path.c_str()); };
}

// 32 MiB of body lines, then the entry grow, while a writer keeps appending
// lines that hold no head line.
std::function<void()> GrowingWhileRead(const std::string &dir)
{
    const std::string path = dir + "/growing.dict";
    std::string bytes = "growing dictionary\n";
    while (bytes.size() < (32u << 20))
        bytes += "a body line that is no head line\n";
    bytes += "   grow\nbody of grow\n   next\n";
    WriteFileBytes(path, bytes);
    std::function<void()> finish = InBackground([path](const std::atomic<bool> &stop) {
        int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        std::string chunk;
        while (chunk.size() < 65536)
            chunk += "appended while the dictionary is read\n";
        for (int k = 0; k < 1000 && !stop; k++) {
            if (write(fd, chunk.data(), chunk.size()) < 0)
                break;
            usleep(2000);
        }
        close(fd);
    });
    return StopAndRemove(finish, path);
}

std::vector<E2ECase> Cases()
{
    const std::string dict = "@DIR@/dict.txt";
    const std::string spaced = "@DIR@/a folder with spaces/dict.txt";
    const std::string accents = "@DIR@/accents.txt";
    const std::string crlf = "@DIR@/crlf.txt";
    const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    const std::string large = LargeText();
    std::string huge = large;
    while (huge.size() < (16u << 20))
        huge += large;
    huge.resize(16u << 20);
    const std::string all = AllByteValues();
    const std::string crlfTab = "@DIR@/crlf.dict";
    const std::string odd = std::string("@DIR@/") + kOddName;
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

        // Clipboard texts that people have.
        {"SixteenMiBTextByIncrements", Text(huge), {dict}, NotFound(huge, dict), "", 0, {}},
        // Wine converts the X text from UTF-8 to the ANSI code page: bytes
        // that are no UTF-8 arrive as '?', and an LF as CR LF.
        {"EveryByteValue", Text(all), {"@DIR@/all-bytes.dict"}, "\n   " + Upper(all) + "\nentry body\n   ", "", 0, {}, NOT_WINDOWS},
        {"CrLfAndTabInText", Text("tab\tsep\r\n"), {crlfTab}, "\n   TAB\tSEP\r\n\tindented body\r\n  two spaces\r\n   ", "", 0, {}},
        {"CrLfDictionary", Text("tab"), {crlfTab}, "\n   TAB\tSep\r\n\tindented body\r\n  two spaces\r\n   ", "", 0, {}},
        {"Latin1OfferedOnlyAsString", StringOnly("caf\xe9"), {"@DIR@/latin1.dict"}, "\n   CAF\xe9 noir\nstrong coffee\n   ", "", 0, {}},
        {"OwnerNeverAnswers", Silent(), {dict}, "", "", 1, {}},

        // Dictionaries that people have.
        {"NulBytesInDictionary", Text("nul"), {"@DIR@/nul-bytes.dict"}, Bytes("\n   NUL\0word\n\0body\n   "), "", 0, {}},
        {"OnlyHeadIsLastLineWithoutEnd", Text("lone"), {"@DIR@/lonely.dict"}, "\n   LONEly", "", 0, {}},
        {"FifoFound", Text("apple"), {"@DIR@/fifo.dict"}, kAppleEntry, "", 0, {}, ALL_TARGETS, std::nullopt, FifoFedByWriter},
        {"FifoNotFound", Text("cherry"), {"@DIR@/fifo.dict"}, NotFound("cherry", "@DIR@/fifo.dict"), "", 0, {}, ALL_TARGETS, std::nullopt, FifoFedByWriter},
        {"DevNull", Text("apple"), {"/dev/null"}, NotFound("apple", "/dev/null"), "", 0, {}},
        {"SparseMatchBeyond4GiB", Text("sparse"), {"@DIR@/sparse.dict"}, "\n   SPARSE\nat the very end\n", "", 0, {}, ALL_TARGETS, std::nullopt, SparseBeyond4GiB},
        {"GrowingWhileReadFound", Text("grow"), {"@DIR@/growing.dict"}, "\n   GROW\nbody of grow\n   ", "", 0, {}, ALL_TARGETS, std::nullopt, GrowingWhileRead, true},
        {"GrowingWhileReadNotFound", Text("late"), {"@DIR@/growing.dict"}, NotFound("late", "@DIR@/growing.dict"), "", 0, {}, ALL_TARGETS, std::nullopt, GrowingWhileRead, true},
        {"NonAsciiPath", Text("apple"), {odd}, kAppleEntry, "", 0, {}},
        // A Windows program gets its arguments in the ANSI code page: the path
        // it quotes is Wine's conversion of these bytes, not the bytes.
        {"NonAsciiPathNotFound", Text("cherry"), {odd}, NotFound("cherry", odd), "", 0, {}, NOT_WINDOWS},
        {"NonAsciiPathMissing", Text("apple"), {odd + ".missing"}, "Cannot open file " + odd + ".missing\n", "", 2, {}, NOT_WINDOWS},
    };
}

std::vector<Target> Targets()
{
    std::vector<Target> targets = {{"linux", {KLAVEDO_BIN}, false}};
    if (kWindowsExe[0])
        targets.push_back({"wine", WineCommand(kWindowsExe), true, true});
    return targets;
}

// What the run must not change about a file: its bytes (when it is small
// enough to read whole) and its times.
struct FileState {
    bool regular;
    off_t size;
    long long modified, changed;  // nanoseconds
    std::string bytes;

    bool operator==(const FileState &o) const
    {
        return regular == o.regular && size == o.size && modified == o.modified && changed == o.changed &&
               bytes == o.bytes;
    }
};

FileState StateOf(const std::string &path)
{
    FileState state = {false, 0, 0, 0, ""};
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return state;
    state.regular = true;
    state.size = st.st_size;
    state.modified = (long long)st.st_mtim.tv_sec * 1000000000 + st.st_mtim.tv_nsec;
    state.changed = (long long)st.st_ctim.tv_sec * 1000000000 + st.st_ctim.tv_nsec;
    if (st.st_size <= (64 << 20) && path.compare(0, 6, "/proc/") != 0)
        state.bytes = ReadFileBytes(path);
    return state;
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
        WriteFileBytes(fixtureDir + "/all-bytes.dict", "all byte values\n   " + AllByteValues() + "\nentry body\n   next\n");
        WriteFileBytes(fixtureDir + "/crlf.dict", kCrLfTabDictionary);
        WriteFileBytes(fixtureDir + "/latin1.dict", kLatin1Dictionary);
        WriteFileBytes(fixtureDir + "/nul-bytes.dict", Bytes(kNulDictionary));
        WriteFileBytes(fixtureDir + "/lonely.dict", kLonelyDictionary);
        WriteFileBytes(fixtureDir + "/" + kOddName, kDictionary);
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
    if (!c.clip.helperMode.empty()) {
        ASSERT_TRUE(OwnClipboardWith({KLAVEDO_CLIP_OWNER, c.clip.helperMode}, c.clip.bytes));
    } else if (c.clip.owned) {
        ASSERT_TRUE(OwnClipboard(c.clip.bytes, c.clip.type));
    } else if (target.windows) {
        // Wine keeps the last text it took from X after the owner is gone,
        // as Windows keeps the text of a program that has ended. A clipboard
        // without text is, to a Windows program, one whose owner offers none.
        ASSERT_TRUE(OwnClipboard("", "application/octet-stream"));
    } else {
        ASSERT_TRUE(ClearClipboard());
    }
    const unsigned owner = ClipboardOwner();

    std::function<void()> finish = c.prepare ? c.prepare(fixtureDir) : nullptr;
    std::vector<std::string> argv = target.command;
    std::vector<FileState> files;
    for (const std::string &arg : c.args) {
        argv.push_back(Expand(arg));
        files.push_back(StateOf(argv.back()));
    }
    // Long enough for several GiB on a busy machine; an avoidable hang still
    // ends here as a failure.
    if (c.clip.held) {
        ASSERT_TRUE(HoldClipboard());
    }
    RunResult run = RunCapture(argv, c.env, 180000);
    if (c.clip.held)
        ReleaseClipboard();

    // The program only reads: the dictionary and the clipboard are as before.
    for (size_t k = 0; k < files.size() && !c.fileGrows; k++)
        EXPECT_TRUE(StateOf(argv[target.command.size() + k]) == files[k]) << argv[target.command.size() + k];
    if (finish)
        finish();
    EXPECT_EQ(ClipboardOwner(), owner);
    if (c.clip.owned && c.clip.helperMode != "silent") {
        std::string now;
        EXPECT_TRUE(ReadClipboard(c.clip.type.empty() ? "UTF8_STRING" : c.clip.type, &now));
        EXPECT_TRUE(now == c.clip.bytes) << "the clipboard now holds " << now.size() << " bytes";
    }

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
