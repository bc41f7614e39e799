// The software Direct3D 7 device and the Direct3D 8 adapter probe.
#include "platform/directx/d3d7.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/directx/d3d_raster.h"
#include "platform/directx/d3d_texels.h"
#include "platform/directx/dx_config.h"

namespace platform {

const IID IID_IDirect3DDevice7{0x5A0D3DD7, 0x0D0D, 0x0007, {'d', 'e', 'v', 0, 0, 0, 0, 7}};

namespace {

HRESULT Check(DxMethod method) { return DirectXConfig::Get().Check(method); }

// The reference count of a stand-in object; Release deletes it at 0.
template <typename Interface>
class RefCounted : public Interface {
public:
    ULONG AddRef() override { return ++mRefs; }
    ULONG Release() override {
        ULONG left = --mRefs;
        if (left == 0) delete this;
        return left;
    }

private:
    std::atomic<ULONG> mRefs{1};
};

bool TargetLayoutOf(const DDPIXELFORMAT& format, d3d::TargetLayout& out) {
    PixelLayout l;
    if (!LayoutOf(format, l)) return false;
    switch (l) {
    case PixelLayout::RGB565: out = d3d::TargetLayout::RGB565; return true;
    case PixelLayout::BGR565: out = d3d::TargetLayout::BGR565; return true;
    case PixelLayout::RGB555: out = d3d::TargetLayout::RGB555; return true;
    case PixelLayout::BGR555: out = d3d::TargetLayout::BGR555; return true;
    case PixelLayout::XRGB8888:
    case PixelLayout::ARGB8888: out = d3d::TargetLayout::ARGB8888; return true;
    case PixelLayout::XBGR8888: out = d3d::TargetLayout::ABGR8888; return true;
    case PixelLayout::RGB888: out = d3d::TargetLayout::RGB888; return true;
    default: return false;
    }
}

bool TexelFormatOf(const DDPIXELFORMAT& format, d3d::TexelFormat& out) {
    PixelLayout l;
    if (!LayoutOf(format, l)) return false;
    switch (l) {
    case PixelLayout::ARGB8888: out = d3d::TexelFormat::A8R8G8B8; return true;
    case PixelLayout::ARGB4444: out = d3d::TexelFormat::A4R4G4B4; return true;
    case PixelLayout::RGB565: out = d3d::TexelFormat::R5G6B5; return true;
    case PixelLayout::PAL8: out = d3d::TexelFormat::PAL8; return true;
    default: return false;
    }
}

d3d::BlendFactor FactorOf(DWORD blend) {
    switch (blend) {
    case D3DBLEND_ZERO: return d3d::BlendFactor::Zero;
    case D3DBLEND_SRCCOLOR: return d3d::BlendFactor::SrcColor;
    case D3DBLEND_INVSRCCOLOR: return d3d::BlendFactor::InvSrcColor;
    case D3DBLEND_SRCALPHA: return d3d::BlendFactor::SrcAlpha;
    case D3DBLEND_INVSRCALPHA: return d3d::BlendFactor::InvSrcAlpha;
    case D3DBLEND_DESTALPHA: return d3d::BlendFactor::DestAlpha;
    case D3DBLEND_INVDESTALPHA: return d3d::BlendFactor::InvDestAlpha;
    case D3DBLEND_DESTCOLOR: return d3d::BlendFactor::DestColor;
    case D3DBLEND_INVDESTCOLOR: return d3d::BlendFactor::InvDestColor;
    default: return d3d::BlendFactor::One;
    }
}

// The stage's output for an operation and its arguments.
d3d::StageOp StageOpOf(DWORD op, DWORD arg1, DWORD arg2) {
    auto select = [](DWORD arg) { return arg == D3DTA_TEXTURE ? d3d::StageOp::SelectTexture : d3d::StageOp::SelectDiffuse; };
    switch (op) {
    case D3DTOP_MODULATE: return d3d::StageOp::Modulate;
    case D3DTOP_SELECTARG1: return select(arg1);
    case D3DTOP_SELECTARG2: return select(arg2);
    default: return d3d::StageOp::SelectDiffuse;   // disabled: the diffuse colour goes through
    }
}

// The texture formats the device offers, as the display describes them.
DDPIXELFORMAT TextureFormat(int which) {
    DDPIXELFORMAT f{};
    f.dwSize = sizeof f;
    switch (which) {
    case 0: f = PixelFormatOf(PixelLayout::ARGB8888); break;
    case 1: f = PixelFormatOf(PixelLayout::ARGB4444); break;
    case 2: f = PixelFormatOf(PixelLayout::RGB565); break;
    default:
        f.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
        f.dwRGBBitCount = 8;
        break;
    }
    return f;
}

// Render or stage states by number: the small numbers every draw reads sit in
// an array, any other number in a map. States never set read 0.
class StateTable {
public:
    DWORD Get(DWORD state) const {
        if (state < kDirect) return mDirect[state];
        auto it = mOther.find(state);
        return it == mOther.end() ? 0 : it->second;
    }
    DWORD& operator[](DWORD state) { return state < kDirect ? mDirect[state] : mOther[state]; }

private:
    static constexpr DWORD kDirect = 256;
    std::array<DWORD, kDirect> mDirect{};
    std::map<DWORD, DWORD> mOther;
};

// A texture surface's texels in the one format the span loops read, made
// again whenever the surface was unlocked or its palette changed since.
struct DecodedTexture {
    uint64_t version = ~0ull;
    std::vector<uint32_t> palette;
    std::vector<uint32_t> texels;
    int width = 0, height = 0;
    bool opaque = false;
    unsigned lastScene = 0;
};

class Device final : public RefCounted<IDirect3DDevice7> {
public:
    Device(IDirect3D7* d3d, IDirectDrawSurface7* target) : mD3D(d3d), mTarget(target) {
        mD3D->AddRef();
        mTarget->AddRef();
        ResetViewport();
        mRender[D3DRENDERSTATE_ZENABLE] = 0;
        mRender[D3DRENDERSTATE_ZWRITEENABLE] = 1;
        mRender[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
        mRender[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
        mRender[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
        mRender[D3DRENDERSTATE_DITHERENABLE] = 0;
        mRender[D3DRENDERSTATE_ALPHABLENDENABLE] = 0;
        mRender[D3DRENDERSTATE_SPECULARENABLE] = 0;
        mRender[D3DRENDERSTATE_LIGHTING] = 1;
        for (DWORD s = 0; s < kStages; ++s) {
            auto& st = mStage[s];
            st[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
            st[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
            st[D3DTSS_COLORARG2] = D3DTA_CURRENT;
            st[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
            st[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
            st[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
            st[D3DTSS_ADDRESSU] = st[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
            st[D3DTSS_MAGFILTER] = D3DTFG_POINT;
            st[D3DTSS_MINFILTER] = D3DTFN_POINT;
            st[D3DTSS_MIPFILTER] = D3DTFP_NONE;
        }
    }

    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return DDERR_INVALIDPARAMS;
        if (iid == IID_IDirect3DDevice7 || iid == IID_IUnknown) {
            AddRef();
            *out = static_cast<IDirect3DDevice7*>(this);
            return D3D_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT GetCaps(D3DDEVICEDESC7* desc) override;
    HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) override;

    HRESULT BeginScene() override {
        if (HRESULT hr = Check("IDirect3DDevice7::BeginScene"); FAILED(hr)) return hr;
        if (mInScene) return D3DERR_SCENE_IN_SCENE;
        mInScene = true;
        return D3D_OK;
    }
    HRESULT EndScene() override {
        if (HRESULT hr = Check("IDirect3DDevice7::EndScene"); FAILED(hr)) return hr;
        if (!mInScene) return D3DERR_SCENE_NOT_IN_SCENE;
        mInScene = false;
        ++mScenes;
        DropUnusedTextures();
        return D3D_OK;
    }
    HRESULT GetDirect3D(IDirect3D7** out) override {
        if (!out) return DDERR_INVALIDPARAMS;
        mD3D->AddRef();
        *out = mD3D;
        return D3D_OK;
    }
    HRESULT SetRenderTarget(IDirectDrawSurface7* surface, DWORD flags) override {
        (void)flags;
        if (HRESULT hr = Check("IDirect3DDevice7::SetRenderTarget"); FAILED(hr)) return hr;
        if (HRESULT hr = CheckTarget(surface); FAILED(hr)) return hr;
        surface->AddRef();
        mTarget->Release();
        mTarget = surface;
        ResetViewport();
        return D3D_OK;
    }
    HRESULT GetRenderTarget(IDirectDrawSurface7** out) override {
        if (!out) return DDERR_INVALIDPARAMS;
        mTarget->AddRef();
        *out = mTarget;
        return D3D_OK;
    }
    HRESULT Clear(DWORD count, D3DRECT* rects, DWORD flags, D3DCOLOR color, D3DVALUE z, DWORD stencil) override;
    HRESULT SetViewport(D3DVIEWPORT7* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT7* viewport) override {
        if (!viewport) return DDERR_INVALIDPARAMS;
        *viewport = mViewport;
        return D3D_OK;
    }
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override {
        if (HRESULT hr = Check("IDirect3DDevice7::SetRenderState"); FAILED(hr)) return hr;
        mRender[state] = value;
        return D3D_OK;
    }
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override {
        if (!value) return DDERR_INVALIDPARAMS;
        *value = mRender.Get(state);
        return D3D_OK;
    }
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD count, DWORD flags) override;
    HRESULT GetTexture(DWORD stage, IDirectDrawSurface7** out) override {
        if (!out || stage >= kStages) return DDERR_INVALIDPARAMS;
        *out = mTextures[stage];
        if (*out) (*out)->AddRef();
        return D3D_OK;
    }
    HRESULT SetTexture(DWORD stage, IDirectDrawSurface7* texture) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD* value) override {
        if (!value || stage >= kStages) return DDERR_INVALIDPARAMS;
        *value = mStage[stage].Get(state);
        return D3D_OK;
    }
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) override;

private:
    static constexpr DWORD kStages = 8;

    ~Device() override {
        for (IDirectDrawSurface7*& t : mTextures)
            if (t) t->Release();
        mTarget->Release();
        mD3D->Release();
    }

    static HRESULT CheckTarget(IDirectDrawSurface7* surface) {
        SurfaceMemory mem;
        if (!surface || !GetSurfaceMemory(surface, mem)) return DDERR_INVALIDPARAMS;
        if (!(mem.caps & DDSCAPS_3DDEVICE)) return DDERR_INVALIDCAPS;
        d3d::TargetLayout layout;
        if (!TargetLayoutOf(mem.format, layout)) return DDERR_INVALIDPIXELFORMAT;
        return D3D_OK;
    }

    void ResetViewport() {
        SurfaceMemory mem;
        GetSurfaceMemory(mTarget, mem);
        mViewport = D3DVIEWPORT7{0, 0, DWORD(std::max(mem.width, 0)), DWORD(std::max(mem.height, 0)), 0.f, 1.f};
    }

    bool TargetOf(d3d::Target& out) {
        SurfaceMemory mem;
        if (!GetSurfaceMemory(mTarget, mem) || !mem.bits) return false;
        out = d3d::Target{mem.bits, mem.pitch, mem.width, mem.height, d3d::TargetLayout::ARGB8888};
        return TargetLayoutOf(mem.format, out.layout);
    }

    d3d::RasterState StateNow() const;
    const d3d::Texture* TextureNow(d3d::Texture& out);
    bool Culled(const d3d::Vertex& a, const d3d::Vertex& b, const d3d::Vertex& c);
    bool DrawRectangle(const d3d::Target& t, const d3d::RasterState& s, const d3d::Texture* tex, const d3d::Vertex& a,
                       const d3d::Vertex& b, const d3d::Vertex& c, const d3d::Vertex& d);
    void DrawTriangle(const d3d::Target& t, const d3d::RasterState& s, const d3d::Texture* tex,
                      const d3d::Vertex& a, const d3d::Vertex& b, const d3d::Vertex& c);
    DWORD RenderState(DWORD state) const {
        return mRender.Get(state);
    }
    DWORD StageState(DWORD state) const {
        return mStage[0].Get(state);
    }
    void DropUnusedTextures() {
        // A texture unused for many scenes may be gone; its decoded copy goes
        // too. Looked for now and then: the walk reads every entry.
        if (mScenes % 64 != 0) return;
        bool dropped = false;
        for (auto it = mDecoded.begin(); it != mDecoded.end();) {
            const bool old = mScenes - it->second.lastScene > 300;
            dropped |= old;
            it = old ? mDecoded.erase(it) : std::next(it);
        }
        if (dropped) mRecent.fill({});
    }
    // The slot of a texture among those drawn lately. A menu frame draws
    // some eighty textures: with 1,024 slots few of them share one.
    static constexpr int kRecentBits = 10;
    static size_t RecentSlot(const IDirectDrawSurface7* surface) {
        return size_t((uint64_t(reinterpret_cast<uintptr_t>(surface)) * 0x9E3779B97F4A7C15ull) >> (64 - kRecentBits));
    }

    IDirect3D7* mD3D;
    IDirectDrawSurface7* mTarget;
    IDirectDrawSurface7* mTextures[kStages] = {};
    D3DVIEWPORT7 mViewport;
    bool mInScene = false;
    unsigned mScenes = 0;
    StateTable mRender;
    StateTable mStage[kStages];
    std::vector<d3d::Vertex> mVertices;   // DrawPrimitive's, kept to save allocating
    // Looked up for every textured draw: hashed, not a tree walk.
    std::unordered_map<IDirectDrawSurface7*, DecodedTexture> mDecoded;
    // The entries of textures drawn lately, by RecentSlot: a frame draws the
    // same few dozen again, and the map's own lookup misses the cache twice
    // (its bucket, then its node) after the frame's pixels went through.
    std::array<std::pair<IDirectDrawSurface7*, DecodedTexture*>, size_t(1) << kRecentBits> mRecent{};
};

class Direct3D final : public RefCounted<IDirect3D7> {
public:
    explicit Direct3D(IDirectDraw7* dd) : mDirectDraw(dd) { mDirectDraw->AddRef(); }
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return DDERR_INVALIDPARAMS;
        if (iid == IID_IDirect3D7 || iid == IID_IUnknown) {
            AddRef();
            *out = static_cast<IDirect3D7*>(this);
            return D3D_OK;
        }
        if (iid == IID_IDirectDraw7) return mDirectDraw->QueryInterface(iid, out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT CreateDevice(REFCLSID device, IDirectDrawSurface7* target, IDirect3DDevice7** out) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (HRESULT hr = Check("IDirect3D7::CreateDevice"); FAILED(hr)) return hr;
        if (!(device == IID_IDirect3DHALDevice)) return D3DERR_INVALID_DEVICE;
        SurfaceMemory mem;
        if (!target || !GetSurfaceMemory(target, mem)) return DDERR_INVALIDPARAMS;
        if (!(mem.caps & DDSCAPS_3DDEVICE)) return DDERR_INVALIDCAPS;
        d3d::TargetLayout layout;
        if (!TargetLayoutOf(mem.format, layout)) return DDERR_INVALIDPIXELFORMAT;
        *out = new Device(this, target);
        return D3D_OK;
    }
    HRESULT EvictManagedTextures() override { return Check("IDirect3D7::EvictManagedTextures"); }

private:
    ~Direct3D() override { mDirectDraw->Release(); }
    IDirectDraw7* mDirectDraw;
};

HRESULT Device::GetCaps(D3DDEVICEDESC7* desc) {
    if (HRESULT hr = Check("IDirect3DDevice7::GetCaps"); FAILED(hr)) return hr;
    if (!desc) return DDERR_INVALIDPARAMS;
    const Direct3DConfig& c = Direct3DConfig::Get();
    *desc = D3DDEVICEDESC7{};
    desc->dwDeviceRenderBitDepth = 0x500 | 0x100;   // 16 and 32 bits
    desc->dwMinTextureWidth = desc->dwMinTextureHeight = c.mMinTextureSize;
    desc->dwMaxTextureWidth = c.mMaxTextureWidth;
    desc->dwMaxTextureHeight = c.mMaxTextureHeight;
    desc->dwMaxTextureAspectRatio = c.mMaxTextureAspect;
    desc->dwMaxTextureRepeat = 1;
    desc->wMaxTextureBlendStages = desc->wMaxSimultaneousTextures = 1;
    desc->dwFVFCaps = 1;
    for (D3DPRIMCAPS* p : {&desc->dpcLineCaps, &desc->dpcTriCaps}) {
        p->dwTextureCaps = D3DPTEXTURECAPS_ALPHA | (c.mAlphaPalette ? D3DPTEXTURECAPS_ALPHAPALETTE : 0);
        p->dwSrcBlendCaps = p->dwDestBlendCaps = 0x3FF;   // ZERO to INVDESTCOLOR
    }
    desc->deviceGUID = IID_IDirect3DHALDevice;
    return D3D_OK;
}

HRESULT Device::EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) {
    if (HRESULT hr = Check("IDirect3DDevice7::EnumTextureFormats"); FAILED(hr)) return hr;
    if (!callback) return DDERR_INVALIDPARAMS;
    const Direct3DConfig& c = Direct3DConfig::Get();
    const bool offered[] = {c.mFormatA8R8G8B8, c.mFormatA4R4G4B4, c.mFormatR5G6B5, c.mFormatPAL8};
    for (int i = 0; i < 4; ++i) {
        if (!offered[i]) continue;
        DDPIXELFORMAT f = TextureFormat(i);
        if (callback(&f, context) == D3DENUMRET_CANCEL) break;
    }
    return D3D_OK;
}

HRESULT Device::Clear(DWORD count, D3DRECT* rects, DWORD flags, D3DCOLOR color, D3DVALUE z, DWORD stencil) {
    (void)z;
    (void)stencil;
    if (HRESULT hr = Check("IDirect3DDevice7::Clear"); FAILED(hr)) return hr;
    if (flags & D3DCLEAR_ZBUFFER) return D3DERR_ZBUFFER_NOTPRESENT;
    if (count > 0 && !rects) return DDERR_INVALIDPARAMS;
    d3d::Target t;
    if (!(flags & D3DCLEAR_TARGET) || !TargetOf(t)) return D3D_OK;
    const LONG vx0 = LONG(mViewport.dwX), vy0 = LONG(mViewport.dwY);
    const LONG vx1 = vx0 + LONG(mViewport.dwWidth), vy1 = vy0 + LONG(mViewport.dwHeight);
    if (count == 0) {
        d3d::FillRect(t, vx0, vy0, vx1, vy1, color);
        return D3D_OK;
    }
    for (DWORD i = 0; i < count; ++i)
        d3d::FillRect(t, std::max(rects[i].x1, vx0), std::max(rects[i].y1, vy0), std::min(rects[i].x2, vx1),
                      std::min(rects[i].y2, vy1), color);
    return D3D_OK;
}

HRESULT Device::SetViewport(D3DVIEWPORT7* viewport) {
    if (HRESULT hr = Check("IDirect3DDevice7::SetViewport"); FAILED(hr)) return hr;
    if (!viewport) return DDERR_INVALIDPARAMS;
    SurfaceMemory mem;
    if (!GetSurfaceMemory(mTarget, mem)) return DDERR_INVALIDPARAMS;
    // Drawing never leaves the target: a viewport reaching past it is refused.
    const uint64_t right = uint64_t(viewport->dwX) + viewport->dwWidth;
    const uint64_t bottom = uint64_t(viewport->dwY) + viewport->dwHeight;
    if (right > uint64_t(mem.width) || bottom > uint64_t(mem.height)) return DDERR_INVALIDPARAMS;
    mViewport = *viewport;
    return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, IDirectDrawSurface7* texture) {
    if (HRESULT hr = Check("IDirect3DDevice7::SetTexture"); FAILED(hr)) return hr;
    if (stage >= kStages) return DDERR_INVALIDPARAMS;
    if (texture) {
        SurfaceMemory mem;
        if (!GetSurfaceMemory(texture, mem)) return DDERR_INVALIDPARAMS;
        d3d::TexelFormat f;
        if (!(mem.caps & DDSCAPS_TEXTURE)) return DDERR_INVALIDCAPS;
        if (!TexelFormatOf(mem.format, f)) return DDERR_INVALIDPIXELFORMAT;
        texture->AddRef();
    }
    if (mTextures[stage]) mTextures[stage]->Release();
    mTextures[stage] = texture;
    return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) {
    if (HRESULT hr = Check("IDirect3DDevice7::SetTextureStageState"); FAILED(hr)) return hr;
    if (stage >= kStages) return DDERR_INVALIDPARAMS;
    if (stage == 0 && (state == D3DTSS_COLOROP || state == D3DTSS_ALPHAOP) &&
        (value < D3DTOP_DISABLE || value > D3DTOP_MODULATE))
        return state == D3DTSS_COLOROP ? D3DERR_UNSUPPORTEDCOLOROPERATION : D3DERR_UNSUPPORTEDALPHAOPERATION;
    if (state == D3DTSS_ADDRESS) {
        mStage[stage][D3DTSS_ADDRESSU] = mStage[stage][D3DTSS_ADDRESSV] = value;
        return D3D_OK;
    }
    mStage[stage][state] = value;
    return D3D_OK;
}

d3d::RasterState Device::StateNow() const {
    d3d::RasterState s;
    s.blend = RenderState(D3DRENDERSTATE_ALPHABLENDENABLE) != 0;
    s.srcBlend = FactorOf(RenderState(D3DRENDERSTATE_SRCBLEND));
    s.destBlend = FactorOf(RenderState(D3DRENDERSTATE_DESTBLEND));
    s.specular = RenderState(D3DRENDERSTATE_SPECULARENABLE) != 0;
    s.colorOp = StageOpOf(StageState(D3DTSS_COLOROP), StageState(D3DTSS_COLORARG1), StageState(D3DTSS_COLORARG2));
    s.alphaOp = StageOpOf(StageState(D3DTSS_ALPHAOP), StageState(D3DTSS_ALPHAARG1), StageState(D3DTSS_ALPHAARG2));
    if (StageState(D3DTSS_COLOROP) == D3DTOP_DISABLE) s.alphaOp = d3d::StageOp::SelectDiffuse;
    s.linear = StageState(D3DTSS_MAGFILTER) == D3DTFG_LINEAR || StageState(D3DTSS_MINFILTER) == D3DTFN_LINEAR;
    s.clipX0 = int(std::min<DWORD>(mViewport.dwX, 1u << 30));
    s.clipY0 = int(std::min<DWORD>(mViewport.dwY, 1u << 30));
    s.clipX1 = int(std::min<uint64_t>(uint64_t(mViewport.dwX) + mViewport.dwWidth, 1u << 30));
    s.clipY1 = int(std::min<uint64_t>(uint64_t(mViewport.dwY) + mViewport.dwHeight, 1u << 30));
    return s;
}

const d3d::Texture* Device::TextureNow(d3d::Texture& out) {
    IDirectDrawSurface7* surface = mTextures[0];
    if (!surface || StageState(D3DTSS_COLOROP) == D3DTOP_DISABLE) return nullptr;
    SurfaceMemory mem;
    d3d::TexelFormat format;
    if (!GetSurfaceMemory(surface, mem) || !mem.bits || !TexelFormatOf(mem.format, format)) return nullptr;
    auto& recent = mRecent[RecentSlot(surface)];
    if (recent.first != surface) recent = {surface, &mDecoded[surface]};
    DecodedTexture& d = *recent.second;
    d.lastScene = mScenes;
    std::vector<uint32_t> palette;
    if (format == d3d::TexelFormat::PAL8) {
        palette.assign(256, 0xFF000000u);
        IDirectDrawPalette* pal = nullptr;
        if (SUCCEEDED(surface->GetPalette(&pal)) && pal) {
            PALETTEENTRY entries[256];
            if (SUCCEEDED(pal->GetEntries(0, 0, 256, entries)))
                for (int i = 0; i < 256; ++i)
                    palette[size_t(i)] = uint32_t(entries[i].peFlags) << 24 | uint32_t(entries[i].peRed) << 16 |
                                         uint32_t(entries[i].peGreen) << 8 | entries[i].peBlue;
            pal->Release();
        }
    }
    if (d.version != mem.version || d.width != mem.width || d.height != mem.height || d.palette != palette) {
        d.texels.resize(size_t(mem.width) * size_t(mem.height));
        d3d::DecodeTexels(format, mem.bits, mem.pitch, mem.width, mem.height,
                          palette.empty() ? nullptr : palette.data(), d.texels.data());
        d.opaque = d3d::AllOpaque(d.texels.data(), d.texels.size());
        d.version = mem.version;
        d.width = mem.width;
        d.height = mem.height;
        d.palette = std::move(palette);
    }
    out = d3d::Texture{d.texels.data(), d.width, d.height, d.opaque};
    if (format == d3d::TexelFormat::R5G6B5 && mem.pitch % 2 == 0) {
        out.rgb565 = reinterpret_cast<const uint16_t*>(mem.bits);
        out.rgb565Pitch = size_t(mem.pitch) / 2;
    }
    return &out;
}

bool Device::Culled(const d3d::Vertex& a, const d3d::Vertex& b, const d3d::Vertex& c) {
    const DWORD cull = RenderState(D3DRENDERSTATE_CULLMODE);
    if (cull != D3DCULL_CW && cull != D3DCULL_CCW) return false;
    // Positive area: clockwise on a screen whose y grows downwards.
    double area = (double(b.x) - a.x) * (double(c.y) - a.y) - (double(b.y) - a.y) * (double(c.x) - a.x);
    return (cull == D3DCULL_CW && area > 0) || (cull == D3DCULL_CCW && area < 0);
}

void Device::DrawTriangle(const d3d::Target& t, const d3d::RasterState& s, const d3d::Texture* tex,
                          const d3d::Vertex& a, const d3d::Vertex& b, const d3d::Vertex& c) {
    if (!Culled(a, b, c)) d3d::DrawTriangle(t, s, tex, a, b, c);
}

// A rectangle's triangles wind the same way, so one culls for both.
bool Device::DrawRectangle(const d3d::Target& t, const d3d::RasterState& s, const d3d::Texture* tex,
                           const d3d::Vertex& a, const d3d::Vertex& b, const d3d::Vertex& c, const d3d::Vertex& d) {
    if (Culled(a, b, c)) return false;
    return d3d::DrawRectangle(t, s, tex, a, b, c, d);
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD count, DWORD flags) {
    (void)flags;
    if (HRESULT hr = Check("IDirect3DDevice7::DrawPrimitive"); FAILED(hr)) return hr;
    if (!mInScene) return D3DERR_SCENE_NOT_IN_SCENE;
    // At most D3DMAXNUMVERTICES in one call, as the device's interface says.
    if (!vertices || count == 0 || count > D3DMAXNUMVERTICES) return DDERR_INVALIDPARAMS;
    const DWORD known = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEXCOUNT_MASK;
    if (!(fvf & D3DFVF_XYZRHW) || (fvf & ~known) || ((fvf & D3DFVF_TEXCOUNT_MASK) >> 8) > 8)
        return D3DERR_INVALIDVERTEXTYPE;
    if (type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN) return D3DERR_INVALIDPRIMITIVETYPE;
    const size_t stride = 16 + ((fvf & D3DFVF_DIFFUSE) ? 4 : 0) + ((fvf & D3DFVF_SPECULAR) ? 4 : 0) +
                          8 * ((fvf & D3DFVF_TEXCOUNT_MASK) >> 8);
    // Vertices read field by field from the caller's layout (into a buffer
    // kept from call to call: every sprite comes this way).
    std::vector<d3d::Vertex>& v = mVertices;
    v.resize(count);
    const uint8_t* p = static_cast<const uint8_t*>(vertices);
    for (DWORD i = 0; i < count; ++i, p += stride) {
        const uint8_t* f = p;
        std::memcpy(&v[i].x, f, 16);
        f += 16;
        if (fvf & D3DFVF_DIFFUSE) { std::memcpy(&v[i].diffuse, f, 4); f += 4; }
        if (fvf & D3DFVF_SPECULAR) { std::memcpy(&v[i].specular, f, 4); f += 4; }
        if (fvf & D3DFVF_TEXCOUNT_MASK) std::memcpy(&v[i].u, f, 8);
    }
    d3d::Target target;
    if (!TargetOf(target)) return D3D_OK;
    const d3d::RasterState state = StateNow();
    d3d::Texture texStorage;
    const d3d::Texture* tex = (fvf & D3DFVF_TEXCOUNT_MASK) ? TextureNow(texStorage) : nullptr;
    switch (type) {
    case D3DPT_TRIANGLELIST:
        for (DWORD i = 0; i + 2 < count; i += 3) DrawTriangle(target, state, tex, v[i], v[i + 1], v[i + 2]);
        break;
    case D3DPT_TRIANGLESTRIP:
        // Sprites come as four-vertex strips: corners 0, 1, 3, 2 round the quad.
        if (count == 4 && DrawRectangle(target, state, tex, v[0], v[1], v[3], v[2])) break;
        // Every second triangle flips its first two vertices to keep one winding.
        for (DWORD i = 0; i + 2 < count; ++i)
            if (i % 2 == 0)
                DrawTriangle(target, state, tex, v[i], v[i + 1], v[i + 2]);
            else
                DrawTriangle(target, state, tex, v[i + 1], v[i], v[i + 2]);
        break;
    case D3DPT_TRIANGLEFAN:
        if (count == 4 && DrawRectangle(target, state, tex, v[0], v[1], v[2], v[3])) break;
        for (DWORD i = 1; i + 1 < count; ++i) DrawTriangle(target, state, tex, v[0], v[i], v[i + 1]);
        break;
    case D3DPT_LINELIST:
        for (DWORD i = 0; i + 1 < count; i += 2) d3d::DrawLine(target, state, tex, v[i], v[i + 1]);
        break;
    case D3DPT_LINESTRIP:
        for (DWORD i = 0; i + 1 < count; ++i) d3d::DrawLine(target, state, tex, v[i], v[i + 1]);
        break;
    case D3DPT_POINTLIST:
        for (DWORD i = 0; i < count; ++i) {
            d3d::Vertex end = v[i];
            end.x += 1;
            d3d::DrawLine(target, state, tex, v[i], end);
        }
        break;
    }
    return D3D_OK;
}

// --- Direct3D 8 ------------------------------------------------------------------

class Direct3D8 final : public RefCounted<IDirect3D8> {
public:
    unsigned GetAdapterCount() override { return 1; }
    HRESULT GetAdapterIdentifier(unsigned adapter, DWORD flags, D3DADAPTER_IDENTIFIER8* out) override {
        (void)flags;
        if (HRESULT hr = Check("IDirect3D8::GetAdapterIdentifier"); FAILED(hr)) return hr;
        if (!out || adapter != D3DADAPTER_DEFAULT) return D3DERR_INVALIDCALL_8;
        const DirectXConfig& c = DirectXConfig::Get();
        *out = D3DADAPTER_IDENTIFIER8{};
        std::strncpy(out->Driver, c.mDriver.c_str(), sizeof out->Driver - 1);
        std::strncpy(out->Description, c.mDescription.c_str(), sizeof out->Description - 1);
        out->DeviceIdentifier = c.mDeviceGuid;
        return D3D_OK;
    }

private:
    static constexpr HRESULT D3DERR_INVALIDCALL_8 = MAKE_DDHRESULT(2156);
    ~Direct3D8() override = default;
};

} // namespace

Direct3DConfig& Direct3DConfig::Get() {
    static Direct3DConfig config;
    return config;
}

void Direct3DConfig::Reset() { *this = Direct3DConfig{}; }

bool Direct3DConfig::ApplyEnvironment(std::string* error) {
    bool ok = true;
    auto bad = [&](const char* name, const char* value) {
        ok = false;
        if (error) *error += std::string(error->empty() ? "" : "; ") + name + ": \"" + value + "\"";
    };
    if (const char* v = std::getenv("PEMBERLY_DX_3D")) {
        const std::string s = v;
        if (s == "none")
            mKind = Device3DKind::None;
        else if (s == "software")
            mKind = Device3DKind::Software;
        else
            bad("PEMBERLY_DX_3D", v);
    }
    if (const char* v = std::getenv("PEMBERLY_DX_DRIVER_YEAR")) {
        char* end = nullptr;
        long year = std::strtol(v, &end, 10);
        if (*v == '\0' || *end != '\0' || year < 0 || year > 9999)
            bad("PEMBERLY_DX_DRIVER_YEAR", v);
        else
            mDriverYear = int(year);
    }
    return ok;
}

int DriverFileYear(const std::string& driver) {
    return driver == DirectXConfig::Get().mDriver ? Direct3DConfig::Get().mDriverYear : 0;
}

HRESULT CreateDirect3D7(IDirectDraw7* directDraw, void** out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!directDraw || Direct3DConfig::Get().mKind == Device3DKind::None) return E_NOINTERFACE;
    *out = static_cast<IDirect3D7*>(new Direct3D(directDraw));
    return D3D_OK;
}

IDirect3D8* CreateDirect3D8(unsigned sdkVersion) {
    if (FAILED(Check("Direct3DCreate8")) || sdkVersion != D3D_SDK_VERSION_8) return nullptr;
    return new Direct3D8();
}

} // namespace platform
