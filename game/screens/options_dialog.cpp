#include "game/screens/options_dialog.h"

#include "game/app/office_app.h"
#include "game/ui/ui_button.h"
#include "game/ui/ui_check_box.h"
#include "game/ui/ui_slider.h"

OptionsDialog::OptionsDialog(OfficeApp* app, XmlNode layouts) : Screen(nullptr, app), mBlocker(MakeBlocker(app)) {
    LoadByName(layouts, "options");
    if (mSoundVolume) mSoundVolume->SetMax(100);
    if (mMusicVolume) mMusicVolume->SetMax(100);
}

OptionsDialog::~OptionsDialog() {
    DropBlocker(this, mBlocker);
    delete mBlocker;
}

void OptionsDialog::AddChild(const std::string& name, UiControl* control) {
    Bind(name, "apply", control, mApply) || Bind(name, "cancel", control, mCancel) ||
        Bind(name, "mute_checkbox", control, mMute) || Bind(name, "fullscreen_checkbox", control, mFullScreen) ||
        Bind(name, "sndvol_slider", control, mSoundVolume) || Bind(name, "musvol_slider", control, mMusicVolume);
    UiControl::AddChild(name, control);
}

void OptionsDialog::OnShow() {
    RaiseOverBlocker(this, mBlocker);
    if (mApp != nullptr) {
        const PrefsHeader& header = mApp->GetPrefsHeader();
        if (mFullScreen) mFullScreen->SetChecked(!mApp->mWindowed);
        if (mMute) mMute->SetChecked(header.muted != 0);
        if (mSoundVolume) mSoundVolume->SetValue(header.sfxVolume);
        if (mMusicVolume) mMusicVolume->SetValue(header.musicVolume);
    }
    SetLevelFocus(false);
}

void OptionsDialog::OnHide() {
    DropBlocker(this, mBlocker);
    SetLevelFocus(true);
}

void OptionsDialog::OnCommand(intptr_t id) {
    if (mApp != nullptr) {
        if (mApply != nullptr && id == reinterpret_cast<intptr_t>(mApply)) {
            PrefsHeader& header = mApp->GetPrefsHeader();
            if (mMusicVolume) header.musicVolume = mMusicVolume->GetValue();
            if (mSoundVolume) header.sfxVolume = mSoundVolume->GetValue();
            if (mFullScreen) header.windowed = mFullScreen->IsChecked() ? 0 : 1;
            if (mMute) header.muted = mMute->IsChecked() ? 1 : 0;
            mApp->ApplySettings();
        }
        // The preview already changed the header: keep it on disk whichever way
        // the dialog closes.
        mApp->SavePrefs();
    }
    Hide();
}

void OptionsDialog::Update() {
    UiDialog::Update();
    if (!mVisible || mApp == nullptr) return;
    PrefsHeader& header = mApp->GetPrefsHeader();
    SoundManager* sounds = mApp->GetSoundManager();
    MusicManager* music = mApp->GetMusicManager();
    if (mMute && mMute->IsChecked() != (header.muted != 0)) {
        header.muted = mMute->IsChecked() ? 1 : 0;
        if (sounds) sounds->SetVolume(header.AppliedSfxVolume());
        if (music) music->SetVolume(header.AppliedMusicVolume());
    }
    if (mSoundVolume && mSoundVolume->GetValue() != header.sfxVolume) {
        header.sfxVolume = mSoundVolume->GetValue();
        if (sounds && !header.muted) sounds->SetVolume(header.sfxVolume);
    }
    if (mMusicVolume && mMusicVolume->GetValue() != header.musicVolume) {
        header.musicVolume = mMusicVolume->GetValue();
        if (music && !header.muted) music->SetVolume(header.musicVolume);
    }
}

void OptionsDialog::ListNames(ScreenNames& names) const {
    names.members.insert(names.members.end(),
                         {{"mute_checkbox", mMute}, {"fullscreen_checkbox", mFullScreen}, {"cancel", mCancel},
                          {"apply", mApply}, {"sndvol_slider", mSoundVolume}, {"musvol_slider", mMusicVolume}});
}
