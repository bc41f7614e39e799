#include <gtest/gtest.h>
#include <SDL.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>
#include "platform/directx/ddraw.h"
#include "platform/directx/d3d7.h"
#include "platform/directx/dx_config.h"
#include "platform/directx/dx_module.h"
#include "platform/window.h"

using namespace platform;

namespace {

class DirectDrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        DirectXConfig::Get().Reset();
        RestoreModuleExports();
        ASSERT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr), DD_OK);
        ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    }
    void TearDown() override {
        for (IDirectDrawSurface7* s : made) s->Release();
        if (dd) dd->Release();
        DirectXConfig::Get().Reset();
        EXPECT_EQ(VideoMemoryInUse(), 0u) << "every surface gave its video memory back";
    }

    IDirectDrawSurface7* Make(int w, int h, PixelLayout layout, DWORD caps = DDSCAPS_SYSTEMMEMORY) {
        DDSURFACEDESC2 d = MakeDesc<DDSURFACEDESC2>();
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.dwWidth = static_cast<DWORD>(w);
        d.dwHeight = static_cast<DWORD>(h);
        d.ddpfPixelFormat = PixelFormatOf(layout);
        d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | caps;
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DD_OK);
        if (s) made.push_back(s);
        return s;
    }

    // Writes one pixel value through a lock.
    static void Put(IDirectDrawSurface7* s, int x, int y, uint32_t v) {
        DDSURFACEDESC2 d = MakeDesc<DDSURFACEDESC2>();
        ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        const int bpp = BytesPerPixel(d.ddpfPixelFormat);
        std::memcpy(static_cast<uint8_t*>(d.lpSurface) + y * d.lPitch + x * bpp, &v, static_cast<size_t>(bpp));
        s->Unlock(nullptr);
    }
    static uint32_t Get(IDirectDrawSurface7* s, int x, int y) {
        DDSURFACEDESC2 d = MakeDesc<DDSURFACEDESC2>();
        EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        uint32_t v = 0;
        const int bpp = BytesPerPixel(d.ddpfPixelFormat);
        std::memcpy(&v, static_cast<uint8_t*>(d.lpSurface) + y * d.lPitch + x * bpp, static_cast<size_t>(bpp));
        s->Unlock(nullptr);
        return v;
    }

    IDirectDraw7* dd = nullptr;
    std::vector<IDirectDrawSurface7*> made;
};

TEST_F(DirectDrawTest, SurfacesKeepTheirFormatAndPaddedPitch) {
    struct Case {
        PixelLayout layout;
        int pad;
        DWORD bits, r, g, b;
        LONG pitch;     // of a 5-pixel-wide surface
    };
    const Case cases[] = {
        {PixelLayout::RGB565, 0, 16, 0xF800, 0x07E0, 0x001F, 12},
        {PixelLayout::BGR565, 0, 16, 0x001F, 0x07E0, 0xF800, 12},
        {PixelLayout::RGB555, 8, 16, 0x7C00, 0x03E0, 0x001F, 20},
        {PixelLayout::BGR555, 0, 16, 0x001F, 0x03E0, 0x7C00, 12},
        {PixelLayout::XRGB8888, 3, 32, 0xFF0000, 0xFF00, 0xFF, 24},
        {PixelLayout::XBGR8888, 0, 32, 0xFF, 0xFF00, 0xFF0000, 20},
        {PixelLayout::RGB888, 0, 24, 0xFF0000, 0xFF00, 0xFF, 16},
    };
    for (const Case& c : cases) {
        DirectXConfig::Get().mPitchPadding = c.pad;
        IDirectDrawSurface7* s = Make(5, 3, c.layout);
        ASSERT_NE(s, nullptr);
        DDSURFACEDESC2 d = MakeDesc<DDSURFACEDESC2>();
        ASSERT_EQ(s->GetSurfaceDesc(&d), DD_OK);
        EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, c.bits) << static_cast<int>(c.layout);
        EXPECT_EQ(d.ddpfPixelFormat.dwRBitMask, c.r) << static_cast<int>(c.layout);
        EXPECT_EQ(d.ddpfPixelFormat.dwGBitMask, c.g) << static_cast<int>(c.layout);
        EXPECT_EQ(d.ddpfPixelFormat.dwBBitMask, c.b) << static_cast<int>(c.layout);
        EXPECT_EQ(d.lPitch, c.pitch) << static_cast<int>(c.layout);
        EXPECT_EQ(d.dwWidth, 5u);
        EXPECT_EQ(d.dwHeight, 3u);
    }
}

