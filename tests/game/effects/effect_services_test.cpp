#include <gtest/gtest.h>

#include "game/app/office_app.h"
#include "game/app/pak_file.h"
#include "game/effects/effect_services.h"
#include "game/effects/particles.h"
#include "game/effects/script_object.h"
#include "tests/support/temp_dirs.h"

// The application opens the effect configuration for its lifetime and makes
// its particle registry once the effect library is hooked in.
TEST(EffectServices, ApplicationOpensAndClosesTheEffectConfiguration) {
    testsupport::TempUserDirs dirs;
    testsupport::TempDir prefs;
    const std::string oldDir = PakGetGameDir();
    PakSetGameDir(testsupport::SourceDir() + "/data");
    InstallEffectServices();
    {
        OfficeApp app(prefs.File("pref.dat"));
        EXPECT_TRUE(gEffectConfigRoot);
        EXPECT_NE(app.GetParticleRegistry(), nullptr);
        EXPECT_GT(CreateScriptObject("dlg_fade")->GetTimerCount(), 0u);
    }
    EXPECT_FALSE(gEffectConfigRoot);
    OfficeApp::SetEffectConfigHooks(nullptr, nullptr);
    OfficeApp::SetParticleRegistryFactory(nullptr, nullptr);
    PakSetGameDir(oldDir);
}
