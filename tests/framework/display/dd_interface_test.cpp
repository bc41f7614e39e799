#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <vector>
#include <string>
#include "framework/app/zephra_app_base.h"
#include "framework/display/dd_interface.h"
#include "framework/graphics/memory_image.h"
#include "platform/directx/d3d7.h"
#include "platform/directx/dx_config.h"
#include "platform/directx/dx_module.h"

using namespace Zephra;
using namespace platform;

namespace {

constexpr HRESULT kInjected = MAKE_DDHRESULT(380);  // DDERR_OUTOFVIDEOMEMORY

// A display whose Direct3D stands, so that the 3D-only layouts can be reached.
class DisplayWith3D : public DDInterface {
public:
    using DDInterface::DDInterface;
protected:
    bool Init3D() override { return true; }
};

class DisplayTest : public ::testing::Test {
protected:
    // Before any member of a derived fixture makes its display.
    DisplayTest() {
        DirectXConfig::Get().Reset();
        // The DirectDraw road: no Direct3D device.
        Direct3DConfig::Get().mKind = Device3DKind::None;
        RestoreModuleExports();
        app.mDDrawModule = LoadModule("ddraw.dll");
        app.mNoWindow = true;
    }
    void TearDown() override {
        DirectXConfig::Get().Reset();
        Direct3DConfig::Get().Reset();
        RestoreModuleExports();
    }

    static uint32_t PrimaryPixel(DDInterface& dd, int x, int y) {
        SurfaceMemory m;
        if (!GetSurfaceMemory(dd.PrimaryNow(), m)) return 0xDEADDEAD;
        uint32_t v = 0;
        const int bpp = BytesPerPixel(m.format);
        std::memcpy(&v, m.bits + y * m.pitch + x * bpp, static_cast<size_t>(bpp));
        return v;
    }

