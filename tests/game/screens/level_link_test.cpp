#include "game/office/level_screen.h"
#include "game/screens/escape_menu.h"
#include "game/screens/game_level_screens.h"
#include "tests/game/screens/screens_fixture.h"
#include "tests/support/fake_clock.h"

namespace screenstest {
namespace {

class RealLevel : public ScreensTest {
protected:
    bool FakesTheLevel() override { return false; }
};

// The career's start button loads and starts the real day behind the load
// screen; Escape opens the escape menu over the office and its quit brings
// back the menus.
TEST_F(RealLevel, CareerStartRunsTheDayAndTheEscapeMenuLeavesIt) {
    SkipSplash();
    testsupport::FakeClock clock;
    app->mUpdateInterval = 100;  // fewer frames drawn while the load screen waits
    LevelScreen* office = app->GetLevelScreen();
    ASSERT_NE(office, nullptr);
    app->mMainMenu->Hide();
    app->mCareer->Show();
    const uint64_t start = clock.now;
    Click(app->mCareer->mStart);
    EXPECT_GE(clock.now - start, LoadScreen::kMinimumMs);
    EXPECT_EQ(office->mParent, wm());
    EXPECT_TRUE(office->mVisible);
    EXPECT_EQ(office->GetDay(), 1);
    EXPECT_TRUE(office->IsLevelLoaded());
    EXPECT_TRUE(office->IsInPlay()) << "no comics yet: the day plays at once";
    EXPECT_FALSE(app->mMenuBackground->mVisible);
    EXPECT_FALSE(app->mLoadScreen->mVisible);

    Step();
    wm()->KeyDown(platform::VK_ESCAPE);
    EscapeMenu* menu = composition.GetLevelScreens()->GetEscapeMenu();
    EXPECT_TRUE(menu->mVisible);
    EXPECT_FALSE(office->IsInPlay());
    PostClick(310, 360);
    Click(menu->mQuit);
    EXPECT_FALSE(menu->mVisible);
    EXPECT_EQ(office->mParent, nullptr);
    EXPECT_FALSE(office->IsInPlay());
    EXPECT_TRUE(app->mMenuBackground->mVisible);
}

} // namespace
} // namespace screenstest
