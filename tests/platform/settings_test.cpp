#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/settings.h"
#include "tests/support/temp_dirs.h"

using namespace platform;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

TEST(Settings, RoundTripsValuesAndSubKeys) {
    TempDir dir;
    const std::string path = dir.File("sub/settings.ini");
    {
        Settings s(path);
        EXPECT_TRUE(s.Load());  // missing file: empty store
        EXPECT_FALSE(s.Has("MusicVolume"));
        s.SetInt("MusicVolume", 80);
        s.SetInt("PreferredX", -5);
        s.SetBool("Muted", true);
        s.SetString("Plain", "a=b; c");
        s.SetString("Multi", "line1\nInjected=1\r\n[Test3D]\\n\\");
        s.SetString("Test3D\\RuntimeError", "CreateDevice failed");
        s.SetString("", "dropped");
        s.SetString("Bad=Name", "dropped");
        s.SetString("Bad\nName", "dropped");
        ASSERT_TRUE(s.Save());
    }
    const std::string text = ReadFile(path);
    EXPECT_NE(text.find("[Pemberly]\n"), std::string::npos);
    EXPECT_NE(text.find("[Test3D]\nRuntimeError=CreateDevice failed\n"), std::string::npos);

    Settings s(path);
    ASSERT_TRUE(s.Load());
    EXPECT_EQ(s.GetInt("MusicVolume"), 80);
    EXPECT_EQ(s.GetInt("PreferredX"), -5);
    EXPECT_TRUE(s.GetBool("Muted"));
    EXPECT_EQ(s.GetString("Plain"), "a=b; c");
    EXPECT_EQ(s.GetString("Multi"), "line1\nInjected=1\r\n[Test3D]\\n\\");
    EXPECT_FALSE(s.Has("Injected"));
    EXPECT_EQ(s.GetString("Test3D\\RuntimeError"), "CreateDevice failed");
    EXPECT_FALSE(s.Has("RuntimeError"));
    EXPECT_FALSE(s.Has(""));
    EXPECT_FALSE(s.Has("Bad=Name"));
    EXPECT_FALSE(s.Has("Bad\nName"));
    s.Remove("MusicVolume");
    EXPECT_EQ(s.GetInt("MusicVolume", 7), 7);

    // The save leaves only the file itself in its folder.
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.File("sub"))) {
        ++files;
        EXPECT_EQ(e.path().filename(), "settings.ini");
    }
    EXPECT_EQ(files, 1);
}

TEST(Settings, NumbersFallBackOnJunk) {
    TempDir dir;
    Settings s(dir.File("s.ini"));
    s.SetString("Junk", "12abc");
    s.SetString("Empty", "");
    s.SetString("Spaced", " 42 ");
    s.SetString("Huge", "99999999999");
    s.SetString("Min", std::to_string(INT_MIN));
    s.SetString("Word", "true");
    EXPECT_EQ(s.GetInt("Junk", -1), -1);
    EXPECT_EQ(s.GetInt("Empty", -1), -1);
    EXPECT_EQ(s.GetInt("Spaced", -1), 42);
    EXPECT_EQ(s.GetInt("Huge", -1), -1);
    EXPECT_EQ(s.GetInt("Min", 0), INT_MIN);
    EXPECT_EQ(s.GetInt("Missing", 9), 9);
    EXPECT_TRUE(s.GetBool("Junk", true));
    EXPECT_FALSE(s.GetBool("Junk", false));
    EXPECT_TRUE(s.GetBool("Min", false));
    EXPECT_TRUE(s.GetBool("Word", false));
    EXPECT_EQ(s.GetString("Missing", "def"), "def");
}

TEST(Settings, LoadSkipsGarbage) {
    TempDir dir;
    const std::string path = dir.File("settings.ini");
    const std::string binary("\x01\xFF\xFE binary junk\n");
    WriteFile(path, "ScreenMode=1\r\n"
                    "garbage line\n" + binary +
                    "=novalue\n"
                    "; comment=1\n"
                    "[Unclosed\n"
                    "  Is3D = 1\n"
                    "[Test3D]\n"
                    "Version=7\n"
                    "Bad\\Key=1\n"
                    "[Pemberly]\n"
                    "MusicVolume=55\n"
                    "MusicVolume=60\n");
    Settings s(path);
    ASSERT_TRUE(s.Load());
    EXPECT_EQ(s.GetInt("ScreenMode"), 1);
    EXPECT_EQ(s.GetInt("Is3D"), 1);
    EXPECT_EQ(s.GetInt("Test3D\\Version"), 7);
    EXPECT_EQ(s.GetInt("MusicVolume"), 60);
    EXPECT_FALSE(s.Has(""));
    EXPECT_FALSE(s.Has("garbage line"));
    EXPECT_FALSE(s.Has("Test3D\\Bad\\Key"));

    // Loading again replaces, not merges.
    WriteFile(path, "[Pemberly]\nSfxVolume=3\n");
    ASSERT_TRUE(s.Load());
    EXPECT_FALSE(s.Has("ScreenMode"));
    EXPECT_EQ(s.GetInt("SfxVolume"), 3);
}

