#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "platform/directx/d3d7.h"
#include "platform/directx/dx_config.h"
#include "platform/directx/dx_module.h"

namespace {

using namespace platform;

// A DirectDraw 7 object of the stand-in, a 3D render target and a device on it.
class D3D7Test : public ::testing::Test {
protected:
    void SetUp() override {
        DirectXConfig::Get().Reset();
        Direct3DConfig::Get().Reset();
        Direct3DConfig::Get().mKind = Device3DKind::Software;
        void* dd = nullptr;
        ASSERT_EQ(DirectDrawCreateEx(nullptr, &dd, IID_IDirectDraw7, nullptr), DD_OK);
        mDD = static_cast<IDirectDraw7*>(dd);
        ASSERT_EQ(mDD->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
        mTarget = MakeSurface(16, 12, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE, PixelLayout::XRGB8888);
        ASSERT_NE(mTarget, nullptr);
        void* d3d = nullptr;
        ASSERT_EQ(mDD->QueryInterface(IID_IDirect3D7, &d3d), DD_OK);
        mD3D = static_cast<IDirect3D7*>(d3d);
        ASSERT_EQ(mD3D->CreateDevice(IID_IDirect3DHALDevice, mTarget, &mDevice), D3D_OK);
    }
    void TearDown() override {
        if (mDevice) mDevice->Release();
        if (mD3D) mD3D->Release();
        for (IDirectDrawSurface7* s : mSurfaces) s->Release();
        if (mDD) mDD->Release();
        DirectXConfig::Get().Reset();
        Direct3DConfig::Get().Reset();
        Direct3DConfig::Get().mKind = Device3DKind::Software;
    }

    IDirectDrawSurface7* MakeSurface(int w, int h, DWORD caps, PixelLayout layout, DWORD caps2 = 0) {
        DDSURFACEDESC2 d = MakeDesc<DDSURFACEDESC2>();
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.dwWidth = DWORD(w);
        d.dwHeight = DWORD(h);
        d.ddpfPixelFormat = PixelFormatOf(layout);
        d.ddsCaps.dwCaps = caps;
        d.ddsCaps.dwCaps2 = caps2;
        IDirectDrawSurface7* s = nullptr;
        if (FAILED(mDD->CreateSurface(&d, &s, nullptr))) return nullptr;
        mSurfaces.push_back(s);
        return s;
    }
    uint32_t Pixel(int x, int y) {
        SurfaceMemory m;
        GetSurfaceMemory(mTarget, m);
        uint32_t v;
        std::memcpy(&v, m.bits + size_t(y) * m.pitch + size_t(x) * 4, 4);
        return v & 0xFFFFFF;
    }
    int Covered() {
        int n = 0;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x) n += Pixel(x, y) != 0;
        return n;
    }
    // Every row of the texture gets the same texels.
    void WriteTexels(IDirectDrawSurface7* tex, const void* row, size_t bytesPerRow, int rows) {
        DDSURFACEDESC2 d = MakeDesc<DDSURFACEDESC2>();
        ASSERT_EQ(tex->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr), DD_OK);
        for (int y = 0; y < rows; ++y)
            std::memcpy(static_cast<uint8_t*>(d.lpSurface) + size_t(y) * d.lPitch,
                        row, bytesPerRow);
        ASSERT_EQ(tex->Unlock(nullptr), DD_OK);
    }

    IDirectDraw7* mDD = nullptr;
    IDirectDrawSurface7* mTarget = nullptr;
    IDirect3D7* mD3D = nullptr;
    IDirect3DDevice7* mDevice = nullptr;
    std::vector<IDirectDrawSurface7*> mSurfaces;
};

D3DTLVERTEX TL(float x, float y, float u = 0, float v = 0, D3DCOLOR c = 0xFFFFFFFF) {
    D3DTLVERTEX r;
    r.sx = x;
    r.sy = y;
    r.tu = u;
    r.tv = v;
    r.color = c;
    return r;
}

