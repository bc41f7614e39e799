#pragma once
#include <string>
#include <vector>
#include "game/app/xml_access.h"
#include "game/office/level_screens.h"

class EscapeMenu;
class OfficeApp;

// The screens as the level asks for them: the load screen around a load and
// the escape menu over the office. The panel, the day dialogs and the upgrade
// choice join here as they are built. Until then a briefing or comics page
// the level asks for is over as the start ends and the play begins, the
// upgrade choice chooses nothing and no debriefing shows (the escape menu
// leaves the finished day).
class GameLevelScreens : public LevelScreens {
public:
    // The escape menu is made from the layouts, hidden, in the widget tree.
    GameLevelScreens(OfficeApp& app, XmlNode layouts);
    ~GameLevelScreens() override;
    GameLevelScreens(const GameLevelScreens&) = delete;
    GameLevelScreens& operator=(const GameLevelScreens&) = delete;

    void ShowPanel(bool shown) override { (void)shown; }
    // Ends a level's start: a briefing or comics page asked for before, which
    // the screens do not have yet, is over and the play begins.
    void SetupPanel() override;
    void SetLives(int lives) override { (void)lives; }
    void SetUpgradeDisabled(bool disabled) override { (void)disabled; }
    void ShowDialog(Dialog dialog, bool shown) override;
    bool IsDialogShown(Dialog dialog) override;
    void SetBriefingText(const std::string& key) override { (void)key; }
    void SetDebriefing(const std::string& key, bool continueDisabled, Outcome outcome) override;
    void SetComixPage(int page) override { (void)page; }
    std::string ChooseUpgrade(const std::vector<std::string>& names) override;
    bool ShowLoadScreen(bool shown) override;

    EscapeMenu* GetEscapeMenu() const { return mEscapeMenu; }

private:
    OfficeApp& mApp;
    EscapeMenu* mEscapeMenu;
    bool mPlayBackPending = false;
};
