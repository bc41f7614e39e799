#pragma once
#include <string>
#include <vector>

// What the level asks of the screens over it: the panel, the five dialogs and
// the load screen. The screens implement it and install it on the level
// (LevelScreen::SetScreens); with none installed the level runs without them.
class LevelScreens {
public:
    enum Dialog { kBriefing, kDebriefing, kEscapeMenu, kUpgrade, kComix };
    enum Outcome { kFailure, kGoal, kExpert };

    virtual ~LevelScreens() = default;

    // The panel over the office.
    virtual void ShowPanel(bool shown) = 0;
    virtual void SetupPanel() = 0;
    virtual void SetLives(int lives) = 0;
    virtual void SetUpgradeDisabled(bool disabled) = 0;

    virtual void ShowDialog(Dialog dialog, bool shown) = 0;
    virtual bool IsDialogShown(Dialog dialog) = 0;
    // Texts are keys of the localisation table.
    virtual void SetBriefingText(const std::string& key) = 0;
    virtual void SetDebriefing(const std::string& key, bool continueDisabled, Outcome outcome) = 0;
    virtual void SetComixPage(int page) = 0;
    // Offers up to three upgrades and waits for the player; the chosen name,
    // empty when none was chosen.
    virtual std::string ChooseUpgrade(const std::vector<std::string>& names) = 0;

    // Shown around a level load; false when there is no load screen (the
    // level then shows itself once loaded).
    virtual bool ShowLoadScreen(bool shown) = 0;
};

// The tutorial rules of the first career days as the level consults them.
// Without one installed nothing is blocked and no script runs.
class LevelTutorial {
public:
    virtual ~LevelTutorial() = default;
    // Starts the script of a career day (none for most days); Stop ends any.
    virtual void Start(int day) = 0;
    virtual void Stop() = 0;
    virtual bool IsRunning() = 0;
    virtual void Step(float seconds) = 0;
    virtual bool Allows(int event) = 0;
    virtual bool AllowsName(const std::string& objectName) = 0;
    virtual void Notify(int event) = 0;
};

// The level's bonus chain as the level steps it.
class LevelBonus {
public:
    virtual ~LevelBonus() = default;
    virtual void Reset() = 0;
    virtual void Step(float seconds) = 0;
};