TEST(Settings, SaveFailsCleanlyWhereItCannotWrite) {
    TempDir dir;
    WriteFile(dir.File("file"), "x");
    Settings s(dir.File("file/settings.ini"));  // parent is a file
    s.SetInt("A", 1);
    EXPECT_FALSE(s.Save());
}

namespace {

// Names in dir starting with prefix.
std::vector<std::string> EntriesStartingWith(const std::string& dir, const std::string& prefix) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (name.rfind(prefix, 0) == 0) names.push_back(name);
    }
    return names;
}

} // namespace

// What cannot be used is reported; damaged text is set aside, what cannot be
// read stays and is never saved over; nothing blocks or is read without end.
TEST(Settings, HostileFilesAreReportedAndNeverOverwritten) {
    namespace fs = std::filesystem;
    enum class After { kSetAside, kLeftAlone };
    struct Case {
        const char* name;
        std::function<bool(const std::string& path)> make;  // false: cannot be made here
        After after;
        const char* why;
    };
    const Case cases[] = {
        {"named pipe", [](const std::string& p) { return mkfifo(p.c_str(), 0600) == 0; }, After::kLeftAlone,
         "not a regular file"},
        {"link to /dev/zero", [](const std::string& p) { return symlink("/dev/zero", p.c_str()) == 0; },
         After::kLeftAlone, "not a regular file"},
        {"folder in its place", [](const std::string& p) { return fs::create_directory(p); }, After::kLeftAlone,
         "not a regular file"},
        {"no permission",
         [](const std::string& p) {
             WriteFile(p, "[Pemberly]\nMusicVolume=30\n");
             chmod(p.c_str(), 0);
             return geteuid() != 0;  // root reads it all the same
         },
         After::kLeftAlone, "Permission denied"},
        {"200 MB",
         [](const std::string& p) {
             WriteFile(p, "[Pemberly]\nMusicVolume=30\n");
             fs::resize_file(p, 200u << 20);  // sparse: zeros cost no disk
             return true;
         },
         After::kSetAside, "larger than"},
        {"binary garbage",
         [](const std::string& p) {
             std::string bytes(4096, '\0');
             for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
             WriteFile(p, bytes);
             return true;
         },
         After::kSetAside, "not a text file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.File("settings.ini");
        if (!c.make(path)) {
            fs::permissions(path, fs::perms::owner_all);
            continue;
        }
        const fs::file_status before = fs::symlink_status(path);
        Settings s(path);
        EXPECT_FALSE(s.Load());
        EXPECT_NE(s.LastError().find(path), std::string::npos) << s.LastError();
        EXPECT_NE(s.LastError().find(c.why), std::string::npos) << s.LastError();
        EXPECT_FALSE(s.Has("MusicVolume"));
        s.SetInt("MusicVolume", 99);
        const std::vector<std::string> aside = EntriesStartingWith(dir.Path(), "settings.ini.bad-");
        if (c.after == After::kSetAside) {
            ASSERT_EQ(aside.size(), 1u);
            EXPECT_NE(s.LastError().find(aside[0]), std::string::npos) << s.LastError();
            EXPECT_TRUE(s.Save());  // a fresh file in its place
            Settings again(path);
            EXPECT_TRUE(again.Load());
            EXPECT_EQ(again.GetInt("MusicVolume"), 99);
        } else {
            EXPECT_TRUE(aside.empty());
            EXPECT_FALSE(s.Save());
            EXPECT_EQ(fs::symlink_status(path).type(), before.type());
            if (before.type() == fs::file_type::regular) {
                chmod(path.c_str(), 0600);
                EXPECT_EQ(ReadFile(path), "[Pemberly]\nMusicVolume=30\n");
            }
        }
        EXPECT_TRUE(EntriesStartingWith(dir.Path(), "settings.ini.tmp-").empty());
    }
}

// Temporary files of killed saves go at start; nothing else does.
TEST(Settings, StaleTemporaryFilesOfSavesAreRemovedAtStart) {
    TempDir dir;
    const std::string path = dir.File("settings.ini");
    WriteFile(path, "[Pemberly]\nMusicVolume=30\n");
    const char* stale[] = {"settings.ini.tmp-a1B2c3", "settings.ini.tmp-ZZZZZZ"};
    const char* kept[] = {"settings.ini.tmp-short", "settings.ini.tmp-toolong1", "settings.ini.bad-x",
                          "pref.dat.tmp-a1B2c3", "other.ini.tmp-a1B2c3"};
    for (const char* name : stale) WriteFile(dir.File(name), "half a save");
    for (const char* name : kept) WriteFile(dir.File(name), "not ours");
    std::filesystem::create_directory(dir.File("settings.ini.tmp-DIR123"));  // only files go

    Settings s(path);
    EXPECT_TRUE(s.Load());
    EXPECT_EQ(s.GetInt("MusicVolume"), 30);
    for (const char* name : stale) EXPECT_FALSE(std::filesystem::exists(dir.File(name))) << name;
    for (const char* name : kept) EXPECT_EQ(ReadFile(dir.File(name)), "not ours") << name;
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("settings.ini.tmp-DIR123")));
}
