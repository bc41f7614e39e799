#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "framework/app/zephra_app_base.h"
#include "framework/display/d3d_interface.h"
#include "framework/display/d3d_tester.h"
#include "framework/display/dd_image.h"
#include "framework/display/dd_interface.h"
#include "framework/display/texture_pixels.h"
#include "framework/graphics/memory_image.h"
#include "platform/directx/dx_config.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "platform/directx/dx_module.h"
#include "tests/support/temp_dirs.h"

namespace {

using namespace Zephra;
using namespace platform;

// A windowed display on a 32-bit desktop with the software Direct3D device.
class D3DInterfaceTest : public ::testing::Test {
protected:
    D3DInterfaceTest() {
        DirectXConfig::Get().Reset();
        Direct3DConfig::Get().Reset();
        RestoreModuleExports();
        app.mDDrawModule = LoadModule("ddraw.dll");
        app.mNoWindow = true;
    }
    void TearDown() override {
        display.reset();
        DirectXConfig::Get().Reset();
        Direct3DConfig::Get().Reset();
        RestoreModuleExports();
    }
    void Start() {
        display = std::make_unique<DDInterface>(&app);
        ASSERT_EQ(display->Init(nullptr, true), RESULT_OK) << display->mErrorString;
        ASSERT_TRUE(display->mIs3D);
        d3d = display->mD3DInterface;
        ASSERT_NE(d3d->mDevice, nullptr);
    }
    uint32_t DrawPixel(int x, int y) {
        SurfaceMemory m;
        GetSurfaceMemory(display->mDrawSurface, m);
        uint32_t v;
        std::memcpy(&v, m.bits + size_t(y) * m.pitch + size_t(x) * 4, 4);
        return v & 0xFFFFFF;
    }
    void ClearDrawSurface() {
        d3d->EndSceneIfBegun();
        d3d->mDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1, 0);
    }
    // Pictures outlive the display, whose texture records point at them.
    MemoryImage* Picture(int w, int h, uint32_t alpha = 0xFF000000u) {
        images.push_back(std::make_unique<MemoryImage>());
        MemoryImage* img = images.back().get();
        img->Create(w, h);
        uint32_t* bits = img->GetBits();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) bits[y * w + x] = alpha | uint32_t(x * 7 & 0xFF) << 16 | uint32_t(y * 3 & 0xFF) << 8 | uint32_t((x ^ y) & 0xFF);
        img->BitsChanged();
        return img;
    }
    int Calls(const char* method) { return DirectXConfig::Get().CallCount(method); }

    testsupport::TempUserDirs dirs;
    ZephraAppBase app;
    std::vector<std::unique_ptr<MemoryImage>> images;
    std::unique_ptr<DDInterface> display;
    D3DInterface* d3d = nullptr;
};

// The capability test decides the road; a device that fails after it ends
// Init with 7 and the error text.
TEST_F(D3DInterfaceTest, TheCapabilityTestChoosesTheRoad) {
    struct Case { const char* name; std::function<void()> setup; int result; bool is3D; const char* error; };
    const Case cases[] = {
        {"software device", [] {}, RESULT_OK, true, ""},
        {"no device", [] { Direct3DConfig::Get().mKind = Device3DKind::None; }, RESULT_OK, false, ""},
        {"a failing render test",
         [] { DirectXConfig::Get().InjectFailure("IDirect3DDevice7::Clear", DDERR_SURFACELOST, 0, 1); }, RESULT_OK,
         false, ""},
        {"device fails after the test",
         [] { DirectXConfig::Get().InjectFailure("IDirect3D7::CreateDevice", DDERR_OUTOFVIDEOMEMORY, 1, 1); },
         RESULT_3D_FAIL, true, "3D init error: CreateDevice IID_IDirect3DHALDevice: DDERR_OUTOFVIDEOMEMORY"},
    };
    for (const Case& k : cases) {
        DirectXConfig::Get().Reset();
        Direct3DConfig::Get().Reset();
        k.setup();
        DDInterface dd(&app);
        EXPECT_EQ(dd.Init(nullptr, true), k.result) << k.name << ": " << dd.mErrorString;
        EXPECT_EQ(dd.mIs3D, k.is3D) << k.name;
        if (k.result != RESULT_OK) {
            EXPECT_EQ(dd.mErrorString, k.error) << k.name;
        }
    }
}

