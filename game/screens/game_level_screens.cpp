#include "game/screens/game_level_screens.h"

#include "framework/app/widget_manager.h"
#include "game/app/office_app.h"
#include "game/office/level_screen.h"
#include "game/screens/escape_menu.h"
#include "game/screens/load_screen.h"

GameLevelScreens::GameLevelScreens(OfficeApp& app, XmlNode layouts)
    : mApp(app), mEscapeMenu(new EscapeMenu(&app, layouts)) {
    mEscapeMenu->SetVisible(false);
    app.mWidgetManager->AddWidget(mEscapeMenu);
}

GameLevelScreens::~GameLevelScreens() {
    if (mEscapeMenu->mParent) mEscapeMenu->mParent->RemoveWidget(mEscapeMenu);
    delete mEscapeMenu;
}

void GameLevelScreens::ShowDialog(Dialog dialog, bool shown) {
    if (dialog == kEscapeMenu) {
        if (shown) {
            // Over the office, which joined the tree after the menu was made.
            if (mEscapeMenu->mParent) mEscapeMenu->mParent->BringToFront(mEscapeMenu);
            mEscapeMenu->Show();
        } else {
            mEscapeMenu->Hide();
        }
    } else if (shown && (dialog == kBriefing || dialog == kComix)) {
        mPlayBackPending = true;
    }
}

void GameLevelScreens::SetupPanel() {
    if (!mPlayBackPending) return;
    mPlayBackPending = false;
    if (LevelScreen* level = mApp.GetLevelScreen()) level->SetInputEnabled(true);
}

bool GameLevelScreens::IsDialogShown(Dialog dialog) { return dialog == kEscapeMenu && mEscapeMenu->mVisible; }

void GameLevelScreens::SetDebriefing(const std::string& key, bool continueDisabled, Outcome outcome) {
    (void)key;
    (void)continueDisabled;
    (void)outcome;
}

std::string GameLevelScreens::ChooseUpgrade(const std::vector<std::string>& names) {
    (void)names;
    return std::string();
}

bool GameLevelScreens::ShowLoadScreen(bool shown) {
    if (mApp.mLoadScreen == nullptr) return false;
    if (shown) {
        mApp.mLoadScreen->Show();
    } else {
        mApp.mLoadScreen->Hide();
    }
    return true;
}
