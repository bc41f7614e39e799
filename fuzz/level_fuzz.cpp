// A level file as the level screen plays it on the sample office: loaded,
// started, updated for some seconds of play and cleared. Two targets: "level"
// plays a career day ("cfg\lN.xml"), "survival" (this file built with
// FUZZ_SURVIVAL) a survival level ("cfg\endlessN.xml").
#include <climits>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>
#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_app.h"
#include "fuzz/office_pictures.h"
#include "game/app/office_app.h"
#include "game/compose/game_composition.h"
#include "game/office/level_screen.h"
#include "game/office/level_screens.h"
#include "game/office/office.h"
#include "game/office/office_globals.h"
#include "game/office/office_objects.h"

namespace {

using fuzz::FuzzApp;

// The level's dialogs as a record of what is shown: the game's own draw the
// load screen for frames while a level loads, most of an input's time.
class ScreensStandIn : public LevelScreens {
public:
    void ShowPanel(bool) override {}
    void SetupPanel() override {}
    void SetLives(int) override {}
    void SetUpgradeDisabled(bool) override {}
    void ShowDialog(Dialog dialog, bool shown) override { shown_[dialog] = shown; }
    bool IsDialogShown(Dialog dialog) override { return shown_[dialog]; }
    void SetBriefingText(const std::string&) override {}
    void SetDebriefing(const std::string&, bool, Outcome) override {}
    void SetComixPage(int) override {}
    std::string ChooseUpgrade(const std::vector<std::string>& names) override {
        return names.empty() ? std::string() : names.front();
    }
    bool ShowLoadScreen(bool) override { return false; }

private:
    bool shown_[5] = {};
};

#ifdef FUZZ_SURVIVAL
constexpr bool kSurvival = true;
constexpr int kDay = 1;
constexpr const char* kPath = "cfg/endless1.xml";
#else
constexpr bool kSurvival = false;
// The second day: the first one runs the tutorial over the level.
constexpr int kDay = 2;
constexpr const char* kPath = "cfg/l2.xml";
#endif
constexpr int kUpdates = 30;  // 100 ms each

void Play(LevelScreen& level) {
    level.SetSurvival(kSurvival);
    const bool loaded = level.LoadLevel(kDay);
    FUZZ_CHECK(loaded == level.IsLevelLoaded(), "load result");
    FUZZ_CHECK(loaded == (gLevelDoc != nullptr), "the level document");
    level.StartLevel();
    level.SetInputEnabled(true);
    for (int i = 0; i < kUpdates; ++i) {
        level.Update();
        FUZZ_CHECK(level.GetMoney() >= 0, "money " + std::to_string(level.GetMoney()));
        FUZZ_CHECK(level.GetLives() <= LevelScreen::kSurvivalLives, "lives " + std::to_string(level.GetLives()));
        const float ratio = level.GetTimelineRatio();
        FUZZ_CHECK(!(ratio < 0.0f) && !(ratio > 1.0f), "timeline ratio " + std::to_string(ratio));
    }
    level.ClearLevel();
    FUZZ_CHECK(gLevelDoc == nullptr, "the level document outlived the level");
}

} // namespace

void fuzz::WriteSeeds(Seeds&) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzApp* app = [] {
        InstallGameComposition();
        auto* made = new FuzzApp();
        fuzz::QuietStderr quiet;
        FUZZ_CHECK(made->Init(), "the sample game does not start");
        // Before the composition goes at exit, as in the game.
        std::atexit([] { delete app; });
        made->LoadingThreadCompleted();
        made->mUpdateInterval = 100;
        FUZZ_CHECK(made->CreateProfile(u"Ann", "man"), "profile");
        return made;
    }();
    static const std::vector<Zephra::ImageRef> pictures = fuzz::KeepOfficePictures(*app);
    static ScreensStandIn screens;
    LevelScreen* level = app->GetLevelScreen();
    FUZZ_CHECK(level != nullptr, "no level screen");
    level->SetScreens(&screens);
    fuzz::WriteGameFile(kPath, data, size);
    {
        fuzz::QuietStderr quiet;
        Play(*level);
    }
    FUZZ_CHECK(level->GetOffice() && level->GetOffice()->IsLoaded(), "a level file unloaded the office");
    app->ClearWarnings();
    return 0;
}
