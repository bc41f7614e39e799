#pragma once
// The sample game for the whole-game benchmarks: temporary user folders, the
// composition installed, an application on one display road, and a busy
// survival office played for a while.

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include <SDL.h>
#include <benchmark/benchmark.h>

#include "bench/collecting_reporter.h"
#include "framework/app/widget_manager.h"
#include "game/app/office_app.h"
#include "game/app/pak_file.h"
#include "game/app/startup.h"
#include "game/compose/game_composition.h"
#include "game/office/level_screen.h"
#include "game/screens/briefing_dialog.h"
#include "game/screens/game_level_screens.h"
#include "game/screens/screen_kit.h"
#include "game/screens/main_menu.h"
#include "game/screens/menu_background.h"
#include "game/screens/splash_screen.h"
#include "game/office/office.h"
#include "game/ui/ui_button.h"
#include "platform/directx/d3d7.h"
#include "platform/directx/dx_config.h"
#include "platform/random.h"
#include "tests/support/fake_clock.h"
#include "tests/support/headless_home.h"
#include "tests/support/layered_folder.h"
#include "tests/support/office_player.h"

namespace benchgame {

enum class Road { Memory, DirectDraw565, DirectDraw32, Direct3D };

inline const char* RoadName(Road road) {
    switch (road) {
    case Road::Memory: return "memory";
    case Road::DirectDraw565: return "ddraw565";
    case Road::DirectDraw32: return "ddraw32";
    case Road::Direct3D: return "d3d";
    }
    return "";
}

class BenchApp : public OfficeApp {
public:
    using OfficeApp::OfficeApp;
    void ShowError(const std::string& text, const std::string& title) override { error = title + ": " + text; }
    std::string error;
};

// Temporary HOME and XDG folders, the game folder (the sample's with the
// tests' own files laid over it, the busy office among them) and the
// composition, for the life of the program.
class GameWorld {
public:
    GameWorld() {
        home_ = testsupport::MakeHeadlessHome("bench");
        const std::string source = PEMBERLY_SOURCE_DIR;
        testsupport::LayGameFolder(source + "/data", source + "/tests/data", home_ / "game");
        PakSetGameDir((home_ / "game").string());
        InstallGameFileAccess(true);
        OfficeApp::SetGameHooks(&composition);
    }
    ~GameWorld() {
        OfficeApp::SetGameHooks(nullptr);
        InstallGameFileAccess(false);
        std::error_code ec;
        std::filesystem::remove_all(home_, ec);
    }
    std::string PrefsPath() const { return (home_ / "pref.dat").string(); }
    std::string GameFile(const std::string& relative) const { return (home_ / "game" / relative).string(); }
    // One fixed update with its 10 ms of time.
    void Step(OfficeApp& app) {
        clock.now += static_cast<uint64_t>(app.mUpdateInterval);
        app.UpdateApp();
    }

    // Animations run on this clock, so that what is measured is the work
    // and not the waiting. Only the main thread moves it: the cursor thread
    // also sleeps on it from Init until it is stopped.
    class MainThreadClock : public testsupport::FakeClock {
    public:
        void SleepMs(uint32_t ms) override {
            if (std::this_thread::get_id() == mMain) now += ms;
        }

    private:
        std::thread::id mMain = std::this_thread::get_id();
    } clock;
    GameComposition composition;

private:
    std::filesystem::path home_;
};

// The application on a road, started to its menus (the splash gone); null
// with the reason in error when it did not start.
inline std::unique_ptr<BenchApp> StartGame(GameWorld& world, Road road, bool window, std::string& error) {
    platform::DirectXConfig::Get().Reset();
    platform::Direct3DConfig::Get().Reset();
    auto app = std::make_unique<BenchApp>(world.PrefsPath());
    app->mNoWindow = !window;
    if (road != Road::Memory) {
        setenv("PEMBERLY_DX_FORMAT", road == Road::DirectDraw565 ? "565" : "888", 1);
        setenv("PEMBERLY_DX_3D", road == Road::Direct3D ? "software" : "none", 1);
        InstallGameDisplay(*app);
    }
    if (!app->Init()) {
        error = app->error.empty() ? app->mDisplayError : app->error;
        return nullptr;
    }
    // The cursor thread sleeps on the benchmark's clock, which the updates
    // move: the two would race over it, and its sleeps do not wait, so it
    // would spin beside the frames. Nobody moves the mouse here anyway.
    app->StopCursorThread();
    if ((road == Road::Direct3D) != app->Is3DAccelerated()) {
        error = "the display chose the other road";
        return nullptr;
    }
    app->LoadingThreadProc();
    app->LoadingThreadCompleted();  // the tables and the screens
    // The splash is passed over as soon as it is up; the menus come up over a few steps.
    for (int i = 0; i < 1000 && !(app->mMainMenu && app->mMainMenu->mVisible); ++i) {
        if (app->mSplash && app->mSplash->mVisible) app->mSplash->Hide();
        world.Step(*app);
    }
    return app;
}

// The busy survival level of the tests started as the menus start it, its
// briefing closed, then played by the player for the given seconds of game
// time: clients at their places (after 20 s, seven of the office's eight
// places are taken), workers at work, the boss carrying, the panel and its
// particles up.
inline bool MakeBusy(BenchApp& app, GameWorld& world, float seconds, std::string& error) {
    if (!app.CreateProfile(u"Ann", "man")) {
        error = "no profile";
        return false;
    }
    LevelScreen* level = app.GetLevelScreen();
    level->SetTutorial(nullptr);
    platform::SeedRand(1);  // a draw of the clients that seats seven by 20 s
    const int interval = app.mUpdateInterval;
    app.mUpdateInterval = 100;  // the load screen's wait in big steps
    GetLevelLink()->SetSurvival(true);
    // The menus hidden, as their buttons leave them.
    StartLevelFrom(app.mMainMenu, &app, testsupport::kBusySurvivalLevel);
    app.mUpdateInterval = interval;
    if (GameLevelScreens* screens = world.composition.GetLevelScreens()) {
        if (UiButton* go = screens->GetBriefing()->mContinue) {
            const Zephra::Point p = go->GetAbsPos();
            const int x = p.mX + go->mWidth / 2, y = p.mY + go->mHeight / 2;
            app.mWidgetManager->MouseMove(x, y);
            app.mWidgetManager->MouseDown(x, y, 1);
            app.mWidgetManager->MouseUp(x, y, 1);
        }
    }
    world.Step(app);
    if (!level->IsLevelLoaded() || !level->mVisible) {
        error = "the level did not start";
        return false;
    }
    level->SetInputEnabled(true);
    testsupport::Player player(level);
    for (int i = 0; i < static_cast<int>(seconds * 100); ++i) {
        player.Act();
        world.Step(app);
    }
    // The figures hold for a full office: seven clients seated after 20 s.
    int seated = 0;
    for (SlotClient* client : gClientSlots) seated += client && client->GetClientObject()->IsVisible();
    if (seconds >= 20.0f && seated < 7) {
        error = "the busy office seats " + std::to_string(seated) + " clients, not seven";
        return false;
    }
    return true;
}

// The benchmark program's main: runs the registered benchmarks with the game
// world set up (in *world while they run), then prints the summary.
inline int RunGameBenchmarks(int argc, char** argv, GameWorld*& world,
                             const std::function<void(const benchsummary::Figures&, benchsummary::Summary&)>& summarize) {
    const int status = benchsummary::RunMain(argc, argv, summarize, [&world](const std::function<void()>& run) {
        GameWorld w;
        world = &w;
        run();
        world = nullptr;
    });
    SDL_Quit();
    return status;
}

} // namespace benchgame
