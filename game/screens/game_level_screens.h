#pragma once
#include <string>
#include <vector>
#include "game/app/xml_access.h"
#include "game/office/level_screens.h"

class BriefingDialog;
class ComixDialog;
class DebriefingDialog;
class EscapeMenu;
class Hud;
class LevelScreen;
class OfficeApp;
class UiControl;
class UpgradeDialog;

// The screens as the level asks for them: the panel over the office with its
// five dialogs (briefing, debriefing, escape menu, upgrade choice, comics)
// and the load screen around a load. The panel owns the dialogs; this keeps
// plain pointers.
class GameLevelScreens : public LevelScreens {
public:
    // The panel and its dialogs are made from the layouts, hidden, over the level.
    GameLevelScreens(OfficeApp& app, LevelScreen& level, XmlNode layouts);
    ~GameLevelScreens() override;
    GameLevelScreens(const GameLevelScreens&) = delete;
    GameLevelScreens& operator=(const GameLevelScreens&) = delete;

    void ShowPanel(bool shown) override;
    void SetupPanel() override;
    void SetLives(int lives) override;
    void SetUpgradeDisabled(bool disabled) override;
    void ShowDialog(Dialog dialog, bool shown) override;
    bool IsDialogShown(Dialog dialog) override;
    void SetBriefingText(const std::string& key) override;
    void SetDebriefing(const std::string& key, bool continueDisabled, Outcome outcome) override;
    // Kept for the comics' next show, which shows the page after the dialog.
    void SetComixPage(int page) override;
    std::string ChooseUpgrade(const std::vector<std::string>& names) override;
    bool ShowLoadScreen(bool shown) override;

    Hud* GetHud() const { return mHud; }
    EscapeMenu* GetEscapeMenu() const { return mEscapeMenu; }
    BriefingDialog* GetBriefing() const { return mBriefing; }
    DebriefingDialog* GetDebriefing() const { return mDebriefing; }
    ComixDialog* GetComix() const { return mComix; }
    UpgradeDialog* GetUpgrade() const { return mUpgrade; }

private:
    UiControl* DialogOf(Dialog dialog) const;
    std::u16string Localised(const std::string& key) const;

    OfficeApp& mApp;
    LevelScreen& mLevel;
    Hud* mHud;
    BriefingDialog* mBriefing;
    DebriefingDialog* mDebriefing;
    EscapeMenu* mEscapeMenu;
    UpgradeDialog* mUpgrade;
    ComixDialog* mComix;
    int mComixPage = 1;
};
