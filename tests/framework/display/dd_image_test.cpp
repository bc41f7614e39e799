#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/display/dd_image.h"
#include "framework/display/dd_interface.h"
#include "framework/graphics/graphics.h"
#include "tests/framework/display/surface_test_util.h"
#include "platform/directx/dx_config.h"
#include "platform/directx/dx_module.h"

using namespace Zephra;
using namespace platform;

namespace {

// A display on the DirectDraw stand-in with a primary of the given layout,
// enough for surface images to make, lock and blit their surfaces.
class Display {
public:
    explicit Display(PixelLayout layout) : display(nullptr) {
        DirectXConfig::Get().Reset();
        RestoreModuleExports();
        DirectXConfig::Get().mDesktopFormat = layout;
        EXPECT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&display.mDD7), IID_IDirectDraw7, nullptr), DD_OK);
        display.mDD7->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
        DDSURFACEDESC2 d = MakeDesc<DDSURFACEDESC2>();
        d.dwFlags = DDSD_CAPS;
        d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        EXPECT_EQ(display.CreateSurface(&d, &display.mPrimarySurface), DD_OK);
        const DDPIXELFORMAT f = PixelFormatOf(layout);
        display.SetFormat(int(f.dwRGBBitCount), f.dwRBitMask, f.dwGBitMask, f.dwBBitMask);
        display.mIs3D = false;   // the DirectDraw road
    }
    ~Display() { DirectXConfig::Get().Reset(); }

    std::unique_ptr<DDImage> Image(const std::vector<uint32_t>& px, int w) {
        auto img = std::make_unique<DDImage>(&display);
        img->SetBits(px.data(), w, int(px.size()) / w);
        return img;
    }

    DDInterface display;
};

// The surface's value at (x, y).
uint32_t SurfaceValue(DDImage& img, int x, int y) {
    if (!img.Lock()) return 0xDEADBEEF;
    const DDSURFACEDESC& d = img.mLockedSurfaceDesc;
    const uint8_t* row = static_cast<const uint8_t*>(d.lpSurface) + size_t(y) * size_t(d.lPitch);
    const uint32_t v = d.ddpfPixelFormat.dwRGBBitCount == 16 ? reinterpret_cast<const uint16_t*>(row)[x]
                                                              : reinterpret_cast<const uint32_t*>(row)[x];
    img.Unlock();
    return v;
}

const uint32_t kOpaque = 0xFF204080;

} // namespace

