#include "game/screens/career_dialog.h"

#include <cstdlib>
#include "game/app/career_calendar.h"
#include "game/app/office_app.h"
#include "game/screens/main_menu.h"
#include "game/screens/menu_background.h"
#include "game/screens/message_box2.h"
#include "game/ui/ui_button.h"
#include "game/ui/ui_text.h"

namespace {

// Back to the main menu, or into a level.
void LeaveForMenu(UiControl* screen, OfficeApp* app) {
    screen->Hide();
    if (app && app->mMainMenu) app->mMainMenu->Show();
}

void StartLevelFrom(UiControl* screen, OfficeApp* app, int number) {
    // Without a level the menus stay where they are.
    LevelLink* level = GetLevelLink();
    if (level == nullptr) return;
    screen->Hide();
    if (app && app->mMenuBackground) app->mMenuBackground->Hide();
    level->StartLevel(number);
}

Zephra::Image* BossOf(OfficeApp* app, const HeldPicture& man, const HeldPicture& woman) {
    const std::string& kind = app->GetCurrentProfile().bossKind;
    return kind == "man" ? man.Image() : kind == "woman" ? woman.Image() : nullptr;
}

int ReachedDay(OfficeApp* app) {
    const int day = app->GetCurrentProfile().reachedDay;
    return day < 1 ? 1 : day > career::kDays + 1 ? career::kDays + 1 : day;
}

} // namespace

int NumberAfter(const std::string& name, const char* word) {
    const size_t at = name.find(word);
    return at == std::string::npos ? 0 : std::atoi(name.c_str() + at + std::char_traits<char>::length(word));
}

// ---------------------------------------------------------------- career

CareerDialog::CareerDialog(OfficeApp* app, XmlNode layouts) : Screen(nullptr, app) { LoadByName(layouts, "career"); }

CareerDialog::~CareerDialog() = default;

void CareerDialog::AddChild(const std::string& name, UiControl* control) {
    UiControl::AddChild(name, control);
    if (Bind(name, "restart", control, mRestart) || Bind(name, "back", control, mBack) ||
        Bind(name, "start", control, mStart) || Bind(name, "mark", control, mMark) ||
        Bind(name, "boss_icon", control, mBossIcon))
        return;
    if (const int day = NumberAfter(name, "career_day"); day >= 1 && day <= career::kDays) {
        if (auto* button = dynamic_cast<UiButton*>(control)) {
            mDays[day] = button;
            button->SetId(day);
        }
    } else if (const int month = NumberAfter(name, "episode"); month >= 1 && month <= 3) {
        mEpisodes[month - 1].push_back(control);
    }
}

void CareerDialog::SelectDay(int day) {
    if (day > career::kDays) day = career::kDays;
    auto it = mDays.find(day);
    if (it != mDays.end() && mMark != nullptr) {
        const Zephra::Rect& at = it->second->GetLayoutRect();
        mMark->Move(at.mX - 16, at.mY - 14);
        mMark->Show();
    } else if (mMark != nullptr) {
        mMark->Hide();
    }
    mSelectedDay = day;
}

void CareerDialog::OnCommand(intptr_t id) {
    auto is = [id](const UiControl* c) { return c != nullptr && id == reinterpret_cast<intptr_t>(c); };
    if (id >= 1 && id <= career::kDays) {
        SelectDay(static_cast<int>(id));
    } else if (is(mRestart)) {
        if (ShowMessageBox2("delcareer") != 1 || mApp == nullptr) return;
        mApp->GetCurrentProfile().reachedDay = 1;
        mApp->SavePrefs();
        OnShow();
    } else if (is(mBack)) {
        LeaveForMenu(this, mApp);
    } else if (is(mStart)) {
        StartLevelFrom(this, mApp, mSelectedDay);
    }
}