// A recorded 3D failure turns 3D off at the next Redraw, which fails once;
// so does the failure of an opaque fill that waited to be drawn.
TEST_F(D3DInterfaceTest, ARecordedFailureTurnsThreeDOff) {
    for (bool waiting : {false, true}) {
        Start();
        EXPECT_TRUE(display->Redraw(nullptr));
        DirectXConfig::Get().InjectFailure("IDirect3DDevice7::DrawPrimitive", DDERR_SURFACELOST);
        d3d->FillRect(Rect(0, 0, 4, 4), Color(255, 255, 255, waiting ? 255 : 128), DRAWMODE_NORMAL);
        if (!waiting) {
            EXPECT_EQ(d3d->mErrorText, "DrawPrimitive (Rect): DDERR_SURFACELOST");
            ASSERT_NE(app.GetSettings(), nullptr);
            EXPECT_EQ(app.GetSettings()->GetString("Test3D\\RuntimeError"), d3d->mErrorText);
        }
        EXPECT_FALSE(display->Redraw(nullptr)) << "waiting " << waiting;
        EXPECT_FALSE(display->mIs3D) << "waiting " << waiting;
        DirectXConfig::Get().ClearFailures();
    }
}

TEST_F(D3DInterfaceTest, FormatFollowsTheImageAndTheDevice) {
    struct Case { const char* name; uint32_t alpha; uint32_t flags; bool palettized; bool no565; int format; };
    const Case cases[] = {
        {"opaque", 0xFF000000u, 0, false, false, TEXFMT_R5G6B5},
        {"opaque, never 565", 0xFF000000u, TEXFLAG_NO_565, false, false, TEXFMT_A8R8G8B8},
        {"opaque on a device without 565", 0xFF000000u, 0, false, true, TEXFMT_A8R8G8B8},
        {"with alpha", 0x80000000u, 0, false, false, TEXFMT_A8R8G8B8},
        {"with alpha, 4444 preferred", 0x80000000u, TEXFLAG_PREFER_4444, false, false, TEXFMT_A4R4G4B4},
        {"palettized", 0xFF000000u, 0, true, false, TEXFMT_PAL8},
    };
    for (const Case& k : cases) {
        Direct3DConfig::Get().mFormatR5G6B5 = !k.no565;
        Start();
        auto img = Picture(8, 8, k.alpha);
        img->mD3DFlags = k.flags;
        if (k.palettized) {
            ASSERT_TRUE(img->Palletize()) << k.name;
        }
        ASSERT_TRUE(d3d->BeginDraw());
        ASSERT_TRUE(d3d->CreateImageTexture(img)) << k.name;
        EXPECT_EQ(static_cast<D3DTextureData*>(img->mD3DData)->mFormat, k.format) << k.name;
        display->RemoveImageTexture(img);
        EXPECT_EQ(img->mD3DData, nullptr);
        display.reset();
    }
}

// Each piece lands on its own pixels: a picture wider than one texture comes
// out whole, its seam included, and again after its pixels change.
TEST_F(D3DInterfaceTest, PiecesDrawThePictureOneToOne) {
    Start();
    auto img = Picture(300, 40);
    img->mD3DFlags = TEXFLAG_NO_565;   // texels exactly as the pixels
    const int locks0 = Calls("IDirectDrawSurface7::Lock");
    for (int pass = 0; pass < 3; ++pass) {
        if (pass == 2) {
            img->GetBits()[5 * 300 + 256] = 0xFF123456u;
            img->BitsChanged();
        }
        ClearDrawSurface();
        d3d->BltUntransformed(img, 10, 20, Rect(0, 0, 300, 40), Color::White, DRAWMODE_NORMAL, false);
        d3d->EndSceneIfBegun();
        int wrong = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 300; ++x)
                if (DrawPixel(10 + x, 20 + y) != (img->GetBits()[y * 300 + x] & 0xFFFFFF) && ++wrong < 4)
                    ADD_FAILURE() << "pass " << pass << " at " << x << "," << y;
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(DrawPixel(9, 20), 0u);
        EXPECT_EQ(DrawPixel(310, 20), 0u);
    }
    // Two pieces uploaded once for the first two draws, again after the change.
    EXPECT_EQ(Calls("IDirectDrawSurface7::Lock") - locks0, 4);
    std::vector<uint32_t> back(300 * 40);
    ASSERT_TRUE(d3d->ReadTextureBits(img, back.data()));
    EXPECT_EQ(back[5 * 300 + 256], 0xFF123456u);
}

