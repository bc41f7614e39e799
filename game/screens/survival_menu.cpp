#include "game/screens/survival_menu.h"

#include "game/app/career_calendar.h"
#include "game/app/office_app.h"
#include "game/ui/ui_button.h"

SurvivalMenu::SurvivalMenu(OfficeApp* app, XmlNode layouts) : Screen(nullptr, app) { LoadByName(layouts, "survival"); }

void SurvivalMenu::AddChild(const std::string& name, UiControl* control) {
    if (!(Bind(name, "back", control, mBack) || Bind(name, "start", control, mStart) ||
          Bind(name, "boss_icon", control, mBossIcon))) {
        if (const int k = NumberAfter(name, "month_pic"); k >= 1 && k <= 3) {
            mPictures[k - 1] = dynamic_cast<UiButton*>(control);
        } else if (const int c = NumberAfter(name, "month_check"); c >= 1 && c <= 3) {
            mChecks[c - 1] = control;
            control->SetVisible(false);
        }
    }
    UiControl::AddChild(name, control);
}

void SurvivalMenu::OnCommand(intptr_t id) {
    auto is = [id](const UiControl* c) { return c != nullptr && id == reinterpret_cast<intptr_t>(c); };
    for (int k = 0; k < 3; ++k) {
        if (!is(mPictures[k])) continue;
        for (int i = 0; i < 3; ++i) {
            if (i == k) {
                ShowIfHidden(mChecks[i]);
            } else {
                HideIfShown(mChecks[i]);
            }
        }
        mSelectedMonth = k + 1;
        return;
    }
    if (is(mBack)) {
        ReturnToMainMenu(this, mApp);
    } else if (is(mStart)) {
        StartLevelFrom(this, mApp, mSelectedMonth);
    }
}

void SurvivalMenu::OnShow() {
    if (mApp == nullptr) return;
    const int reached = ReachedCareerDay(mApp);
    for (int k = 0; k < 3; ++k) EnableControl(mPictures[k], k <= reached / career::kDaysPerMonth);
    ShowControl(mChecks[0], true);
    ShowControl(mChecks[1], false);
    ShowControl(mChecks[2], false);
    mSelectedMonth = 1;
    SetPicture(mBossIcon, ProfileBoss(mApp, mMan, mWoman));
}

void SurvivalMenu::OnActivate() {
    mMan.Acquire(mApp, "mn04_bossman");
    mWoman.Acquire(mApp, "mn04_bosswoman");
}

void SurvivalMenu::OnDeactivate() {
    mMan.Release();
    mWoman.Release();
}

void SurvivalMenu::ListNames(ScreenNames& names) const {
    for (int k = 0; k < 3; ++k) {
        const std::string n = std::to_string(k + 1);
        names.members.emplace_back("month_check" + n, mChecks[k]);
        names.members.emplace_back("month_pic" + n, mPictures[k]);
    }
    names.members.insert(names.members.end(), {{"back", mBack}, {"start", mStart}, {"boss_icon", mBossIcon}});
    names.textures.insert(names.textures.end(), {"mn04_bossman", "mn04_bosswoman"});
}
