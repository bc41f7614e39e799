#pragma once
#include <map>
#include <vector>
#include "game/screens/screen_kit.h"

class UiButton;

// The career calendar ("career"): sixty day buttons on three month pages
// showing the days played, those that beat the expert goal and the next one.
// A month opens once the career reaches it. The player starts the next day or
// any played one, or restarts the career (the best money of each day stays).
//
// A day button is "career_day<n>"; its command id is the day number.
// "episode<k>..." controls belong to month k and "month<k>_pic" and
// "month<k>_text" show whether it is open.
class CareerDialog : public Screen {
public:
    UiButton* mRestart = nullptr;
    UiButton* mBack = nullptr;
    UiButton* mStart = nullptr;
    std::map<int, UiButton*> mDays;
    HeldPicture mWork, mNormal, mExpert, mWeekend, mMan, mWoman;
    UiControl* mMark = nullptr;
    UiControl* mBossIcon = nullptr;
    std::vector<UiControl*> mEpisodes[3];
    int mSelectedDay = 1;

    CareerDialog(OfficeApp* app, XmlNode layouts);
    ~CareerDialog() override;

    void AddChild(const std::string& name, UiControl* control) override;
    void OnCommand(intptr_t id) override;
    void OnShow() override;
    void OnActivate() override;
    void OnDeactivate() override;
    void ListNames(ScreenNames& names) const override;

    // Marks the day (at most 60) when it has a button.
    void SelectDay(int day);
};
