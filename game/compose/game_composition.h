#pragma once
#include <memory>
#include "game/app/game_hooks.h"
#include "game/app/xml_access.h"

class GameLevelScreens;
class LevelScreen;
class LevelScreenLink;
class RuleSequencer;

// The whole game put together: the one GameHooks implementation, installed by
// main(). It knows every library above the application (effects, controls,
// the office and the screens).
class GameComposition : public GameHooks {
public:
    static constexpr const char* kUiPath = "cfg\\ui.xml";

    GameComposition();
    // Tears down what it built for an application still alive, so either may
    // go first.
    ~GameComposition() override;

    // Particle registry and "cfg\effect.xml".
    void AppCreated(OfficeApp& app) override;
    // "cfg\ui.xml", kept while the screens built from it live; the cursor
    // table made on the texture table, loaded from it, "normal" selected; the
    // hidden level screen, then the menu screens and the message box, the
    // splash first on screen; the level and the screens joined both ways; the
    // tutorial rules installed on the level and in gRuleSequencer.
    // Without a readable "cfg\ui.xml" nothing is built and the game cannot run.
    bool BuildScreens(OfficeApp& app, std::string& error) override;
    // The screens, then the layouts they were built from.
    void DestroyScreens(OfficeApp& app) override;
    void AppDestroyed(OfficeApp& app) override;
    // The level pauses while the window has lost the focus.
    void FocusChanged(OfficeApp& app, bool gained) override;
    // The game's own cursor.
    void DrawOverlay(OfficeApp& app, Zephra::Graphics* g) override;

    // The root of "cfg\ui.xml"; empty before BuildScreens or when it did not load.
    XmlNode GetUiRoot() const;
    // What the level asks of the screens; none before BuildScreens.
    GameLevelScreens* GetLevelScreens() const { return mLevelScreens.get(); }
    // The level's tutorial rules; none before BuildScreens.
    RuleSequencer* GetTutorial() const { return mTutorial.get(); }

private:
    OfficeApp* mApp = nullptr;  // from AppCreated to AppDestroyed
    std::unique_ptr<XmlDocument> mUiDoc;
    std::unique_ptr<LevelScreen> mLevelScreen;
    std::unique_ptr<GameLevelScreens> mLevelScreens;
    std::unique_ptr<LevelScreenLink> mLevelLink;
    std::unique_ptr<RuleSequencer> mTutorial;
};

// Installs one composition for the program's life (main() calls it first).
void InstallGameComposition();
