#pragma once
#include "game/screens/paged_dialog.h"

// The help pictures ("help"), over everything, from the main menu and the
// escape menu.
class HelpDialog : public PagedDialog {
public:
    HelpDialog(OfficeApp* app, XmlNode layouts);
    void OnShow() override;
    void OnHide() override;
};
