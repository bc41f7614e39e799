#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include "framework/app/widget_manager.h"
#include "framework/app/zephra_app_base.h"
#include "framework/display/dd_interface.h"
#include "platform/directx/dx_config.h"
#include "platform/directx/dx_module.h"
#include "tests/support/temp_dirs.h"

using namespace Zephra;
using namespace platform;

namespace {

class DisplayApp : public ZephraAppBase {
public:
    DisplayApp() {
        mNoWindow = true;
        mDDrawModule = LoadModule("ddraw.dll");
        InstallDisplay(std::make_unique<DDInterface>(this));
    }
    DDInterface& Display() { return static_cast<DDInterface&>(*mDisplay); }
};

InputEvent Mouse(int x, int y) {
    InputEvent e;
    e.kind = EventKind::MouseMove;
    e.x = x;
    e.y = y;
    return e;
}

TEST(AppPresentation, TheApplicationDrawsIntoTheDisplaysImageAndPresentsIt) {
    testsupport::TempUserDirs dirs;
    DirectXConfig::Get().Reset();
    DirectXConfig::Get().mDesktopFormat = PixelLayout::RGB565;
    DisplayApp app;
    ASSERT_TRUE(app.Init()) << app.mDisplayError;
    DDInterface& dd = app.Display();
    ASSERT_EQ(app.mScreenImage, dd.GetScreenImage());
    EXPECT_EQ(app.mWidgetManager->GetScreenImage(), app.mScreenImage);

    app.mScreenImage->FillRect(Rect(3, 4, 1, 1), Color(255, 255, 255), DRAWMODE_NORMAL);
    app.PresentFrame();
    SurfaceMemory m;
    ASSERT_TRUE(GetSurfaceMemory(dd.mPrimarySurface, m));
    uint16_t v = 0;
    std::memcpy(&v, m.bits + 4 * m.pitch + 3 * 2, 2);
    EXPECT_EQ(v, 0xFFFF) << "white on the 16-bit primary";

    // A mode change hands out a new screen image, taken again by the application.
    app.mWindowed = false;
    ASSERT_EQ(app.ResetDisplay(), 0) << app.mDisplayError;
    EXPECT_EQ(app.mScreenImage, dd.GetScreenImage());
    EXPECT_EQ(app.mWidgetManager->GetScreenImage(), app.mScreenImage);
    app.SetVideoMemoryDraw(true);
    EXPECT_EQ(app.mScreenImage, dd.GetScreenImage());
    EXPECT_TRUE(dd.mVideoOnlyDraw);
    EXPECT_FALSE(app.Is3DAccelerated());
    DirectXConfig::Get().Reset();
}

TEST(AppPresentation, MouseMapsThroughThePresentationRectangle) {
    testsupport::TempUserDirs dirs;
    DirectXConfig::Get().Reset();
    DisplayApp app;
    app.mHackAspect = true;
    app.mHackAspectRatio = Fraction(16, 9);
    ASSERT_TRUE(app.Init()) << app.mDisplayError;
    // 800 x 600 centred in a 1066 x 600 window.
    EXPECT_EQ(app.Display().mPresentationRect, Rect(133, 0, 800, 600));
    struct Case {
        int x, y, drawX, drawY;
    };
    const Case cases[] = {{133, 0, 0, 0}, {533, 300, 400, 300}, {0, 10, 0, 10}, {1065, 599, 799, 599}};
    for (const Case& c : cases) {
        app.PostEvent(Mouse(c.x, c.y));
        app.StepMainLoop(true);
        EXPECT_EQ(app.mWidgetManager->mLastMouseX, c.drawX) << c.x;
        EXPECT_EQ(app.mWidgetManager->mLastMouseY, c.drawY) << c.y;
    }
    DirectXConfig::Get().Reset();
}

TEST(AppPresentation, TheCursorThreadMovesTheCursorOnThePrimaryUntilStopped) {
    testsupport::TempUserDirs dirs;
    DirectXConfig::Get().Reset();
    DisplayApp app;
    ASSERT_TRUE(app.Init()) << app.mDisplayError;
    MemoryImage arrow(nullptr);
    arrow.Create(8, 8);
    for (int i = 0; i < 64; ++i) arrow.GetBits()[i] = 0xFF00FF00;
    app.SetCursorImage(0, &arrow);
    app.SetCursor(0);
    DDInterface& dd = app.Display();
    EXPECT_EQ(dd.mCursorImage, &arrow);
    app.StartCursorThread();
    app.PostEvent(Mouse(300, 200));
    app.StepMainLoop(true);
    // The thread polls every 10 ms; give it a generous while.
    for (int i = 0; i < 200 && dd.mCursorPrevX != 300; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    app.StopCursorThread();
    EXPECT_EQ(dd.mCursorPrevX, 300);
    EXPECT_EQ(dd.mCursorPrevY, 200);
    SurfaceMemory m;
    ASSERT_TRUE(GetSurfaceMemory(dd.mPrimarySurface, m));
    uint32_t v = 0;
    std::memcpy(&v, m.bits + 200 * m.pitch + 300 * 4, 4);
    EXPECT_EQ(v & 0xFFFFFF, 0x00FF00u) << "the cursor stands on the primary";
    app.SetCursorImage(0, nullptr);
    EXPECT_EQ(dd.mCursorImage, nullptr);
    DirectXConfig::Get().Reset();
}

TEST(AppPresentation, AFailingDisplayStopsStartUpWithItsReason) {
    testsupport::TempUserDirs dirs;
    DirectXConfig::Get().Reset();
    DirectXConfig::Get().mDesktopFormat = PixelLayout::RGB888;
    DisplayApp app;
    EXPECT_FALSE(app.Init());
    EXPECT_EQ(app.mDisplayError, "RESULT_INVALID_COLORDEPTH (CreateSurface Windowed Primary: DDERR_INVALIDPIXELFORMAT)");
    DirectXConfig::Get().Reset();
}

} // namespace