// A stretch to the picture's own size samples with the point filter; the
// bilinear one (the reference) must give the same pixels, translucent,
// tinted, additive, clipped and at any whole position.
TEST_F(D3DInterfaceTest, UnscaledStretchEqualsTheBilinearReference) {
    Start();
    struct Case {
        Rect src;
        int x, y;
        Rect clip;
        Color color;
        int drawMode;
    } cases[] = {
        {Rect(0, 0, 300, 40), 10, 20, Rect(0, 0, 800, 600), Color::White, DRAWMODE_NORMAL},
        {Rect(7, 3, 120, 30), -5, 7, Rect(0, 0, 800, 600), Color(200, 100, 50, 160), DRAWMODE_NORMAL},
        {Rect(0, 0, 300, 40), 33, 51, Rect(40, 60, 100, 20), Color(255, 255, 255, 90), DRAWMODE_ADDITIVE},
    };
    for (uint32_t alpha : {0xFF000000u, 0x80000000u}) {
        MemoryImage* img = Picture(300, 40, alpha);
        for (const Case& c : cases) {
            std::vector<uint32_t> got, want;
            for (int pass = 0; pass < 2; ++pass) {
                ClearDrawSurface();
                if (pass == 0) {
                    d3d->StretchBlt(img, Rect(c.x, c.y, c.src.mWidth, c.src.mHeight), c.src, &c.clip, c.color,
                                    c.drawMode, false, false);
                } else {
                    Matrix3x3 m;
                    m.Translate(float(c.x), float(c.y));
                    d3d->BltTransformed(img, c.src, m, c.color, c.drawMode, &c.clip, true, 0, 0, false);
                }
                d3d->EndSceneIfBegun();
                std::vector<uint32_t>& out = pass == 0 ? got : want;
                for (int y = 0; y < 120; ++y)
                    for (int x = 0; x < 340; ++x) out.push_back(DrawPixel(x, y));
            }
            EXPECT_EQ(got, want) << "alpha " << (alpha >> 24) << " at " << c.x << "," << c.y;
        }
    }
}

TEST_F(D3DInterfaceTest, TrianglesGoInBatchesAndFiltersAreCached) {
    Start();
    auto img = Picture(64, 64);
    std::vector<TriVertex> tris(250 * 3);
    for (size_t i = 0; i < tris.size(); ++i) tris[i] = TriVertex{float(i % 7), float(i % 5), 0.5f, 0.5f, 0};
    const int draws0 = Calls("IDirect3DDevice7::DrawPrimitive");
    d3d->BltTrianglesTex(img, reinterpret_cast<const TriVertex(*)[3]>(tris.data()), 250, Color::White,
                         DRAWMODE_NORMAL, 0, 0, false);
    EXPECT_EQ(Calls("IDirect3DDevice7::DrawPrimitive") - draws0, 3);

    const int states0 = Calls("IDirect3DDevice7::SetTextureStageState");
    d3d->SetLinearFilter(true);
    d3d->SetLinearFilter(true);
    EXPECT_EQ(Calls("IDirect3DDevice7::SetTextureStageState") - states0, 3);
    d3d->SetLinearFilter(false);
    EXPECT_EQ(Calls("IDirect3DDevice7::SetTextureStageState") - states0, 6);
}

