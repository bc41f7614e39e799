#include "game/screens/debriefing_dialog.h"

#include "game/app/career_calendar.h"
#include "game/app/office_app.h"
#include "game/office/level_screen.h"
#include "game/screens/briefing_dialog.h"
#include "game/screens/menu_background.h"
#include "game/ui/ui_button.h"

DebriefingDialog::DebriefingDialog(OfficeApp* app, XmlNode layouts) : Screen(nullptr, app) {
    LoadByName(layouts, "debriefing");
}

void DebriefingDialog::AddChild(const std::string& name, UiControl* control) {
    if (Bind(name, "continue", control, mContinue) || Bind(name, "calendar_mark", control, mCalendarMark) ||
        Bind(name, "survival_leave", control, mSurvivalLeave) ||
        Bind(name, "survival_replay", control, mSurvivalReplay)) {
        MakeInvisible(control);
    } else {
        Bind(name, "replay", control, mReplay) || Bind(name, "boss", control, mBossPicture) ||
            Bind(name, "bosspanel", control, mBossPanelPicture) ||
            Bind(name, "moneypanel", control, mMoneyPanelPicture) || Bind(name, "result_text", control, mResultText) ||
            Bind(name, "debriefing_text", control, mDebriefingText) ||
            Bind(name, "calendar", control, mCalendarPicture) || Bind(name, "score", control, mScore) ||
            Bind(name, "score_ghost", control, mScoreGhost) || Bind(name, "goal_value", control, mGoalValue) ||
            Bind(name, "expert_value", control, mExpertValue);
    }
    UiControl::AddChild(name, control);
}

void DebriefingDialog::SetDebriefingText(const std::u16string& text) { SetLabel(mDebriefingText, text); }

void DebriefingDialog::SetContinueDisabled(bool disabled) { EnableControl(mContinue, !disabled); }

bool DebriefingDialog::IsSurvival() const {
    LevelScreen* level = mApp ? mApp->GetLevelScreen() : nullptr;
    return level != nullptr && level->IsSurvival();
}

int DebriefingDialog::Day() const {
    LevelScreen* level = mApp ? mApp->GetLevelScreen() : nullptr;
    return level ? level->GetDay() : 1;
}

void DebriefingDialog::OnCommand(intptr_t id) {
    auto is = [id](const UiControl* c) { return c != nullptr && id == reinterpret_cast<intptr_t>(c); };
    LevelScreen* level = mApp ? mApp->GetLevelScreen() : nullptr;
    if (is(mContinue)) {
        Hide();
        if (level) level->NextDay();
    } else if (is(mReplay) || is(mSurvivalReplay)) {
        Hide();
        if (LevelLink* link = Level()) link->RestartDay();
    } else if (is(mSurvivalLeave)) {
        Hide();
        if (LevelLink* link = Level()) link->Leave();
        if (mApp && mApp->mMenuBackground) mApp->mMenuBackground->Show();
        GameSounds(&SoundManager::StopGroup);
    }
}

void DebriefingDialog::Update() {
    UiDialog::Update();
    if (!mVisible) return;
    const int interval = mApp ? mApp->mUpdateInterval : 10;
    mElapsed = static_cast<float>(mElapsed + interval / 1000.0);
    mShown = mElapsed > kCountSeconds ? mTarget : UiTrunc(static_cast<float>(mTarget * mElapsed / kCountSeconds));
    if (mApp && mApp->GetTextVars()) mApp->GetTextVars()->SetNumber("earnings", mShown);
}