    ZephraAppBase app;
};

TEST_F(DisplayTest, InitForEachDesktopFormatAndMode) {
    struct Case {
        PixelLayout desktop;
        bool windowed;
        int fullBits;
        PixelLayout mode16;
        int result;
        uint32_t red, green, blue;
        uint8_t rgbOrder;
    };
    const Case windowed[] = {
        {PixelLayout::RGB565, true, 16, PixelLayout::RGB565, RESULT_OK, 0xF800, 0x07E0, 0x001F, 1},
        {PixelLayout::BGR565, true, 16, PixelLayout::RGB565, RESULT_OK, 0x001F, 0x07E0, 0xF800, 0},
        {PixelLayout::RGB555, true, 16, PixelLayout::RGB565, RESULT_OK, 0x7C00, 0x03E0, 0x001F, 1},
        {PixelLayout::BGR555, true, 16, PixelLayout::RGB565, RESULT_OK, 0x001F, 0x03E0, 0x7C00, 0},
        {PixelLayout::XRGB8888, true, 16, PixelLayout::RGB565, RESULT_OK, 0xFF0000, 0xFF00, 0xFF, 1},
        {PixelLayout::XBGR8888, true, 16, PixelLayout::RGB565, RESULT_OK, 0xFF, 0xFF00, 0xFF0000, 0},
        {PixelLayout::RGB888, true, 16, PixelLayout::RGB565, RESULT_INVALID_COLORDEPTH, 0, 0, 0, 1},
        {PixelLayout::PAL8, true, 16, PixelLayout::RGB565, RESULT_INVALID_COLORDEPTH, 0, 0, 0, 0},
    };
    // Full screen sets its own mode, whatever the desktop is.
    const Case fullScreen[] = {
        {PixelLayout::RGB565, false, 16, PixelLayout::RGB565, RESULT_OK, 0xF800, 0x07E0, 0x001F, 1},
        {PixelLayout::RGB565, false, 16, PixelLayout::BGR555, RESULT_OK, 0x001F, 0x03E0, 0x7C00, 0},
        {PixelLayout::RGB565, false, 32, PixelLayout::RGB565, RESULT_OK, 0xFF0000, 0xFF00, 0xFF, 1},
        {PixelLayout::RGB565, false, 24, PixelLayout::RGB565, RESULT_SURFACE_FAIL, 0, 0, 0, 1},
        {PixelLayout::RGB565, false, 8, PixelLayout::RGB565, RESULT_SURFACE_FAIL, 0, 0, 0, 0},
    };
    std::vector<Case> cases(std::begin(windowed), std::end(windowed));
    for (const Case& w : windowed)
        for (Case f : fullScreen) {
            f.desktop = w.desktop;
            cases.push_back(f);
        }
    for (const Case& c : cases) {
        DirectXConfig::Get().mDesktopFormat = c.desktop;
        DirectXConfig::Get().mMode16Format = c.mode16;
        app.mFullScreenBits = c.fullBits;
        DDInterface dd(&app);
        const std::string what = "desktop " + std::to_string(static_cast<int>(c.desktop)) +
                                 (c.windowed ? " windowed" : " full screen ") + std::to_string(c.fullBits);
        EXPECT_EQ(dd.Init(nullptr, c.windowed), c.result) << what << ": " << dd.mErrorString;
        EXPECT_EQ(gDDRGBOrder.load(), c.rgbOrder) << what;
        if (c.result != RESULT_OK) {
            EXPECT_EQ(dd.mPrimarySurface, nullptr) << what << ": no surface is kept";
            EXPECT_FALSE(dd.mInitialized) << what;
            EXPECT_FALSE(dd.Redraw(nullptr)) << what;
            continue;
        }
        EXPECT_TRUE(dd.mInitialized) << what;
        EXPECT_EQ(dd.mRedMask, c.red) << what;
        EXPECT_EQ(dd.mGreenMask, c.green) << what;
        EXPECT_EQ(dd.mBlueMask, c.blue) << what;
        EXPECT_FALSE(dd.mIs3D) << what << ": no Direct3D answers yet";
        ASSERT_NE(dd.GetScreenImage(), nullptr) << what;
        EXPECT_EQ(dd.GetScreenImage()->mWidth, 800) << what;
        EXPECT_EQ(dd.mPresentationRect, Rect(0, 0, 800, 600)) << what;

        // White reaches the primary at full intensity in its own format.
        dd.GetScreenImage()->FillRect(Rect(10, 20, 1, 1), Color(255, 255, 255), DRAWMODE_NORMAL);
        ASSERT_TRUE(dd.Redraw(nullptr)) << what << ": " << dd.mErrorString;
        EXPECT_EQ(PrimaryPixel(dd, 10, 20), c.red | c.green | c.blue) << what;
        EXPECT_EQ(PrimaryPixel(dd, 11, 20), 0u) << what;
    }
}

TEST_F(DisplayTest, EachFailureGivesItsCodeAndText) {
    struct Case {
        const char* method;
        int skip;
        bool windowed;
        int result;
        std::string text;
        const char* blank = nullptr;   // an export the module lacks
        const char* blank2 = nullptr;
    };
    const std::string name = ": DDERR_OUTOFVIDEOMEMORY";
    MemoryImage arrow(nullptr);
    arrow.Create(4, 4);
    const Case cases[] = {
        {"DirectDrawCreateEx", 0, true, RESULT_DD_CREATE_FAIL, "DirectDrawCreateEx" + name},
        {"IDirectDraw::QueryInterface", 0, true, RESULT_DD_CREATE_FAIL, "QueryrInterface IID_IDirectDraw" + name},
        {"DirectDrawCreate", 0, true, RESULT_DD_CREATE_FAIL, "DirectDrawCreate" + name, "DirectDrawCreateEx"},
        {"", 0, true, RESULT_DD_CREATE_FAIL, "DirectDrawCreate: DDERR_NODIRECTDRAWSUPPORT", "DirectDrawCreateEx",
         "DirectDrawCreate"},
        {"IDirectDraw7::CreateSurface", 0, true, RESULT_SURFACE_FAIL, "CreateSurface Windowed Primary" + name},
        {"IDirectDraw7::CreateSurface", 1, true, RESULT_SURFACE_FAIL, "CreateSurface Windowed DrawSurface" + name},
        {"IDirectDraw::CreateSurface", 1, true, RESULT_SURFACE_FAIL, "CreateSurface Windowed DrawSurface" + name,
         "DirectDrawCreateEx"},
        {"IDirectDraw::CreateClipper", 0, true, RESULT_FAIL, "CreateClipper Windowed" + name},
        {"IDirectDraw7::CreateSurface", 2, true, RESULT_SURFACE_FAIL, "CreateSurface OldCursorArea" + name},
        {"IDirectDraw7::CreateSurface", 3, true, RESULT_SURFACE_FAIL, "CreateSurface NewCursorArea" + name},
        {"IDirectDraw::SetCooperativeLevel", 0, false, RESULT_EXCLUSIVE_FAIL,
         "SetCooperativeLevel FullScreen" + name},
        {"IDirectDraw::SetDisplayMode", 0, false, RESULT_DISPCHANGE_FAIL, "SetDisplayMode FullScreen" + name},
        {"IDirectDraw7::CreateSurface", 0, false, RESULT_SURFACE_FAIL, "CreateSurface FullScreen Primary" + name},
        {"IDirectDrawSurface::GetAttachedSurface", 0, false, RESULT_SURFACE_FAIL, "GetAttachedSurface" + name},
        {"IDirectDraw7::CreateSurface", 1, false, RESULT_SURFACE_FAIL, "CreateSurface FullScreen DrawSurface" + name},
        {"IDirectDraw::CreateClipper", 0, false, RESULT_FAIL, "CreateClipper FullScreen" + name},
    };
    for (const Case& c : cases) {
        DirectXConfig::Get().Reset();
        RestoreModuleExports();
        if (*c.method) DirectXConfig::Get().InjectFailure(c.method, kInjected, c.skip, 1);
        for (const char* blank : {c.blank, c.blank2})
            if (blank) SetModuleExport("ddraw.dll", blank, nullptr);
        DDInterface dd(&app);
        EXPECT_EQ(dd.Init(nullptr, c.windowed), c.result) << c.text;
        EXPECT_EQ(dd.mErrorString, c.text);
        EXPECT_FALSE(dd.mInitialized) << c.text;
        EXPECT_FALSE(dd.Redraw(nullptr)) << c.text;
        // The cursor thread may still move a cursor over what is left.
        dd.SetCursorImage(&arrow);
        dd.SetCursorPos(10, 10);
        dd.SetCursorPos(12, 10);
        // The next Init starts clean and succeeds once the fault is gone.
        if (!c.blank) {
            EXPECT_EQ(dd.Init(nullptr, c.windowed), RESULT_OK) << c.text << " then " << dd.mErrorString;
        }
    }
    EXPECT_EQ(DDInterface::ResultToString(RESULT_INVALID_COLORDEPTH), "RESULT_INVALID_COLORDEPTH");
    EXPECT_EQ(DDInterface::ResultToString(7), "RESULT_UNKNOWN");
}

TEST_F(DisplayTest, CreateSurfaceNeedsTheObjectAndThePrimary) {
    DDInterface dd(&app);
    DDSURFACEDESC2 desc = MakeDesc<DDSURFACEDESC2>();
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = desc.dwHeight = 8;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    IDirectDrawSurface* out = reinterpret_cast<IDirectDrawSurface*>(&desc);
    EXPECT_EQ(dd.CreateSurface(&desc, &out), DDERR_NOTINITIALIZED);
    EXPECT_EQ(out, nullptr);
    ASSERT_EQ(dd.Init(nullptr, true), RESULT_OK);
    ASSERT_EQ(dd.CreateSurface(&desc, &out), DD_OK);
    out->Release();
}

TEST_F(DisplayTest, RefreshRateIsClampedAndFlagged) {
    struct Case {
        DWORD hz;
        bool fails;
        uint32_t rate, period;
        bool unreliable;
    };
    const Case cases[] = {
        {0, false, 60, 16, true},   {59, false, 60, 16, true},  {60, false, 60, 16, false},
        {75, false, 75, 13, false}, {100, false, 100, 10, false}, {120, false, 100, 10, true},
        {75, true, 60, 16, true},
    };
    for (const Case& c : cases) {
        DirectXConfig::Get().mRefreshRate = c.hz;
        DirectXConfig::Get().mRefreshFails = c.fails;
        app.mRefreshUnreliable = false;
        DDInterface dd(&app);
        ASSERT_EQ(dd.Init(nullptr, true), RESULT_OK);
        EXPECT_EQ(dd.mRefreshRate, c.rate) << c.hz << (c.fails ? " (failing)" : "");
        EXPECT_EQ(dd.mMillisecondsPerFrame, c.period) << c.hz;
        EXPECT_EQ(app.mRefreshUnreliable, c.unreliable) << c.hz;
    }
}

TEST_F(DisplayTest, WideDesktopsPillarBoxOrWidenTheFullScreenPicture) {
    struct Case {
        bool widen;
        int drawWidth;
        Rect presentation;
    };
    const Case cases[] = {
        {false, 800, Rect(140, 0, 1400, 1050)},
        {true, 960, Rect(0, 0, 1680, 1050)},
    };
    DirectXConfig::Get().mDesktopWidth = 1680;
    DirectXConfig::Get().mDesktopHeight = 1050;
    app.mRun3DTest = app.mEnable3D = false;  // 3D stays as the application set it
    for (const Case& c : cases) {
        app.mWidenDrawBuffer = c.widen;
        DisplayWith3D dd(&app);
        ASSERT_EQ(dd.Init(nullptr, false), RESULT_OK) << dd.mErrorString;
        EXPECT_TRUE(dd.mIsWidescreen);
        EXPECT_EQ(dd.mDisplayWidth, 1680);
        EXPECT_EQ(dd.mDisplayHeight, 1050);
        EXPECT_EQ(dd.mWidth, c.drawWidth) << c.widen;
        EXPECT_EQ(dd.mPresentationRect, c.presentation) << c.widen;
        DDSURFACEDESC d = MakeDesc<DDSURFACEDESC>();
        ASSERT_EQ(dd.mPrimarySurface->GetSurfaceDesc(&d), DD_OK);
        EXPECT_EQ(d.dwWidth, 1680u) << "the mode is the desktop's size";
    }
    // Without a device 3D cannot be had: the result no name of its own.
    app.mWidenDrawBuffer = false;
    DDInterface plain(&app);
    EXPECT_EQ(plain.Init(nullptr, false), RESULT_3D_FAIL);
    EXPECT_EQ(plain.mErrorString.rfind("3D init error: ", 0), 0u) << plain.mErrorString;
}

TEST_F(DisplayTest, FormatTablesOfA565Screen) {
    DirectXConfig::Get().mDesktopFormat = PixelLayout::RGB565;
    DDInterface dd(&app);
    ASSERT_EQ(dd.Init(nullptr, true), RESULT_OK);
    EXPECT_EQ(dd.mRGBBits, 16);
    EXPECT_EQ(dd.mRedShift, 11);
    EXPECT_EQ(dd.mRedBits, 5);
    EXPECT_EQ(dd.mGreenShift, 5);
    EXPECT_EQ(dd.mGreenBits, 6);
    EXPECT_EQ(dd.mBlueShift, 0);
    EXPECT_EQ(dd.mBlueBits, 5);
    EXPECT_EQ(dd.mGreenAddTable[126], 63);
    EXPECT_EQ(dd.mGreenAddTable[40], 40);
    EXPECT_EQ(dd.mRedAddTable[62], 31);
    EXPECT_EQ(dd.mRedConvTable[255], 0xF800u);
    EXPECT_EQ(dd.mRedConvTable[128], 0x7800u);
    EXPECT_EQ(dd.mRedConvTable[1], 0u);
    EXPECT_EQ(dd.mBlueConvTable[255], 0x1Fu);
}

TEST_F(DisplayTest, ScreenImageIsReplacedByEveryInitAndRebuild) {
    // Drawing into video memory is the 3D road's.
    Direct3DConfig::Get().mKind = Device3DKind::Software;
    DDInterface dd(&app);
    ASSERT_EQ(dd.Init(nullptr, true), RESULT_OK);
    // Counted, not looked up: the new image may take the old one's address.
    const size_t live = app.LiveMemoryImageCount();
    ASSERT_EQ(dd.Init(nullptr, false), RESULT_OK);
    EXPECT_NE(dd.GetScreenImage(), nullptr);
    EXPECT_TRUE(app.IsLiveMemoryImage(dd.GetScreenImage()));
    EXPECT_EQ(app.LiveMemoryImageCount(), live) << "the old screen image is gone";
    dd.RebuildScreenImage(true);
    EXPECT_TRUE(dd.mVideoOnlyDraw);
    dd.GetScreenImage()->FillRect(Rect(0, 0, 1, 1), Color(255, 0, 0), DRAWMODE_NORMAL);
    ASSERT_TRUE(dd.Redraw(nullptr));
    EXPECT_EQ(PrimaryPixel(dd, 0, 0), 0xF800u) << "full screen at 16 bits";
}

// The software cursor on a 32-bit windowed primary of 1024 x 768 with the
// picture at (0, 0, 800, 600).
class CursorTest : public DisplayTest {
protected:
    void SetUp() override {
        ASSERT_EQ(dd.Init(nullptr, true), RESULT_OK);
        uint32_t* bits = dd.GetScreenImage()->GetBits();
        for (int i = 0; i < 800 * 600; ++i) bits[i] = Background(i % 800, i / 800);
        dd.GetScreenImage()->BitsChanged();
        ASSERT_TRUE(dd.Redraw(nullptr));
        cursor.Create(32, 32);
        uint32_t* c = cursor.GetBits();
        for (int i = 0; i < 32 * 32; ++i) c[i] = 0xFFFF0000;
        dd.SetCursorImage(&cursor);
    }
    static uint32_t Background(int x, int y) { return static_cast<uint32_t>((x * 7 + y * 13) & 0xFFFF); }
    // Every primary pixel of the picture is the background, or red where the
    // cursor stands with its top-left corner at (cx, cy).
    void ExpectCursorAt(int cx, int cy, const std::string& what) {
        int wrong = 0;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                const bool in = x >= cx && x < cx + 32 && y >= cy && y < cy + 32;
                const uint32_t want = in ? 0xFF0000u : Background(x, y);
                if (PrimaryPixel(dd, x, y) != want && ++wrong <= 3)
                    ADD_FAILURE() << what << ": pixel " << x << "," << y << " is " << std::hex
                                  << PrimaryPixel(dd, x, y) << " not " << want;
            }
        EXPECT_EQ(wrong, 0) << what;
    }

