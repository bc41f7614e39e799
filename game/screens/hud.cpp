#include "game/screens/hud.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include "framework/graphics/memory_image.h"
#include "game/app/office_app.h"
#include "game/office/level_screen.h"
#include "game/office/office_globals.h"
#include "game/ui/ui_bar.h"
#include "game/ui/ui_button.h"

namespace {

// A pop-up waits hidden with its children hidden, ready to show them.
void ResetPopup(UiControl* popup) {
    if (popup == nullptr) return;
    popup->SetVisible(false);
    popup->HideChildren();
}

// The money from one amount to another; a level's thresholds may lie further
// apart than an int spans.
int MoneyFrom(int from, int to) {
    return static_cast<int>(std::clamp<int64_t>(static_cast<int64_t>(to) - from, INT32_MIN, INT32_MAX));
}

} // namespace

int HudClockFrame(int count, float ratio) {
    if (count < 1 || !std::isfinite(ratio)) return -1;
    const double index = (count - 1) * (1.0 - static_cast<double>(ratio));
    if (index <= 0.0) return 0;
    if (index >= count - 1) return count - 1;
    return static_cast<int>(index);
}

Hud::Hud(LevelScreen* level, OfficeApp* app, XmlNode layouts) : Screen(level, app), mLevel(level) {
    mGoalBackground.Acquire(app, "hud_goal");
    mExpertBackground.Acquire(app, "hud_expert");
    mBarTexture.Acquire(app, "bar");
    mExpertBarTexture.Acquire(app, "bar_ex");
    // As many frames as the texture table defines; the first name it lacks ends them.
    for (int i = 0;; ++i) {
        const std::string name = "hud_clock" + std::to_string(i);
        if (app == nullptr || app->GetTextureTable() == nullptr || !app->GetTextureTable()->IsDefined(name)) break;
        HeldPicture& frame = mClockFrames.emplace_back();
        if (frame.Acquire(app, name) == nullptr) {
            mClockFrames.pop_back();
            break;
        }
    }
    LoadByName(layouts, "hud");
}

Hud::~Hud() {
    for (const char* modal : {"escape_menu", "upgrade"}) {
        if (UiControl* dialog = FindChild(modal)) dialog->Hide();
    }
}

void Hud::AddChild(const std::string& name, UiControl* control) {
    UiControl::AddChild(name, control);
    if (Bind(name, "goal_dialog", control, mGoalDialog) || Bind(name, "expert_dialog", control, mExpertDialog)) {
        ResetPopup(control);
    } else if (Bind(name, "expert", control, mExpert) || Bind(name, "goal", control, mGoal) ||
               Bind(name, "expert_value", control, mExpertValue) || Bind(name, "goal_value", control, mGoalValue)) {
        MakeInvisible(control);
    } else if (Bind(name, "survival_lives", control, mSurvivalLives)) {
        for (int i = 0; i < kMaxLives; ++i) mLife[i] = control->FindChild("life" + std::to_string(i + 1));
    } else if (!(Bind(name, "menu", control, mMenu) || Bind(name, "bg_hud", control, mBgHud) ||
                 Bind(name, "bar", control, mBar) || Bind(name, "upgrade_btn", control, mUpgradeBtn) ||
                 Bind(name, "upgrade_back", control, mUpgradeBack) || Bind(name, "hud_clock", control, mHudClock)) &&
               name.find(kTutorialWord) != std::string::npos) {
        mTutorials[NumberAfter(name, kTutorialWord)] = control;
        MakeInvisible(control);
    }
}

void Hud::OnCommand(intptr_t id) {
    auto is = [id](const UiControl* c) { return c != nullptr && id == reinterpret_cast<intptr_t>(c); };
    if (is(mMenu)) {
        if (UiControl* menu = FindChild("escape_menu")) {
            BringToFront(menu);
            menu->Show();
        }
    } else if (is(mUpgradeBtn)) {
        OpenUpgrade();
    }
}

void Hud::OpenUpgrade() {
    if (mApp != nullptr && mApp->GetLevelScreen() != nullptr) mApp->GetLevelScreen()->OfferUpgrade();
}

void Hud::SetUpgradeDisabled(bool disabled) { EnableControl(mUpgradeBtn, !disabled); }

void Hud::SetLives(int lives) {
    if (lives > kMaxLives || lives == mLives) return;
    if (lives < 0) lives = 0;
    for (int k = mLives; k > lives; --k) EnableControl(mLife[k - 1], false);
    for (int k = mLives + 1; k <= lives; ++k) EnableControl(mLife[k - 1], true);
    mLives = lives;
}

void Hud::ShowChild(int number, bool show) {
    auto it = mTutorials.find(number);
    if (it != mTutorials.end()) ShowControl(it->second, show);
}

bool Hud::IsChildVisible(int number) const {
    auto it = mTutorials.find(number);
    return it != mTutorials.end() && it->second->mVisible;
}