// The blend goes to the device only when a drawing's mode differs from the
// one it holds; a state that failed to set is set again by the next drawing.
// Each step draws half-transparent red twice on black: 192 over, 255 added.
TEST_F(D3DInterfaceTest, BlendStatesAreSetWhenTheModeChanges) {
    Start();
    ClearDrawSurface();
    ASSERT_TRUE(d3d->BeginDraw());
    struct Step {
        int mode;
        bool fails;
        int stateCalls;   // SetRenderState calls of the step
    };
    const Step steps[] = {
        {DRAWMODE_NORMAL, false, 0},   {DRAWMODE_ADDITIVE, false, 2}, {DRAWMODE_ADDITIVE, false, 0},
        {DRAWMODE_NORMAL, true, 4},    {DRAWMODE_NORMAL, false, 2},   {DRAWMODE_NORMAL, false, 0},
        {DRAWMODE_ADDITIVE, false, 2},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        const Step& k = steps[i];
        if (k.fails) DirectXConfig::Get().InjectFailure("IDirect3DDevice7::SetRenderState", DDERR_SURFACELOST);
        const int calls0 = Calls("IDirect3DDevice7::SetRenderState");
        const Rect at(int(i) * 2, 0, 1, 1);
        d3d->FillRect(at, Color(255, 0, 0, 128), k.mode);
        d3d->FillRect(at, Color(255, 0, 0, 128), k.mode);
        EXPECT_EQ(Calls("IDirect3DDevice7::SetRenderState") - calls0, k.stateCalls) << "step " << i;
        DirectXConfig::Get().ClearFailures();
        EXPECT_EQ(d3d->mErrorText.empty(), !k.fails) << "step " << i;
        d3d->mErrorText.clear();
    }
    d3d->EndSceneIfBegun();
    for (size_t i = 0; i < std::size(steps); ++i) {
        if (!steps[i].fails) {
            EXPECT_EQ(DrawPixel(int(i) * 2, 0), steps[i].mode == DRAWMODE_ADDITIVE ? 0xFF0000u : 0xC00000u)
                << "step " << i;
        }
    }
}

// Untextured shapes and clipped blits stay inside what they cover.
TEST_F(D3DInterfaceTest, ShapesAndClipsCoverTheirPixels) {
    Start();
    auto count = [&](uint32_t colour) {
        d3d->EndSceneIfBegun();
        int n = 0;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 60; ++x) n += DrawPixel(x, y) == colour;
        return n;
    };
    auto img = Picture(20, 20);
    const Rect clip(5, 6, 7, 8), polyClip(2, 3, 7, 8);
    struct Case { const char* name; std::function<void()> draw; uint32_t colour; int pixels; };
    const Point tri[3] = {{0, 0}, {10, 0}, {0, 10}};
    const Case cases[] = {
        {"rectangle", [&] { d3d->FillRect(Rect(3, 4, 5, 6), Color(0, 255, 0), DRAWMODE_NORMAL); }, 0x00FF00, 30},
        {"line with its end point", [&] { d3d->DrawLine(2, 2, 12, 2, Color(0, 0, 255), DRAWMODE_NORMAL); }, 0x0000FF, 11},
        {"polygon", [&] { d3d->FillPoly(tri, 3, nullptr, Color(255, 0, 0), DRAWMODE_NORMAL, 20, 20); }, 0xFF0000, 55},
        {"polygon cut to a clip", [&] { d3d->FillPoly(tri, 3, &polyClip, Color(255, 0, 0), DRAWMODE_NORMAL, 0, 0); }, 0xFF0000, 15},
        {"blit cut to a clip",
         [&] {
             Matrix3x3 m;
             d3d->BltTransformed(img, Rect(0, 0, 20, 20), m, Color::White, DRAWMODE_NORMAL, &clip, false, 0, 0, false);
             img->GetBits();
         },
         0xFFFFFFFF, 7 * 8},
    };
    for (const Case& k : cases) {
        ClearDrawSurface();
        k.draw();
        if (k.colour == 0xFFFFFFFF) {
            d3d->EndSceneIfBegun();
            int inside = 0, outside = 0;
            for (int y = 0; y < 60; ++y)
                for (int x = 0; x < 60; ++x) {
                    if (DrawPixel(x, y) == 0) continue;
                    (clip.Contains(x, y) ? inside : outside)++;
                }
            EXPECT_EQ(outside, 0) << k.name;
            EXPECT_GT(inside, k.pixels / 2) << k.name;
        } else {
            EXPECT_EQ(count(k.colour), k.pixels) << k.name;
        }
    }
}

