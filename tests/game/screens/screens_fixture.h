#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>
#include "framework/app/widget_manager.h"
#include "game/screens/career_dialog.h"
#include "game/screens/help_dialog.h"
#include "game/screens/hiscores_dialog.h"
#include "game/screens/load_screen.h"
#include "game/screens/main_menu.h"
#include "game/screens/menu_background.h"
#include "game/screens/message_box2.h"
#include "game/screens/options_dialog.h"
#include "game/screens/screen_kit.h"
#include "game/screens/splash_screen.h"
#include "game/screens/survival_menu.h"
#include "game/ui/ui_button.h"
#include "platform/input.h"
#include "tests/support/sample_game.h"

namespace screenstest {

// The level as the screens see it: records what they ask.
class FakeLevel : public LevelLink {
public:
    std::vector<std::string> calls;
    bool inPlay = true;
    bool focus = true;
    bool shown = true;

    void SetSurvival(bool survival) override { calls.push_back(survival ? "survival" : "career"); }
    void StartLevel(int number) override { calls.push_back("start " + std::to_string(number)); }
    void RestartDay() override { calls.push_back("restart"); }
    void Leave() override { calls.push_back("leave"); }
    void SetInputEnabled(bool enabled) override { inPlay = enabled; }
    bool IsInputEnabled() const override { return inPlay; }
    void SetFocusFlag(bool f) override { focus = f; }
    void SetShown(bool s) override { shown = s; }
};

// The sample game with its screens built and, unless a suite says otherwise,
// a fake level in place of the real one. Suites prepare pref.dat in BeforeStart.
class ScreensTest : public testsupport::SampleGame {
protected:
    void StartApp() override {
        BeforeStart();
        app = std::make_unique<testsupport::TestApp>(PrefsPath());
        ASSERT_TRUE(app->Init()) << (app->errors.empty() ? "" : app->errors[0]);
        app->LoadingThreadCompleted();
        if (FakesTheLevel()) SetLevelLink(&level);
    }
    virtual bool FakesTheLevel() { return true; }
    virtual void BeforeStart() {}
    virtual std::string PrefsPath() { return prefs.File("pref.dat"); }

    Zephra::WidgetManager* wm() { return app->mWidgetManager; }
    void Step(int n = 1) {
        for (int i = 0; i < n; ++i) app->UpdateApp();
    }
    // Press and release over the button as the player would.
    void Click(const UiControl* control) {
        ASSERT_NE(control, nullptr);
        const Zephra::Point p = control->GetAbsPos();
        const int x = p.mX + control->mWidth / 2, y = p.mY + control->mHeight / 2;
        wm()->MouseMove(x, y);
        wm()->MouseDown(x, y, 1);
        wm()->MouseUp(x, y, 1);
    }
    // The same, queued for the next main-loop steps (a nested wait).
    void PostClick(int x, int y) {
        for (platform::EventKind kind :
             {platform::EventKind::MouseMove, platform::EventKind::MouseDown, platform::EventKind::MouseUp}) {
            platform::InputEvent e;
            e.kind = kind;
            e.x = x;
            e.y = y;
            e.clickCount = kind == platform::EventKind::MouseMove ? 0 : 1;
            app->PostEvent(e);
        }
    }
    // The splash ended: the menus are up.
    void SkipSplash() { app->mSplash->Hide(); }
    const std::u16string& Var(const std::string& name) { return app->GetTextVars()->Get(name); }

    FakeLevel level;
};

} // namespace screenstest
