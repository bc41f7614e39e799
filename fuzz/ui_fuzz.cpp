// "cfg\ui.xml" as the composition builds the screens from it: the cursor
// table loaded and every cursor selected and drawn; every menu screen and
// level dialog made by the control factory from its layout, shown, updated,
// drawn (into a small picture standing in for the screen) and hidden; then
// all of it destroyed with the layouts.
#include <cstdlib>
#include <memory>
#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <vector>
#include "framework/app/widget_manager.h"
#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_app.h"
#include "game/app/office_app.h"
#include "game/app/tables.h"
#include "game/app/xml_access.h"
#include "game/compose/game_composition.h"
#include "game/screens/game_level_screens.h"
#include "game/screens/menu_screens.h"
#include "game/screens/screen_kit.h"
#include "game/ui/cursor_table.h"

namespace {

using fuzz::FuzzApp;

GameComposition gComposition;

// An update reaches every control of every screen, shown or not: one per
// screen shown updates each control a dozen times an input.
void Steps(FuzzApp& app, int n) {
    for (int i = 0; i < n; ++i) app.mWidgetManager->UpdateFrame();
    app.mWidgetManager->UpdateMotionFrame(0.5f);
}

// Once per screen: drawing is the dearest part of an input.
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

// The screens draw into a picture of this size, made as the game makes its
// pictures, in place of the 800 x 600 screen: every control's drawing runs,
// clipped to it, for a small part of the pixels.
constexpr int kCanvasWidth = 80;
constexpr int kCanvasHeight = 60;

Zephra::MemoryImage* SmallCanvas(FuzzApp& app) {
    Zephra::MemoryImage* canvas = app.CreateImage();
    canvas->Create(kCanvasWidth, kCanvasHeight);
    return canvas;
}

// The sample office without its objects: every build makes a level screen,
// which loads the office; its objects and their animations were a third of
// an input, and no layout reaches into them.
void BareOffice() {
    pugi::xml_document doc;
    const std::string sample = fuzz::SampleFile("cfg/office.xml");
    FUZZ_CHECK(doc.load_buffer(sample.data(), sample.size()), "the sample office");
    doc.child("office").remove_child("objects");
    std::ostringstream out;
    doc.save(out);
    fuzz::WriteGameFile("cfg/office.xml", out.str());
}

// Every texture of the sample table, held so that each picture is decoded
// once: the dialogs of each input take and give back the same pictures.
void KeepTextures(FuzzApp& app) {
    std::unique_ptr<XmlDocument> doc;
    if (!XmlLoadDocument(doc, TextureTable::kTablePath)) return;
    for (XmlNode e = doc->document_element().child("texture"); e; e = e.next_sibling("texture"))
        app.GetTextureTable()->Acquire(e.attribute("name").value());
}

// What the screens of one file do.
void Exercise(FuzzApp& app) {
    XmlNode root = gComposition.GetUiRoot();
    GameLevelScreens* screens = gComposition.GetLevelScreens();
    if (!screens) {
        FUZZ_CHECK(app.mMainMenu == nullptr && app.mSplash == nullptr, "screens without a layout");
        return;
    }
    Cursors(app, root);
    ForEachMenuScreen(app, [&](Screen& screen) {
        screen.Show();
        Steps(app, 1);
        Draw(app);
        screen.Hide();
    });
    screens->ShowPanel(true);
    screens->SetupPanel();
    screens->SetLives(2);
    Steps(app, 2);
    const LevelScreens::Dialog dialogs[] = {LevelScreens::kBriefing, LevelScreens::kDebriefing,
                                            LevelScreens::kEscapeMenu, LevelScreens::kUpgrade, LevelScreens::kComix};
    for (LevelScreens::Dialog d : dialogs) {
        screens->ShowDialog(d, true);
        Steps(app, 1);
        Draw(app);
        screens->ShowDialog(d, false);
        FUZZ_CHECK(!screens->IsDialogShown(d), "a hidden dialog still shows");
    }
    screens->ShowPanel(false);
    Steps(app, 1);
}

} // namespace

void fuzz::WriteSeeds(Seeds&) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzApp* app = [] {
        BareOffice();
        OfficeApp::SetGameHooks(&gComposition);
        auto* made = new FuzzApp();
        fuzz::QuietStderr quiet;
        FUZZ_CHECK(made->Init(), "the sample game does not start");
        // Before the composition goes at exit, as in the game.
        std::atexit([] { delete app; });
        made->LoadingThreadCompleted();
        gComposition.DestroyScreens(*made);
        KeepTextures(*made);
        return made;
    }();
    static std::unique_ptr<Zephra::MemoryImage> canvas(SmallCanvas(*app));
    fuzz::WriteGameFile("cfg/ui.xml", data, size);
    fuzz::QuietStderr quiet;
    Zephra::MemoryImage* screen = app->mWidgetManager->GetScreenImage();
    app->mWidgetManager->SetScreenImage(canvas.get());
    std::string error;
    gComposition.BuildScreens(*app, error);
    Exercise(*app);
    // What the file built goes with it: an input frees what it allocates, so
    // that the fuzzer has no leak to look for after every input.
    gComposition.DestroyScreens(*app);
    app->SetCursorTable(nullptr, nullptr);
    app->ClearWarnings();
    app->mWidgetManager->SetScreenImage(screen);
    return 0;
}
