#pragma once
#include <string>
#include <vector>
#include "game/app/prefs.h"
#include "game/screens/screen_kit.h"

class UiButton;
class UiEdit;
class UiList;

// The hub outside a level ("main_menu"): the menu buttons, the panel of the
// current player (name, boss, progress, time played), the profile list with
// select, create and delete, the create-profile form with the boss choice,
// and a nameplate that opens the link of "cfg\locator".
//
// The panel has two display rows: showing another profile hides the current
// row and fills the other, so the layout's show and hide effects cross over.
// Row r shows the text variables "profilename<r+1>", "hoursplayed<r+1>",
// "minutesplayed<r+1>", "progressmonth<r+1>" and "progressday<r+1>"; a failed
// profile creation says why in "profileerror".
class MainMenuScreen : public Screen {
public:
    static constexpr const char* kLocatorPath = "cfg\\locator";
    static constexpr size_t kMaxLinkBytes = 4096;

    HeldPicture mManPicture;
    HeldPicture mWomanPicture;
    UiControl* mBoss[2] = {};
    int mRow = 0;
    int mShownSlot = -1;
    UiDialog* mMenuDlg = nullptr;
    UiButton* mCareer = nullptr;
    UiButton* mSurvival = nullptr;
    UiButton* mHiscores = nullptr;
    UiButton* mOptions = nullptr;
    UiButton* mHelp = nullptr;
    UiButton* mQuit = nullptr;
    UiDialog* mProfileDlg = nullptr;
    UiButton* mProfile = nullptr;
    UiControl* mProfileText[2] = {};
    UiDialog* mSelectProfile = nullptr;
    UiButton* mCreateSelect = nullptr;
    UiButton* mSelect = nullptr;
    UiButton* mDelete = nullptr;
    UiList* mList = nullptr;
    UiDialog* mLockDialog = nullptr;
    UiDialog* mCreateProfile = nullptr;
    UiButton* mCancel = nullptr;
    UiButton* mCreate = nullptr;
    UiButton* mBossManBtn = nullptr;
    UiControl* mCheckBossMan = nullptr;
    UiButton* mBossWomanBtn = nullptr;
    UiControl* mCheckBossWoman = nullptr;
    UiEdit* mEnterName = nullptr;
    UiButton* mNameplate = nullptr;
    std::string mLink;
    std::vector<ProfileRecord> mProfiles;

    MainMenuScreen(OfficeApp* app, XmlNode layouts);
    ~MainMenuScreen() override;

    void Update() override;
    void AddChild(const std::string& name, UiControl* control) override;
    void OnCommand(intptr_t id) override;
    void OnShow() override;
    void OnHide() override;
    void OnActivate() override;
    void OnDeactivate() override;
    void ListNames(ScreenNames& names) const override;

    // -1 the current profile, else an entry of the profile list; another
    // index does nothing.
    void ShowProfile(int index);
    void EnterMenu();
    void OpenCreateProfile(bool cancelDisabled);
    void OpenSelectProfile();
    void FillList();

private:
    void ReadLink();
    // The profile of an index as ShowProfile takes it, with its slot; null
    // outside the list.
    const ProfileRecord* ProfileAt(int index, int& slot) const;
    void SetBoss(int index);
    void SetProfileTexts(int index);
    Zephra::Image* BossPicture(const std::string& kind) const;
    // Hides the current row's boss, turns to the other row and shows the kind's boss there.
    void SwitchBoss(const std::string& kind);
    void ChooseBoss(bool man);
    void CreateFromForm();
};
