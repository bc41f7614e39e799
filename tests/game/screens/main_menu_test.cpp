#include <pugixml.hpp>
#include <cstdio>
#include "game/app/pak_file.h"
#include "game/app/prefs.h"
#include "game/office/level_screen.h"
#include "game/screens/escape_menu.h"
#include "game/screens/game_level_screens.h"
#include "game/ui/ui_edit.h"
#include "game/ui/ui_list.h"
#include "platform/text.h"
#include "tests/game/screens/screens_fixture.h"
#include "tests/support/fake_clock.h"

namespace screenstest {
namespace {

std::vector<ProfileRecord> SavedProfiles(const std::string& path) {
    PrefsFile file(path);
    std::vector<ProfileRecord> list;
    file.ReadAllProfiles(list);
    return list;
}

// The first start has no player: the form opens with the woman chosen and no
// way out; names that clean up to nothing make no player.
TEST_F(ScreensTest, FirstStartAsksForAPlayer) {
    SkipSplash();
    Step(40);  // the checks fade
    MainMenuScreen* menu = app->mMainMenu;
    ASSERT_TRUE(menu->mCreateProfile->mVisible);
    EXPECT_TRUE(menu->mLockDialog->mVisible);
    EXPECT_TRUE(menu->mCancel->mDisabled);
    EXPECT_TRUE(menu->mCheckBossWoman->mVisible);
    EXPECT_FALSE(menu->mCheckBossMan->mVisible);
    EXPECT_TRUE(menu->mBossWomanBtn->mDisabled);
    EXPECT_FALSE(menu->mMenuDlg->mVisible);

    // The boss chosen last counts even while its check still fades in.
    struct Case {
        const char16_t* typed;
        std::vector<UiButton* MainMenuScreen::*> choices;
        const char16_t* made;   // none: the form stays
        const char* kind;
    } cases[] = {
        {u"   ", {&MainMenuScreen::mBossManBtn}, nullptr, nullptr},
        {u"^^ ^", {}, nullptr, nullptr},
        {u"", {}, nullptr, nullptr},
        {u"  Ann ^ Lee  ", {&MainMenuScreen::mBossWomanBtn, &MainMenuScreen::mBossManBtn}, u"Ann Lee", "man"},
    };
    for (const Case& c : cases) {
        for (UiButton* MainMenuScreen::*choice : c.choices) Click(menu->*choice);
        menu->mEnterName->SetText(c.typed, true);
        Click(menu->mCreate);
        const std::vector<ProfileRecord> saved = SavedProfiles(prefs.File("pref.dat"));
        if (c.made == nullptr) {
            EXPECT_TRUE(saved.empty());
            EXPECT_FALSE(app->mProfileLoaded);
            EXPECT_TRUE(menu->mCreateProfile->mVisible);
            continue;
        }
        ASSERT_EQ(saved.size(), 1u);
        EXPECT_EQ(saved[0].name, c.made);
        EXPECT_EQ(saved[0].bossKind, c.kind);
        EXPECT_TRUE(app->mProfileLoaded);
        EXPECT_FALSE(menu->mCreateProfile->mVisible);
        EXPECT_FALSE(menu->mLockDialog->mVisible);
        EXPECT_TRUE(menu->mMenuDlg->mVisible);
        EXPECT_EQ(Var("profilename"), c.made);
    }
}

// pref.dat cannot be written: the form stays open and says why.
class UnwritablePrefs : public ScreensTest {
protected:
    std::string PrefsPath() override {
        testsupport::WriteFile(prefs.File("file"), "x");
        return prefs.File("file") + "/pref.dat";
    }
};

TEST_F(UnwritablePrefs, FailedCreationKeepsTheFormAndSaysWhy) {
    SkipSplash();
    MainMenuScreen* menu = app->mMainMenu;
    menu->mEnterName->SetText(u"Ann", true);
    Click(menu->mCreate);
    EXPECT_FALSE(app->mProfileLoaded);
    EXPECT_TRUE(menu->mCreateProfile->mVisible);
    const std::u16string said = Var("profileerror");
    EXPECT_EQ(said.rfind(app->GetLocTable()->Lookup("mn01_create_failed"), 0), 0u);
    EXPECT_GT(said.size(), app->GetLocTable()->Lookup("mn01_create_failed").size());
}

// Two players: Ann (current) and Bob.
class TwoPlayers : public ScreensTest {
protected:
    void BeforeStart() override {
        PrefsFile file(prefs.File("pref.dat"));
        ProfileRecord ann, bob;
        ASSERT_EQ(file.CreateProfile(u"Ann", "woman", ann), 0);
        ann.secondsPlayed = 7199.9f;
        ann.reachedDay = 25;
        ASSERT_TRUE(file.Save(&ann));
        ASSERT_EQ(file.CreateProfile(u"Bob", "man", bob), 1);
        bob.secondsPlayed = 59.0f;
        bob.reachedDay = 61;
        ASSERT_TRUE(file.Save(&bob));
        file.SetCurrentSlot(0);
        ASSERT_TRUE(file.Save(nullptr));
    }
    std::string Row(const char* var) { return var + std::to_string(app->mMainMenu->mRow + 1); }
};

// The panel shows the selected player's time and progress in the row it
// turns to; delete stays off for the current player.
TEST_F(TwoPlayers, ProfileListShowsEachPlayer) {
    SkipSplash();
    MainMenuScreen* menu = app->mMainMenu;
    ASSERT_TRUE(menu->mMenuDlg->mVisible);
    Click(menu->mProfile);
    ASSERT_TRUE(menu->mSelectProfile->mVisible);
    EXPECT_EQ(menu->mList->GetItemCount(), 2);
    struct Case {
        int selected;
        const char16_t* name;
        const char16_t *hours, *minutes, *month, *day;
        bool deletable;
    } cases[] = {
        {1, u"Bob", u"0", u"0", u"3", u"31", true},
        {0, u"Ann", u"1", u"59", u"2", u"8", false},
    };
    for (const Case& c : cases) {
        const std::string who = platform::Utf16ToUtf8(c.name);
        const int row = menu->mRow;
        menu->mList->SetSelected(c.selected);
        Step();
        EXPECT_NE(menu->mRow, row) << who;
        EXPECT_EQ(Var(Row("profilename")), c.name);
        EXPECT_EQ(Var(Row("hoursplayed")), c.hours) << who;
        EXPECT_EQ(Var(Row("minutesplayed")), c.minutes) << who;
        EXPECT_EQ(Var(Row("progressmonth")), c.month) << who;
        EXPECT_EQ(Var(Row("progressday")), c.day) << who;
        EXPECT_EQ(menu->mDelete->mDisabled, !c.deletable) << who;
        EXPECT_TRUE(menu->mBoss[menu->mRow]->mVisible) << who;
    }
    // An index outside the list changes nothing.
    const int row = menu->mRow;
    menu->ShowProfile(2);
    menu->ShowProfile(-2);
    EXPECT_EQ(menu->mRow, row);

    // Bob goes after a yes; Ann stays current.
    menu->mList->SetSelected(1);
    Step();
    PostClick(310, 360);
    Click(menu->mDelete);
    const std::vector<ProfileRecord> saved = SavedProfiles(prefs.File("pref.dat"));
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].name, u"Ann");
    EXPECT_EQ(menu->mList->GetItemCount(), 1);

