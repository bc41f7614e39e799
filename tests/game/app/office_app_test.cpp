#include "game/app/office_app.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "framework/app/widget_manager.h"
#include "framework/graphics/memory_image.h"
#include "framework/resources/resource_manager.h"
#include "game/app/startup.h"
#include "platform/settings.h"
#include "tests/game/app/game_folder.h"

using gametest::GameFolder;
using testsupport::SourceDir;
using testsupport::TempDir;
using testsupport::TempUserDirs;

namespace {

// The application without a window, its errors caught instead of shown.
class TestApp : public OfficeApp {
public:
    explicit TestApp(const std::string& prefsPath = "") : OfficeApp(prefsPath) { mNoWindow = true; }
    void ShowError(const std::string& text, const std::string& title) override {
        errors.push_back(title + ": " + text);
    }
    std::vector<std::string> errors;
};

const std::string kManifest =
    "<resources><group id=\"Init\">"
    "<image id=\"GFX_GAME_GROUND\" path=\"images\\ground.png\"/>"
    "<image id=\"GFX_OTHER\" path=\"images\\other.png\"/>"
    "</group></resources>";

TEST(OfficeAppStartup, MissingInitPictureIsReportedNotACrash) {
    TempUserDirs user;
    GameFolder folder;
    folder.Write("images/ground.png", gametest::MakePng(8, 6, 0xFF00FF00));
    folder.Write("properties/resources.xml", kManifest);  // images/other.png is missing
    TestApp app;
    EXPECT_FALSE(app.Init());
    ASSERT_EQ(app.errors.size(), 1u);
    EXPECT_NE(app.errors[0].find("GFX_OTHER"), std::string::npos) << app.errors[0];
    EXPECT_EQ(app.GetResourceManager()->GetImage("GFX_OTHER"), nullptr);
}

TEST(OfficeAppStartup, MissingOrBrokenManifestIsReported) {
    TempUserDirs user;
    GameFolder folder;
    {
        TestApp app;
        EXPECT_FALSE(app.Init());
        ASSERT_EQ(app.errors.size(), 1u);
        EXPECT_NE(app.errors[0].find("resources.xml"), std::string::npos) << app.errors[0];
    }
    folder.Write("properties/resources.xml", "<resources><group id=\"Other\"/></resources>");
    TestApp app;
    EXPECT_FALSE(app.Init());
    ASSERT_EQ(app.errors.size(), 1u);
    EXPECT_NE(app.errors[0].find("Init"), std::string::npos) << app.errors[0];
}

TEST(OfficeAppStartup, RunGameNeedsPlayUrl) {
    TempUserDirs user;
    TempDir empty;
    EXPECT_EQ(RunGame(empty.Path(), false), 1);
    EXPECT_EQ(GetApp(), nullptr);
}

TEST(OfficeAppStartup, PlayUrlLine) {
    EXPECT_EQ(PlayUrlFromText("[InternetShortcut]\r\nURL=https://example.org/x\r\n"), "https://example.org/x");
    EXPECT_EQ(PlayUrlFromText("[InternetShortcut]\nurl=http://a.b\n"), "http://a.b");
    EXPECT_EQ(PlayUrlFromText("[InternetShortcut]\nIconFile=x\n"), "");
    EXPECT_EQ(PlayUrlFromText("URL="), "");
}

TEST(OfficeAppStartup, SampleGameStartsAndLoadsItsConfiguration) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    TempUserDirs user;
    PakSetGameDir(SourceDir() + "/data");
    InstallGameFileAccess(true);
    {
        TestApp app;
        EXPECT_EQ(GetApp(), &app);
        EXPECT_EQ(app.mWidth, 800);
        EXPECT_EQ(app.mHeight, 600);
        EXPECT_EQ(app.mCurrentProfileSlot, -1);
        EXPECT_EQ(app.GetLevelScreen(), nullptr);
        EXPECT_EQ(app.GetCursorTable(), nullptr);
        ASSERT_TRUE(app.Init()) << (app.errors.empty() ? "" : app.errors[0]);
        ASSERT_NE(gGroundImage, nullptr);
        EXPECT_EQ(gGroundImage->mWidth, 800);
        app.LoadingThreadCompleted();
        EXPECT_TRUE(app.errors.empty());
        EXPECT_TRUE(app.Warnings().empty()) << app.Warnings()[0];
        EXPECT_EQ(app.GetLocTable()->Lookup("DIALOG_BUTTON_OK"), u"OK");
        EXPECT_EQ(app.LocText("FATAL_ERROR", "x"), "Fatal Error");
        EXPECT_EQ(app.LocText("NO_SUCH_KEY", "fallback"), "fallback");
        EXPECT_NE(app.GetFont("title"), nullptr);
        EXPECT_EQ(app.GetFont("no_font"), nullptr);
        ASSERT_NE(app.GetSoundManager(), nullptr);  // the dummy driver is a device
        EXPECT_TRUE(app.GetSoundManager()->HasSound("click"));
        EXPECT_TRUE(app.GetMusicManager()->HasMusic("main_menu"));
        Zephra::MemoryImage* button = app.GetTextureTable()->Acquire("button");
        ASSERT_NE(button, nullptr);
        app.GetTextureTable()->Release("button");
        EXPECT_EQ(app.ExpertGoal(0), -1);
        EXPECT_EQ(app.ExpertGoal(61), -1);

        app.LockWidgets();
        EXPECT_TRUE(app.mWidgetManager->IsInputLocked());
        app.UnlockWidgets();
        EXPECT_FALSE(app.mWidgetManager->IsInputLocked());
    }
    EXPECT_EQ(GetApp(), nullptr);
    EXPECT_EQ(gGroundImage, nullptr);
    InstallGameFileAccess(false);
}