    DDInterface dd{&app};
    MemoryImage cursor{nullptr};
};

TEST_F(CursorTest, MovesLeaveNoTraceAndClipAtTheEdges) {
    EXPECT_FALSE(dd.SetCursorImage(&cursor)) << "the same image again";
    struct Step {
        int x, y;
        const char* what;
    };
    const Step steps[] = {
        {100, 100, "first drawing"}, {110, 100, "10 to the right: overlapping areas"},
        {210, 150, "100 away: separate areas"}, {0, 0, "top-left corner"},
        {799, 599, "bottom-right corner"}, {5, 590, "bottom-left edge"}, {400, 300, "back inside"},
    };
    for (const Step& s : steps) {
        dd.SetCursorPos(s.x, s.y);
        int ix = 0, iy = 0;
        dd.CursorImagePos(s.x, s.y, ix, iy);
        ExpectCursorAt(ix, iy, s.what);
    }
    int ix = 0, iy = 0;
    dd.CursorImagePos(100, 100, ix, iy);
    EXPECT_EQ(ix, 84);
    EXPECT_EQ(iy, 84);

    // A frame draws the cursor too, and leaves the draw surface clean.
    ASSERT_TRUE(dd.Redraw(nullptr));
    dd.CursorImagePos(400, 300, ix, iy);
    ExpectCursorAt(ix, iy, "after a frame");
    dd.SetCursorPos(420, 310);
    dd.CursorImagePos(420, 310, ix, iy);
    ExpectCursorAt(ix, iy, "moved after a frame");

    // Without an image the cursor is only a position.
    dd.SetCursorImage(nullptr);
    ASSERT_TRUE(dd.Redraw(nullptr));
    dd.SetCursorPos(50, 50);
    ExpectCursorAt(-1000, -1000, "no cursor image");
}

