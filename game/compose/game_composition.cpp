#include "game/compose/game_composition.h"

#include "framework/app/widget_manager.h"
#include "game/app/office_app.h"
#include "game/effects/particles.h"
#include "game/effects/script_object.h"
#include "game/office/level_screen.h"
#include "game/office/rule_sequencer.h"
#include "game/screens/game_level_screens.h"
#include "game/screens/hud.h"
#include "game/screens/level_screen_link.h"
#include "game/screens/menu_screens.h"
#include "game/ui/cursor_table.h"

namespace {

void DestroyCursorTable(CursorTable* table) { delete table; }

} // namespace

GameComposition::GameComposition() = default;

GameComposition::~GameComposition() {
    // Gone before the application: what was built for it goes now, in the
    // order DestroyScreens keeps, and the application calls it no more.
    if (mApp != nullptr) {
        OfficeApp& app = *mApp;
        DestroyScreens(app);
        AppDestroyed(app);
    }
    if (OfficeApp::GetGameHooks() == this) OfficeApp::SetGameHooks(nullptr);
}

void GameComposition::AppCreated(OfficeApp& app) {
    mApp = &app;
    app.SetParticleRegistry(MakeParticleRegistry(), &DestroyParticleRegistry);
    if (!OpenEffectConfig()) app.Warn("cannot read cfg\\effect.xml: " + XmlLastError());
}

bool GameComposition::BuildScreens(OfficeApp& app, std::string& error) {
    mApp = &app;
    if (!XmlLoadDocument(mUiDoc, kUiPath)) {
        error = "The screens' layouts cannot be read: " + XmlLastError();
        return false;
    }
    auto* cursors = new CursorTable(app.GetTextureTable());
    app.SetCursorTable(cursors, &DestroyCursorTable);
    cursors->Load(GetUiRoot());
    cursors->Select("normal");
    // Made once, hidden; the menus show it and add it to the widget tree.
    mLevelScreen = std::make_unique<LevelScreen>(&app);
    mLevelScreen->SetVisible(false);
    BuildMenuScreens(app, GetUiRoot());
    mLevelScreens = std::make_unique<GameLevelScreens>(app, *mLevelScreen, GetUiRoot());
    mLevelScreen->SetScreens(mLevelScreens.get());
    mTutorial = std::make_unique<RuleSequencer>(mLevelScreens->GetHud());
    gRuleSequencer = mTutorial.get();
    mLevelScreen->SetTutorial(mTutorial.get());
    mLevelLink = std::make_unique<LevelScreenLink>(app, *mLevelScreen);
    SetLevelLink(mLevelLink.get());
    return true;
}

void GameComposition::DestroyScreens(OfficeApp& app) {
    if (mLevelScreen) mLevelScreen->SetScreens(nullptr);
    if (mLevelScreen) mLevelScreen->SetTutorial(nullptr);
    if (gRuleSequencer == mTutorial.get()) gRuleSequencer = nullptr;
    mTutorial.reset();
    if (GetLevelLink() == mLevelLink.get()) SetLevelLink(nullptr);
    mLevelLink.reset();
    mLevelScreens.reset();
    DestroyMenuScreens(app);
    if (mLevelScreen && app.mWidgetManager) app.mWidgetManager->RemoveWidget(mLevelScreen.get());
    mLevelScreen.reset();
    mUiDoc.reset();
}

void GameComposition::AppDestroyed(OfficeApp& app) {
    if (mApp == &app) mApp = nullptr;
    CloseEffectConfig();
    mUiDoc.reset();
}

void GameComposition::FocusChanged(OfficeApp& app, bool gained) {
    if (LevelScreen* level = app.GetLevelScreen()) level->SetPaused(!gained);
}

void GameComposition::DrawOverlay(OfficeApp& app, Zephra::Graphics* g) {
    if (CursorTable* cursors = app.GetCursorTable()) cursors->Draw(g);
}

XmlNode GameComposition::GetUiRoot() const { return mUiDoc ? mUiDoc->document_element() : XmlNode(); }

void InstallGameComposition() {
    static GameComposition composition;
    OfficeApp::SetGameHooks(&composition);
}
