#include "game/screens/menu_background.h"

#include "game/app/office_app.h"
#include "game/screens/main_menu.h"

GlobalBackground::GlobalBackground(OfficeApp* app, XmlNode layouts) : Screen(nullptr, app) {
    LoadByName(layouts, "global_bkg");
}

GlobalBackground::~GlobalBackground() = default;

void GlobalBackground::OnShow() {
    PlayMusic("main_menu");
    if (mApp && mApp->mMainMenu) mApp->mMainMenu->Show();
}

void GlobalBackground::ListNames(ScreenNames& names) const { names.music.push_back("main_menu"); }
