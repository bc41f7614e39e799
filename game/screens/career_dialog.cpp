#include "game/screens/career_dialog.h"

#include "game/app/career_calendar.h"
#include "game/app/office_app.h"
#include "game/screens/message_box2.h"
#include "game/ui/ui_button.h"
#include "game/ui/ui_text.h"

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
        ReturnToMainMenu(this, mApp);
    } else if (is(mStart)) {
        StartLevelFrom(this, mApp, mSelectedDay);
    }
}

void CareerDialog::OnShow() {
    if (mApp == nullptr) return;
    const int reached = ReachedCareerDay(mApp);
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
    SetPicture(mBossIcon, ProfileBoss(mApp, mMan, mWoman));
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
