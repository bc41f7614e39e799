#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>
#include "game/app/office_app.h"
#include "game/app/pak_file.h"
#include "game/app/startup.h"
#include "game/compose/game_composition.h"
#include "tests/support/temp_dirs.h"

namespace gametest {

class SampleApp : public OfficeApp {
public:
    explicit SampleApp(const std::string& prefs) : OfficeApp(prefs) { mNoWindow = true; }
    void ShowError(const std::string& text, const std::string& title) override { errors.push_back(title + ": " + text); }
    std::vector<std::string> errors;
};

// The sample game folder with the composition installed, started as far as
// its screens; user folders and pref.dat in temporary folders. Suites prepare
// pref.dat in BeforeStart.
class SampleGameTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        oldDir = PakGetGameDir();
        PakSetGameDir(testsupport::SourceDir() + "/data");
        InstallGameFileAccess(true);
        OfficeApp::SetGameHooks(&composition);
        BeforeStart();
        app = std::make_unique<SampleApp>(PrefsPath());
        ASSERT_TRUE(app->Init()) << (app->errors.empty() ? "" : app->errors[0]);
        app->LoadingThreadCompleted();
    }
    void TearDown() override {
        app.reset();
        OfficeApp::SetGameHooks(nullptr);
        InstallGameFileAccess(false);
        PakSetGameDir(oldDir);
    }
    virtual void BeforeStart() {}
    virtual std::string PrefsPath() { return prefs.File("pref.dat"); }

    testsupport::TempUserDirs user;
    testsupport::TempDir prefs;
    std::string oldDir;
    GameComposition composition;
    std::unique_ptr<SampleApp> app;
};

} // namespace gametest