// A clip takes away exactly the pixels outside it, whether the picture's
// pieces reach past it or lie on its own pixels, scaled or not.
TEST_F(D3DInterfaceTest, AClipTakesAwayOnlyThePixelsOutsideIt) {
    Start();
    MemoryImage* img = Picture(40, 30);
    struct Case { const char* name; float x, y, sx, sy; Rect clip; };
    const Case cases[] = {
        {"on its clip's pixels", 10, 10, 1, 1, Rect(10, 10, 40, 30)},
        {"scaled onto its clip's pixels", 10, 10, 1.5f, 2, Rect(10, 10, 60, 60)},
        {"cut on every side", 10, 10, 1.5f, 2, Rect(12, 13, 50, 40)},
        {"past the clip's corner", 7, 5, 1, 1, Rect(10, 10, 40, 30)},
    };
    auto draw = [&](const Case& c, const Rect* clip) {
        ClearDrawSurface();
        Matrix3x3 m;
        m.Scale(c.sx, c.sy);
        m.Translate(c.x, c.y);
        d3d->BltTransformed(img, Rect(0, 0, 40, 30), m, Color::White, DRAWMODE_NORMAL, clip, false, 0, 0, false);
        d3d->EndSceneIfBegun();
        std::vector<uint32_t> out;
        for (int y = 0; y < 90; ++y)
            for (int x = 0; x < 90; ++x) out.push_back(DrawPixel(x, y));
        return out;
    };
    for (const Case& c : cases) {
        const std::vector<uint32_t> whole = draw(c, nullptr), clipped = draw(c, &c.clip);
        int shown = 0;
        for (int y = 0; y < 90; ++y)
            for (int x = 0; x < 90; ++x) {
                const uint32_t want = c.clip.Contains(x, y) ? whole[size_t(y) * 90 + size_t(x)] : 0;
                ASSERT_EQ(clipped[size_t(y) * 90 + size_t(x)], want) << c.name << " at " << x << "," << y;
                shown += want != 0;
            }
        EXPECT_GT(shown, 0) << c.name;
    }
}

} // namespace

namespace {

class AppOn3D : public Zephra::ZephraAppBase {
public:
    AppOn3D() {
        mNoWindow = true;
        mDDrawModule = platform::LoadModule("ddraw.dll");
        InstallDisplay(std::make_unique<Zephra::DDInterface>(this));
    }
    Zephra::DDInterface& Display() { return static_cast<Zephra::DDInterface&>(*mDisplay); }
};

// Pixels an image dropped after its upload come back from its textures.
TEST(D3DTextures, DroppedPixelsComeBackFromTheTextures) {
    testsupport::TempUserDirs dirs;
    platform::DirectXConfig::Get().Reset();
    platform::Direct3DConfig::Get().Reset();
    {
        AppOn3D app;
        ASSERT_TRUE(app.Init()) << app.mDisplayError;
        ASSERT_TRUE(app.Is3DAccelerated());
        Zephra::MemoryImage img(&app);
        img.Create(300, 40);
        for (int i = 0; i < 300 * 40; ++i) img.GetBits()[i] = 0xFF000000u | uint32_t(i * 2654435761u >> 8);
        img.BitsChanged();
        const std::vector<uint32_t> before(img.GetBits(), img.GetBits() + 300 * 40);
        img.mPurgeBits = true;
        img.mD3DFlags = Zephra::TEXFLAG_NO_565;
        app.Display().mD3DInterface->BltUntransformed(&img, 0, 0, Zephra::Rect(0, 0, 300, 40), Zephra::Color::White,
                                                      Zephra::DRAWMODE_NORMAL, false);
        EXPECT_EQ(img.mBits, nullptr) << "the textures hold the only copy";
        const uint32_t* after = img.GetBits();
        ASSERT_NE(after, nullptr);
        EXPECT_TRUE(std::equal(before.begin(), before.end(), after));
    }
    platform::DirectXConfig::Get().Reset();
}

} // namespace

