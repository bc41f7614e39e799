#pragma once
#include "game/screens/screen_kit.h"

class SoundManager;
class UiButton;

// The pause menu over the office ("escape_menu"): resume, restart the day,
// options, help and quit to the menus. While it is open the office takes no
// input and the sound group "game" is paused; a blocker under it takes the
// clicks aimed at the office.
class EscapeMenu : public Screen {
public:
    UiButton* mRestart = nullptr;
    UiButton* mResume = nullptr;
    UiButton* mSettings = nullptr;
    UiButton* mHelp = nullptr;
    UiButton* mQuit = nullptr;
    UiDialog* mBlocker;
    // Whether the office was in play when the menu opened: hiding gives back
    // just that (a day waiting behind its briefing stays waiting).
    bool mWasInPlay = false;
    // Between its show and its hide: a hide of a closed menu (the level going)
    // gives nothing back.
    bool mOpen = false;

    EscapeMenu(OfficeApp* app, XmlNode layouts);
    ~EscapeMenu() override;

    void AddChild(const std::string& name, UiControl* control) override;
    void OnCommand(intptr_t id) override;
    void OnShow() override;
    void OnHide() override;
    // Escape released closes the menu.
    void KeyUp(int keyCode) override;
    void ListNames(ScreenNames& names) const override;

private:
    void SoundGroup(void (SoundManager::*action)(const std::string&)) const;
};
