#pragma once
#include "game/screens/screen_kit.h"

// The backdrop of every menu ("global_bkg"). The main menu, the career
// calendar, the survival menu and the hiscores are its named children, so
// showing it brings back the menu world with the "main_menu" music.
class GlobalBackground : public Screen {
public:
    GlobalBackground(OfficeApp* app, XmlNode layouts);
    ~GlobalBackground() override;

    void OnShow() override;
    void ListNames(ScreenNames& names) const override;
};