void DebriefingDialog::OnShow() {
    OnDeactivate();
    const std::string kind = mApp ? mApp->GetCurrentProfile().bossKind : std::string();
    SetPicture(mBossPicture, mBoss.Acquire(mApp, "db07_boss" + kind + "_" + mOutcome));
    SetPicture(mBossPanelPicture, mBossPanel.Acquire(mApp, "db07_bosspanel_" + mOutcome));
    SetPicture(mMoneyPanelPicture, mMoneyPanel.Acquire(mApp, "db07_moneypanel_" + mOutcome));

    const bool survival = IsSurvival();
    TextTable* loc = mApp ? mApp->GetLocTable() : nullptr;
    const std::string result = (survival ? "db07_infinity_" : "db07_") + mOutcome;
    SetLabel(mResultText, loc ? loc->Lookup(result) : std::u16string());
    if (survival) {
        MakeInvisible(mGoalValue);
        MakeInvisible(mExpertValue);
    } else {
        ShowControl(mGoalValue, true);
        ShowControl(mExpertValue, true);
    }

    const int day = Day();
    mCalendar.Acquire(mApp, "db07_calendar" + std::to_string(career::MonthIndex(day) + 1));
    const bool won = mOutcome == "expert" || mOutcome == "goal";
    if (mCalendarMark && won && !survival) {
        mCalendarMark->Show();
        const Zephra::Rect& calendar = mCalendarPicture ? mCalendarPicture->GetLayoutRect() : Zephra::Rect();
        const Zephra::Point at = CalendarMarkAt(day, calendar.mX - 2, calendar.mY - 2, kCellWidth, kCellHeight);
        mCalendarMark->Move(at.mX, at.mY);
    } else {
        MakeInvisible(mCalendarMark);
    }
    PlaySound(won ? "good_debriefing_show" : "bad_debriefing_show");

    SetPicture(mCalendarPicture, mCalendar.Image());
    LevelScreen* level = mApp ? mApp->GetLevelScreen() : nullptr;
    mTarget = level ? level->GetMoney() : 0;
    mShown = 0;
    if (mApp && mApp->GetTextVars()) mApp->GetTextVars()->SetNumber("earnings", 0);
    mElapsed = 0.0f;

    ShowControl(mScoreGhost, true);
    ShowControl(mReplay, true);
    for (UiButton* control : {mSurvivalReplay, mSurvivalLeave, mContinue, mReplay}) {
        const bool survivalButton = control == mSurvivalReplay || control == mSurvivalLeave;
        if (survivalButton == survival) {
            ShowControl(control, true);
        } else {
            MakeInvisible(control);
        }
    }
    SetLevelFocus(false);
}

void DebriefingDialog::OnHide() {
    ShowControl(mScoreGhost, false);
    ShowControl(mCalendarMark, false);
    ShowControl(mReplay, false);
    if (IsSurvival()) {
        ShowControl(mSurvivalLeave, false);
        ShowControl(mSurvivalReplay, false);
    } else {
        ShowControl(mContinue, false);
    }
    SetLevelFocus(true);
}

void DebriefingDialog::OnDeactivate() {
    mBoss.Release();
    mBossPanel.Release();
    mMoneyPanel.Release();
    mCalendar.Release();
}

void DebriefingDialog::ListNames(ScreenNames& names) const {
    names.members.insert(names.members.end(),
                         {{"replay", mReplay}, {"continue", mContinue}, {"survival_replay", mSurvivalReplay},
                          {"survival_leave", mSurvivalLeave}, {"boss", mBossPicture}, {"bosspanel", mBossPanelPicture},
                          {"moneypanel", mMoneyPanelPicture}, {"result_text", mResultText},
                          {"debriefing_text", mDebriefingText}, {"goal_value", mGoalValue},
                          {"expert_value", mExpertValue}, {"calendar", mCalendarPicture},
                          {"calendar_mark", mCalendarMark}, {"score", mScore}, {"score_ghost", mScoreGhost}});
    for (const char* outcome : kOutcomes) {
        const std::string o = outcome;
        names.textures.insert(names.textures.end(), {"db07_bossman_" + o, "db07_bosswoman_" + o,
                                                     "db07_bosspanel_" + o, "db07_moneypanel_" + o});
        names.locKeys.insert(names.locKeys.end(), {"db07_" + o, "db07_infinity_" + o});
    }
    for (int month = 1; month <= career::kMonths; ++month) names.textures.push_back("db07_calendar" + std::to_string(month));
    names.sounds.insert(names.sounds.end(), {"good_debriefing_show", "bad_debriefing_show"});
}
