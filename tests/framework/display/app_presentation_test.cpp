#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include "framework/app/widget_manager.h"
#include "framework/app/zephra_app_base.h"
#include "framework/display/dd_interface.h"
#include "platform/directx/d3d7.h"
#include "platform/directx/dx_config.h"
#include "platform/directx/dx_module.h"
#include "platform/window.h"
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

// Until the display drew its cursor at (x, y), by the cursor thread or by a
// frame, or a generous while passed. The thread writes the position under
// the display's lock: it is read under it too.
void WaitForTheCursorAt(DDInterface& dd, int x, int y) {
    auto drawnAt = [&] {
        std::lock_guard<CriticalSection> hold(dd.mCritSect);
        return dd.mCursorPrevX == x && dd.mCursorPrevY == y;
    };
    for (int i = 0; i < 2000 && !drawnAt(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
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
    ASSERT_TRUE(GetSurfaceMemory(dd.PrimaryNow(), m));
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

// Full screen covers the desktop; the 800 x 600 picture is scaled to fill its
// height or width, centred, whether the display pillar-boxes it on a desktop-
// sized primary (3D on a wide desktop) or the window scales an 800 x 600 mode.
TEST(AppPresentation, FullScreenFillsTheDesktopCentredAndTheMouseHitsWhatIsShown) {
    struct Case {
        int deskW, deskH;
        bool with3D;
        Rect shown;    // where the picture stands on the screen
    };
    const Case cases[] = {
        {1280, 800, true, Rect(107, 0, 1066, 800)},     // 16:10
        {1280, 800, false, Rect(106, 0, 1067, 800)},
        {1920, 1080, true, Rect(240, 0, 1440, 1080)},   // 16:9
        {1920, 1080, false, Rect(240, 0, 1440, 1080)},
        {1024, 768, true, Rect(0, 0, 1024, 768)},       // 4:3
        {1280, 1024, true, Rect(0, 32, 1280, 960)},     // 5:4: letter-boxed
        {768, 1024, false, Rect(0, 224, 768, 576)},     // portrait
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.deskW) + "x" + std::to_string(c.deskH) + (c.with3D ? " 3D" : ""));
        testsupport::TempUserDirs dirs;
        DirectXConfig& config = DirectXConfig::Get();
        config.Reset();
        config.mDesktopWidth = c.deskW;
        config.mDesktopHeight = c.deskH;
        for (DWORD bits : {16u, 32u}) config.mModes.push_back({DWORD(c.deskW), DWORD(c.deskH), bits});
        Direct3DConfig::Get().mKind = c.with3D ? Device3DKind::Software : Device3DKind::None;
        DisplayApp app;
        app.mWindowed = false;
        ASSERT_TRUE(app.Init()) << app.mDisplayError;
        ASSERT_EQ(app.Is3DAccelerated(), c.with3D);
        SurfaceMemory primary;
        ASSERT_TRUE(GetSurfaceMemory(app.Display().mPrimarySurface, primary));
        // A screen point through the window (the primary scaled into the desktop) and the display.
        auto drawAt = [&](int x, int y) {
            int px = 0, py = 0, dx = 0, dy = 0;
            MapWindowToPicture(c.deskW, c.deskH, primary.width, primary.height, x, y, px, py);
            app.MapToDraw(px, py, dx, dy);
            return Point{dx, dy};
        };
        const Rect& r = c.shown;
        EXPECT_TRUE(r.mWidth == c.deskW || r.mHeight == c.deskH) << "fills the height or the width";
        EXPECT_LE(std::abs(2 * r.mX + r.mWidth - c.deskW), 1) << "centred across";
        EXPECT_LE(std::abs(2 * r.mY + r.mHeight - c.deskH), 1) << "centred down";
        struct Probe {
            int x, y, drawX, drawY;
        };
        const Probe probes[] = {
            {r.mX, r.mY, 0, 0},
            {r.mX + r.mWidth - 1, r.mY + r.mHeight - 1, 799, 599},
            {r.mX + r.mWidth / 2, r.mY + r.mHeight / 2, 400, 300},
            {r.mX - 1, r.mY + r.mHeight / 2, 0, 300},                      // left of the picture
            {r.mX + r.mWidth, r.mY + r.mHeight, 799, 599},                 // below right
        };
        for (const Probe& p : probes) {
            const Point d = drawAt(p.x, p.y);
            EXPECT_LE(std::abs(d.mX - p.drawX), 1) << p.x << "," << p.y;
            EXPECT_LE(std::abs(d.mY - p.drawY), 1) << p.x << "," << p.y;
        }
    }
    DirectXConfig::Get().Reset();
    Direct3DConfig::Get().Reset();
}

// The cursor thread draws the software cursor on the primary between frames.
// A frame being drawn turns its move away (the frame draws the cursor), but it
// may have read the position before the move: the thread moves the cursor
// there once the frame is done. Started before any custom cursor, it waits
// for one, and it stops while it waits.
TEST(AppPresentation, TheCursorThreadMovesTheCursorOnThePrimaryUntilStopped) {
    enum class When { BetweenFrames, FrameInProgress, BeforeTheCursor };
    for (When when : {When::BetweenFrames, When::FrameInProgress, When::BeforeTheCursor}) {
        const bool frameInProgress = when == When::FrameInProgress;
        SCOPED_TRACE(int(when));
        testsupport::TempUserDirs dirs;
        DirectXConfig::Get().Reset();
        DisplayApp app;
        ASSERT_TRUE(app.Init()) << app.mDisplayError;
        // No custom cursor yet: the thread starts and stops (no poll would
        // see the stop while it waits).
        app.StartCursorThread();
        app.StopCursorThread();
        if (when == When::BeforeTheCursor) {
            // Given time to find no cursor and wait: only the cursor being
            // shown may wake it.
            app.StartCursorThread();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        MemoryImage arrow(nullptr);
        arrow.Create(8, 8);
        std::fill_n(arrow.GetBits(), 64, 0xFF00FF00u);
        app.SetCursorImage(0, &arrow);
        app.SetCursor(0);
        DDInterface& dd = app.Display();
        EXPECT_EQ(dd.mCursorImage, &arrow);
        app.PostEvent(Mouse(300, 200));
        app.StepMainLoop(true);
        if (frameInProgress) {
            // The display's lock held, its flag up, until long past the
            // refresh period: the thread has tried to draw the cursor itself.
            std::lock_guard<CriticalSection> frame(dd.mCritSect);
            dd.mInRedraw = true;
            app.StartCursorThread();
            for (int i = 0; i < 2000 && dd.mCursorX != 300; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            dd.mInRedraw = false;
        } else if (when == When::BetweenFrames) {
            app.StartCursorThread();
        }
        WaitForTheCursorAt(dd, 300, 200);
        app.StopCursorThread();
        EXPECT_EQ(dd.mCursorPrevX, 300);
        EXPECT_EQ(dd.mCursorPrevY, 200);
        SurfaceMemory m;
        ASSERT_TRUE(GetSurfaceMemory(dd.mPrimarySurface, m));
        uint32_t v = 0;
        std::memcpy(&v, m.bits + 200 * m.pitch + 300 * 4, 4);
        EXPECT_EQ(v & 0xFFFFFF, 0x00FF00u) << "the cursor stands where the mouse rests";
        app.SetCursorImage(0, nullptr);
        EXPECT_EQ(dd.mCursorImage, nullptr);
    }
    DirectXConfig::Get().Reset();
}

// The cursor thread moves the software cursor beside the frames, through
// switches between a window and full screen, on either road: when the mouse
// rests, the cursor stands where it rests on the last mode's primary.
TEST(AppPresentation, TheCursorThreadMovesTheCursorThroughFramesAndModeSwitches) {
    struct Case {
        const char* name;
        bool window;              // Init starts the thread itself
        Device3DKind kind;
        PixelLayout desktop;
    };
    const Case cases[] = {
        {"DirectDraw road, 565", false, Device3DKind::None, PixelLayout::RGB565},
        {"DirectDraw road, 32-bit, window", true, Device3DKind::None, PixelLayout::XRGB8888},
        {"3D road", false, Device3DKind::Software, PixelLayout::XRGB8888},
    };
    MemoryImage arrow(nullptr);
    arrow.Create(8, 8);
    std::fill_n(arrow.GetBits(), 64, 0xFF00FF00u);
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        testsupport::TempUserDirs dirs;
        DirectXConfig::Get().Reset();
        DirectXConfig::Get().mDesktopFormat = k.desktop;
        Direct3DConfig::Get().Reset();
        Direct3DConfig::Get().mKind = k.kind;
        DisplayApp app;
        app.mNoWindow = !k.window;
        ASSERT_TRUE(app.Init()) << app.mDisplayError;
        app.SetCursorImage(0, &arrow);
        app.SetCursor(0);
        app.StartCursorThread();
        DDInterface& dd = app.Display();
        int x = 0, y = 0;
        for (int step = 0; step <= 12; ++step) {
            x = 120 + 41 * step;
            y = 90 + 37 * step;
            app.PostEvent(Mouse(x, y));
            for (int i = 0; i < 3; ++i) app.StepMainLoop(true);
            app.mWidgetManager->MarkDirty();
            app.DrawFrame();
            if (step % 2 == 1) {
                // The thread keeps the move for the next frame, which is due;
                // the mode changes meanwhile.
                std::this_thread::sleep_for(std::chrono::milliseconds(15));
                app.mWindowed = !app.mWindowed;
                ASSERT_EQ(app.ResetDisplay(), 0) << app.mDisplayError;
            } else if (step % 4 == 2) {
                // Frames stop for a while: the thread moves the cursor itself.
                std::this_thread::sleep_for(std::chrono::milliseconds(40));
            }
        }
        WaitForTheCursorAt(dd, x, y);
        app.StopCursorThread();
        SurfaceMemory m;
        ASSERT_TRUE(GetSurfaceMemory(dd.mPrimarySurface, m));
        const DDPIXELFORMAT& f = m.format;
        const int bytes = static_cast<int>(f.dwRGBBitCount / 8);
        uint32_t v = 0;
        std::memcpy(&v, m.bits + y * m.pitch + x * bytes, static_cast<size_t>(bytes));
        EXPECT_EQ(v & (f.dwRBitMask | f.dwGBitMask | f.dwBBitMask), f.dwGBitMask)
            << "the cursor stands at " << x << "," << y << " windowed " << app.mWindowed;
        app.SetCursorImage(0, nullptr);
    }
    DirectXConfig::Get().Reset();
    Direct3DConfig::Get().Reset();
}

// A frame that fills the window one to one goes to it straight from the draw
// surface, on either road; the primary is left behind until a software cursor
// needs it or a frame is shown in part, and is then brought up whole. Without
// a window nothing shows the primary: it waits, whole frames or parts, until a
// software cursor or a reader needs it. Under a software cursor the frame is
// copied as always.
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
        {"no window, 3D road", false, Device3DKind::Software, false, true},
        {"no window, DirectDraw road", false, Device3DKind::None, false, true},
        {"no window, software cursor", false, Device3DKind::Software, true, false},
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
        // With a window the cursor thread runs and draws on the primary
        // under the display's lock.
        auto white = [&](IDirectDrawSurface* surface) {
            std::lock_guard<CriticalSection> hold(dd.mCritSect);
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
                EXPECT_EQ(dd.mPrimaryBehind, !k.window) << k.name << ": a part goes to a window's primary";
                dd.PrimaryNow();
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