// Opaque images draw on their surface and keep no memory copy; images with
// partial alpha draw in memory; what the surface holds reads back.
TEST(DDImage, RoadsAndReadBack) {
    struct Case {
        const char* what;
        PixelLayout layout;
        uint32_t pixel;
        bool surfaceRoad;
        uint32_t surfaceValue;   // after a white fill, surface road only
        uint32_t readBack;
    };
    const Case cases[] = {
        {"565 opaque", PixelLayout::RGB565, kOpaque, true, 0xFFFF, 0xFFF8FCF8},
        {"555 opaque", PixelLayout::RGB555, kOpaque, true, 0x7FFF, 0xFFF8F8F8},
        {"8888 opaque", PixelLayout::XRGB8888, kOpaque, true, 0xFFFFFF, 0xFFFFFFFF},
        {"bgr 8888 opaque", PixelLayout::XBGR8888, kOpaque, true, 0xFFFFFF, 0xFFFFFFFF},
        {"565 partial alpha", PixelLayout::RGB565, 0x80204080, false, 0, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        Display d(c.layout);
        auto img = d.Image(std::vector<uint32_t>(16, c.pixel), 4);
        Graphics(img.get()).FillRect(Rect(0, 0, 2, 2));   // white by default
        if (c.surfaceRoad) {
            ASSERT_NE(img->mSurface, nullptr) << c.what;
            EXPECT_EQ(img->mBits, nullptr) << c.what << ": the surface is the only copy";
            EXPECT_EQ(SurfaceValue(*img, 1, 1), c.surfaceValue) << c.what;
        } else {
            EXPECT_EQ(img->mSurface, nullptr) << c.what;
        }
        EXPECT_EQ(img->GetBits()[5], c.readBack) << c.what;
        EXPECT_EQ(img->GetBits()[16], kBitsGuardWord) << c.what;
    }
}

// Colour keys: transparent pixels that share their value with an opaque pixel
// get a free key; keyed pixels read back transparent; a forced transparency
// with no transparent pixel sets no key; with every value in use the image
// stays in memory.
TEST(DDImage, ColourKeys) {
    Display d(PixelLayout::RGB565);
    {
        auto img = d.Image({0x00000000, 0xFF000000, 0xFF0000FF, 0x00000000}, 2);
        ASSERT_TRUE(img->CreateSurface());
        DDCOLORKEY ck;
        ASSERT_EQ(img->mSurface->GetColorKey(DDCKEY_SRCBLT, &ck), DD_OK);
        EXPECT_EQ(ck.dwColorSpaceLowValue, 1u);
        img->FreeAllBuffers();
        EXPECT_EQ(img->GetBits()[0], 0u);
        EXPECT_EQ(img->GetBits()[1], 0xFF000000u);
        // Blitted with its key, the transparent pixels leave the destination be.
        auto dest = d.Image(std::vector<uint32_t>(4, 0xFFFFFFFF), 2);
        dest->Blt(img.get(), 0, 0, Rect(0, 0, 2, 2), Color::White, 0);
        EXPECT_EQ(SurfaceValue(*dest, 0, 0), 0xFFFFu);
        EXPECT_EQ(SurfaceValue(*dest, 1, 0), 0x0000u);
    }
    {
        auto img = d.Image({kOpaque, kOpaque}, 2);
        img->SetTransparencyFlags(true, false);
        ASSERT_TRUE(img->CreateSurface());
        DDCOLORKEY ck;
        EXPECT_NE(img->mSurface->GetColorKey(DDCKEY_SRCBLT, &ck), DD_OK) << "no transparent pixel, no key";
    }
    {
        std::vector<uint32_t> all;
        for (uint32_t v = 0; v < 65536; ++v)
            all.push_back(0xFF000000u | ((v >> 11) << 19) | (((v >> 5) & 63) << 10) | ((v & 31) << 3));
        all.resize(257 * 256, 0x00000000);
        auto img = d.Image(all, 257);
        EXPECT_FALSE(img->CreateSurface());
        Graphics(img.get()).FillRect(Rect(0, 0, 1, 1));
        EXPECT_EQ(img->mSurface, nullptr);
        EXPECT_EQ(img->GetBits()[0], 0xFFFFFFFFu) << "drawn in memory";
    }
}

// A surface that cannot be made: Lock fails, SetColorKey does nothing, and
// drawing goes to the bits without losing them.
TEST(DDImage, SurfaceThatCannotBeMade) {
    Display d(PixelLayout::XRGB8888);
    auto img = d.Image(std::vector<uint32_t>(16, kOpaque), 4);
    DirectXConfig::Get().InjectFailure("IDirectDraw7::CreateSurface", DDERR_OUTOFVIDEOMEMORY);
    EXPECT_FALSE(img->Lock());
    img->SetColorKey();
    EXPECT_FALSE(img->mFirstPixelTrans);
    Graphics g(img.get());
    g.FillRect(Rect(0, 0, 1, 1));
    g.DrawLine(0, 3, 3, 3);
    EXPECT_EQ(img->mSurface, nullptr);
    ASSERT_NE(img->mBits, nullptr);
    EXPECT_EQ(img->GetBits()[0], 0xFFFFFFFFu);
    EXPECT_EQ(img->GetBits()[5], kOpaque) << "the pixels were kept";
    EXPECT_EQ(img->GetBits()[13], 0xFFFFFFFFu);
    EXPECT_TRUE(img->mWantDDSurface) << "a later rebuild tries again";
}

// Buffer rules: nested locks, Create on a palettized image, the video-memory
// flag, text on partial alpha, the exact-mask tags of the matrix blit and
// the adopted screen surface.
TEST(DDImage, BufferRules) {
    Display d(PixelLayout::RGB565);
    {
        auto img = d.Image(std::vector<uint32_t>(4, kOpaque), 2);
        ASSERT_TRUE(img->Lock());
        ASSERT_TRUE(img->Lock());
        EXPECT_EQ(img->mLockCount, 2);
        img->Unlock();
        img->Unlock();
        EXPECT_EQ(img->mLockCount, 0);
        EXPECT_TRUE(img->Lock()) << "unlocked once, lockable again";
        img->Unlock();
    }
    {
        auto img = d.Image({kOpaque, 0xFF000000, kOpaque, kOpaque}, 2);
        ASSERT_TRUE(img->Palletize());
        ASSERT_TRUE(img->CreateSurface());
        img->Create(3, 3);
        EXPECT_EQ(img->mColorTable, nullptr);
        EXPECT_EQ(img->mColorIndices, nullptr);
        EXPECT_EQ(img->mSurface, nullptr);
        EXPECT_EQ(img->GetBits()[8], 0u);
    }
    {
        auto img = d.Image(std::vector<uint32_t>(4, kOpaque), 2);
        ASSERT_TRUE(img->CreateSurface());
        img->FreeAllBuffers();
        img->SetVideoMemoryFlag(false);
        EXPECT_NE(img->mSurface, nullptr) << "unchanged flag, nothing done";
        img->SetVideoMemoryFlag(true);
        EXPECT_EQ(img->mSurface, nullptr);
        EXPECT_EQ(img->GetBits()[3], 0xFF204080u);
        Graphics(img.get()).FillRect(Rect(0, 0, 1, 1));
        DDSCAPS caps;
        ASSERT_NE(img->mSurface, nullptr);
        img->mSurface->GetCaps(&caps);
        EXPECT_NE(caps.dwCaps & DDSCAPS_VIDEOMEMORY, 0u);
    }
    {
        auto img = d.Image(std::vector<uint32_t>(4, 0x80000000), 2);
        const Span span{0, 0, 2};
        const uint8_t cover[2] = {255, 255};
        img->FillSpansCoverage(&span, 1, Color::White, 0, cover, 0, 0, 2, 1);
        EXPECT_NE(img->GetBits()[0], 0x80000000u) << "text on partial alpha is drawn";
    }
    {
        Display bgr(PixelLayout::BGR565);
        auto img = bgr.Image(std::vector<uint32_t>(4, 0xFF000000), 2);
        auto src = bgr.Image(std::vector<uint32_t>(4, 0xFFFFFFFF), 2);
        Matrix3x3 m;
        m.LoadIdentity();
        img->BltMatrix(src.get(), 0, 0, m, Rect(0, 0, 2, 2), Color::White, 0, Rect(0, 0, 2, 2), false);
        EXPECT_EQ(img->GetBits()[0], 0xFFFFFFFFu) << "a layout without a tag draws in memory";
    }
    {
        auto screen = std::make_unique<DDImage>(&d.display);
        screen->AdoptSurface(d.display.mPrimarySurface);
        screen->DropBits();
        screen->FreeExtraBuffers();
        EXPECT_EQ(screen->mSurface, d.display.mPrimarySurface) << "the adopted surface stays";
    }
}

// Whole blits through the slots onto surfaces, against values worked out by
// hand from the pixel rules.
TEST(DDImage, BlitsThroughTheSlots) {
    struct Case {
        const char* what;
        PixelLayout layout;
        uint32_t dest, src;
        int op;   // 0 Blt, 1 additive Blt, 2 rotated, 3 mirrored, 4 stretched
        int x;
        uint32_t expected;
    };
    const Case cases[] = {
        {"565 half black over white", PixelLayout::RGB565, 0xFFFFFFFF, 0x80000000, 0, 0, 0x7BEF},
        {"8888 half black over white", PixelLayout::XRGB8888, 0xFFFFFFFF, 0x80000000, 0, 0, 0x807F7F7F},
        {"555 additive saturates", PixelLayout::RGB555, 0xFF808080, 0xFFFFFFFF, 1, 0, 0x7FFF},
        {"8888 rotated white over black", PixelLayout::XRGB8888, 0xFF000000, 0xFFFFFFFF, 2, 1, 0x00FDFDFD},
        {"565 rotated white over black", PixelLayout::RGB565, 0xFF000000, 0xFFFFFFFF, 2, 1, 0xFFFF},
        {"565 alpha 0 mirrored", PixelLayout::RGB565, 0xFF204080, 0x00FFFFFF, 3, 0, 0x2210},
        {"8888 stretched opaque", PixelLayout::XRGB8888, 0xFF000000, 0xFF123456, 4, 3, 0xFF123456},
    };
    for (const Case& c : cases) {
        Display d(c.layout);
        auto dest = d.Image(std::vector<uint32_t>(16, c.dest), 4);
        auto src = std::make_unique<MemoryImage>();
        std::vector<uint32_t> px(16, c.src);
        src->SetBits(px.data(), 4, 4);
        switch (c.op) {
        case 0: dest->Blt(src.get(), 0, 0, Rect(0, 0, 4, 4), Color::White, 0); break;
        case 1: dest->Blt(src.get(), 0, 0, Rect(0, 0, 4, 4), Color::White, 1); break;
        case 2: dest->BltRotated(src.get(), 0, 0, Rect(0, 0, 4, 4), Rect(0, 0, 4, 4), Color::White, 0, 0.0, 0, 0); break;
        case 3: dest->BltMirror(src.get(), 0, 0, Rect(0, 0, 4, 4), Color::White, 0); break;
        case 4:
            dest->StretchBlt(src.get(), Rect(0, 0, 4, 4), Rect(0, 0, 2, 2), Rect(0, 0, 4, 4), Color::White, 0, true);
            break;
        }
        EXPECT_EQ(SurfaceValue(*dest, c.x, 1), c.expected) << c.what << std::hex << " got " << SurfaceValue(*dest, c.x, 1);
        EXPECT_EQ(dest->mBits, nullptr) << c.what;
        EXPECT_EQ(src->mDrawn, 1) << c.what;
    }
}

// An image that outlives its display keeps its pixels and draws in memory.
TEST(DDImage, OutlivesItsDisplay) {
    std::unique_ptr<DDImage> img;
    {
        Display d(PixelLayout::RGB565);
        img = d.Image(std::vector<uint32_t>(4, 0xFFFFFFFF), 2);
        ASSERT_TRUE(img->CreateSurface());
        img->FreeAllBuffers();
    }
    EXPECT_EQ(img->mSurface, nullptr);
    EXPECT_EQ(img->mDDInterface, nullptr);
    ASSERT_NE(img->GetBits(), nullptr);
    EXPECT_EQ(img->GetBits()[3], 0xFFF8FCF8u);
    Graphics(img.get()).FillRect(Rect(0, 0, 1, 1));
    EXPECT_EQ(img->GetBits()[0], 0xFFFFFFFFu);
}

// Copies between surfaces ask for a colour key exactly when the source surface
// has one: a picture that claims transparency without a transparent pixel
// shows, keyed pixels stay out, and a copy DirectDraw refuses is drawn by the
// loops instead of vanishing. Plain blits and fast stretches alike.
TEST(DDImage, SurfaceCopiesFollowTheSourceKey) {
    const uint32_t kGreen = 0xFF00FF00, kClear = 0x00000000;
    struct Case {
        const char* what;
        PixelLayout layout;
        uint32_t second;      // the source's right pixel; the left one is kOpaque
        bool claimsTrans;     // transparency forced without a transparent pixel
        bool refused;         // DirectDraw refuses every copy
        bool stretched;       // a fast stretch to twice the size
    };
    const Case cases[] = {
        {"565 claimed transparency", PixelLayout::RGB565, kGreen, true, false, false},
        {"565 claimed transparency stretched", PixelLayout::RGB565, kGreen, true, false, true},
        {"8888 claimed transparency", PixelLayout::XRGB8888, kGreen, true, false, false},
        {"565 keyed", PixelLayout::RGB565, kClear, false, false, false},
        {"8888 keyed stretched", PixelLayout::XRGB8888, kClear, false, false, true},
        {"565 refused", PixelLayout::RGB565, kGreen, false, true, false},
        {"565 keyed refused", PixelLayout::RGB565, kClear, false, true, false},
        {"8888 refused stretched", PixelLayout::XRGB8888, kGreen, true, true, true},
    };
    for (const Case& c : cases) {
        Display d(c.layout);
        const bool wide = c.layout == PixelLayout::XRGB8888;
        auto value = [&](uint32_t argb) {   // the surface value of an opaque pixel
            return wide ? argb & 0xFFFFFF
                        : ((argb >> 8) & 0xF800) | ((argb >> 5) & 0x07E0) | ((argb >> 3) & 0x001F);
        };
        const uint32_t colourBits = wide ? 0xFFFFFF : 0xFFFF, white = value(0xFFFFFFFF);
        auto src = d.Image({kOpaque, c.second}, 2);
        if (c.claimsTrans) src->SetTransparencyFlags(true, false);
        ASSERT_NE(src->GetSurface(), nullptr) << c.what;
        auto dest = d.Image(std::vector<uint32_t>(8, 0xFFFFFFFF), 4);
        ASSERT_NE(dest->GetSurface(), nullptr) << c.what;
        if (c.refused) DirectXConfig::Get().InjectFailure("IDirectDrawSurface::Blt", DDERR_SURFACEBUSY);
        Graphics g(dest.get());
        g.SetFastStretch(true);
        if (c.stretched)
            g.DrawImageInRect(src.get(), Rect(0, 0, 4, 2), Rect(0, 0, 2, 1));
        else
            g.DrawImage(src.get(), 1, 1);
        DirectXConfig::Get().ClearFailures();
        // The blit lands at column 1; the stretch covers columns 0, 1 (left pixel) and 2, 3.
        const uint32_t right = c.second == kClear ? white : value(c.second);
        EXPECT_EQ(SurfaceValue(*dest, 0, 1) & colourBits, c.stretched ? value(kOpaque) : white) << c.what;
        EXPECT_EQ(SurfaceValue(*dest, 1, 1) & colourBits, value(kOpaque)) << c.what;
        EXPECT_EQ(SurfaceValue(*dest, 2, 1) & colourBits, right) << c.what;
    }
}

// A stretch to the source's own size gives the stretch's own pixels: the
// filtered stretch's (a scratch image, blitted) or the nearest-pixel loops'
// (their scalar form, or the surface copy they take), in every draw mode, with
// every tint, on every layout, from every kind of source.
TEST(DDImage, UnscaledStretchGivesTheStretchsPixels) {
    const PixelLayout layouts[] = {PixelLayout::RGB565, PixelLayout::RGB555, PixelLayout::BGR565,
                                   PixelLayout::XRGB8888, PixelLayout::XBGR8888};
    const Color colours[] = {Color::White, Color(128, 128, 128, 255), Color(200, 120, 60, 128),
                             Color(255, 255, 255, 254)};
    enum Kind { Opaque, Keyed, Mixed, Palettized, SurfaceOpaque, SurfaceKeyed, Volatile };
    const char* kindNames[] = {"opaque", "keyed", "mixed", "palettized", "surface", "keyed surface", "volatile"};
    constexpr int kW = 9, kH = 5;
    auto pixels = [&](Kind kind) {
        std::vector<uint32_t> px(kW * kH);
        for (int i = 0; i < kW * kH; ++i) {
            const uint32_t colour = uint32_t(i * 0x3B1F27) & 0xFFFFFF;
            const uint32_t alphas[] = {0, 255, uint32_t(40 + i * 5), 255, 1};
            uint32_t a = 255;
            if (kind == Keyed || kind == SurfaceKeyed) a = i % 3 == 0 ? 0 : 255;
            if (kind == Mixed || kind == Volatile) a = alphas[i % 5];
            if (kind == Palettized) a = alphas[i % 3];
            px[size_t(i)] = a << 24 | (kind == Palettized ? (colour & 0x0F0F0F) : colour);
        }
        return px;
    };
    int mismatched = 0;
    for (PixelLayout layout : layouts) {
        Display d(layout);
        for (int kind = Opaque; kind <= Volatile; ++kind)
            for (const Color& colour : colours)
                for (int mode = 0; mode < 3; ++mode)
                    for (bool fast : {false, true}) {
                        std::unique_ptr<MemoryImage> src;
                        const std::vector<uint32_t> px = pixels(Kind(kind));
                        if (kind == SurfaceOpaque || kind == SurfaceKeyed) {
                            auto surface = d.Image(px, kW);
                            ASSERT_NE(surface->GetSurface(), nullptr);
                            src = std::move(surface);
                        } else {
                            src = std::make_unique<MemoryImage>();
                            src->SetBits(px.data(), kW, kH);
                            if (kind == Palettized) {
                                ASSERT_TRUE(src->Palletize());
                            }
                            if (kind == Volatile) src->SetVolatile(true);
                        }
                        std::vector<uint32_t> background(12 * 8);
                        for (size_t i = 0; i < background.size(); ++i) background[i] = 0xFF000000u | uint32_t(i * 0x0A1B2C);
                        auto got = d.Image(background, 12), want = d.Image(background, 12);
                        ASSERT_NE(got->GetSurface(), nullptr);
                        ASSERT_NE(want->GetSurface(), nullptr);
                        const Rect dest(2, 1, kW, kH), source(0, 0, kW, kH), clip(3, 0, 12, 5);
                        got->StretchBlt(src.get(), dest, source, clip, colour, mode, fast);

                        // The stretch's own steps, clipped the same way.
                        RectD area;
                        Rect q;
                        ASSERT_TRUE(StretchBltClipHelper(source, clip, dest, area, q));
                        auto* dd = dynamic_cast<DDImage*>(src.get());
                        if (!fast) {
                            MemoryImage scratch;
                            scratch.Create(q.mWidth, q.mHeight);
                            scratch.SlowStretchBlt(src.get(), Rect(0, 0, q.mWidth, q.mHeight), area, Color::White, 0);
                            want->Blt(&scratch, q.mX, q.mY, Rect(0, 0, q.mWidth, q.mHeight), colour, mode);
                        } else if (dd && colour == Color::White && mode == 0) {
                            DDBLTFX fx = MakeDesc<DDBLTFX>();
                            RECT to{q.mX, q.mY, q.mX + q.mWidth, q.mY + q.mHeight};
                            RECT from{LONG(area.mX), LONG(area.mY), LONG(area.mX + area.mWidth), LONG(area.mY + area.mHeight)};
                            ASSERT_EQ(want->mSurface->Blt(&to, dd->mSurface, &from, DDBLT_WAIT | SourceKeyFlag(dd->mSurface), &fx),
                                      DD_OK);
                        } else {
                            ASSERT_TRUE(want->Lock());
                            const DDSURFACEDESC& l = want->mLockedSurfaceDesc;
                            const surface::PixelFormat f = surface::MakePixelFormat(
                                int(l.ddpfPixelFormat.dwRGBBitCount), l.ddpfPixelFormat.dwRBitMask,
                                l.ddpfPixelFormat.dwGBitMask, l.ddpfPixelFormat.dwBBitMask);
                            const surface::SurfaceView view{static_cast<uint8_t*>(l.lpSurface), int(l.lPitch), 12, 8};
                            surface::StretchNearest(view, f, surface_test::NativeOf(*src, f, mode != 0), q, area, colour,
                                                    mode != 0, false, surface::Kernels::Scalar);
                            want->Unlock();
                        }
                        for (int y = 0; y < 8; ++y)
                            for (int x = 0; x < 12; ++x)
                                if (SurfaceValue(*got, x, y) != SurfaceValue(*want, x, y) && ++mismatched <= 8)
                                    ADD_FAILURE() << "layout " << int(layout) << " " << kindNames[kind] << " colour "
                                                  << std::hex << colour.ToInt() << std::dec << " mode " << mode
                                                  << (fast ? " fast" : " filtered") << " at " << x << "," << y
                                                  << std::hex << ": got " << SurfaceValue(*got, x, y) << " want "
                                                  << SurfaceValue(*want, x, y);
                    }
    }
    EXPECT_EQ(mismatched, 0);
}
