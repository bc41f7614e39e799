#include "game/screens/game_level_screens.h"

#include "framework/app/widget_manager.h"
#include "game/app/office_app.h"
#include "game/office/level_screen.h"
#include "game/screens/briefing_dialog.h"
#include "game/screens/comix_dialog.h"
#include "game/screens/debriefing_dialog.h"
#include "game/screens/escape_menu.h"
#include "game/screens/hud.h"
#include "game/screens/load_screen.h"
#include "game/screens/upgrade_dialog.h"

namespace {

template <class T>
T* MakeHidden(OfficeApp& app, XmlNode layouts) {
    T* dialog = new T(&app, layouts);
    dialog->SetVisible(false);
    return dialog;
}

} // namespace

GameLevelScreens::GameLevelScreens(OfficeApp& app, LevelScreen& level, XmlNode layouts)
    : mApp(app),
      mLevel(level),
      mHud(new Hud(&level, &app, layouts)),
      mBriefing(MakeHidden<BriefingDialog>(app, layouts)),
      mDebriefing(MakeHidden<DebriefingDialog>(app, layouts)),
      mEscapeMenu(MakeHidden<EscapeMenu>(app, layouts)),
      mUpgrade(MakeHidden<UpgradeDialog>(app, layouts)),
      mComix(MakeHidden<ComixDialog>(app, layouts)) {
    mHud->SetVisible(false);
    mHud->AddChild("briefing", mBriefing);
    mHud->AddChild("debriefing", mDebriefing);
    mHud->AddChild("escape_menu", mEscapeMenu);
    mHud->AddChild("upgrade", mUpgrade);
    mHud->AddChild("comix", mComix);
    level.AddWidget(mHud);
}

GameLevelScreens::~GameLevelScreens() {
    if (mHud->mParent) mHud->mParent->RemoveWidget(mHud);
    delete mHud;
}

UiControl* GameLevelScreens::DialogOf(Dialog dialog) const {
    switch (dialog) {
    case kBriefing: return mBriefing;
    case kDebriefing: return mDebriefing;
    case kEscapeMenu: return mEscapeMenu;
    case kUpgrade: return mUpgrade;
    case kComix: return mComix;
    }
    return nullptr;
}

std::u16string GameLevelScreens::Localised(const std::string& key) const {
    TextTable* loc = mApp.GetLocTable();
    return loc ? loc->Lookup(key) : std::u16string();
}

void GameLevelScreens::ShowPanel(bool shown) {
    if (shown) {
        mHud->Show();
    } else {
        mHud->Hide();
    }
}

void GameLevelScreens::SetupPanel() { mHud->SetupLevel(); }

void GameLevelScreens::SetLives(int lives) { mHud->SetLives(lives); }

void GameLevelScreens::SetUpgradeDisabled(bool disabled) { mHud->SetUpgradeDisabled(disabled); }

void GameLevelScreens::ShowDialog(Dialog dialog, bool shown) {
    UiControl* control = DialogOf(dialog);
    if (control == nullptr) return;
    if (!shown) {
        control->Hide();
        return;
    }
    // Over the panel's own controls and the other dialogs.
    mHud->BringToFront(control);
    control->Show();
    if (dialog == kComix) mComix->SetPage(mComixPage);
}

bool GameLevelScreens::IsDialogShown(Dialog dialog) {
    UiControl* control = DialogOf(dialog);
    return control != nullptr && control->mVisible;
}

void GameLevelScreens::SetBriefingText(const std::string& key) { mBriefing->SetText(Localised(key)); }

void GameLevelScreens::SetDebriefing(const std::string& key, bool continueDisabled, Outcome outcome) {
    mDebriefing->SetDebriefingText(Localised(key));
    mDebriefing->SetContinueDisabled(continueDisabled);
    mDebriefing->SetOutcome(DebriefingDialog::kOutcomes[outcome >= kFailure && outcome <= kExpert ? outcome : kFailure]);
}

void GameLevelScreens::SetComixPage(int page) {
    mComixPage = page;
    if (mComix->mVisible) mComix->SetPage(page);
}

std::string GameLevelScreens::ChooseUpgrade(const std::vector<std::string>& names) {
    auto name = [&names](size_t i) { return i < names.size() ? names[i] : std::string(); };
    return mUpgrade->SetUpgrades(name(0), name(1), name(2));
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