    Click(menu->mSelect);
    EXPECT_FALSE(menu->mSelectProfile->mVisible);
    EXPECT_TRUE(menu->mMenuDlg->mVisible);
    EXPECT_EQ(app->mCurrentProfileSlot, 0);
}

// The menu buttons lead to their screens; career and survival tell the level
// which mode comes.
TEST_F(TwoPlayers, MenuButtonsOpenTheirScreens) {
    SkipSplash();
    MainMenuScreen* menu = app->mMainMenu;
    struct Case {
        UiButton* MainMenuScreen::*button;
        UiControl* shown;
        bool menuStays;
        const char* levelCall;
    } cases[] = {
        {&MainMenuScreen::mCareer, app->mCareer, false, "career"},
        {&MainMenuScreen::mSurvival, app->mSurvival, false, "survival"},
        {&MainMenuScreen::mHiscores, app->mHiscores, true, nullptr},
        {&MainMenuScreen::mOptions, app->mOptions, true, nullptr},
        {&MainMenuScreen::mHelp, app->mHelp, true, nullptr},
    };
    for (const Case& c : cases) {
        level.calls.clear();
        menu->Show();
        Step(40);  // the menu fades in
        Click(menu->*c.button);
        EXPECT_TRUE(c.shown->mVisible) << typeid(*c.shown).name();
        EXPECT_EQ(menu->mVisible, c.menuStays) << typeid(*c.shown).name();
        EXPECT_EQ(level.calls, c.levelCall ? std::vector<std::string>{c.levelCall} : std::vector<std::string>{});
        c.shown->Hide();
    }
    menu->Show();
    Step(40);
    PostClick(490, 360);
    Click(menu->mQuit);
    EXPECT_FALSE(app->IsShuttingDown());
    PostClick(310, 360);
    Click(menu->mQuit);
    EXPECT_TRUE(app->IsShuttingDown());
}

// Two players and the real office: what a session leaves in pref.dat is what
// the next start shows.
class TwoPlayersPlaying : public TwoPlayers {
protected:
    bool FakesTheLevel() override { return false; }
    // pref.dat as BeforeStart writes it, and the game started on it.
    void Restart(bool freshPrefs) {
        app.reset();
        if (freshPrefs) {
            std::remove(PrefsPath().c_str());
            BeforeStart();
        }
        app = std::make_unique<testsupport::TestApp>(PrefsPath());
        ASSERT_TRUE(app->Init());
        app->LoadingThreadCompleted();
        app->mUpdateInterval = 100;
        SkipSplash();
        Step(40);
    }
    // The current slot and a profile's seconds played as pref.dat holds them.
    float Stored(int slot, int& currentSlot) {
        PrefsFile file(PrefsPath());
        std::vector<ProfileRecord> saved;
        file.ReadAllProfiles(saved);
        currentSlot = file.CurrentSlot();
        return slot < static_cast<int>(saved.size()) ? saved[static_cast<size_t>(slot)].secondsPlayed : -1.0f;
    }
    testsupport::FakeClock clock;
};

