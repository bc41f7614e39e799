#include "game/screens/escape_menu.h"

#include "game/app/office_app.h"
#include "game/screens/help_dialog.h"
#include "game/screens/menu_background.h"
#include "game/screens/message_box2.h"
#include "game/screens/options_dialog.h"
#include "game/ui/ui_button.h"
#include "platform/input.h"

EscapeMenu::EscapeMenu(OfficeApp* app, XmlNode layouts) : Screen(nullptr, app), mBlocker(MakeBlocker(app)) {
    LoadByName(layouts, "escape_menu");
}

EscapeMenu::~EscapeMenu() {
    DropBlocker(this, mBlocker);
    delete mBlocker;
}

void EscapeMenu::AddChild(const std::string& name, UiControl* control) {
    Bind(name, "restart", control, mRestart) || Bind(name, "resume", control, mResume) ||
        Bind(name, "settings", control, mSettings) || Bind(name, "help", control, mHelp) ||
        Bind(name, "quit", control, mQuit);
    UiControl::AddChild(name, control);
}

void EscapeMenu::SoundGroup(void (SoundManager::*action)(const std::string&)) const {
    if (mApp == nullptr) return;
    if (SoundManager* sounds = mApp->GetSoundManager()) (sounds->*action)("game");
}

void EscapeMenu::OnCommand(intptr_t id) {
    auto is = [id](const UiControl* c) { return c != nullptr && id == reinterpret_cast<intptr_t>(c); };
    if (is(mRestart)) {
        if (ShowMessageBox2("restlvl") != 1) return;
        Hide();
        if (LevelLink* level = Level()) level->RestartDay();
    } else if (is(mResume)) {
        Hide();
    } else if (is(mSettings)) {
        if (mApp && mApp->mOptions) mApp->mOptions->Show();
    } else if (is(mHelp)) {
        if (mApp && mApp->mHelp) mApp->mHelp->Show();
    } else if (is(mQuit)) {
        if (ShowMessageBox2("exitmenu") != 1) return;
        Hide();
        if (LevelLink* level = Level()) level->Leave();
        if (mApp && mApp->mMenuBackground) mApp->mMenuBackground->Show();
        SetLevelInput(false);
        SoundGroup(&SoundManager::StopGroup);
    }
}

void EscapeMenu::OnShow() {
    if (!mOpen) mWasInPlay = Level() != nullptr && Level()->IsInputEnabled();
    mOpen = true;
    SetLevelInput(false);
    RaiseOverBlocker(this, mBlocker);
    SoundGroup(&SoundManager::PauseGroup);
}

void EscapeMenu::OnHide() {
    if (!mOpen) return;
    mOpen = false;
    SetLevelInput(mWasInPlay);
    DropBlocker(this, mBlocker);
    SoundGroup(&SoundManager::ResumeGroup);
}

void EscapeMenu::KeyUp(int keyCode) {
    if (keyCode == platform::VK_ESCAPE) Hide();
}

void EscapeMenu::ListNames(ScreenNames& names) const {
    names.members.insert(names.members.end(), {{"restart", mRestart}, {"resume", mResume},
                                               {"settings", mSettings}, {"help", mHelp}, {"quit", mQuit}});
}