namespace {

// Which road the application ends on: the capability test's verdict, a
// device failing after it, the setting and the environment override.
TEST(D3DRoad, TheApplicationTakesTheRoadItMayHave) {
    struct Case { const char* name; std::function<void(const std::string& config)> setup; bool is3D; };
    const Case cases[] = {
        {"the test passes", [](const std::string&) {}, true},
        {"the device fails after the test",
         [](const std::string&) {
             platform::DirectXConfig::Get().InjectFailure("IDirect3D7::CreateDevice", platform::DDERR_OUTOFVIDEOMEMORY, 1, 1);
         },
         false},
        {"setting", [](const std::string& config) {
             platform::Settings s(platform::JoinPath(config, "settings.ini"));
             s.SetBool("SoftwareOnly", true);
             s.Save();
         },
         false},
        {"environment", [](const std::string&) { setenv("PEMBERLY_SOFTWARE_ONLY", "1", 1); }, false},
    };
    for (const Case& k : cases) {
        testsupport::TempUserDirs dirs;
        platform::DirectXConfig::Get().Reset();
        platform::Direct3DConfig::Get().Reset();
        k.setup(platform::ConfigDir());
        {
            AppOn3D app;
            EXPECT_TRUE(app.Init()) << k.name << ": " << app.mDisplayError;
            EXPECT_EQ(app.Is3DAccelerated(), k.is3D) << k.name;
            EXPECT_NE(app.mScreenImage, nullptr) << k.name;
        }
        unsetenv("PEMBERLY_SOFTWARE_ONLY");
    }
    platform::DirectXConfig::Get().Reset();
}

} // namespace

namespace {

// On the 3D road an opaque surface picture drawn plainly is copied by
// DirectDraw (one that claims transparency without a transparent pixel too);
// any tint, alpha or additive mode goes through the device, and so does a copy
// DirectDraw refuses. The picture shows in every case.
TEST_F(D3DInterfaceTest, PlainOpaqueSurfacePicturesAreCopied) {
    DirectXConfig::Get().mDesktopFormat = PixelLayout::RGB565;
    Start();
    MemoryImage* screen = display->GetScreenImage();
    struct Case { const char* name; Color color; int mode; bool claimsTrans; bool refused; bool copy; bool device; };
    const Case cases[] = {
        {"white", Color::White, DRAWMODE_NORMAL, false, false, true, false},
        {"transparency claimed", Color::White, DRAWMODE_NORMAL, true, false, true, false},
        {"copy refused", Color::White, DRAWMODE_NORMAL, false, true, true, true},
        {"alpha 254", Color(255, 255, 255, 254), DRAWMODE_NORMAL, false, false, false, true},
        {"additive", Color::White, DRAWMODE_ADDITIVE, false, false, false, true},
    };
    for (const Case& k : cases) {
        std::unique_ptr<MemoryImage> pic(display->CreateImage());
        auto* surface = dynamic_cast<DDImage*>(pic.get());
        ASSERT_NE(surface, nullptr);
        std::vector<uint32_t> px(16 * 16, 0xFF00FF00u);
        surface->SetBits(px.data(), 16, 16);
        if (k.claimsTrans) surface->SetTransparencyFlags(true, false);
        ASSERT_NE(surface->GetSurface(), nullptr);
        ClearDrawSurface();
        if (k.refused) DirectXConfig::Get().InjectFailure("IDirectDrawSurface::Blt", DDERR_SURFACEBUSY);
        const int draws = Calls("IDirect3DDevice7::DrawPrimitive");
        const int blits = Calls("IDirectDrawSurface::Blt");
        screen->Blt(pic.get(), 4, 4, Rect(0, 0, 16, 16), k.color, k.mode);
        DirectXConfig::Get().ClearFailures();
        d3d->EndSceneIfBegun();
        EXPECT_EQ(Calls("IDirect3DDevice7::DrawPrimitive") > draws, k.device) << k.name;
        EXPECT_EQ(Calls("IDirectDrawSurface::Blt") > blits, k.copy) << k.name;
        SurfaceMemory m;
        ASSERT_TRUE(GetSurfaceMemory(display->mDrawSurface, m));
        uint16_t v;
        std::memcpy(&v, m.bits + size_t(10) * m.pitch + 10 * 2, 2);
        EXPECT_EQ(v & 0xF81F, 0) << k.name;
        EXPECT_GE(v & 0x07E0, 0x07C0) << k.name << ": the picture shows";
        display->RemoveImageTexture(pic.get());
    }
}

} // namespace

