#pragma once
#include <string>
#include "game/screens/screen_kit.h"

class UiButton;

// The survival upgrade choice ("upgrade"): up to three upgrades, each a
// picture ("db08_<name>") with its localised description in a container
// "pic1".."pic3" holding "pic", "text" and "check"; the player ticks one and
// confirms with "upgrade". The call waits in nested main-loop steps.
class UpgradeDialog : public Screen {
public:
    static constexpr int kChoices = 3;

    struct Choice {
        UiControl* container = nullptr;
        HeldPicture picture;
        UiButton* button = nullptr;
        UiControl* text = nullptr;
        UiControl* check = nullptr;
    };

    UiButton* mUpgrade = nullptr;
    Choice mChoices[kChoices];
    int mSelected = -1;  // -1 none, else 0..2
    UiDialog* mBlocker;
    UiControl* mDescriptionText = nullptr;
    UiControl* mSelUpgradeText = nullptr;

    UpgradeDialog(OfficeApp* app, XmlNode layouts);
    ~UpgradeDialog() override;

    void AddChild(const std::string& name, UiControl* control) override;
    void OnCommand(intptr_t id) override;
    void OnShow() override;
    void OnHide() override;
    void OnDeactivate() override;
    void ListNames(ScreenNames& names) const override;

    // Shows the choices and waits for the player: the chosen name, empty when
    // nothing was chosen (the application stopped, the dialog went or was
    // hidden without a choice).
    std::string SetUpgrades(const std::string& name1, const std::string& name2, const std::string& name3);
};
