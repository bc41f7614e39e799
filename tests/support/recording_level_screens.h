#pragma once
#include <string>
#include <vector>
#include "game/office/level_screens.h"

namespace testsupport {

// The level's screens as a record of what the level asked of them. Dialogs
// show and hide as asked; the upgrade choice answers with `choice`.
class RecordingLevelScreens : public LevelScreens {
public:
    void ShowPanel(bool shown) override { Log(shown ? "panel shown" : "panel hidden"); }
    void SetupPanel() override { Log("panel set up"); }
    void SetLives(int value) override {
        lives = value;
        Log("lives " + std::to_string(value));
    }
    void SetUpgradeDisabled(bool disabled) override {
        upgradeDisabled = disabled;
        Log(disabled ? "upgrade disabled" : "upgrade enabled");
    }
    void ShowDialog(Dialog dialog, bool shown) override {
        dialogShown[dialog] = shown;
        Log(std::string(kNames[dialog]) + (shown ? " shown" : " hidden"));
    }
    bool IsDialogShown(Dialog dialog) override { return dialogShown[dialog]; }
    void SetBriefingText(const std::string& key) override { briefing = key; }
    void SetDebriefing(const std::string& key, bool disabled, Outcome value) override {
        debriefing = key;
        continueDisabled = disabled;
        outcome = value;
        ++debriefings;
    }
    void SetComixPage(int page) override { comixPage = page; }
    std::string ChooseUpgrade(const std::vector<std::string>& names) override {
        offered.push_back(names);
        return choice;
    }
    bool ShowLoadScreen(bool shown) override {
        Log(shown ? "load screen shown" : "load screen hidden");
        return hasLoadScreen;
    }

    void Log(const std::string& entry) { log.push_back(entry); }

    static constexpr const char* kNames[] = {"briefing", "debriefing", "escape_menu", "upgrade", "comix"};
    std::vector<std::string> log;
    bool dialogShown[5] = {};
    int lives = -1;
    bool upgradeDisabled = false;
    std::string briefing;
    std::string debriefing;
    bool continueDisabled = false;
    Outcome outcome = kFailure;
    int debriefings = 0;
    int comixPage = 0;
    std::vector<std::vector<std::string>> offered;
    std::string choice;
    bool hasLoadScreen = false;
};

} // namespace testsupport