namespace {

// Textures of images that went serve the next image of their size and format.
TEST_F(D3DInterfaceTest, TextureSurfacesAreReused) {
    Start();
    auto* first = Picture(40, 30, 0x80000000u);
    auto* second = Picture(40, 30, 0x80000000u);
    auto* wider = Picture(200, 30, 0x80000000u);
    ASSERT_TRUE(d3d->BeginDraw());
    const int made0 = Calls("IDirectDraw7::CreateSurface");
    ASSERT_TRUE(d3d->CreateImageTexture(first));
    EXPECT_EQ(Calls("IDirectDraw7::CreateSurface") - made0, 1);
    display->RemoveImageTexture(first);
    ASSERT_TRUE(d3d->CreateImageTexture(second));
    EXPECT_EQ(Calls("IDirectDraw7::CreateSurface") - made0, 1) << "the first one's texture again";
    ASSERT_TRUE(d3d->CreateImageTexture(wider));
    EXPECT_EQ(Calls("IDirectDraw7::CreateSurface") - made0, 2) << "another size is made";
    // What the reused texture shows is the new picture's.
    ClearDrawSurface();
    d3d->BltUntransformed(second, 0, 0, Rect(0, 0, 40, 30), Color::White, DRAWMODE_NORMAL, false);
    d3d->EndSceneIfBegun();
    std::vector<uint32_t> back(40 * 30);
    ASSERT_TRUE(d3d->ReadTextureBits(second, back.data()));
    EXPECT_TRUE(std::equal(back.begin(), back.end(), second->GetBits()));
}

} // namespace

namespace {

// Text on the 3D road (coverage spans) looks as it does drawn in memory, the
// first time and when a string's box is drawn again from the frames before:
// elsewhere, or with one coverage value, the colour or the spans changed,
// and after more strings than are kept came between.
TEST_F(D3DInterfaceTest, TextSpansLookAsInMemory) {
    Start();
    const int w = 24, h = 6;
    struct Text {
        int ox, oy;
        uint8_t seed;
        int changedByte;   // -1: none
        Color color;
        int stagger;       // the spans' left ends step over this many columns
    };
    auto draw = [&](const Text& t, const char* what) {
        std::vector<uint8_t> coverage(w * h);
        for (int i = 0; i < w * h; ++i) coverage[size_t(i)] = uint8_t((i * t.seed) & 0xFF);
        if (t.changedByte >= 0) coverage[size_t(t.changedByte)] ^= 0x40;
        std::vector<Span> spans;
        for (int y = 0; y < h; ++y) spans.push_back(Span{t.oy + y, t.ox + (y % t.stagger), w - 4});

        MemoryImage memory;
        memory.Create(100, 100);
        std::fill_n(memory.GetBits(), 100 * 100, 0xFF000000u);
        memory.FillSpansCoverage(spans.data(), int(spans.size()), t.color, DRAWMODE_NORMAL, coverage.data(), t.ox,
                                 t.oy, w, h);
        ClearDrawSurface();
        display->GetScreenImage()->FillSpansCoverage(spans.data(), int(spans.size()), t.color, DRAWMODE_NORMAL,
                                                     coverage.data(), t.ox, t.oy, w, h);
        d3d->EndSceneIfBegun();
        int worst = 0;
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 100; ++x) {
                const uint32_t m = memory.GetBits()[y * 100 + x], s = DrawPixel(x, y);
                for (int c = 0; c < 24; c += 8)
                    worst = std::max(worst, std::abs(int((m >> c) & 0xFF) - int((s >> c) & 0xFF)));
            }
        EXPECT_LE(worst, 2) << what;
        EXPECT_NE(DrawPixel(t.ox + 5, t.oy + 2), 0u) << what << ": the text was drawn";
    };
    const Color warm(255, 200, 100, 230), cold(40, 90, 250, 255);
    const Text first{30, 40, 37, -1, warm, 3};
    draw(first, "first");
    const std::pair<Text, const char*> again[] = {
        {{50, 10, 37, -1, warm, 3}, "the same string elsewhere"},
        {{30, 40, 37, 29, warm, 3}, "one coverage value changed"},
        {{30, 40, 37, -1, cold, 3}, "another colour"},
        {{30, 40, 37, -1, warm, 2}, "other spans over the same coverage"},
    };
    for (const auto& [t, what] : again) draw(t, what);
    for (int seed = 1; seed <= 80; ++seed) draw({10, 60, uint8_t(seed * 2 + 39), -1, warm, 3}, "one of many");
    draw(first, "the first after many others");
}

} // namespace

