#include "game/screens/escape_menu.h"
#include "game/screens/main_menu.h"
#include "game/screens/menu_background.h"
#include "game/office/level_screen.h"
#include "game/screens/game_level_screens.h"
#include "game/screens/message_box2.h"
#include "game/ui/ui_text.h"
#include "tests/game/screens/screens_fixture.h"

namespace screenstest {
namespace {

// Centres of the sample box's buttons (box at 200,200; buttons at 30,140 and
// 210,140, 160 x 40).
constexpr Zephra::Point kYes{310, 360};
constexpr Zephra::Point kNo{490, 360};

const std::u16string& Shown(UiControl* control) { return static_cast<UiText*>(control)->GetShownText(); }

// The answer is 1 only for yes; clicks beside the box reach nothing; a key
// without texts or icon still asks, with nothing shown; the end of the
// application ends the wait without an answer.
TEST_F(ScreensTest, MessageBoxAnswersByItsButtons) {
    SkipSplash();
    MessageBox2Dialog* box = GetMessageBox2();
    ASSERT_NE(box, nullptr);
    struct Case {
        const char* key;
        std::vector<Zephra::Point> clicks;
        bool quit;
        int answer;
        const char16_t* text1;
        bool icon;
    } cases[] = {
        {"quit", {kYes}, false, 1, u"Quit the game?", true},
        {"delprof", {kNo}, false, 0, u"Delete this player?", true},
        // A click beside the box reaches nothing.
        {"restlvl", {{120, 390}, kYes}, false, 1, u"Restart the day?", true},
        {"no_such_key", {kNo}, false, 0, u"", false},
        {"exitmenu", {}, true, MessageBox2Dialog::kUnanswered, u"Leave the office?", true},
    };
    for (const Case& c : cases) {
        for (Zephra::Point p : c.clicks) PostClick(p.mX, p.mY);
        if (c.quit) app->PostEvent({platform::EventKind::Quit});
        level.focus = true;
        EXPECT_EQ(ShowMessageBox2(c.key), c.answer) << c.key;
        Step();
        EXPECT_EQ(Shown(box->FindChild("text1")), c.text1) << c.key;
        EXPECT_EQ(box->mYes->mLabel.empty(), !c.icon) << c.key;
        EXPECT_EQ(static_cast<UiText*>(box->FindChild("icon"))->mFrames[0] != nullptr, c.icon) << c.key;
        EXPECT_EQ(wm()->GetModal(), nullptr) << c.key;
        EXPECT_FALSE(app->IsShuttingDown() && !c.quit) << c.key;
        if (!c.quit) {
            EXPECT_FALSE(box->mVisible) << c.key;
            EXPECT_TRUE(level.focus) << c.key;
            EXPECT_TRUE(app->mMainMenu->mVisible) << c.key;
        }
    }
}

// What the level asks of the screens: the load screen, the escape menu; a
// briefing or comics page not built yet gives the play back as the start ends.
TEST_F(ScreensTest, LevelAsksTheScreens) {
    GameLevelScreens* screens = composition.GetLevelScreens();
    ASSERT_NE(screens, nullptr);
    SkipSplash();
    EXPECT_TRUE(screens->ShowLoadScreen(true));
    EXPECT_TRUE(app->mLoadScreen->mVisible);
    EXPECT_FALSE(level.shown);
    EXPECT_TRUE(screens->ShowLoadScreen(false));
    EXPECT_FALSE(app->mLoadScreen->mVisible);
    EXPECT_TRUE(level.shown);

    screens->ShowDialog(LevelScreens::kEscapeMenu, true);
    EXPECT_TRUE(screens->IsDialogShown(LevelScreens::kEscapeMenu));
    EXPECT_EQ(wm()->mWidgets.back(), static_cast<Zephra::Widget*>(screens->GetEscapeMenu()));
    screens->ShowDialog(LevelScreens::kEscapeMenu, false);
    EXPECT_FALSE(screens->IsDialogShown(LevelScreens::kEscapeMenu));

    LevelScreen* office = app->GetLevelScreen();
    ASSERT_NE(office, nullptr);
    for (LevelScreens::Dialog dialog : {LevelScreens::kBriefing, LevelScreens::kComix}) {
        office->SetInputEnabled(false);
        screens->ShowDialog(dialog, true);
        screens->SetupPanel();
        EXPECT_TRUE(office->IsInPlay()) << dialog;
    }
    EXPECT_EQ(screens->ChooseUpgrade({"a", "b"}), "");
}

class EscapeMenuTest : public ScreensTest {
protected:
    void SetUp() override {
        ScreensTest::SetUp();
        SkipSplash();
        menu = new EscapeMenu(app.get(), composition.GetUiRoot());
        menu->SetVisible(false);
        wm()->AddWidget(menu);
    }
    void TearDown() override {
        wm()->RemoveWidget(menu);
        delete menu;
        ScreensTest::TearDown();
    }
    EscapeMenu* menu = nullptr;
};

// Hiding gives the office back the play it had when the menu opened: a day
// waiting behind its briefing keeps waiting.
TEST_F(EscapeMenuTest, EscapeClosesAndRestoresThePlay) {
    for (bool inPlay : {true, false}) {
        level.inPlay = inPlay;
        menu->Show();
        EXPECT_FALSE(level.inPlay);
        menu->KeyUp(platform::VK_SPACE);
        EXPECT_TRUE(menu->mVisible);
        menu->KeyUp(platform::VK_ESCAPE);
        EXPECT_FALSE(menu->mVisible);
        EXPECT_EQ(level.inPlay, inPlay);
        EXPECT_FALSE(menu->mBlocker->mParent) << "the blocker leaves with the menu";
    }
    // Hiding a closed menu (the level going) gives nothing back.
    level.inPlay = false;
    menu->Hide();
    EXPECT_FALSE(level.inPlay);
}

// Restart and quit act only on a yes; quitting leaves the office for the
// menus with its input off.
TEST_F(EscapeMenuTest, RestartAndQuitAskFirst) {
    struct Case {
        const char* what;
        UiButton* EscapeMenu::*button;
        Zephra::Point answer;
        std::vector<std::string> calls;
    } cases[] = {
        {"restart, no", &EscapeMenu::mRestart, kNo, {}},
        {"restart, yes", &EscapeMenu::mRestart, kYes, {"restart"}},
        {"quit, no", &EscapeMenu::mQuit, kNo, {}},
        {"quit, yes", &EscapeMenu::mQuit, kYes, {"leave"}},
    };
    app->mMenuBackground->SetVisible(false);
    for (const Case& c : cases) {
        level.calls.clear();
        level.inPlay = true;
        menu->Show();
        PostClick(c.answer.mX, c.answer.mY);
        menu->OnCommand(reinterpret_cast<intptr_t>(menu->*c.button));
        EXPECT_EQ(level.calls, c.calls) << c.what;
        EXPECT_EQ(menu->mVisible, c.calls.empty()) << c.what;
        const bool quit = c.calls == std::vector<std::string>{"leave"};
        EXPECT_EQ(app->mMenuBackground->mVisible, quit) << c.what;
        if (menu->mVisible) menu->Hide();
        EXPECT_EQ(level.inPlay, !quit) << c.what;
    }
}

} // namespace
} // namespace screenstest
