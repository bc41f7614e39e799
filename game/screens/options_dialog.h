#pragma once
#include "game/screens/screen_kit.h"

class UiButton;
class UiCheckBox;
class UiSlider;

// Sound and music volume, mute and full screen ("options"). Volume and mute
// take effect while the dialog is open and stay, whichever button closes it;
// the screen mode changes only on apply. Either button saves pref.dat.
class OptionsDialog : public Screen {
public:
    UiCheckBox* mMute = nullptr;
    UiCheckBox* mFullScreen = nullptr;
    UiButton* mCancel = nullptr;
    UiButton* mApply = nullptr;
    UiSlider* mSoundVolume = nullptr;
    UiSlider* mMusicVolume = nullptr;
    UiDialog* mBlocker;

    OptionsDialog(OfficeApp* app, XmlNode layouts);
    ~OptionsDialog() override;

    void Update() override;
    void AddChild(const std::string& name, UiControl* control) override;
    void OnCommand(intptr_t id) override;
    void OnShow() override;
    void OnHide() override;
    void ListNames(ScreenNames& names) const override;
};