namespace {

// An opaque fill waits for what is drawn next: a picture that covers it with
// opaque texels leaves it undrawn, anything else draws it first; the pixels
// are those of the fill drawn at once, in every case.
TEST_F(D3DInterfaceTest, AFillUnderAnOpaquePictureIsNotDrawn) {
    Start();
    const int w = display->mWidth, h = display->mHeight;
    auto uniform = [&](int pw, int ph, uint32_t argb) {
        MemoryImage* img = Picture(pw, ph);
        std::fill_n(img->GetBits(), pw * ph, argb);
        img->BitsChanged();
        return img;
    };
    MemoryImage* ground = uniform(w, h, 0xFF00FF00u);
    MemoryImage* glass = uniform(w, h, 0x80000000u);
    MemoryImage* small = uniform(20, 20, 0xFF00FF00u);
    MemoryImage* screen = display->GetScreenImage();
    const Rect all(0, 0, w, h);
    struct Case {
        const char* name;
        std::function<void()> draw;
        bool fillDrawn;
    };
    const Case cases[] = {
        {"opaque picture over it", [&] { screen->Blt(ground, 0, 0, all, Color::White, DRAWMODE_NORMAL); }, false},
        {"tinted opaque picture", [&] { screen->Blt(ground, 0, 0, all, Color(90, 200, 40, 255), DRAWMODE_NORMAL); }, false},
        {"stretched to its own size",
         [&] { screen->StretchBlt(ground, all, all, all, Color::White, DRAWMODE_NORMAL, false); }, false},
        {"one pixel off", [&] { screen->Blt(ground, 1, 0, all, Color::White, DRAWMODE_NORMAL); }, true},
        {"clipped", [&] { screen->StretchBlt(ground, all, all, Rect(0, 0, w, h - 1), Color::White, 0, false); }, true},
        {"translucent picture", [&] { screen->Blt(glass, 0, 0, all, Color::White, DRAWMODE_NORMAL); }, true},
        {"translucent colour", [&] { screen->Blt(ground, 0, 0, all, Color(255, 255, 255, 254), 0); }, true},
        {"additive", [&] { screen->Blt(ground, 0, 0, all, Color::White, DRAWMODE_ADDITIVE); }, true},
        {"small picture", [&] { screen->Blt(small, 5, 5, Rect(0, 0, 20, 20), Color::White, DRAWMODE_NORMAL); }, true},
        {"a line", [&] { screen->DrawLine(3, 3, 40, 9, Color::White, DRAWMODE_NORMAL); }, true},
        {"a second fill", [&] { screen->FillRect(Rect(4, 4, 8, 8), Color(0, 0, 255, 255), 0); }, true},
        {"nothing", [] {}, true},
    };
    auto snapshot = [&] {
        d3d->EndSceneIfBegun();
        std::vector<uint32_t> px;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) px.push_back(DrawPixel(x, y));
        return px;
    };
    for (const Case& k : cases) {
        ClearDrawSurface();
        screen->FillRect(all, Color(255, 0, 0, 255), DRAWMODE_NORMAL);
        d3d->DrawPendingFill();   // drawn at once: the reference
        const int alone = Calls("IDirect3DDevice7::DrawPrimitive");
        k.draw();
        const std::vector<uint32_t> want = snapshot();
        const int drawsAlone = Calls("IDirect3DDevice7::DrawPrimitive") - alone;

        ClearDrawSurface();
        const int before = Calls("IDirect3DDevice7::DrawPrimitive");
        screen->FillRect(all, Color(255, 0, 0, 255), DRAWMODE_NORMAL);
        k.draw();
        const std::vector<uint32_t> got = snapshot();
        EXPECT_EQ(Calls("IDirect3DDevice7::DrawPrimitive") - before, drawsAlone + (k.fillDrawn ? 1 : 0)) << k.name;
        EXPECT_TRUE(got == want) << k.name;
    }
}

} // namespace
