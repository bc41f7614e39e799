#pragma once
#include <gtest/gtest.h>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>
#include "game/app/office_app.h"
#include "game/app/pak_file.h"
#include "game/app/startup.h"
#include "game/compose/game_composition.h"
#include "tests/support/layered_folder.h"
#include "tests/support/temp_dirs.h"

namespace testsupport {

// The game application without a window; start-up errors are collected.
class TestApp : public OfficeApp {
public:
    explicit TestApp(const std::string& prefs) : OfficeApp(prefs) { mNoWindow = true; }
    void ShowError(const std::string& text, const std::string& title) override { errors.push_back(title + ": " + text); }
    std::vector<std::string> errors;
};

// The sample game folder, with the tests' own files of tests/data laid over
// it, and the composition installed, started as far as its screens, with
// temporary user folders and pref.dat.
class SampleGame : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        oldDir = PakGetGameDir();
        LayGameFolder(SourceDir() + "/data", SourceDir() + "/tests/data", gameDir.Path());
        PakSetGameDir(gameDir.Path());
        InstallGameFileAccess(true);
        OfficeApp::SetGameHooks(&composition);
        StartApp();
    }
    void TearDown() override {
        app.reset();
        OfficeApp::SetGameHooks(nullptr);
        InstallGameFileAccess(false);
        PakSetGameDir(oldDir);
    }
    virtual void StartApp() {
        app = std::make_unique<TestApp>(prefs.File("pref.dat"));
        ASSERT_TRUE(app->Init()) << (app->errors.empty() ? "" : app->errors[0]);
        app->LoadingThreadCompleted();
    }
    TempUserDirs user;
    TempDir gameDir;
    TempDir prefs;
    std::string oldDir;
    GameComposition composition;
    std::unique_ptr<TestApp> app;
};

} // namespace testsupport