TEST(OfficeAppStartup, ExpertGoalsComeFromTheDayFiles) {
    TempUserDirs user;
    GameFolder folder;
    folder.Write("cfg/l1.xml", "<level><params normal=\"500\" expert=\"900\"/></level>");
    folder.Write("cfg/l2.xml", "<level/>");
    folder.Write("cfg/l60.xml", "<level><params expert=\"12000\"/></level>");
    TestApp app;
    app.LoadExpertGoals();
    EXPECT_EQ(app.ExpertGoal(1), 900);
    EXPECT_EQ(app.ExpertGoal(2), -1);
    EXPECT_EQ(app.ExpertGoal(3), -1);
    EXPECT_EQ(app.ExpertGoal(60), 12000);
}

class OfficeAppProfiles : public ::testing::Test {
protected:
    std::string Path() const { return dir.File("pref.dat"); }
    // The profiles as saved, and the file's current slot.
    std::vector<ProfileRecord> Saved(int& currentSlot) const {
        PrefsFile file(Path());
        EXPECT_TRUE(file.Load());
        std::vector<ProfileRecord> all;
        file.ReadAllProfiles(all);
        currentSlot = file.CurrentSlot();
        return all;
    }
    TempUserDirs user;
    TempDir dir;
};

TEST_F(OfficeAppProfiles, DeleteKeepsTheCurrentPlayer) {
    TestApp app(Path());
    ASSERT_TRUE(app.CreateProfile(u"Ann", "woman"));
    ASSERT_TRUE(app.CreateProfile(u"Bob", "man"));
    ASSERT_TRUE(app.CreateProfile(u"Cid", "man"));
    EXPECT_EQ(app.mCurrentProfileSlot, 2);
    ASSERT_TRUE(app.ReadProfileSlot(1));
    EXPECT_EQ(app.GetCurrentProfile().name, u"Bob");
    ASSERT_TRUE(app.ReadProfileSlot(2));

    ASSERT_TRUE(app.DeleteProfileSlot(0));
    EXPECT_EQ(app.mCurrentProfileSlot, 1);
    EXPECT_EQ(app.GetCurrentProfile().name, u"Cid");
    EXPECT_EQ(app.mProfileLoaded, 1);

    // Saving writes the current player into his own (moved) slot.
    app.GetCurrentProfile().reachedDay = 5;
    ASSERT_TRUE(app.SavePrefs());
    int savedSlot = -2;
    std::vector<ProfileRecord> all = Saved(savedSlot);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].name, u"Bob");
    EXPECT_EQ(all[0].reachedDay, 1);
    EXPECT_EQ(all[1].name, u"Cid");
    EXPECT_EQ(all[1].reachedDay, 5);
    EXPECT_EQ(savedSlot, 1);

    // A slot above the current one leaves it where it is.
    ASSERT_TRUE(app.CreateProfile(u"Dee", "woman"));
    ASSERT_TRUE(app.ReadProfileSlot(0));
    ASSERT_TRUE(app.DeleteProfileSlot(2));
    EXPECT_EQ(app.mCurrentProfileSlot, 0);
    EXPECT_EQ(app.GetCurrentProfile().name, u"Bob");

    // Deleting the current one leaves none; a missing slot changes nothing.
    ASSERT_TRUE(app.DeleteProfileSlot(0));
    EXPECT_EQ(app.mCurrentProfileSlot, -1);
    EXPECT_EQ(app.mProfileLoaded, 0);
    EXPECT_TRUE(app.GetCurrentProfile().name.empty());
    EXPECT_FALSE(app.DeleteProfileSlot(5));
    EXPECT_FALSE(app.ReadProfileSlot(5));
    EXPECT_EQ(app.mCurrentProfileSlot, -1);
    std::vector<ProfileRecord> left;
    app.ReadAllProfiles(left);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].name, u"Cid");
}

