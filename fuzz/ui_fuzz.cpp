// "cfg\ui.xml" as the composition builds the screens from it: the cursor
// table loaded and every cursor selected and drawn; every menu screen and
// level dialog made by the control factory from its layout, shown, updated,
// drawn and hidden; then all of it destroyed for the next file.
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>
#include "framework/app/widget_manager.h"
#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_app.h"
#include "game/app/office_app.h"
#include "game/compose/game_composition.h"
#include "game/screens/game_level_screens.h"
#include "game/screens/menu_screens.h"
#include "game/screens/screen_kit.h"
#include "game/ui/cursor_table.h"

namespace {

using fuzz::FuzzApp;

GameComposition gComposition;

// Drawing is most of the time of an input: once per screen.
void Steps(FuzzApp& app, int n) {
    for (int i = 0; i < n; ++i) app.mWidgetManager->UpdateFrame();
    app.mWidgetManager->UpdateMotionFrame(0.5f);
}

void Draw(FuzzApp& app) {
    app.mWidgetManager->MarkDirtyFull();
    app.mWidgetManager->DrawScreen();
}

void Cursors(FuzzApp& app, XmlNode root) {
    CursorTable* cursors = app.GetCursorTable();
    FUZZ_CHECK(cursors != nullptr, "no cursor table");
    Zephra::MemoryImage canvas(nullptr);
    canvas.Create(64, 48);
    Zephra::Graphics g(&canvas);
    int seen = 0;
    for (XmlNode e = root.child("cursors"); e && seen < 32; e = e.next_sibling("cursors"), ++seen) {
        const std::string mode = e.attribute("mode").value();
        cursors->Select(mode);
        FUZZ_CHECK(cursors->GetCurrent() == nullptr || cursors->GetCurrent() == cursors->Find(mode) ||
                       cursors->Find(mode) == nullptr,
                   "selected another cursor than " + mode);
        cursors->Show();
        cursors->Draw(&g);
    }
    cursors->Select("normal");
}

} // namespace

void fuzz::WriteSeeds(Seeds&) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzApp* app = [] {
        OfficeApp::SetGameHooks(&gComposition);
        auto* made = new FuzzApp();
        fuzz::QuietStderr quiet;
        FUZZ_CHECK(made->Init(), "the sample game does not start");
        // Before the composition goes at exit, as in the game.
        std::atexit([] { delete app; });
        made->LoadingThreadCompleted();
        return made;
    }();
    fuzz::WriteGameFile("cfg/ui.xml", data, size);
    fuzz::QuietStderr quiet;
    gComposition.DestroyScreens(*app);
    std::string error;
    gComposition.BuildScreens(*app, error);
    XmlNode root = gComposition.GetUiRoot();
    GameLevelScreens* screens = gComposition.GetLevelScreens();
    if (!screens) {
        FUZZ_CHECK(app->mMainMenu == nullptr && app->mSplash == nullptr, "screens without a layout");
        return 0;
    }
    Cursors(*app, root);
    ForEachMenuScreen(*app, [&](Screen& screen) {
        screen.Show();
        Steps(*app, 3);
        Draw(*app);
        screen.Hide();
    });
    screens->ShowPanel(true);
    screens->SetupPanel();
    screens->SetLives(2);
    Steps(*app, 2);
    const LevelScreens::Dialog dialogs[] = {LevelScreens::kBriefing, LevelScreens::kDebriefing,
                                            LevelScreens::kEscapeMenu, LevelScreens::kUpgrade, LevelScreens::kComix};
    for (LevelScreens::Dialog d : dialogs) {
        screens->ShowDialog(d, true);
        Steps(*app, 3);
        Draw(*app);
        screens->ShowDialog(d, false);
        FUZZ_CHECK(!screens->IsDialogShown(d), "a hidden dialog still shows");
    }
    screens->ShowPanel(false);
    Steps(*app, 1);
    return 0;
}