void CareerDialog::OnShow() {
    if (mApp == nullptr) return;
    const int reached = ReachedDay(mApp);
    const ProfileRecord& profile = mApp->GetCurrentProfile();
    SelectDay(reached);
    auto set = [this](int day, bool enabled, const HeldPicture& look) {
        auto it = mDays.find(day);
        if (it == mDays.end()) return;
        it->second->SetDisabled(!enabled);
        it->second->SetAllTextures(look.Image());
    };
    for (int day = 1; day < reached && day <= career::kDays; ++day) {
        const bool expert = profile.bestMoney[day - 1] > mApp->ExpertGoal(day);
        set(day, true, expert ? mExpert : mNormal);
    }
    if (reached <= career::kDays) {
        set(reached, true, mWork);
        SelectDay(reached);
        int day = reached + 1;
        for (; day <= career::kDays && day % career::kDaysPerMonth != 1; ++day) set(day, false, mWork);
        for (; day <= career::kDays; ++day) set(day, false, mNormal);
    }
    for (int month = 0; month < career::kMonths; ++month) {
        const bool locked = month > reached / career::kDaysPerMonth;
        for (UiControl* episode : mEpisodes[month]) {
            if (auto* text = dynamic_cast<UiText*>(episode)) text->SetImage(mWeekend.Image());
            episode->SetDisabled(locked);
        }
        const std::string k = std::to_string(month + 1);
        EnableControl(FindChild("month" + k + "_pic"), !locked);
        EnableControl(FindChild("month" + k + "_text"), !locked);
    }
    mApp->PublishProfileTexts();
    SetPicture(mBossIcon, BossOf(mApp, mMan, mWoman));
}

void CareerDialog::OnActivate() {
    mWork.Acquire(mApp, "mn04_calendar_day_work");
    mNormal.Acquire(mApp, "mn04_calendar_day_normal");
    mExpert.Acquire(mApp, "mn04_calendar_day_expert");
    mWeekend.Acquire(mApp, "mn04_calendar_day_weekend");
    mMan.Acquire(mApp, "mn04_bossman");
    mWoman.Acquire(mApp, "mn04_bosswoman");
}

void CareerDialog::OnDeactivate() {
    for (HeldPicture* p : {&mWork, &mNormal, &mExpert, &mWeekend, &mMan, &mWoman}) p->Release();
}

void CareerDialog::ListNames(ScreenNames& names) const {
    names.members.insert(names.members.end(), {{"restart", mRestart}, {"back", mBack}, {"start", mStart},
                                               {"mark", mMark}, {"boss_icon", mBossIcon}});
    for (int day = 1; day <= career::kDays; ++day) {
        auto it = mDays.find(day);
        names.members.emplace_back("career_day" + std::to_string(day), it == mDays.end() ? nullptr : it->second);
    }
    for (int month = 0; month < career::kMonths; ++month) {
        const std::string k = std::to_string(month + 1);
        names.members.emplace_back("episode" + k, mEpisodes[month].empty() ? nullptr : mEpisodes[month][0]);
        names.members.emplace_back("month" + k + "_pic", FindChild("month" + k + "_pic"));
        names.members.emplace_back("month" + k + "_text", FindChild("month" + k + "_text"));
    }
    names.textures.insert(names.textures.end(),
                          {"mn04_calendar_day_work", "mn04_calendar_day_normal", "mn04_calendar_day_expert",
                           "mn04_calendar_day_weekend", "mn04_bossman", "mn04_bosswoman"});
}

// ---------------------------------------------------------------- survival

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
        LeaveForMenu(this, mApp);
    } else if (is(mStart)) {
        StartLevelFrom(this, mApp, mSelectedMonth);
    }
}

void SurvivalMenu::OnShow() {
    if (mApp == nullptr) return;
    const int reached = ReachedDay(mApp);
    for (int k = 0; k < 3; ++k) EnableControl(mPictures[k], k <= reached / career::kDaysPerMonth);
    ShowControl(mChecks[0], true);
    ShowControl(mChecks[1], false);
    ShowControl(mChecks[2], false);
    mSelectedMonth = 1;
    SetPicture(mBossIcon, BossOf(mApp, mMan, mWoman));
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
