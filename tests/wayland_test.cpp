// The real program in a Wayland session: a headless compositor whose
// clipboard is set by wl-copy, beside a private X server whose clipboard holds
// another text, so that every case shows which of the two was read.
#include "support/expected.h"
#include "support/process.h"
#include "support/wayland_session.h"
#include "support/x11_clipboard.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

std::string fixtureDir;

const char kDictionary[] =
    "klavedo test dictionary\n"
    "   apple  n.\n"
    "A round fruit.\n"
    "   Banana\n"
    "A long yellow fruit.\n";

const char kAppleEntry[] = "\n   APPLE  n.\nA round fruit.\n   ";
const char kBananaEntry[] = "\n   BANANA\nA long yellow fruit.\n";

enum Owner { NONE, TEXT, SILENT };

// What the Wayland clipboard holds while the program runs.
struct Clip {
    Owner owner;
    std::string bytes;
    std::string type;  // empty: offered as text
};

Clip NoSelection()
{
    return {NONE, "", ""};
}
Clip Text(const std::string &text)
{
    return {TEXT, text, ""};
}

struct WaylandCase {
    std::string name;
    Clip wayland;
    std::string x11;  // the X11 clipboard's text, or "" for no owner
    std::string out;
    std::string err;
    int status;
    EnvChanges env;  // "@DIR@": the fixture folder; "@SOCKET@": the live socket's path
};

void PrintTo(const WaylandCase &c, std::ostream *os)
{
    *os << c.name;
}

std::string Expand(std::string s)
{
    const std::pair<std::string, std::string> markers[] = {{"@DIR@", fixtureDir},
                                                           {"@SOCKET@", CompositorSocketPath()}};
    for (const auto &marker : markers)
        for (size_t at = s.find(marker.first); at != std::string::npos; at = s.find(marker.first, at))
            s.replace(at, marker.first.size(), marker.second);
    return s;
}

std::string NotFound(const std::string &text)
{
    return ::NotFound(text, "@DIR@/dict.txt");
}

std::string LargeText()
{
    std::string text;
    while (text.size() < (16u << 20))
        text += "a long text that arrives through the pipe in many chunks ";
    return text;
}

std::vector<WaylandCase> Cases()
{
    const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    const std::string large = LargeText();
    // A socket file whose compositor has gone: connecting to it is refused.
    const std::string dead = "WAYLAND_DISPLAY=@DIR@/wayland-dead";
    return {
        // The session's own clipboard comes first, although X11 has text too.
        {"FoundBeforeX11", Text("apple"), "banana", kAppleEntry, "", 0, {}},
        {"AbsoluteSocketPath", Text("apple"), "banana", kAppleEntry, "", 0,
         {"WAYLAND_DISPLAY=@SOCKET@", "XDG_RUNTIME_DIR"}},
        {"NotFound", Text("cherry"), "", NotFound("cherry"), "", 0, {}},
        {"EmptyTextFindsFirstHead", Text(""), "", "\n   apple  n.\nA round fruit.\n   ", "", 0, {}},
        {"TextEndsAtNul", Text(std::string("apple\0 n.", 9)), "", kAppleEntry, "", 0, {}},
        {"TrailingLineEndKept", Text("apple\n"), "", NotFound("apple\n"), "", 0, {}},
        {"LargeText", Text(large), "", NotFound(large), "", 0, {}},
        // No text in a reachable session is no text, even when X11 has some.
        {"NoSelectionIsNoText", NoSelection(), "banana", "", "", 1, {}},
        {"ImageOnlyIsNoText", {TEXT, png, "image/png"}, "banana", "", "", 1, {}},
        {"SilentOwnerIsNoText", {SILENT, "apple", ""}, "banana", "", "", 1, {}},
        // Without a Wayland clipboard to read, the X11 reader as before.
        {"DeadSocketFallsBackToX11", Text("apple"), "banana", kBananaEntry, "", 0, {dead}},
        {"NoRuntimeDirFallsBackToX11", Text("apple"), "banana", kBananaEntry, "", 0,
         {"XDG_RUNTIME_DIR"}},
        {"WlPasteMissingFallsBackToX11", Text("apple"), "banana", kBananaEntry, "", 0,
         {"PATH=@DIR@"}},
        {"WaylandDisplayUnsetIsX11", Text("apple"), "banana", kBananaEntry, "", 0,
         {"WAYLAND_DISPLAY"}},
        {"NeitherReachable", Text("apple"), "banana", "", kDiagnostic, 3, {dead, "DISPLAY"}},
    };
}

bool MakeDeadSocket(const std::string &path)
{
    struct sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    path.copy(address.sun_path, path.size());
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    bool made = fd >= 0 && bind(fd, (const struct sockaddr *)&address, sizeof address) == 0;
    if (fd >= 0)
        close(fd);
    return made;
}

class SessionEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(StartXServer()) << "Xvfb could not be started";
        ASSERT_TRUE(StartCompositor()) << "sway could not be started";
        fixtureDir = MakeTempDir();
        WriteFileBytes(fixtureDir + "/dict.txt", kDictionary);
        ASSERT_TRUE(MakeDeadSocket(fixtureDir + "/wayland-dead"));
    }
    void TearDown() override
    {
        StopCompositor();
        StopXServer();
        std::filesystem::remove_all(fixtureDir);
    }
};

const ::testing::Environment *const session =
    ::testing::AddGlobalTestEnvironment(new SessionEnvironment);

class Wayland : public ::testing::TestWithParam<WaylandCase> {};

TEST_P(Wayland, OutputErrorsAndStatus)
{
    const WaylandCase &c = GetParam();
    if (c.wayland.owner == NONE)
        ASSERT_TRUE(ClearWaylandClipboard());
    else
        ASSERT_TRUE(OwnWaylandClipboard(c.wayland.bytes, c.wayland.type, c.wayland.owner == SILENT));
    if (c.x11.empty())
        ASSERT_TRUE(ClearClipboard());
    else
        ASSERT_TRUE(OwnClipboard(c.x11));

    EnvChanges env;
    for (const std::string &change : c.env)
        env.push_back(Expand(change));
    RunResult run = RunCapture({KLAVEDO_BIN, fixtureDir + "/dict.txt"}, env);

    std::string out = Expand(c.out);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, c.status);
    EXPECT_TRUE(run.out == out) << "stdout (" << run.out.size() << " bytes): " << run.out.substr(0, 400);
    EXPECT_EQ(run.err, c.err);
}

INSTANTIATE_TEST_SUITE_P(Clipboard, Wayland, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<WaylandCase> &info) { return info.param.name; });

}  // namespace