TEST_F(D3D7Test, CallsOutOfOrderOrOutOfBoundsFail) {
    IDirectDrawSurface7* plain = MakeSurface(8, 8, DDSCAPS_OFFSCREENPLAIN, PixelLayout::XRGB8888);
    IDirectDrawSurface7* big = MakeSurface(32, 32, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE, PixelLayout::RGB565);
    D3DTLVERTEX tri[3] = {TL(0, 0), TL(4, 0), TL(0, 4)};
    struct Case { const char* name; std::function<HRESULT()> call; HRESULT want; };
    const Case cases[] = {
        {"end without begin", [&] { return mDevice->EndScene(); }, D3DERR_SCENE_NOT_IN_SCENE},
        {"draw outside a scene", [&] { return mDevice->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, tri, 3, 0); }, D3DERR_SCENE_NOT_IN_SCENE},
        {"begin", [&] { return mDevice->BeginScene(); }, D3D_OK},
        {"begin twice", [&] { return mDevice->BeginScene(); }, D3DERR_SCENE_IN_SCENE},
        {"unknown vertex fields", [&] { return mDevice->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX | 0x10, tri, 3, 0); }, D3DERR_INVALIDVERTEXTYPE},
        {"more vertices than one call takes", [&] { return mDevice->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, tri, 0x10000, 0); }, DDERR_INVALIDPARAMS},
        {"unknown primitive", [&] { return mDevice->DrawPrimitive(D3DPRIMITIVETYPE(9), D3DFVF_TLVERTEX, tri, 3, 0); }, D3DERR_INVALIDPRIMITIVETYPE},
        {"end", [&] { return mDevice->EndScene(); }, D3D_OK},
        {"viewport past the target", [&] { D3DVIEWPORT7 v{4, 0, 13, 12, 0, 1}; return mDevice->SetViewport(&v); }, DDERR_INVALIDPARAMS},
        {"viewport inside", [&] { D3DVIEWPORT7 v{4, 2, 12, 10, 0, 1}; return mDevice->SetViewport(&v); }, D3D_OK},
        {"clear a z-buffer there is not", [&] { return mDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1, 0); }, D3DERR_ZBUFFER_NOTPRESENT},
        {"target without 3D caps", [&] { return mDevice->SetRenderTarget(plain, 0); }, DDERR_INVALIDCAPS},
        {"a plain surface as texture", [&] { return mDevice->SetTexture(0, plain); }, DDERR_INVALIDCAPS},
        {"device on a plain surface", [&] { IDirect3DDevice7* d = nullptr; return mD3D->CreateDevice(IID_IDirect3DHALDevice, plain, &d); }, DDERR_INVALIDCAPS},
        {"device of another kind", [&] { IDirect3DDevice7* d = nullptr; return mD3D->CreateDevice(IID_IDirect3D7, mTarget, &d); }, D3DERR_INVALID_DEVICE},
        {"new target", [&] { return mDevice->SetRenderTarget(big, 0); }, D3D_OK},
        {"viewport of the new target", [&] { D3DVIEWPORT7 v{0, 0, 32, 32, 0, 1}; return mDevice->SetViewport(&v); }, D3D_OK},
    };
    for (const Case& k : cases) EXPECT_EQ(k.call(), k.want) << k.name;
}

// Strips, lists and fans of one 4 x 4 square and a line strip as the display
// sends it; the viewport cuts what is drawn.
TEST_F(D3D7Test, PrimitivesCoverTheirPixels) {
    const float l = 1.5f, t = 2.5f, r = l + 4, b = t + 4;
    struct Case {
        const char* name;
        D3DPRIMITIVETYPE type;
        std::vector<D3DTLVERTEX> v;
        D3DVIEWPORT7 viewport;
        int covered;
    };
    const D3DVIEWPORT7 all{0, 0, 16, 12, 0, 1};
    const Case cases[] = {
        {"strip", D3DPT_TRIANGLESTRIP, {TL(l, t), TL(r, t), TL(l, b), TL(r, b)}, all, 16},
        {"list", D3DPT_TRIANGLELIST, {TL(l, t), TL(r, t), TL(l, b), TL(r, t), TL(r, b), TL(l, b)}, all, 16},
        {"fan", D3DPT_TRIANGLEFAN, {TL(l, t), TL(r, t), TL(r, b), TL(l, b)}, all, 16},
        {"line strip", D3DPT_LINESTRIP, {TL(2, 5), TL(9, 5), TL(9.5f, 5.5f)}, all, 8},
        {"line list", D3DPT_LINELIST, {TL(2, 5), TL(2, 9), TL(5, 1), TL(8, 1)}, all, 7},
        {"cut by the viewport", D3DPT_TRIANGLESTRIP, {TL(-10, -10), TL(30, -10), TL(-10, 30), TL(30, 30)}, {3, 2, 5, 4, 0, 1}, 20},
    };
    for (const Case& k : cases) {
        D3DVIEWPORT7 vp = all;
        ASSERT_EQ(mDevice->SetViewport(&vp), D3D_OK);
        ASSERT_EQ(mDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1, 0), D3D_OK);
        vp = k.viewport;
        ASSERT_EQ(mDevice->SetViewport(&vp), D3D_OK);
        ASSERT_EQ(mDevice->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE), D3D_OK);
        ASSERT_EQ(mDevice->BeginScene(), D3D_OK);
        std::vector<D3DTLVERTEX> v = k.v;
        EXPECT_EQ(mDevice->DrawPrimitive(k.type, D3DFVF_TLVERTEX, v.data(), DWORD(v.size()), 0), D3D_OK) << k.name;
        ASSERT_EQ(mDevice->EndScene(), D3D_OK);
        EXPECT_EQ(Covered(), k.covered) << k.name;
    }
}

