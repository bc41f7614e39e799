#pragma once
#include <functional>
#include <initializer_list>
#include "game/office/level_screen.h"
#include "game/office/level_screens.h"
#include "game/office/office_objects.h"
#include "tests/support/recording_level_seams.h"
#include "tests/support/sample_game.h"

namespace peopletest {

using testsupport::RecordingBonus;
using testsupport::RecordingTutorial;

// The sample game with the profile "Ann" (boss "man") current, updated
// 10 ms at a time.
class OfficeGame : public testsupport::SampleGame {
protected:
    static constexpr float kStep = 0.01f;

    void StartApp() override {
        SampleGame::StartApp();
        ASSERT_NE(app, nullptr);
        ASSERT_EQ(app->mUpdateInterval, 10);
        ASSERT_TRUE(app->CreateProfile(u"Ann", "man"));
        level = app->GetLevelScreen();
        ASSERT_NE(level, nullptr);
        // The played days test the office itself; the tutorial's blocks are tested on their own.
        level->SetTutorial(nullptr);
    }

    LevelScreen* level = nullptr;
};

// The bonus chain and the tutorial events recorded; a level is loaded but not started, so the tests
// step the objects they look at themselves.
class PeopleTest : public OfficeGame {
protected:
    void StartApp() override {
        OfficeGame::StartApp();
        if (level) level->SetBonus(&bonus);
        if (level) level->SetTutorial(&tutorial);
    }
    void TearDown() override {
        if (level) level->SetBonus(nullptr);
        if (level) level->SetTutorial(nullptr);
        SampleGame::TearDown();
    }
    void LoadSurvival(int n) {
        level->SetSurvival(true);
        ASSERT_TRUE(level->LoadLevel(n));
    }
    // One update of the items, then one motion step of each.
    static void Tick(std::initializer_list<Item*> items) {
        gFrameTime = kStep;
        for (Item* item : items) item->Update();
        for (Item* item : items) item->UpdateMotion(1.0f);
    }
    // Ticks for the given seconds, or until done answers true.
    static void Run(float seconds, std::initializer_list<Item*> items, const std::function<bool()>& done = nullptr) {
        const int steps = static_cast<int>(seconds / kStep + 0.5f);
        for (int i = 0; i < steps && !(done && done()); ++i) Tick(items);
    }

    testsupport::RecordingBonus bonus;
    testsupport::RecordingTutorial tutorial;
};

} // namespace peopletest
