#pragma once
#include <string>

namespace Zephra {
class Graphics;
}

class OfficeApp;

// What the game application needs of the libraries built on it (effects,
// controls, office, screens), which it cannot name. main() installs one
// implementation before it makes the application (OfficeApp::SetGameHooks);
// with none installed the application runs bare.
class GameHooks {
public:
    virtual ~GameHooks() = default;
    // The application's tables exist: its particle registry, the effect
    // configuration.
    virtual void AppCreated(OfficeApp& app) = 0;
    // Loading is complete: the layouts, the cursor table, the screens. False,
    // with the reason in error, when the game cannot run without what failed.
    virtual bool BuildScreens(OfficeApp& app, std::string& error) = 0;
    // First thing of the application's destruction, before the widget manager goes.
    virtual void DestroyScreens(OfficeApp& app) = 0;
    // Last thing of the application's destruction.
    virtual void AppDestroyed(OfficeApp& app) = 0;
    // The application's window gained or lost the input focus.
    virtual void FocusChanged(OfficeApp& app, bool gained) = 0;
    // Drawn over the widget tree (the game's own cursor).
    virtual void DrawOverlay(OfficeApp& app, Zephra::Graphics* g) = 0;
};