// Without CULLMODE NONE the device culls counter-clockwise triangles, as the
// real one does by default; the display and the test switch it off.
TEST_F(D3D7Test, DefaultCullingDropsCounterClockwiseTriangles) {
    D3DTLVERTEX cw[3] = {TL(0, 0), TL(8, 0), TL(0, 8)};
    D3DTLVERTEX ccw[3] = {TL(0, 0), TL(0, 8), TL(8, 0)};
    D3DTLVERTEX ccwStrip[4] = {TL(8, 0), TL(0, 0), TL(8, 8), TL(0, 8)};
    ASSERT_EQ(mDevice->BeginScene(), D3D_OK);
    mDevice->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, ccw, 3, 0);
    mDevice->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, ccwStrip, 4, 0);
    EXPECT_EQ(Covered(), 0);
    mDevice->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, cw, 3, 0);
    EXPECT_GT(Covered(), 0);
    mDevice->EndScene();
}

// Texels written through Lock are what the next draw shows, in every texture
// format, and a palette change shows too.
TEST_F(D3D7Test, TexturesShowWhatWasLastUnlocked) {
    struct Case { const char* name; PixelLayout layout; uint32_t first, second; int bytes; uint32_t want1, want2; };
    const Case cases[] = {
        {"A8R8G8B8", PixelLayout::ARGB8888, 0xFF102030, 0xFF405060, 4, 0x102030, 0x405060},
        {"A4R4G4B4", PixelLayout::ARGB4444, 0xF8F4, 0xF123, 2, 0x88FF44, 0x112233},
        {"R5G6B5", PixelLayout::RGB565, 0xF800, 0x001F, 2, 0xFF0000, 0x0000FF},
        {"PAL8", PixelLayout::PAL8, 1, 2, 1, 0x0A0B0C, 0x0D0E0F},
    };
    PALETTEENTRY entries[256] = {};
    entries[1] = {0x0A, 0x0B, 0x0C, 0xFF};
    entries[2] = {0x0D, 0x0E, 0x0F, 0xFF};
    for (const Case& k : cases) {
        IDirectDrawSurface7* tex = MakeSurface(2, 2, DDSCAPS_TEXTURE, k.layout, DDSCAPS2_TEXTUREMANAGE);
        ASSERT_NE(tex, nullptr) << k.name;
        IDirectDrawPalette* pal = nullptr;
        if (k.layout == PixelLayout::PAL8) {
            ASSERT_EQ(mDD->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &pal, nullptr), DD_OK);
            ASSERT_EQ(tex->SetPalette(pal), DD_OK);
        }
        D3DTLVERTEX quad[4] = {TL(-0.5f, -0.5f, 0, 0), TL(1.5f, -0.5f, 1, 0), TL(-0.5f, 1.5f, 0, 1), TL(1.5f, 1.5f, 1, 1)};
        ASSERT_EQ(mDevice->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE), D3D_OK);
        for (int pass = 0; pass < 2; ++pass) {
            uint32_t value = pass == 0 ? k.first : k.second;
            uint8_t row[8];
            for (int i = 0; i < 2; ++i) std::memcpy(row + i * k.bytes, &value, size_t(k.bytes));
            WriteTexels(tex, row, size_t(2 * k.bytes), 2);
            ASSERT_EQ(mDevice->SetTexture(0, tex), D3D_OK);
            ASSERT_EQ(mDevice->BeginScene(), D3D_OK);
            ASSERT_EQ(mDevice->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, quad, 4, 0), D3D_OK);
            ASSERT_EQ(mDevice->EndScene(), D3D_OK);
            EXPECT_EQ(Pixel(1, 1), pass == 0 ? k.want1 : k.want2) << k.name << " pass " << pass << std::hex << " " << Pixel(1, 1);
        }
        if (pal) {
            PALETTEENTRY changed = {0x20, 0x21, 0x22, 0xFF};
            ASSERT_EQ(pal->SetEntries(0, 2, 1, &changed), DD_OK);
            ASSERT_EQ(mDevice->BeginScene(), D3D_OK);
            mDevice->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, quad, 4, 0);
            mDevice->EndScene();
            EXPECT_EQ(Pixel(1, 1), 0x202122u) << "palette change";
            pal->Release();
        }
        mDevice->SetTexture(0, nullptr);
    }

    // A texture left undrawn for hundreds of scenes loses its decoded copy and
    // shows its texels when drawn again; so does a texture made where a
    // released one was.
    D3DTLVERTEX quad[4] = {TL(-0.5f, -0.5f, 0, 0), TL(1.5f, -0.5f, 1, 0), TL(-0.5f, 1.5f, 0, 1), TL(1.5f, 1.5f, 1, 1)};
    auto texture = [&](uint32_t argb) {
        IDirectDrawSurface7* t = MakeSurface(2, 2, DDSCAPS_TEXTURE, PixelLayout::ARGB8888, DDSCAPS2_TEXTUREMANAGE);
        const uint32_t row[2] = {argb, argb};
        WriteTexels(t, row, sizeof row, 2);
        return t;
    };
    auto draw = [&](IDirectDrawSurface7* t) {
        mDevice->SetTexture(0, t);
        mDevice->BeginScene();
        mDevice->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, quad, 4, 0);
        mDevice->EndScene();
        return Pixel(1, 1);
    };
    IDirectDrawSurface7* kept = texture(0xFF112233);
    IDirectDrawSurface7* busy = texture(0xFF445566);
    EXPECT_EQ(draw(kept), 0x112233u);
    for (int scene = 0; scene < 700; ++scene) draw(busy);
    EXPECT_EQ(draw(kept), 0x112233u) << "after its decoded copy was dropped";
    for (uint32_t n = 0; n < 40; ++n) {
        IDirectDrawSurface7* gone = texture(0xFF000000u | n);
        EXPECT_EQ(draw(gone), n);
        mSurfaces.pop_back();
        mDevice->SetTexture(0, nullptr);
        gone->Release();
    }
    mDevice->SetTexture(0, nullptr);
}

