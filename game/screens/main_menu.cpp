#include "game/screens/main_menu.h"

#include "framework/app/widget_manager.h"
#include "framework/graphics/memory_image.h"
#include "game/app/career_calendar.h"
#include "game/app/game_util.h"
#include "game/app/office_app.h"
#include "game/app/pak_file.h"
#include "game/screens/career_dialog.h"
#include "game/screens/help_dialog.h"
#include "game/screens/hiscores_dialog.h"
#include "game/screens/message_box2.h"
#include "game/screens/options_dialog.h"
#include "game/screens/survival_menu.h"
#include "game/ui/ui_button.h"
#include "game/ui/ui_edit.h"
#include "game/ui/ui_list.h"
#include "platform/text.h"
#include "platform/url.h"

namespace {

// On its way in or shown and not on its way out: a check that fades out no
// longer counts, one that fades in already does.
bool IsTicked(const UiControl* check) {
    return check != nullptr && (check->mShowing || (check->mVisible && !check->mHiding));
}

std::string Trim(const std::string& text) {
    const char* space = " \t\r\n";
    const size_t first = text.find_first_not_of(space);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

} // namespace

MainMenuScreen::MainMenuScreen(OfficeApp* app, XmlNode layouts) : Screen(nullptr, app) {
    auto* lock = new UiDialog(nullptr, app);
    lock->Resize(0, 0, 800, 600);
    lock->SetVisible(false);
    AddChild("lockdialog", lock);
    LoadByName(layouts, "main_menu");
    SetPicture(mBoss[0], nullptr);
    SetPicture(mBoss[1], nullptr);
}

MainMenuScreen::~MainMenuScreen() = default;

void MainMenuScreen::AddChild(const std::string& name, UiControl* control) {
    control->SetVisible(false);
    if (Bind(name, "lockdialog", control, mLockDialog)) {
    } else if (Bind(name, "main_menu_dlg", control, mMenuDlg)) {
        mCareer = Find<UiButton>(control, "career");
        mSurvival = Find<UiButton>(control, "survival");
        mHiscores = Find<UiButton>(control, "hiscores");
        mOptions = Find<UiButton>(control, "options");
        mHelp = Find<UiButton>(control, "help");
        mQuit = Find<UiButton>(control, "quit");
    } else if (Bind(name, "profile_dlg", control, mProfileDlg)) {
        mProfile = Find<UiButton>(control, "profile");
        mProfileText[0] = control->FindChild("profile_text1");
        mProfileText[1] = control->FindChild("profile_text2");
        for (UiControl* text : mProfileText)
            if (text) text->SetVisible(false);
    } else if (Bind(name, "select_profile", control, mSelectProfile)) {
        mCreateSelect = Find<UiButton>(control, "create");
        mSelect = Find<UiButton>(control, "select");
        mDelete = Find<UiButton>(control, "delete");
        mList = Find<UiList>(control, "list");
    } else if (Bind(name, "create_profile", control, mCreateProfile)) {
        mCancel = Find<UiButton>(control, "cancel");
        mCreate = Find<UiButton>(control, "create");
        mBossManBtn = Find<UiButton>(control, "bossman_btn");
        mBossWomanBtn = Find<UiButton>(control, "bosswoman_btn");
        mCheckBossMan = control->FindChild("check_bossman");
        mCheckBossWoman = control->FindChild("check_bosswoman");
        mEnterName = Find<UiEdit>(control, "entername_text");
    } else if (Bind(name, "nameplate", control, mNameplate)) {
        ReadLink();
        if (mNameplate && mNameplate->GetTexture(kButtonNormal) != nullptr) mNameplate->SetVisible(true);
    } else if (const int n = NumberAfter(name, "boss"); n == 1 || n == 2) {
        mBoss[n - 1] = control;
    }
    UiControl::AddChild(name, control);
}

void MainMenuScreen::ReadLink() {
    mLink.clear();
    PakHandle* file = PakOpen(kLocatorPath, "rb");
    if (file == nullptr) return;
    PakSeek(file, 0, SEEK_END);
    const long size = PakTell(file);
    if (size > 0 && static_cast<size_t>(size) <= kMaxLinkBytes) {
        PakSeek(file, 0, SEEK_SET);
        std::string text(static_cast<size_t>(size), '\0');
        text.resize(PakRead(text.data(), 1, text.size(), file));
        mLink = text;
    }
    PakClose(file);
}

const ProfileRecord* MainMenuScreen::ProfileAt(int index, int& slot) const {
    if (index == -1) {
        slot = mApp ? mApp->mCurrentProfileSlot : -1;
        return mApp ? &mApp->GetCurrentProfile() : nullptr;
    }
    if (index < 0 || static_cast<size_t>(index) >= mProfiles.size()) return nullptr;
    slot = index;
    return &mProfiles[static_cast<size_t>(index)];
}

Zephra::Image* MainMenuScreen::BossPicture(const std::string& kind) const {
    if (kind == "man") return mManPicture.Image();
    if (kind == "woman") return mWomanPicture.Image();
    return nullptr;
}

void MainMenuScreen::ShowProfile(int index) {
    int slot = -1;
    if (ProfileAt(index, slot) == nullptr) return;
    HideIfShown(mBoss[mRow]);
    HideIfShown(mProfileText[mRow]);
    mRow = 1 - mRow;
    SetBoss(index);
    SetProfileTexts(index);
    mShownSlot = index;
}

void MainMenuScreen::SetBoss(int index) {
    int slot = -1;
    const ProfileRecord* profile = ProfileAt(index, slot);
    if (profile == nullptr || slot == mShownSlot || mBoss[mRow] == nullptr) return;
    SetPicture(mBoss[mRow], BossPicture(profile->bossKind));
    mBoss[mRow]->Show();
}

void MainMenuScreen::SetProfileTexts(int index) {
    int slot = -1;
    const ProfileRecord* profile = ProfileAt(index, slot);
    if (profile == nullptr || slot == mShownSlot || mApp == nullptr) return;
    ShowControl(mProfileText[mRow], true);
    TextTable* vars = mApp->GetTextVars();
    const std::string n = std::to_string(mRow + 1);
    int hours = 0, minutes = 0;
    career::SplitPlayedTime(profile->secondsPlayed, hours, minutes);
    vars->SetNumber("hoursplayed" + n, hours);
    vars->SetNumber("minutesplayed" + n, minutes);
    const int day = profile->reachedDay < 1 ? 1 : profile->reachedDay > career::kDays ? career::kDays
                                                                                      : profile->reachedDay;
    vars->SetNumber("progressmonth" + n, career::MonthIndex(day) + 1);
    vars->SetNumber("progressday" + n, career::DayOfMonth(day));
    vars->Set("profilename" + n, profile->name);
}

void MainMenuScreen::EnterMenu() {
    if (mApp) mApp->PublishProfileTexts();
    ShowControl(mMenuDlg, true);
    ShowIfHidden(mProfileDlg);
    ShowIfHidden(mProfileText[mRow]);
    SetBoss(-1);
    SetProfileTexts(-1);
    ShowControl(mProfile, true);
}

void MainMenuScreen::OpenCreateProfile(bool cancelDisabled) {
    HideIfShown(mBoss[mRow]);
    HideIfShown(mProfileText[mRow]);
    ShowControl(mProfile, false);
    ShowControl(mCheckBossWoman, true);
    EnableControl(mBossWomanBtn, false);
    ShowControl(mCheckBossMan, false);
    EnableControl(mBossManBtn, true);
    mRow = 1 - mRow;
    if (mBoss[mRow]) {
        SetPicture(mBoss[mRow], mWomanPicture.Image());
        mBoss[mRow]->Show();
    }
    if (mApp) mApp->GetTextVars()->Set("profileerror", u"");
    for (UiControl* layer : {static_cast<UiControl*>(mLockDialog), static_cast<UiControl*>(mCreateProfile)}) {
        if (layer == nullptr) continue;
        layer->Show();
        BringToFront(layer);
    }
    EnableControl(mCancel, !cancelDisabled);
    ShowControl(mProfileDlg, true);
}

void MainMenuScreen::OpenSelectProfile() {
    HideIfShown(mMenuDlg);
    ShowIfHidden(mSelectProfile);
    HideIfShown(mProfileDlg);
    FillList();
}

void MainMenuScreen::FillList() {
    if (mList == nullptr || mApp == nullptr) return;
    mProfiles.clear();
    mApp->ReadAllProfiles(mProfiles);
    mList->Clear();
    for (const ProfileRecord& p : mProfiles) mList->AddItem(p.name);
    mList->SetCheckedItem(mApp->mCurrentProfileSlot);
    mList->SetSelected(mApp->mCurrentProfileSlot);
    mShownSlot = mApp->mCurrentProfileSlot;
    EnableControl(mDelete, false);
}

void MainMenuScreen::SwitchBoss(const std::string& kind) {
    HideIfShown(mBoss[mRow]);
    mRow = 1 - mRow;
    if (mBoss[mRow] == nullptr) return;
    SetPicture(mBoss[mRow], BossPicture(kind));
    mBoss[mRow]->Show();
}

void MainMenuScreen::ChooseBoss(bool man) {
    ShowControl(man ? mCheckBossMan : mCheckBossWoman, true);
    ShowControl(man ? mCheckBossWoman : mCheckBossMan, false);
    EnableControl(mBossManBtn, !man);
    EnableControl(mBossWomanBtn, man);
    SwitchBoss(man ? "man" : "woman");
}

void MainMenuScreen::CreateFromForm() {
    if (mApp == nullptr || mEnterName == nullptr || mCheckBossMan == nullptr || mCheckBossWoman == nullptr) return;
    const std::u16string name = SanitizeName(mEnterName->GetText());
    const char* kind = IsTicked(mCheckBossMan) ? "man" : IsTicked(mCheckBossWoman) ? "woman" : nullptr;
    if (name.empty() || kind == nullptr) return;
    if (!mApp->CreateProfile(name, kind)) {
        // The form stays: nothing was made, and the player is told why.
        const std::string reason = mApp->GetPrefsFile().LastError();
        std::u16string text = mApp->GetLocTable()->Lookup("mn01_create_failed");
        if (!reason.empty()) text += u" " + platform::Utf8ToUtf16(reason);
        mApp->GetTextVars()->Set("profileerror", text);
        return;
    }
    HideIfShown(mCreateProfile);
    HideIfShown(mSelectProfile);
    HideIfShown(mLockDialog);
    EnterMenu();
    if (mWidgetManager) mWidgetManager->SetFocus(nullptr);
}

void MainMenuScreen::OnCommand(intptr_t id) {
    auto is = [id](const UiControl* c) { return c != nullptr && id == reinterpret_cast<intptr_t>(c); };
    if (is(mCareer) || is(mSurvival)) {
        const bool survival = is(mSurvival);
        Hide();
        mShownSlot = -1;
        if (LevelLink* level = Level()) level->SetSurvival(survival);
        UiControl* next = survival ? static_cast<UiControl*>(mApp->mSurvival) : mApp->mCareer;
        if (next) next->Show();
    } else if (is(mHiscores)) {
        if (mApp->mHiscores) mApp->mHiscores->Show();
    } else if (is(mOptions)) {
        if (mApp->mOptions) mApp->mOptions->Show();
    } else if (is(mHelp)) {
        if (mApp->mHelp) mApp->mHelp->Show();
    } else if (is(mQuit)) {
        if (ShowMessageBox2("quit") == 1) mApp->Shutdown();
    } else if (is(mProfile)) {
        OpenSelectProfile();
    } else if (is(mSelect)) {
        HideIfShown(mSelectProfile);
        if (mList && mList->GetSelected() >= 0) mApp->ReadProfileSlot(mList->GetSelected());
        EnterMenu();
    } else if (is(mDelete)) {
        if (mList == nullptr || mProfiles.size() < 2) return;
        if (ShowMessageBox2("delprof") != 1) return;
        const int selected = mList->GetSelected();
        if (selected >= 0 && selected != mApp->mCurrentProfileSlot) mApp->DeleteProfileSlot(selected);
        FillList();
        ShowProfile(-1);
    } else if (is(mCreateSelect)) {
        OpenCreateProfile(false);
    } else if (is(mCancel)) {
        if (mList) {
            mShownSlot = -1;
            ShowProfile(mList->GetSelected());
        }
        HideIfShown(mCreateProfile);
        HideIfShown(mLockDialog);
    } else if (is(mBossManBtn) || is(mBossWomanBtn)) {
        ChooseBoss(is(mBossManBtn));
    } else if (is(mCreate)) {
        CreateFromForm();
    } else if (is(mNameplate)) {
        const std::string link = Trim(mLink);
        if (!link.empty()) platform::OpenUrl(link);
    }
}

void MainMenuScreen::Update() {
    UiDialog::Update();
    if (mSelectProfile == nullptr || !mSelectProfile->mVisible || mList == nullptr || mApp == nullptr) return;
    const int selected = mList->GetSelected();
    if (selected != mShownSlot) {
        ShowProfile(selected);
        EnableControl(mDelete, selected != mApp->mCurrentProfileSlot);
    }
}

void MainMenuScreen::OnShow() {
    if (mApp && mApp->mProfileLoaded) {
        EnterMenu();
    } else {
        OpenCreateProfile(true);
    }
}

void MainMenuScreen::OnHide() {
    ShowControl(mMenuDlg, false);
    ShowControl(mProfileDlg, false);
    ShowControl(mBoss[mRow], false);
    ShowControl(mProfileText[mRow], false);
}

void MainMenuScreen::OnActivate() {
    mManPicture.Acquire(mApp, "mn01_bossman");
    mWomanPicture.Acquire(mApp, "mn01_bosswoman");
}

void MainMenuScreen::OnDeactivate() {
    mManPicture.Release();
    mWomanPicture.Release();
    mProfiles.clear();
}

void MainMenuScreen::ListNames(ScreenNames& names) const {
    names.members.insert(
        names.members.end(),
        {{"boss1", mBoss[0]}, {"boss2", mBoss[1]}, {"main_menu_dlg", mMenuDlg}, {"career", mCareer},
         {"survival", mSurvival}, {"hiscores", mHiscores}, {"options", mOptions}, {"help", mHelp}, {"quit", mQuit},
         {"profile_dlg", mProfileDlg}, {"profile", mProfile}, {"profile_text1", mProfileText[0]},
         {"profile_text2", mProfileText[1]}, {"select_profile", mSelectProfile}, {"create (select)", mCreateSelect},
         {"select", mSelect}, {"delete", mDelete}, {"list", mList}, {"lockdialog", mLockDialog},
         {"create_profile", mCreateProfile}, {"cancel", mCancel}, {"create", mCreate}, {"bossman_btn", mBossManBtn},
         {"check_bossman", mCheckBossMan}, {"bosswoman_btn", mBossWomanBtn}, {"check_bosswoman", mCheckBossWoman},
         {"entername_text", mEnterName}, {"nameplate", mNameplate}});
    names.textures.insert(names.textures.end(), {"mn01_bossman", "mn01_bosswoman"});
    names.locKeys.push_back("mn01_create_failed");
}