void Hud::SetBarTextures(const HeldPicture& texture) {
    if (mBar) mBar->SetTextures(texture.Image());
}

void Hud::SetBackdrop(const HeldPicture& picture) { SetPicture(mBgHud, picture.Image()); }

void Hud::ShowPopup(UiControl* popup) {
    if (popup == nullptr) return;
    popup->Show();
    popup->ShowChildren();
}

void Hud::SetupLevel() {
    mGoalReached = false;
    mExpertReached = false;
    mShownStage = 0;
    ResetPopup(mExpertDialog);
    ResetPopup(mGoalDialog);
    ShowControl(mGoal, true);
    ShowControl(mGoalValue, true);
    MakeInvisible(mExpert);
    MakeInvisible(mExpertValue);
    SetBackdrop(mGoalBackground);
    for (auto& [number, popup] : mTutorials) MakeInvisible(popup);
    SetBarTextures(mBarTexture);
    const bool survival = mLevel != nullptr && mLevel->IsSurvival();
    if (!survival) {
        if (mBar) mBar->SetMax(gGameParams.moneyGoal);
    } else if (mLevel != nullptr) {
        const int stage = mLevel->GetStageMoneyThreshold(), next = mLevel->GetNextStageMoneyThreshold();
        if (mBar) {
            mBar->SetMax(MoneyFrom(stage, next));
            mBar->SetValue(MoneyFrom(stage, mLevel->GetMoney()));
        }
        if (mApp && mApp->GetTextVars()) mApp->GetTextVars()->SetNumber("normal", next);
    }
    for (UiControl* control : {static_cast<UiControl*>(mUpgradeBtn), mUpgradeBack, mSurvivalLives}) {
        if (control) control->SetVisible(survival);
    }
    if (mHudClock) mHudClock->SetVisible(!survival);
    Activate();
}

void Hud::Teardown() { Deactivate(); }

void Hud::OnShow() {
    if (mParent) mParent->BringToFront(this);
}

void Hud::Update() {
    UiDialog::Update();
    if (IsInactive() || mLevel == nullptr) return;
    const int money = mLevel->GetMoney();
    const int stage = mLevel->GetStageMoneyThreshold();
    if (mLevel->IsSurvival()) {
        const int current = mLevel->GetSurvivalModel().stageIndex;
        if (current > mShownStage) {
            ShowPopup(mGoalDialog);
            mShownStage = current;
            if (mBar) mBar->SetMax(MoneyFrom(stage, mLevel->GetNextStageMoneyThreshold()));
            if (mApp && mApp->GetTextVars()) mApp->GetTextVars()->SetNumber("normal", mLevel->GetNextStageMoneyThreshold());
        }
        if (mBar) mBar->SetValue(MoneyFrom(stage, money));
    } else {
        const int goal = gGameParams.moneyGoal;
        if (money >= goal) {
            if (!mGoalReached) {
                mGoalReached = true;
                ShowPopup(mGoalDialog);
                ShowControl(mGoal, false);
                ShowControl(mGoalValue, false);
                ShowControl(mExpert, true);
                ShowControl(mExpertValue, true);
                SetBackdrop(mExpertBackground);
                if (mBar) mBar->SetMax(gGameParams.expertGoal - goal);
                SetBarTextures(mExpertBarTexture);
                PlaySound("goal");
            } else if (!mExpertReached && money >= gGameParams.expertGoal) {
                ShowPopup(mExpertDialog);
                PlaySound("expert");
                mExpertReached = true;
            }
        }
        if (mBar) mBar->SetValue(money >= goal ? money - goal : money);
    }
    UpdateClock();
}

void Hud::UpdateClock() {
    if (mHudClock == nullptr) return;
    const int frame = HudClockFrame(static_cast<int>(mClockFrames.size()), mLevel->GetTimelineRatio());
    if (frame < 0) return;
    SetPicture(mHudClock, mClockFrames[static_cast<size_t>(frame)].Image());
}

void Hud::ListNames(ScreenNames& names) const {
    names.members.insert(names.members.end(),
                         {{"goal_dialog", mGoalDialog}, {"expert_dialog", mExpertDialog},
                          {"survival_lives", mSurvivalLives}, {"goal", mGoal}, {"goal_value", mGoalValue},
                          {"expert", mExpert}, {"expert_value", mExpertValue}, {"bg_hud", mBgHud}, {"bar", mBar},
                          {"menu", mMenu}, {"upgrade_btn", mUpgradeBtn}, {"upgrade_back", mUpgradeBack},
                          {"hud_clock", mHudClock}, {"life1", mLife[0]}, {"life2", mLife[1]}, {"life3", mLife[2]}});
    names.textures.insert(names.textures.end(),
                          {"hud_goal", "hud_expert", "bar", "bar_ex", "hud_clock0", "hud_clock1"});
    names.sounds.insert(names.sounds.end(), {"goal", "expert"});
}