TEST_F(D3D7Test, ConfigurationShapesTheDevice) {
    auto formats = [&] {
        std::vector<DWORD> bits;
        mDevice->EnumTextureFormats(
            [](DDPIXELFORMAT* f, void* ctx) {
                static_cast<std::vector<DWORD>*>(ctx)->push_back(f->dwRGBBitCount << 16 | f->dwFlags);
                return D3DENUMRET_OK;
            },
            &bits);
        return bits;
    };
    const std::vector<DWORD> all = {32u << 16 | DDPF_RGB | DDPF_ALPHAPIXELS, 16u << 16 | DDPF_RGB | DDPF_ALPHAPIXELS,
                                    16u << 16 | DDPF_RGB, 8u << 16 | DDPF_RGB | DDPF_PALETTEINDEXED8};
    EXPECT_EQ(formats(), all);
    Direct3DConfig::Get().mFormatR5G6B5 = false;
    Direct3DConfig::Get().mAlphaPalette = false;
    Direct3DConfig::Get().mMaxTextureWidth = 0;
    EXPECT_EQ(formats().size(), 3u);
    D3DDEVICEDESC7 caps;
    ASSERT_EQ(mDevice->GetCaps(&caps), D3D_OK);
    EXPECT_EQ(caps.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_ALPHAPALETTE, 0u);
    EXPECT_EQ(caps.dwMaxTextureWidth, 0u);

    // An injected failure comes back from its method.
    DirectXConfig::Get().InjectFailure("IDirect3DDevice7::BeginScene", MAKE_DDHRESULT(762));
    EXPECT_EQ(mDevice->BeginScene(), MAKE_DDHRESULT(762));

    // Without the device the DirectDraw object offers no Direct3D.
    Direct3DConfig::Get().mKind = Device3DKind::None;
    void* d3d = nullptr;
    EXPECT_EQ(mDD->QueryInterface(IID_IDirect3D7, &d3d), E_NOINTERFACE);
    EXPECT_EQ(d3d, nullptr);
}

TEST_F(D3D7Test, Direct3D8ProbeTellsTheAdapter) {
    DirectXConfig::Get().mDescription = "Corvane Test Adapter";
    ModuleHandle module = LoadModule("d3d8.dll");
    auto create = reinterpret_cast<Direct3DCreate8Fn>(GetProcAddress(module, "Direct3DCreate8"));
    ASSERT_NE(create, nullptr);
    auto* d3d8 = static_cast<IDirect3D8*>(create(D3D_SDK_VERSION_8));
    ASSERT_NE(d3d8, nullptr);
    D3DADAPTER_IDENTIFIER8 id;
    EXPECT_EQ(d3d8->GetAdapterIdentifier(D3DADAPTER_DEFAULT, D3DENUM_NO_WHQL_LEVEL, &id), D3D_OK);
    EXPECT_STREQ(id.Description, "Corvane Test Adapter");
    EXPECT_STREQ(id.Driver, DirectXConfig::Get().mDriver.c_str());
    EXPECT_EQ(id.DeviceIdentifier, DirectXConfig::Get().mDeviceGuid);
    d3d8->Release();
    EXPECT_EQ(create(219), nullptr);
    EXPECT_EQ(DriverFileYear(DirectXConfig::Get().mDriver), 2006);
    EXPECT_EQ(DriverFileYear("other.dll"), 0);
}

} // namespace