// A player chosen or made in the menus plays survival and the game ends, from
// the menus or by closing the window in the office: the next start opens that
// player, with the time played.
TEST_F(TwoPlayersPlaying, TheCurrentPlayerAndTheTimePlayedOutliveARestart) {
    struct Case {
        const char* what;
        const char16_t* newPlayer;  // made in the form; none: Bob is chosen
        bool closesTheWindow;       // else leaves the office, then quits from the menu
        int slot;
        float seconds;              // after 30 s of survival
        const char16_t* minutes;
    };
    const Case cases[] = {
        {"Bob chosen, leaves, quits", nullptr, false, 1, 89.0f, u"1"},
        {"Bob chosen, closes the window", nullptr, true, 1, 89.0f, u"1"},
        {"Cid made, closes the window", u"Cid", true, 2, 30.0f, u"0"},
    };
    for (const Case& c : cases) {
        Restart(true);
        MainMenuScreen* menu = app->mMainMenu;
        Click(menu->mProfile);
        if (c.newPlayer) {
            Click(menu->mCreateSelect);
            menu->mEnterName->SetText(c.newPlayer, true);
            Click(menu->mCreate);
        } else {
            menu->mList->SetSelected(1);
            Step();
            Click(menu->mSelect);
        }
        Step(40);
        Click(menu->mSurvival);
        Step(40);
        Click(app->mSurvival->mStart);
        LevelScreen* office = app->GetLevelScreen();
        ASSERT_TRUE(office->IsInPlay()) << c.what;
        Step(300);
        EXPECT_FALSE(office->IsDayOver()) << c.what;
        if (c.closesTheWindow) {
            platform::InputEvent quit;
            quit.kind = platform::EventKind::Quit;
            app->PostEvent(quit);
            app->StepMainLoop(true);
        } else {
            wm()->KeyDown(platform::VK_ESCAPE);
            PostClick(310, 360);
            Click(composition.GetLevelScreens()->GetEscapeMenu()->mQuit);
            int current = -1;
            EXPECT_EQ(Stored(c.slot, current), c.seconds) << c.what << ": saved on leaving the office";
            Step(40);
            PostClick(310, 360);
            Click(menu->mQuit);
        }
        ASSERT_TRUE(app->IsShuttingDown()) << c.what;
        int current = -1;
        EXPECT_EQ(Stored(c.slot, current), c.seconds) << c.what;
        EXPECT_EQ(current, c.slot) << c.what;

        Restart(false);
        EXPECT_EQ(app->mCurrentProfileSlot, c.slot) << c.what;
        EXPECT_TRUE(app->mMainMenu->mMenuDlg->mVisible) << c.what;
        EXPECT_EQ(Var(Row("profilename")), c.newPlayer ? c.newPlayer : u"Bob") << c.what;
        EXPECT_EQ(Var(Row("hoursplayed")), u"0") << c.what;
        EXPECT_EQ(Var(Row("minutesplayed")), c.minutes) << c.what;
    }
}

// The nameplate's link is the whole text of "cfg\locator", up to 4096 bytes;
// without the file, or with a longer one, there is none.
TEST_F(ScreensTest, NameplateLinkComesFromTheLocatorFile) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(R"(<ui><element type="uxdialog" name="main_menu" width="800" height="600">
        <element type="uxbutton" name="nameplate" width="10" height="10"/></element></ui>)"));
    struct Case {
        const char* what;
        bool exists;
        std::string text;
        std::string link;
    } cases[] = {
        {"missing", false, "", ""},
        {"a line", true, "https://example.org/a\n", "https://example.org/a\n"},
        {"4096 bytes", true, std::string(4096, 'a'), std::string(4096, 'a')},
        {"too long", true, std::string(4097, 'a'), ""},
    };
    const std::string dataDir = PakGetGameDir();
    for (const Case& c : cases) {
        testsupport::TempDir dir;
        if (c.exists) testsupport::WriteFile(dir.File("cfg/locator"), c.text);
        PakSetGameDir(dir.Path());
        MainMenuScreen menu(app.get(), doc.document_element());
        PakSetGameDir(dataDir);
        ASSERT_NE(menu.mNameplate, nullptr);
        EXPECT_EQ(menu.mLink, c.link) << c.what;
        EXPECT_FALSE(menu.mNameplate->mVisible) << "no picture, no nameplate";
    }
}

} // namespace
} // namespace screenstest
