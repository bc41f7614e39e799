#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include "framework/app/widget_manager.h"
#include "framework/display/dd_interface.h"
#include "game/app/office_app.h"
#include "game/app/pak_file.h"
#include "game/app/startup.h"
#include "platform/directx/dx_config.h"
#include "platform/window.h"
#include "tests/game/app/game_folder.h"

namespace {

class WindowedGame : public OfficeApp {
public:
    void ShowError(const std::string& text, const std::string& title) override {
        errors.push_back(title + ": " + text);
    }
    Zephra::DDInterface& Display() { return static_cast<Zephra::DDInterface&>(*mDisplay); }
    std::vector<std::string> errors;
};

// The sample game in a real (offscreen) window through the DirectDraw display.
TEST(GameDisplay, TheSampleGamePresentsThroughTheDisplayAndSwitchesModes) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    testsupport::TempUserDirs user;
    PakSetGameDir(testsupport::SourceDir() + "/data");
    InstallGameFileAccess(true);
    {
        WindowedGame app;
        InstallGameDisplay(app);
        platform::DirectXConfig::Get().Reset();
        platform::DirectXConfig::Get().mDesktopFormat = platform::PixelLayout::RGB565;
        ASSERT_TRUE(app.Init()) << (app.errors.empty() ? app.mDisplayError : app.errors[0]);
        Zephra::DDInterface& dd = app.Display();
        EXPECT_EQ(app.mScreenImage, dd.GetScreenImage());
        ASSERT_TRUE(app.mWidgetManager->DrawScreen());
        app.PresentFrame();
        const uint32_t ground = app.mScreenImage->GetBits()[0];
        const uint16_t expect = static_cast<uint16_t>(((ground >> 8) & 0xF800) | ((ground >> 5) & 0x07E0) |
                                                      ((ground >> 3) & 0x001F));
        platform::SurfaceMemory m;
        ASSERT_TRUE(platform::GetSurfaceMemory(dd.mPrimarySurface, m));
        uint16_t shown = 0;
        std::memcpy(&shown, m.bits, 2);
        EXPECT_EQ(shown, expect) << "the ground's first pixel on the 565 primary";

        struct Step {
            uint8_t windowed;
            const char* failing;     // a method that fails for the switch
            bool nowWindowed;
        };
        const Step steps[] = {
            {0, nullptr, false},
            {1, nullptr, true},
            {0, "IDirectDraw::SetDisplayMode", true},   // back to the window that worked
        };
        for (const Step& s : steps) {
            if (s.failing) platform::DirectXConfig::Get().InjectFailure(s.failing, platform::DDERR_INVALIDMODE, 0, 1);
            app.GetPrefsHeader().windowed = s.windowed;
            app.ApplySettings();
            EXPECT_EQ(app.mWindowed, s.nowWindowed) << int(s.windowed);
            EXPECT_EQ(dd.mIsWindowed, s.nowWindowed) << int(s.windowed);
            EXPECT_TRUE(dd.mInitialized) << int(s.windowed) << dd.mErrorString;
            EXPECT_EQ(app.mScreenImage, dd.GetScreenImage());
            EXPECT_EQ(app.mWidgetManager->GetScreenImage(), app.mScreenImage);
        }
        EXPECT_FALSE(app.Warnings().empty()) << "the failed switch was reported";
    }
    InstallGameFileAccess(false);
    platform::DirectXConfig::Get().Reset();
}

} // namespace
