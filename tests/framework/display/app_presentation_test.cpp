#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include "framework/app/widget_manager.h"
#include "framework/app/zephra_app_base.h"
#include "framework/display/dd_interface.h"
#include "platform/directx/d3d7.h"
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
    Direct3DConfig::Get().mKind = Device3DKind::None;   // the DirectDraw road
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
    Direct3DConfig::Get().Reset();
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

// A frame that fills the window one to one goes to it straight from the draw
// surface, on either road; the primary is left behind until a software cursor
// needs it or a frame is shown in part, and is then brought up whole. Without
// a window, or under a software cursor, the frame is copied as always.
TEST(AppPresentation, AFrameGoesToTheWindowStraightFromTheDrawSurface) {
    struct Case {
        const char* name;
        bool window;
        Device3DKind kind;
        bool cursor;
        bool straight;
    };
    const Case cases[] = {
        {"3D road", true, Device3DKind::Software, false, true},
        {"DirectDraw road", true, Device3DKind::None, false, true},
        {"software cursor", true, Device3DKind::Software, true, false},
        {"no window", false, Device3DKind::Software, false, false},
    };
    MemoryImage arrow(nullptr);
    arrow.Create(8, 8);
    std::fill_n(arrow.GetBits(), 64, 0xFF00FF00u);
    for (const Case& k : cases) {
        testsupport::TempUserDirs dirs;
        DirectXConfig::Get().Reset();
        Direct3DConfig::Get().Reset();
        Direct3DConfig::Get().mKind = k.kind;
        DisplayApp app;
        app.mNoWindow = !k.window;
        ASSERT_TRUE(app.Init()) << k.name << ": " << app.mDisplayError;
        DDInterface& dd = app.Display();
        if (k.cursor) {
            app.SetCursorImage(0, &arrow);
            app.SetCursor(0);
        }
        auto white = [&](IDirectDrawSurface* surface) {
            SurfaceMemory m;
            uint32_t v = 0;
            if (GetSurfaceMemory(surface, m)) std::memcpy(&v, m.bits + 4 * m.pitch + 3 * 4, 4);
            return (v & 0xFFFFFF) == 0xFFFFFF;
        };
        for (int frame = 0; frame < 2; ++frame) {
            app.mScreenImage->FillRect(Rect(3, 4, 1, 1), Color(255, 255, 255), DRAWMODE_NORMAL);
            const int blits = DirectXConfig::Get().CallCount("IDirectDrawSurface::Blt");
            app.PresentFrame();
            EXPECT_EQ(dd.mPrimaryBehind, k.straight) << k.name;
            EXPECT_EQ(DirectXConfig::Get().CallCount("IDirectDrawSurface::Blt") == blits, k.straight) << k.name;
            EXPECT_TRUE(white(dd.ShownSurface())) << k.name << ": the window shows the frame";
            EXPECT_EQ(white(dd.mPrimarySurface), !k.straight || frame > 0) << k.name;
            if (!k.straight) continue;
            // Shown in part, the frame goes into the primary whole; so it does
            // for a software cursor.
            const Rect part(100, 100, 10, 10);
            if (frame == 0) {
                dd.Redraw(&part);
            } else {
                app.SetCursorImage(0, &arrow);
                app.SetCursor(0);
            }
            EXPECT_FALSE(dd.mPrimaryBehind) << k.name << " frame " << frame;
            EXPECT_TRUE(white(dd.mPrimarySurface)) << k.name << " frame " << frame;
            app.SetCursorImage(0, nullptr);
        }
    }
    DirectXConfig::Get().Reset();
    Direct3DConfig::Get().Reset();
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
