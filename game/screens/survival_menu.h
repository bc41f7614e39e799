#pragma once
#include "game/screens/screen_kit.h"

class UiButton;

// The survival menu ("survival"): one of three months, each open once the
// career reached it, starts the endless level of that month.
class SurvivalMenu : public Screen {
public:
    UiControl* mChecks[3] = {};
    UiButton* mPictures[3] = {};
    UiButton* mBack = nullptr;
    UiButton* mStart = nullptr;
    UiControl* mBossIcon = nullptr;
    int mSelectedMonth = 1;
    HeldPicture mMan, mWoman;

    SurvivalMenu(OfficeApp* app, XmlNode layouts);

    void AddChild(const std::string& name, UiControl* control) override;
    void OnCommand(intptr_t id) override;
    void OnShow() override;
    void OnActivate() override;
    void OnDeactivate() override;
    void ListNames(ScreenNames& names) const override;
};
