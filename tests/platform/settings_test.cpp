#include <gtest/gtest.h>

#include <climits>
#include <filesystem>

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
    const std::string binary("\x01\xFF\xFE binary\0junk\n", 16);
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