TEST(DirectXErrorNames, EveryNameBelongsToOneCode) {
    struct Case {
        uint32_t code;
        const char* name;
    };
    const Case cases[] = {
        {0x88760091, "DDERR_INVALIDPIXELFORMAT"}, {0x88760219, "DDERR_VERTICALBLANKINPROGRESS"},
        {0x80004005, "DSERR_GENERIC"},            {0x80070057, "DDERR_INVALIDPARAMS"},
        {0x80004001, "DDERR_UNSUPPORTED"},        {0x80004002, "DSERR_NOINTERFACE"},
        {0x8007000E, "E_OUTOFMEMORY"},            {0x80040110, "DSERR_NOAGGREGATION"},
        {0x800401F0, "DDERR_NOTINITIALIZED"},     {0x887602BC, "D3DERR_BADMAJORVERSION"},
        {0x88780096, "DSERR_BUFFERLOST"},         {0x12345678, "12345678"},
        {0, "0"},                                 {0x8876FFFF, "8876ffff"},
    };
    for (const Case& c : cases) EXPECT_EQ(GetDirectXErrorName(static_cast<HRESULT>(c.code)), c.name) << c.code;

    // Over both facilities and the shared results: 193 names, none twice.
    std::set<std::string> names;
    int named = 0;
    auto look = [&](uint32_t code) {
        const std::string n = GetDirectXErrorName(static_cast<HRESULT>(code));
        if (n.find('_') == std::string::npos) return;
        ++named;
        EXPECT_TRUE(names.insert(n).second) << n << " twice";
    };
    for (uint32_t code = 0; code < 0x10000; ++code) {
        look(0x88760000u | code);
        look(0x88780000u | code);
    }
    for (uint32_t code : {0x80004005u, 0x80070057u, 0x80004001u, 0x80004002u, 0x8007000Eu, 0x80040110u,
                          0x800401F0u})
        look(code);
    EXPECT_EQ(named, 193);
    EXPECT_EQ(names.size(), 193u);
}

} // namespace
