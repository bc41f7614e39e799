#include <gtest/gtest.h>

#include <filesystem>

#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/random.h"
#include "platform/url.h"
#include "tests/support/temp_dirs.h"

using namespace platform;

TEST(Random, ClassicSequenceForSeedOne) {
    Random15 r;
    const int want[] = {41, 18467, 6334, 26500, 19169};
    for (int w : want) EXPECT_EQ(r.Next(), w);

    SeedRand(1);
    for (int w : want) EXPECT_EQ(Rand(), w);
    SeedRand(1);
    EXPECT_EQ(Rand(), 41);
}

TEST(Url, OnlyHttpAndHttps) {
    EXPECT_TRUE(IsOpenableUrl("http://example.com/"));
    EXPECT_TRUE(IsOpenableUrl("https://example.com/a?b=c#d"));
    EXPECT_TRUE(IsOpenableUrl("HTTPS://Example.com"));
    EXPECT_FALSE(IsOpenableUrl(""));
    EXPECT_FALSE(IsOpenableUrl("http://"));
    EXPECT_FALSE(IsOpenableUrl("http:///etc/passwd"));
    EXPECT_FALSE(IsOpenableUrl("file:///etc/passwd"));
    EXPECT_FALSE(IsOpenableUrl("javascript:alert(1)"));
    EXPECT_FALSE(IsOpenableUrl("ftp://example.com"));
    EXPECT_FALSE(IsOpenableUrl(" http://example.com"));
    EXPECT_FALSE(IsOpenableUrl("http://example.com/a b"));
    EXPECT_FALSE(IsOpenableUrl("http://example.com/\n--x"));
    EXPECT_FALSE(IsOpenableUrl("http://example.com/\x7F"));
    EXPECT_FALSE(IsOpenableUrl("httpx://example.com"));
    EXPECT_FALSE(OpenUrl("file:///etc/passwd"));
}

TEST(Paths, HonourXdgFolders) {
    testsupport::TempUserDirs dirs;
    const std::string config = ConfigDir();
    const std::string data = DataDir();
    EXPECT_EQ(config, dirs.ConfigHome() + "/Corvane Games/Pemberly");
    EXPECT_EQ(data, dirs.DataHome() + "/Corvane Games/Pemberly");
    EXPECT_TRUE(std::filesystem::is_directory(config));
    EXPECT_TRUE(std::filesystem::is_directory(data));

    // A relative value is not a base folder: the home default is used.
    setenv("XDG_CONFIG_HOME", "relative/dir", 1);
    const std::string home = dirs.DataHome() + "/home";
    const char* oldHome = std::getenv("HOME");
    const std::string keepHome = oldHome ? oldHome : "";
    setenv("HOME", home.c_str(), 1);
    EXPECT_EQ(ConfigDir(), home + "/.config/Corvane Games/Pemberly");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(DataDir(), home + "/.local/share/Corvane Games/Pemberly");
    if (oldHome) setenv("HOME", keepHome.c_str(), 1);
    else unsetenv("HOME");
}

TEST(Paths, JoinMakeDirsAndExecutable) {
    EXPECT_EQ(JoinPath("a", "b"), "a/b");
    EXPECT_EQ(JoinPath("a/", "b"), "a/b");
    EXPECT_EQ(JoinPath("a/", "/b"), "a/b");
    EXPECT_EQ(JoinPath("", "b"), "b");
    EXPECT_EQ(JoinPath("a", ""), "a");

    testsupport::TempDir dir;
    EXPECT_TRUE(MakeDirs(dir.File("x/y/z")));
    EXPECT_TRUE(MakeDirs(dir.File("x/y/z")));
    testsupport::WriteFile(dir.File("f"), "1");
    EXPECT_FALSE(MakeDirs(dir.File("f/g")));
    EXPECT_FALSE(MakeDirs(""));

    const std::string exe = ExecutableDir();
    ASSERT_FALSE(exe.empty());
    EXPECT_NE(exe.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(exe + "/test_platform"));
}

namespace {
class FakeClock : public Clock {
public:
    uint64_t NowMs() override { return now; }
    void SleepMs(uint32_t ms) override { now += ms; }
    uint64_t now = 0x100000005ull;
};
} // namespace

TEST(Clock, FakeReplacesSystemClock) {
    FakeClock fake;
    SetClock(&fake);
    EXPECT_EQ(&GetClock(), &fake);
    GetClock().SleepMs(10);
    EXPECT_EQ(GetClock().NowMs(), 0x10000000Full);
    EXPECT_EQ(TickCount(), 15u);  // the low 32 bits, as a tick count wraps
    SetClock(nullptr);
    EXPECT_NE(&GetClock(), &fake);
    const uint64_t a = GetClock().NowMs();
    GetClock().SleepMs(2);
    EXPECT_GE(GetClock().NowMs(), a);
}

TEST(Clipboard, RoundTripsText) {
    ASSERT_TRUE(SetClipboardText("Hello \xC3\xA9"));
    EXPECT_EQ(GetClipboardText(), "Hello \xC3\xA9");
    ASSERT_TRUE(SetClipboardText(""));
    EXPECT_EQ(GetClipboardText(), "");
}