TEST_F(DirectDrawTest, DescriptionsOfTheWrongSizeAreRefused) {
    IDirectDrawSurface7* s = Make(4, 4, PixelLayout::RGB565);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(DDSURFACEDESC);  // the old size on the new interface
    EXPECT_EQ(s->GetSurfaceDesc(&d), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
    d.dwSize = sizeof(DDSURFACEDESC2);
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.dwSize = 0;
    IDirectDrawSurface7* out = nullptr;
    EXPECT_EQ(dd->CreateSurface(&d, &out, nullptr), DDERR_INVALIDPARAMS);
    DDBLTFX fx{};
    fx.dwSize = 99;
    EXPECT_EQ(s->Blt(nullptr, s, nullptr, DDBLT_WAIT, &fx), DDERR_INVALIDPARAMS);
}

TEST_F(DirectDrawTest, LocksAreExclusiveAndBlitsWaitForThem) {
    IDirectDrawSurface7* a = Make(4, 4, PixelLayout::RGB565);
    IDirectDrawSurface7* b = Make(4, 4, PixelLayout::RGB565);
    DDSURFACEDESC2 d = MakeDesc<DDSURFACEDESC2>();
    EXPECT_EQ(a->Unlock(nullptr), DDERR_NOTLOCKED);
    ASSERT_EQ(a->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    DDSURFACEDESC2 again = MakeDesc<DDSURFACEDESC2>();
    EXPECT_EQ(a->Lock(nullptr, &again, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(b->Blt(nullptr, a, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(a->Blt(nullptr, b, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(a->Unlock(nullptr), DD_OK);
    EXPECT_EQ(b->Blt(nullptr, a, nullptr, DDBLT_WAIT, nullptr), DD_OK);
}

TEST_F(DirectDrawTest, BltFollowsTheRectangleRules) {
    IDirectDrawSurface7* src = Make(4, 4, PixelLayout::XRGB8888);
    IDirectDrawSurface7* dst = Make(8, 8, PixelLayout::XRGB8888);
    IDirectDrawSurface7* other = Make(4, 4, PixelLayout::RGB565);
    struct Case {
        const char* what;
        RECT dest;
        RECT source;
        HRESULT hr;
    };
    const Case cases[] = {
        {"inside", {2, 2, 6, 6}, {0, 0, 4, 4}, DD_OK},
        {"destination past the edge without clipper", {6, 6, 10, 10}, {0, 0, 4, 4}, DDERR_INVALIDRECT},
        {"negative destination", {-1, 0, 3, 4}, {0, 0, 4, 4}, DDERR_INVALIDRECT},
        {"empty destination", {2, 2, 2, 6}, {0, 0, 4, 4}, DDERR_INVALIDRECT},
        {"reversed source", {0, 0, 4, 4}, {4, 0, 0, 4}, DDERR_INVALIDRECT},
        {"source past the edge", {0, 0, 4, 4}, {0, 0, 5, 4}, DDERR_INVALIDRECT},
    };
    for (const Case& c : cases) {
        RECT d = c.dest, s = c.source;
        EXPECT_EQ(dst->Blt(&d, src, &s, DDBLT_WAIT, nullptr), c.hr) << c.what;
    }
    EXPECT_EQ(dst->Blt(nullptr, other, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDPIXELFORMAT);

    // With a clipper the destination is cut to the surface instead.
    IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
    ASSERT_EQ(dst->SetClipper(clipper), DD_OK);
    clipper->Release();
    Put(src, 3, 3, 0x123456);
    RECT d{6, 6, 10, 10};
    EXPECT_EQ(dst->Blt(&d, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(Get(dst, 7, 7), 0u);
    EXPECT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_WAIT), MAKE_DDHRESULT(574));
}

TEST_F(DirectDrawTest, StretchIsNearestAndKeysCompareColourBitsOnly) {
    IDirectDrawSurface7* src = Make(2, 2, PixelLayout::XRGB8888);
    IDirectDrawSurface7* dst = Make(4, 4, PixelLayout::XRGB8888);
    Put(src, 0, 0, 0x00AA0000);
    Put(src, 1, 0, 0x0000BB00);
    Put(src, 0, 1, 0xFF0000CC);  // the top byte is no colour: it matches a key of 0xCC
    Put(src, 1, 1, 0x00DDDDDD);
    ASSERT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    const uint32_t expected[4][4] = {{0xAA0000, 0xAA0000, 0xBB00, 0xBB00},
                                     {0xAA0000, 0xAA0000, 0xBB00, 0xBB00},
                                     {0xFF0000CC, 0xFF0000CC, 0xDDDDDD, 0xDDDDDD},
                                     {0xFF0000CC, 0xFF0000CC, 0xDDDDDD, 0xDDDDDD}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(Get(dst, x, y), expected[y][x]) << x << "," << y;

    IDirectDrawSurface7* keyed = Make(4, 4, PixelLayout::XRGB8888);
    EXPECT_EQ(keyed->Blt(nullptr, src, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DDERR_NOCOLORKEY);
    DDCOLORKEY key{0xCC, 0xCC};
    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    DDBLTFX fill = MakeDesc<DDBLTFX>();
    fill.dwFillColor = 0x777777;
    ASSERT_EQ(keyed->Blt(nullptr, nullptr, nullptr, DDBLT_WAIT | DDBLT_COLORFILL, &fill), DD_OK);
    ASSERT_EQ(keyed->Blt(nullptr, src, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DD_OK);
    EXPECT_EQ(Get(keyed, 0, 3), 0x777777u) << "key pixel skipped";
    EXPECT_EQ(Get(keyed, 0, 0), 0xAA0000u);
}

TEST_F(DirectDrawTest, StretchesTakeTheNearestPixelInEveryDepthClippedOrNot) {
    struct Case {
        const char* what;
        int srcW, srcH;
        RECT source, dest;
        bool clipper;     // the destination is cut to the surface
    };
    const Case cases[] = {
        {"4:3 pillar box", 40, 30, {0, 0, 40, 30}, {7, 0, 60, 40}, false},
        {"shrink", 40, 30, {0, 0, 40, 30}, {0, 0, 17, 11}, false},
        {"part of the source, wider and shorter", 40, 30, {5, 3, 25, 23}, {2, 4, 61, 14}, false},
        {"cut by the clipper", 40, 30, {0, 0, 40, 30}, {-9, -5, 70, 45}, true},
    };
    for (PixelLayout layout : {PixelLayout::RGB565, PixelLayout::XRGB8888, PixelLayout::RGB888, PixelLayout::PAL8}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + " layout " + std::to_string(int(layout)));
            IDirectDrawSurface7* src = Make(c.srcW, c.srcH, layout);
            IDirectDrawSurface7* dst = Make(64, 48, layout);
            if (c.clipper) {
                IDirectDrawClipper* clipper = nullptr;
                ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
                ASSERT_EQ(dst->SetClipper(clipper), DD_OK);
                clipper->Release();
            }
            const uint32_t mask = layout == PixelLayout::PAL8 ? 0xFF : layout == PixelLayout::RGB565 ? 0xFFFF : 0xFFFFFF;
            auto value = [&](int x, int y) { return static_cast<uint32_t>((y * 131 + x * 7 + 1) * 2654435761u) & mask; };
            for (int y = 0; y < c.srcH; ++y)
                for (int x = 0; x < c.srcW; ++x) Put(src, x, y, value(x, y));
            RECT d = c.dest, sr = c.source;
            ASSERT_EQ(dst->Blt(&d, src, &sr, DDBLT_WAIT, nullptr), DD_OK);
            const int dw = d.right - d.left, dh = d.bottom - d.top;
            const int sw = sr.right - sr.left, sh = sr.bottom - sr.top;
            int wrong = 0;
            for (int y = 0; y < 48; ++y)
                for (int x = 0; x < 64; ++x) {
                    const bool inside = x >= d.left && x < d.right && y >= d.top && y < d.bottom;
                    const uint32_t want =
                        inside ? value(sr.left + (x - d.left) * sw / dw, sr.top + (y - d.top) * sh / dh) : 0;
                    if (Get(dst, x, y) != want && ++wrong <= 3) ADD_FAILURE() << "at " << x << "," << y;
                }
            EXPECT_EQ(wrong, 0);
        }
    }
}

TEST_F(DirectDrawTest, FlipSwapsTheOneBackBuffer) {
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(dd->SetDisplayMode(800, 600, 16, 0, 0), DD_OK);
    DDSURFACEDESC2 d = MakeDesc<DDSURFACEDESC2>();
    d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    d.dwBackBufferCount = 2;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    IDirectDrawSurface7* primary = nullptr;
    EXPECT_EQ(dd->CreateSurface(&d, &primary, nullptr), DDERR_INVALIDPARAMS) << "one back buffer only";
    d.dwBackBufferCount = 1;
    ASSERT_EQ(dd->CreateSurface(&d, &primary, nullptr), DD_OK);
    made.push_back(primary);
    DDSCAPS2 caps{DDSCAPS_BACKBUFFER, 0, 0, 0};
    IDirectDrawSurface7* back = nullptr;
    ASSERT_EQ(primary->GetAttachedSurface(&caps, &back), DD_OK);
    made.push_back(back);
    DDSURFACEDESC2 pd = MakeDesc<DDSURFACEDESC2>();
    primary->GetSurfaceDesc(&pd);
    EXPECT_EQ(pd.dwWidth, 800u);
    EXPECT_EQ(pd.ddpfPixelFormat.dwGBitMask, 0x07E0u) << "the 16-bit mode";
    Put(back, 5, 5, 0xF800);
    ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(Get(primary, 5, 5), 0xF800u);
    EXPECT_EQ(Get(back, 5, 5), 0u);
    EXPECT_EQ(back->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);

    // A second mode change loses the old mode's surfaces.
    ASSERT_EQ(dd->SetDisplayMode(1024, 768, 32, 0, 0), DD_OK);
    EXPECT_EQ(primary->IsLost(), DDERR_SURFACELOST);
    DDSURFACEDESC2 ld = MakeDesc<DDSURFACEDESC2>();
    EXPECT_EQ(primary->Lock(nullptr, &ld, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(primary->Restore(), DDERR_WRONGMODE);
    EXPECT_EQ(dd->SetDisplayMode(1000, 700, 32, 0, 0), DDERR_INVALIDMODE);
}

TEST_F(DirectDrawTest, VideoMemoryIsABudget) {
    DirectXConfig::Get().mVideoMemory = 100 * 100 * 4 + 10;
    DDSCAPS2 caps{DDSCAPS_VIDEOMEMORY, 0, 0, 0};
    DWORD total = 0, free = 0;
    ASSERT_EQ(dd->GetAvailableVidMem(&caps, &total, &free), DD_OK);
    EXPECT_EQ(total, 40010u);
    IDirectDrawSurface7* first = Make(100, 100, PixelLayout::XRGB8888, DDSCAPS_VIDEOMEMORY);
    ASSERT_NE(first, nullptr);
    dd->GetAvailableVidMem(&caps, &total, &free);
    EXPECT_EQ(free, 10u);
    DDSURFACEDESC2 d = MakeDesc<DDSURFACEDESC2>();
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.dwWidth = d.dwHeight = 10;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY;
    IDirectDrawSurface7* none = nullptr;
    EXPECT_EQ(dd->CreateSurface(&d, &none, nullptr), DDERR_OUTOFVIDEOMEMORY);
    // Surfaces that name no memory fall back to system memory.
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    ASSERT_EQ(dd->CreateSurface(&d, &none, nullptr), DD_OK);
    made.push_back(none);
    DDSCAPS2 got{};
    none->GetCaps(&got);
    EXPECT_TRUE(got.dwCaps & DDSCAPS_SYSTEMMEMORY);

    // Budgets past 4 GB read as the most a 32-bit word holds.
    DirectXConfig::Get().mVideoMemory = 6ull << 30;
    dd->GetAvailableVidMem(&caps, &total, &free);
    EXPECT_EQ(total, 0xFFFFFFFFu);
}

TEST_F(DirectDrawTest, OneObjectAnswersBothInterfacesAndDirect3D) {
    IDirectDraw* old = nullptr;
    ASSERT_EQ(dd->QueryInterface(IID_IDirectDraw, reinterpret_cast<void**>(&old)), DD_OK);
    IDirectDraw7* back = nullptr;
    ASSERT_EQ(old->QueryInterface(IID_IDirectDraw7, reinterpret_cast<void**>(&back)), DD_OK);
    EXPECT_EQ(back, dd);
    back->Release();
    old->Release();
    void* d3d = nullptr;
    ASSERT_EQ(dd->QueryInterface(IID_IDirect3D7, &d3d), DD_OK);
    static_cast<IDirect3D7*>(d3d)->Release();

    DDDEVICEIDENTIFIER2 id;
    ASSERT_EQ(dd->GetDeviceIdentifier(&id, 0), DD_OK);
    EXPECT_STREQ(id.szDescription, DirectXConfig::Get().mDescription.c_str());
    EXPECT_EQ(id.guidDeviceIdentifier, DirectXConfig::Get().mDeviceGuid);
}

TEST_F(DirectDrawTest, PalettesBelongToEightBitSurfaces) {
    PALETTEENTRY entries[256] = {};
    entries[7] = PALETTEENTRY{1, 2, 3, 0};
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &palette, nullptr), DD_OK);
    IDirectDrawSurface7* indexed = Make(4, 4, PixelLayout::PAL8);
    IDirectDrawSurface7* rgb = Make(4, 4, PixelLayout::RGB565);
    EXPECT_EQ(indexed->SetPalette(palette), DD_OK);
    EXPECT_EQ(rgb->SetPalette(palette), DDERR_NOTPALETTIZED);
    PALETTEENTRY back{};
    EXPECT_EQ(palette->GetEntries(0, 7, 1, &back), DD_OK);
    EXPECT_EQ(back.peGreen, 2);
    EXPECT_EQ(palette->GetEntries(0, 255, 2, &back), DDERR_INVALIDPARAMS);
    palette->Release();
}

TEST_F(DirectDrawTest, InjectedFailuresAndBlankedExportsReachTheCaller) {
    DirectXConfig& config = DirectXConfig::Get();
    config.InjectFailure("IDirectDrawSurface7::Lock", DDERR_SURFACELOST, 1, 1);
    IDirectDrawSurface7* s = Make(2, 2, PixelLayout::RGB565);
    DDSURFACEDESC2 d = MakeDesc<DDSURFACEDESC2>();
    const HRESULT expected[] = {DD_OK, DDERR_SURFACELOST, DD_OK};
    for (HRESULT hr : expected) {
        EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), hr);
        if (SUCCEEDED(hr)) s->Unlock(nullptr);
    }
    config.InjectFailure("DirectDrawCreateEx", DDERR_NODIRECTDRAWSUPPORT);
    IDirectDraw7* second = nullptr;
    EXPECT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&second), IID_IDirectDraw7, nullptr),
              DDERR_NODIRECTDRAWSUPPORT);

    ModuleHandle ddraw = LoadModule("DDRAW.DLL");
    ASSERT_NE(ddraw, nullptr);
    EXPECT_NE(GetProcAddress(ddraw, "DirectDrawCreate"), nullptr);
    SetModuleExport("ddraw.dll", "DirectDrawCreate", nullptr);
    EXPECT_EQ(GetProcAddress(ddraw, "DirectDrawCreate"), nullptr);
    EXPECT_NE(GetProcAddress(ddraw, "DirectDrawCreateEx"), nullptr);
    EXPECT_NE(GetProcAddress(LoadModule("d3d8.dll"), "Direct3DCreate8"), nullptr);
    EXPECT_EQ(LoadModule("user32.dll"), nullptr);
    RestoreModuleExports();
    EXPECT_NE(GetProcAddress(ddraw, "DirectDrawCreate"), nullptr);
}

// The methods two interfaces share answer a failure injected under either
// interface's name, called through either interface.
TEST_F(DirectDrawTest, SharedMethodsAnswerUnderBothNames) {
    IDirectDraw* older = nullptr;
    ASSERT_EQ(dd->QueryInterface(IID_IDirectDraw, reinterpret_cast<void**>(&older)), DD_OK);
    IDirectDrawSurface7* s = Make(2, 2, PixelLayout::RGB565);
    IDirectDrawSurface* olderSurface = nullptr;
    ASSERT_EQ(s->QueryInterface(IID_IDirectDrawSurface, reinterpret_cast<void**>(&olderSurface)), DD_OK);
    DWORD hz = 0;
    DDPIXELFORMAT format{};
    format.dwSize = sizeof format;
    struct Case {
        const char* method;  // injected under this name
        std::function<HRESULT()> call;
    } cases[] = {
        {"IDirectDraw7::SetCooperativeLevel", [&] { return dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL); }},
        {"IDirectDraw::SetCooperativeLevel", [&] { return dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL); }},
        {"IDirectDraw7::SetCooperativeLevel", [&] { return older->SetCooperativeLevel(nullptr, DDSCL_NORMAL); }},
        {"IDirectDraw7::GetMonitorFrequency", [&] { return dd->GetMonitorFrequency(&hz); }},
        {"IDirectDraw7::WaitForVerticalBlank", [&] { return dd->WaitForVerticalBlank(0, nullptr); }},
        {"IDirectDraw7::QueryInterface", [&] {
             void* out = nullptr;
             const HRESULT hr = dd->QueryInterface(IID_IDirectDraw7, &out);
             if (out) dd->Release();
             return hr;
         }},
        {"IDirectDrawSurface7::IsLost", [&] { return s->IsLost(); }},
        {"IDirectDrawSurface::IsLost", [&] { return s->IsLost(); }},
        {"IDirectDrawSurface7::GetPixelFormat", [&] { return olderSurface->GetPixelFormat(&format); }},
    };
    DirectXConfig& config = DirectXConfig::Get();
    for (const Case& c : cases) {
        config.InjectFailure(c.method, DDERR_GENERIC);
        EXPECT_EQ(c.call(), DDERR_GENERIC) << c.method;
        config.ClearFailures();
        EXPECT_EQ(c.call(), DD_OK) << c.method;
    }
    olderSurface->Release();
    older->Release();
}

TEST(DirectXConfigTest, EnvironmentOverridesAndBadValues) {
    DirectXConfig& config = DirectXConfig::Get();
    config.Reset();
    setenv("PEMBERLY_DX_FORMAT", "bgr565", 1);
    setenv("PEMBERLY_DX_DESKTOP", "1680x1050", 1);
    setenv("PEMBERLY_DX_REFRESH", "75", 1);
    setenv("PEMBERLY_DX_VIDMEM", "banana", 1);
    setenv("PEMBERLY_DX_FAIL", "IDirectDraw::SetDisplayMode=88760078,DirectDrawCreate", 1);
    std::string error;
    EXPECT_FALSE(config.ApplyEnvironment(&error));
    EXPECT_NE(error.find("PEMBERLY_DX_VIDMEM"), std::string::npos) << error;
    EXPECT_EQ(config.mDesktopFormat, PixelLayout::BGR565);
    EXPECT_EQ(config.mDesktopWidth, 1680);
    EXPECT_EQ(config.mDesktopHeight, 1050);
    EXPECT_EQ(config.mRefreshRate, 75u);
    EXPECT_EQ(config.mVideoMemory, 64ull << 20) << "a bad value changes nothing";
    EXPECT_EQ(config.Check("IDirectDraw::SetDisplayMode"), DDERR_INVALIDMODE);
    EXPECT_EQ(config.Check("DirectDrawCreate"), E_FAIL);
    for (const char* name : {"PEMBERLY_DX_FORMAT", "PEMBERLY_DX_DESKTOP", "PEMBERLY_DX_REFRESH",
                             "PEMBERLY_DX_VIDMEM", "PEMBERLY_DX_FAIL"})
        unsetenv(name);
    config.Reset();
}


// The window's one-pass full-screen picture is what the display made in two:
// the draw surface stretched into a display-sized surface of its format, then
// each row widened for the window. Every primary format, up and down, placed
// anywhere in the display.
TEST_F(DirectDrawTest, OnePassStretchEqualsTheStretchThenTheWidening) {
    struct Case { PixelLayout layout; PrimaryFormat format; int w, h, displayW, displayH; PixelRect into; };
    const Case cases[] = {
        {PixelLayout::RGB565, PrimaryFormat::RGB565, 80, 60, 128, 80, {21, 0, 106, 80}},
        {PixelLayout::BGR565, PrimaryFormat::BGR565, 80, 60, 100, 75, {0, 0, 100, 75}},
        {PixelLayout::RGB555, PrimaryFormat::RGB555, 50, 40, 64, 64, {7, 3, 31, 23}},
        {PixelLayout::XRGB8888, PrimaryFormat::XRGB8888, 80, 60, 128, 80, {21, 0, 106, 80}},
        {PixelLayout::XRGB8888, PrimaryFormat::XRGB8888, 33, 17, 33, 17, {0, 0, 33, 17}},
        {PixelLayout::XRGB8888, PrimaryFormat::XRGB8888, 90, 30, 64, 64, {1, 2, 61, 50}},
        {PixelLayout::RGB565, PrimaryFormat::RGB565, 200, 150, 320, 200, {27, 0, 266, 200}},
    };
    uint32_t seed = 7;
    for (const Case& c : cases) {
        IDirectDrawSurface7* draw = Make(c.w, c.h, c.layout);
        IDirectDrawSurface7* display = Make(c.displayW, c.displayH, c.layout);
        ASSERT_TRUE(draw && display);
        SurfaceMemory dm, sm;
        ASSERT_TRUE(GetSurfaceMemory(draw, dm) && GetSurfaceMemory(display, sm));
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w * (c.format == PrimaryFormat::XRGB8888 ? 4 : 2); ++x)
                dm.bits[size_t(y) * size_t(dm.pitch) + size_t(x)] = uint8_t((seed = seed * 1103515245u + 12345u) >> 16);
        std::memset(sm.bits, 0, size_t(sm.pitch) * size_t(c.displayH));
        RECT to{c.into.x, c.into.y, c.into.x + c.into.w, c.into.y + c.into.h};
        ASSERT_EQ(display->Blt(&to, draw, nullptr, DDBLT_WAIT, nullptr), DD_OK);
        std::vector<uint32_t> twoPass(size_t(c.displayW) * size_t(c.displayH));
        for (int y = 0; y < c.displayH; ++y) {
            const uint8_t* row = sm.bits + size_t(y) * size_t(sm.pitch);
            uint32_t* out = twoPass.data() + size_t(y) * size_t(c.displayW);
            if (c.format == PrimaryFormat::XRGB8888)
                std::memcpy(out, row, size_t(c.displayW) * 4);
            else
                ExpandPrimaryRow(c.format, reinterpret_cast<const uint16_t*>(row), out, c.displayW, true);
        }
        // Outside the picture the one pass leaves what the window had.
        std::vector<uint32_t> onePass(twoPass.size(), 0xDEADBEEFu);
        ASSERT_TRUE(StretchPrimary(dm.bits, c.w, c.h, dm.pitch, c.format, onePass.data(), c.displayW * 4, c.into));
        for (int y = 0; y < c.displayH; ++y)
            for (int x = 0; x < c.displayW; ++x) {
                const size_t i = size_t(y) * size_t(c.displayW) + size_t(x);
                const bool inside = x >= c.into.x && x < c.into.x + c.into.w && y >= c.into.y && y < c.into.y + c.into.h;
                ASSERT_EQ(onePass[i], inside ? twoPass[i] : 0xDEADBEEFu) << int(c.layout) << " at " << x << "," << y;
            }
    }
    uint32_t out = 0;
    const uint16_t pixel = 0;
    EXPECT_FALSE(StretchPrimary(&pixel, 1, 1, 4, PrimaryFormat::XBGR8888, &out, 4, {0, 0, 1, 1}))
        << "a 32-bit picture in another order than the window's";
}

// A surface moved into the window's pixels is drawn and shown there; every
// way the loan can end gives the surface its last picture back before the
// window's pixels may go, and a refused loan changes nothing.
TEST_F(DirectDrawTest, ASurfaceLentTheWindowsPixelsGetsItsPictureBackWhenTheLoanEnds) {
    auto fill = [](IDirectDrawSurface7* s, uint32_t seed) {
        DDSURFACEDESC2 d = MakeDesc<DDSURFACEDESC2>();
        ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        for (DWORD y = 0; y < d.dwHeight; ++y)
            for (DWORD x = 0; x < d.dwWidth; ++x)
                static_cast<uint32_t*>(d.lpSurface)[y * DWORD(d.lPitch) / 4 + x] = (seed = seed * 1103515245u + 12345u);
        ASSERT_EQ(s->Unlock(nullptr), DD_OK);
    };
    auto picture = [](IDirectDrawSurface7* s) {
        SurfaceMemory m;
        EXPECT_TRUE(GetSurfaceMemory(s, m));
        std::vector<uint8_t> out;
        for (int y = 0; y < m.height; ++y)
            out.insert(out.end(), m.bits + size_t(y) * size_t(m.pitch), m.bits + size_t(y) * size_t(m.pitch) + size_t(m.width) * 4);
        return out;
    };
    auto sdlWindow = [] {
        for (uint32_t id = 1; id < 256; ++id)
            if (SDL_Window* w = SDL_GetWindowFromID(id)) return w;
        return static_cast<SDL_Window*>(nullptr);
    };
    struct Case {
        const char* end;
        std::function<void(Window&, IDirectDrawSurface7*)> run;
        bool presentFails;   // the lent pixels presented after it: refused, and sent again from the surface
    };
    std::vector<uint32_t> other(64 * 48, 0xFF102030u);
    const Case cases[] = {
        {"the borrower ends it", [](Window& w, IDirectDrawSurface7*) { w.EndLoan(); }, false},
        {"other pixels presented",
         [&](Window& w, IDirectDrawSurface7*) { EXPECT_TRUE(w.PresentPrimary(other.data(), 64, 48, 256, PrimaryFormat::XRGB8888)); },
         false},
        {"full screen", [](Window& w, IDirectDrawSurface7*) { EXPECT_TRUE(w.SetWindowed(false)); }, false},
        {"the window sized", [](Window& w, IDirectDrawSurface7*) { w.SetClientSize(80, 60); }, false},
        {"the window closed", [](Window& w, IDirectDrawSurface7*) { w.Close(); }, false},
        {"SDL resizes the window itself",
         [&](Window&, IDirectDrawSurface7*) { SDL_SetWindowSize(sdlWindow(), 96, 72); },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.end);
        Window window;
        ASSERT_TRUE(window.Open("Loan", 64, 48, true)) << window.LastError();
        IDirectDrawSurface7* s7 = Make(64, 48, PixelLayout::XRGB8888);
        IDirectDrawSurface* s = nullptr;
        ASSERT_EQ(s7->QueryInterface(IID_IDirectDrawSurface, reinterpret_cast<void**>(&s)), DD_OK);
        fill(s7, 1);
        const std::vector<uint8_t> first = picture(s7);
        ASSERT_TRUE(LendWindowPixels(window, s, PrimaryFormat::XRGB8888));
        SurfaceMemory m;
        ASSERT_TRUE(GetSurfaceMemory(s7, m));
        ASSERT_TRUE(m.lent);
        ASSERT_EQ(static_cast<void*>(m.bits), SDL_GetWindowSurface(sdlWindow())->pixels);
        EXPECT_EQ(picture(s7), first) << "the picture moves with the surface";
        EXPECT_TRUE(LendWindowPixels(window, s, PrimaryFormat::XRGB8888)) << "a second loan is the first";
        fill(s7, 2);   // drawn in place
        const std::vector<uint8_t> second = picture(s7);
        EXPECT_TRUE(window.PresentPrimary(m.bits, 64, 48, m.pitch, PrimaryFormat::XRGB8888)) << window.LastError();
        c.run(window, s7);
        if (c.presentFails) {
            EXPECT_FALSE(window.PresentPrimary(m.bits, 64, 48, m.pitch, PrimaryFormat::XRGB8888));
            SurfaceMemory back;
            ASSERT_TRUE(GetSurfaceMemory(s7, back));
            EXPECT_TRUE(window.PresentPrimary(back.bits, 64, 48, back.pitch, PrimaryFormat::XRGB8888)) << window.LastError();
        }
        ASSERT_TRUE(GetSurfaceMemory(s7, m));
        EXPECT_FALSE(m.lent);
        EXPECT_EQ(picture(s7), second);
        s->Release();
        EXPECT_EQ(s7->AddRef(), 2u) << "the window let go of the surface";
        s7->Release();
    }

    // Refused: a surface of another size or format, a locked one; nothing moves.
    Window window;
    ASSERT_TRUE(window.Open("Loan", 64, 48, true)) << window.LastError();
    struct Refusal { const char* why; int w, h; PixelLayout layout; bool locked; };
    const Refusal refusals[] = {{"another size", 32, 48, PixelLayout::XRGB8888, false},
                                {"another format", 64, 48, PixelLayout::RGB565, false},
                                {"locked", 64, 48, PixelLayout::XRGB8888, true}};
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.why);
        IDirectDrawSurface7* s7 = Make(r.w, r.h, r.layout);
        IDirectDrawSurface* s = nullptr;
        ASSERT_EQ(s7->QueryInterface(IID_IDirectDrawSurface, reinterpret_cast<void**>(&s)), DD_OK);
        DDSURFACEDESC2 d = MakeDesc<DDSURFACEDESC2>();
        if (r.locked) ASSERT_EQ(s7->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        EXPECT_FALSE(LendWindowPixels(window, s, r.layout == PixelLayout::RGB565 ? PrimaryFormat::RGB565 : PrimaryFormat::XRGB8888));
        SurfaceMemory m;
        ASSERT_TRUE(GetSurfaceMemory(s7, m));
        EXPECT_FALSE(m.lent);
        if (r.locked) EXPECT_EQ(static_cast<void*>(m.bits), d.lpSurface);
        if (r.locked) s7->Unlock(nullptr);
        s->Release();
        EXPECT_EQ(s7->AddRef(), 2u) << "nothing holds the surface";
        s7->Release();
    }
}

} // namespace
