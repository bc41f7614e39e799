#include "game/screens/level_screen_link.h"

#include "framework/app/widget_manager.h"
#include "game/app/office_app.h"
#include "game/office/level_screen.h"

void LevelScreenLink::SetSurvival(bool survival) { mLevel.SetSurvival(survival); }

void LevelScreenLink::StartLevel(int number) {
    mLevel.SetVisible(false);
    mApp.mWidgetManager->AddWidget(&mLevel);
    mLevel.LoadLevel(number);
    mLevel.StartLevel();
}

void LevelScreenLink::RestartDay() { mLevel.RestartDay(); }

void LevelScreenLink::Leave() {
    mLevel.Hide();
    if (mLevel.mParent) mLevel.mParent->RemoveWidget(&mLevel);
    // The time played in the level is kept however the player leaves it.
    if (mApp.mProfileLoaded) mApp.SavePrefs();
}

void LevelScreenLink::SetInputEnabled(bool enabled) { mLevel.SetInputEnabled(enabled); }

bool LevelScreenLink::IsInputEnabled() const { return mLevel.IsInPlay(); }

void LevelScreenLink::SetFocusFlag(bool focus) { mLevel.SetOfficeFocus(focus); }

void LevelScreenLink::SetShown(bool shown) {
    if (shown) {
        mLevel.Show();
    } else {
        mLevel.Hide();
    }
}
