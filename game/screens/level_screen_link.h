#pragma once
#include "game/screens/screen_kit.h"

class LevelScreen;
class OfficeApp;

// The level screen behind the menus' LevelLink.
class LevelScreenLink : public LevelLink {
public:
    LevelScreenLink(OfficeApp& app, LevelScreen& level) : mApp(app), mLevel(level) {}

    void SetSurvival(bool survival) override;
    // Hidden into the widget tree, then loaded and started.
    void StartLevel(int number) override;
    void RestartDay() override;
    void Leave() override;
    void SetInputEnabled(bool enabled) override;
    bool IsInputEnabled() const override;
    void SetFocusFlag(bool focus) override;
    void SetShown(bool shown) override;

private:
    OfficeApp& mApp;
    LevelScreen& mLevel;
};
