#pragma once
#include <string>
#include "game/screens/screen_kit.h"

class UiButton;

// The end of a day or survival level over the office ("debriefing"): the
// boss's verdict by outcome ("failure", "goal", "expert"), the month's
// calendar with the day marked when it was won, and the earnings counted up
// over 1.5 s. Career: continue to the next day or replay it; survival: replay
// or leave for the menus.
class DebriefingDialog : public Screen {
public:
    static constexpr float kCountSeconds = 1.5f;
    // The outcome keys by the level's outcome (failure, goal, expert).
    static constexpr const char* kOutcomes[] = {"failure", "goal", "expert"};
    // The calendar cell of the day on the month page: 18 by 29 pixels a cell.
    static constexpr int kCellWidth = 18;
    static constexpr int kCellHeight = 29;

    std::string mOutcome = "failure";
    HeldPicture mBoss;
    HeldPicture mBossPanel;
    HeldPicture mMoneyPanel;
    UiButton* mReplay = nullptr;
    UiButton* mContinue = nullptr;
    UiButton* mSurvivalReplay = nullptr;
    UiButton* mSurvivalLeave = nullptr;
    UiControl* mBossPicture = nullptr;
    UiControl* mBossPanelPicture = nullptr;
    UiControl* mMoneyPanelPicture = nullptr;
    UiControl* mResultText = nullptr;
    UiControl* mDebriefingText = nullptr;
    UiControl* mGoalValue = nullptr;
    UiControl* mExpertValue = nullptr;
    HeldPicture mCalendar;
    UiControl* mCalendarPicture = nullptr;
    UiControl* mCalendarMark = nullptr;
    UiControl* mScore = nullptr;
    int mTarget = 0;
    int mShown = 0;
    float mElapsed = 0.0f;
    UiControl* mScoreGhost = nullptr;

    DebriefingDialog(OfficeApp* app, XmlNode layouts);

    void AddChild(const std::string& name, UiControl* control) override;
    void OnCommand(intptr_t id) override;
    void Update() override;
    void OnShow() override;
    void OnHide() override;
    void OnDeactivate() override;
    void ListNames(ScreenNames& names) const override;

    void SetDebriefingText(const std::u16string& text);
    void SetContinueDisabled(bool disabled);
    void SetOutcome(const std::string& key) { mOutcome = key; }

private:
    bool IsSurvival() const;
    int Day() const;
};