TEST_F(OfficeAppProfiles, SaveWritesTheApplicationsSlotNotTheFilesLast) {
    TestApp app(Path());
    ASSERT_TRUE(app.CreateProfile(u"Ann", "woman"));
    ASSERT_TRUE(app.CreateProfile(u"Bob", "man"));  // pref.dat's current slot: 1
    PrefsFile other(Path());
    ASSERT_TRUE(app.ReadProfileSlot(&other, 0));
    EXPECT_EQ(app.mCurrentProfileSlot, 0);
    app.GetCurrentProfile().reachedDay = 7;
    ASSERT_TRUE(app.SavePrefs());

    int savedSlot = -2;
    std::vector<ProfileRecord> all = Saved(savedSlot);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].name, u"Ann");
    EXPECT_EQ(all[0].reachedDay, 7);
    EXPECT_EQ(all[1].name, u"Bob");
    EXPECT_EQ(all[1].reachedDay, 1);
    EXPECT_EQ(savedSlot, 0);

    // Deleting the slot the application holds clears it, whatever the file thought.
    ASSERT_TRUE(app.DeleteProfileSlot(0));
    EXPECT_EQ(app.mCurrentProfileSlot, -1);
    EXPECT_TRUE(app.GetCurrentProfile().name.empty());
}

// The seconds played stored in pref.dat are read back as the hours and minutes
// shown; values too large for an integer are capped, never wrapped negative.
TEST_F(OfficeAppProfiles, HugeSecondsPlayedAreCappedNotWrapped) {
    struct Case {
        uint32_t bits;  // the float as stored
        const char16_t* hours;
        const char16_t* minutes;
    };
    const Case cases[] = {
        {0x5F0AC723u, u"1000000", u"0"},  // 1e19
        {0x7F7FFFFFu, u"1000000", u"0"},  // the largest float
        {0x5EFFFFFFu, u"1000000", u"0"},  // just below 2^63
        {0x4A5BBA00u, u"1000", u"0"},     // 3.6e6
        {0x4568D0E6u, u"1", u"2"},        // 3725.06
        {0xC2C80000u, u"0", u"0"},        // -100
    };
    {
        TestApp writer(Path());
        ASSERT_TRUE(writer.CreateProfile(u"Ann", "woman"));
    }
    for (const Case& c : cases) {
        // The float's bytes are patched into the stored record, as a hand-edited file would hold them.
        std::string bytes = testsupport::ReadFile(Path());
        size_t at = prefs::kProfilesOffset + prefs::kProfileSize - 4;
        ASSERT_GE(bytes.size(), at + 4);
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(c.bits >> (8 * i));
        testsupport::WriteFile(Path(), bytes);
        TestApp app(Path());
        ASSERT_TRUE(app.ReadProfileSlot(0)) << std::hex << c.bits;
        TextTable& vars = *app.GetTextVars();
        EXPECT_EQ(vars.Get("hoursplayed"), c.hours) << std::hex << c.bits;
        EXPECT_EQ(vars.Get("minutesplayed"), c.minutes) << std::hex << c.bits;
    }
}

