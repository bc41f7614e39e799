#pragma once
#include <memory>
#include <string>
#include <gtest/gtest.h>
#include "framework/app/widget_manager.h"
#include "framework/graphics/memory_image.h"
#include "game/app/office_app.h"
#include "game/app/tables.h"
#include "game/ui/ui_control.h"
#include "game/effects/particles.h"
#include "game/effects/script_object.h"
#include "tests/game/app/game_folder.h"
#include "tests/support/temp_dirs.h"

namespace uitest {

// The game application without a window, its errors kept.
class TestApp : public OfficeApp {
public:
    explicit TestApp(const std::string& prefsPath) : OfficeApp(prefsPath) { mNoWindow = true; }
    void ShowError(const std::string& text, const std::string& title) override { errors.push_back(title + ": " + text); }
    std::vector<std::string> errors;
};

// Effects every kit test may name: "show_hide" shows at once and hides after
// 0.05 s through DlgShow/DlgHide, "slow" also shows after 0.05 s,
// "stars" emits particles once shown, "marker" starts its timer 0 on "oncreate" and "onchange", "nomessages"
// handles no event.
inline const char* kTestEffects = R"(<effects>
<effect name="show_hide">
  <timers>
    <timer name="show" type="usual" ftime="0.05" direction="forward">
      <control id="0" type="point" starttime="0" endtime="0" function="DlgShow" active="true"/>
    </timer>
    <timer name="hide" type="usual" ftime="0.05" direction="backward">
      <control id="0" type="point" starttime="0" endtime="0" function="DlgHide" active="true"/>
    </timer>
  </timers>
  <messages>
    <message name="onshow" timer_id="hide" command="stop"/>
    <message name="onshow" timer_id="show" command="start"/>
    <message name="onhide" timer_id="show" command="stop"/>
    <message name="onhide" timer_id="hide" command="start"/>
  </messages>
</effect>
<effect name="slow">
  <timers>
    <timer name="show" type="usual" ftime="0.05" direction="forward">
      <control id="0" type="point" starttime="0.05" endtime="0.05" function="DlgShow" active="true"/>
    </timer>
    <timer name="hide" type="usual" ftime="0.05" direction="backward">
      <control id="0" type="point" starttime="0" endtime="0" function="DlgHide" active="true"/>
    </timer>
  </timers>
  <messages>
    <message name="onshow" timer_id="hide" command="stop"/>
    <message name="onshow" timer_id="show" command="start"/>
    <message name="onhide" timer_id="show" command="stop"/>
    <message name="onhide" timer_id="hide" command="start"/>
  </messages>
</effect>
<effect name="marker">
  <timers><timer name="mark" type="usual" ftime="100" direction="forward"/></timers>
  <messages>
    <message name="oncreate" timer_id="mark" command="start"/>
    <message name="onchange" timer_id="mark" command="start"/>
  </messages>
</effect>
<effect name="stars">
  <timers>
    <timer name="burst" type="usual" ftime="2.0" direction="forward">
      <control id="0" type="range" starttime="0" endtime="2.0" function="FuncOnGoalExpertPSEffect" active="true"/>
    </timer>
  </timers>
  <messages>
    <message name="onshow" timer_id="burst" command="start"/>
    <message name="render_ps" timer_id="RenderPSFunc" command="call"/>
  </messages>
</effect>
<effect name="nomessages"><timers><timer name="t" type="usual" ftime="1"/></timers></effect>
</effects>)";

// Whether the "marker" effect's timer was started, and stops it again.
inline bool TakeMark(UiControl* control) {
    EffectTimer* timer = control && control->GetEffect() ? control->GetEffect()->GetTimer(0) : nullptr;
    if (timer == nullptr || !timer->IsRunning()) return false;
    timer->SetRunning(false);
    return true;
}


// 256 x 256 textures of one colour each.
inline const std::pair<const char*, uint32_t> kSolidTextures[] = {
    {"blue", 0xFF0000FFu}, {"green", 0xFF00FF00u}, {"red", 0xFFFF0000u},
    {"grey", 0xFF808080u}, {"white", 0xFFFFFFFFu}, {"yellow", 0xFFFFFF00u},
    {"fx_goal_star_small", 0xFFFFFFFFu}, {"fx_goal_star_big", 0xFFFFFFFFu},
};

// A temporary game folder with the test effects and textures, an application on it, its
// particle registry and a screen image for the widget manager to draw into.
class UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder.Write("cfg/effect.xml", kTestEffects);
        std::string table = "<textures>";
        for (const auto& [name, argb] : kSolidTextures) {
            folder.Write("images/" + std::string(name) + ".png", gametest::MakePng(256, 256, argb));
            table += "<texture name=\"" + std::string(name) + "\" path=\"images\\" + name + ".png\"/>";
        }
        folder.Write("cfg/textures.xml", table + "</textures>");
        WriteExtraFiles();
        ASSERT_TRUE(OpenEffectConfig()) << XmlLastError();
        app = std::make_unique<TestApp>(prefs.File("pref.dat"));
        app->SetParticleRegistry(MakeParticleRegistry(), DestroyParticleRegistry);
        std::vector<std::string> errors;
        app->GetTextureTable()->LoadTable(TextureTable::kTablePath, errors);
        app->GetLocTable()->Load(TextTable::kLocPath, errors);
        screen.reset(app->CreateImage());
        screen->Create(200, 150);
        wm()->SetSize(200, 150);
        wm()->SetScreenImage(screen.get());
    }
    void TearDown() override {
        app.reset();
        CloseEffectConfig();
    }
    // Tests add their textures and texts here before the application reads them.
    virtual void WriteExtraFiles() {}

    Zephra::WidgetManager* wm() { return app->mWidgetManager; }
    // n fixed update steps of the real application.
    void Step(int n = 1) {
        for (int i = 0; i < n; ++i) app->UpdateApp();
    }
    // Draws the tree and gives the pixel at (x, y).
    uint32_t Pixel(int x, int y) {
        wm()->MarkDirtyFull();
        wm()->DrawScreen();
        return screen->GetBits()[y * screen->mWidth + x];
    }

    testsupport::TempUserDirs user;
    testsupport::TempDir prefs;
    gametest::GameFolder folder;
    std::unique_ptr<TestApp> app;
    std::unique_ptr<Zephra::MemoryImage> screen;
};

} // namespace uitest
