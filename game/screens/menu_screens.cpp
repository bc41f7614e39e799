#include "game/screens/menu_screens.h"

#include "framework/app/widget_manager.h"
#include "game/app/office_app.h"
#include "game/screens/career_dialog.h"
#include "game/screens/help_dialog.h"
#include "game/screens/hiscores_dialog.h"
#include "game/screens/load_screen.h"
#include "game/screens/main_menu.h"
#include "game/screens/menu_background.h"
#include "game/screens/message_box2.h"
#include "game/screens/options_dialog.h"
#include "game/screens/splash_screen.h"
#include "game/screens/survival_menu.h"

namespace {

template <class T>
T* MakeHidden(OfficeApp& app, XmlNode root) {
    T* screen = new T(&app, root);
    screen->SetVisible(false);
    return screen;
}

template <class T>
void DeleteTopLevel(T*& screen) {
    if (screen == nullptr) return;
    if (screen->mParent) screen->mParent->RemoveWidget(screen);
    delete screen;
    screen = nullptr;
}

} // namespace

void BuildMenuScreens(OfficeApp& app, XmlNode root) {
    Zephra::WidgetManager* wm = app.mWidgetManager;
    app.mMenuBackground = MakeHidden<GlobalBackground>(app, root);
    wm->AddWidget(app.mMenuBackground);
    app.mMainMenu = MakeHidden<MainMenuScreen>(app, root);
    app.mMenuBackground->AddChild("main_menu", app.mMainMenu);
    app.mHelp = MakeHidden<HelpDialog>(app, root);
    wm->AddWidget(app.mHelp);
    app.mCareer = MakeHidden<CareerDialog>(app, root);
    app.mMenuBackground->AddChild("career", app.mCareer);
    app.mHiscores = MakeHidden<HiscoresDialog>(app, root);
    app.mMenuBackground->AddChild("hiscores", app.mHiscores);
    app.mSurvival = MakeHidden<SurvivalMenu>(app, root);
    app.mMenuBackground->AddChild("survival", app.mSurvival);
    app.mOptions = MakeHidden<OptionsDialog>(app, root);
    wm->AddWidget(app.mOptions);
    app.mLoadScreen = MakeHidden<LoadScreen>(app, root);
    wm->AddWidget(app.mLoadScreen);
    // The splash is the one screen that starts shown.
    app.mSplash = new SplashScreen(&app, root);
    wm->AddWidget(app.mSplash);
    CreateMessageBox2(&app, root);
    app.mSplash->Show();
}

void DestroyMenuScreens(OfficeApp& app) {
    DestroyMessageBox2();
    DeleteTopLevel(app.mSplash);
    DeleteTopLevel(app.mLoadScreen);
    DeleteTopLevel(app.mOptions);
    DeleteTopLevel(app.mHelp);
    // The background's children go with it.
    DeleteTopLevel(app.mMenuBackground);
    app.mMainMenu = nullptr;
    app.mCareer = nullptr;
    app.mHiscores = nullptr;
    app.mSurvival = nullptr;
}

void ForEachMenuScreen(OfficeApp& app, const std::function<void(Screen&)>& fn) {
    Screen* screens[] = {app.mMenuBackground, app.mMainMenu, app.mHelp,       app.mCareer,
                         app.mHiscores,       app.mSurvival, app.mOptions,    app.mLoadScreen,
                         app.mSplash,         GetMessageBox2()};
    for (Screen* screen : screens)
        if (screen) fn(*screen);
}