// Hours of short updates reach pref.dat whole: the time read back is the time
// played, for a new player and for players hundreds of hours on, where a
// float that took each step on its own would fall behind or stop.
TEST_F(OfficeAppProfiles, LongSessionsOfShortUpdatesAreKeptWhole) {
    struct Case {
        const char* what;
        float before;       // seconds played already
        int stepMs;
        int minutes;        // played in the session
        const char16_t* hours;
        const char16_t* mins;
    };
    const Case cases[] = {
        {"a new player, three hours", 0.0f, 10, 180, u"3", u"0"},
        {"a hundred hours on, one hour", 360000.0f, 10, 60, u"101", u"0"},
        {"three hundred hours on, half an hour", 1080000.0f, 10, 30, u"300", u"30"},
        {"one-millisecond steps", 0.0f, 1, 59, u"0", u"59"},
    };
    for (const Case& c : cases) {
        int slot = -1;
        {
            TestApp app(Path());
            ASSERT_TRUE(app.CreateProfile(u"Ann", "woman")) << c.what;
            slot = app.mCurrentProfileSlot;
            app.GetCurrentProfile().secondsPlayed = c.before;
            const long steps = c.minutes * 60000L / c.stepMs;
            for (long i = 0; i < steps; ++i) app.AddPlayedTime(c.stepMs);
            ASSERT_TRUE(app.SavePrefs()) << c.what;
        }
        const std::string bytes = testsupport::ReadFile(Path());
        const size_t at = prefs::kProfilesOffset + prefs::kProfileSize * static_cast<size_t>(slot + 1) - 4;
        ASSERT_GE(bytes.size(), at + 4) << c.what;
        float stored;
        std::memcpy(&stored, bytes.data() + at, 4);
        EXPECT_EQ(stored, c.before + c.minutes * 60.0f) << c.what;
        TestApp app(Path());
        ASSERT_TRUE(app.ReadProfileSlot(slot)) << c.what;
        EXPECT_EQ(app.GetTextVars()->Get("hoursplayed"), c.hours) << c.what;
        EXPECT_EQ(app.GetTextVars()->Get("minutesplayed"), c.mins) << c.what;
    }
}

TEST_F(OfficeAppProfiles, ProfileTextsAndSettings) {
    TestApp app(Path());
    ASSERT_TRUE(app.CreateProfile(u"Ann", "woman"));
    ProfileRecord& p = app.GetCurrentProfile();
    p.secondsPlayed = 3725.9f;
    p.reachedDay = 61;
    app.PublishProfileTexts();
    TextTable& vars = *app.GetTextVars();
    EXPECT_EQ(vars.Get("profilename"), u"Ann");
    EXPECT_EQ(vars.Get("hoursplayed"), u"1");
    EXPECT_EQ(vars.Get("minutesplayed"), u"2");
    EXPECT_EQ(vars.Get("reachedday"), u"60");

    PrefsHeader& h = app.GetPrefsHeader();
    // The mode is also kept where the next start reads it before pref.dat.
    for (uint8_t windowed : {0, 1}) {
        h.windowed = windowed;
        app.ApplySettings();
        EXPECT_EQ(app.mWindowed, windowed != 0);
        ASSERT_NE(app.GetSettings(), nullptr);
        EXPECT_EQ(app.GetSettings()->GetInt("ScreenMode", -1), windowed ? 0 : 1);
    }
    EXPECT_EQ(&app.GetRecordTable(), &app.GetPrefsFile().Records());

    // Settings survive in pref.dat.
    h.musicVolume = 40;
    h.muted = 1;
    ASSERT_TRUE(app.SavePrefs());
    PrefsFile file(Path());
    ASSERT_TRUE(file.Load());
    EXPECT_EQ(file.Header().musicVolume, 40);
    EXPECT_EQ(file.Header().AppliedMusicVolume(), 0);
}

TEST_F(OfficeAppProfiles, StartUpRestoresTheLastProfile) {
    {
        PrefsFile file(Path());
        ProfileRecord out;
        ASSERT_GE(file.CreateProfile(u"Ann", "woman", out), 0);
        ASSERT_GE(file.CreateProfile(u"Bob", "man", out), 0);
        ASSERT_TRUE(file.ReadProfileSlot(0, out));
        file.Header().sfxVolume = 30;
        file.Header().musicVolume = 70;
        ASSERT_TRUE(file.Save(&out));
    }
    GameFolder folder;  // no configuration at all: warnings, no failure
    TestApp app(Path());
    app.LoadingThreadCompleted();
    EXPECT_FALSE(app.Warnings().empty());
    EXPECT_EQ(app.mCurrentProfileSlot, 0);
    EXPECT_EQ(app.GetCurrentProfile().name, u"Ann");
    EXPECT_EQ(app.GetTextVars()->Get("profilename"), u"Ann");
    EXPECT_EQ(app.GetPrefsHeader().sfxVolume, 30);
}

} // namespace
