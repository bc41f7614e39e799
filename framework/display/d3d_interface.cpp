// Images drawn through the Direct3D 7 device.
#include "framework/display/d3d_interface.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "framework/app/zephra_app_base.h"
#include "framework/display/dd_interface.h"
#include "framework/display/texture_pixels.h"
#include "framework/graphics/memory_image.h"
#include "framework/graphics/raster_util.h"
#include "platform/window.h"

namespace Zephra {

using namespace platform;

namespace {

constexpr int kTrianglesPerBatch = 100;

// The display's lock, when there is a display.
class DisplayLock {
public:
    explicit DisplayLock(DDInterface* d) : mDisplay(d) {
        if (mDisplay) mDisplay->mCritSect.Lock();
    }
    ~DisplayLock() {
        if (mDisplay) mDisplay->mCritSect.Unlock();
    }

private:
    DDInterface* mDisplay;
};

D3DTLVERTEX Vertex(float x, float y, float u, float v, uint32_t color) {
    D3DTLVERTEX r;
    r.sx = x;
    r.sy = y;
    r.tu = u;
    r.tv = v;
    r.color = color;
    return r;
}

float& Coord(D3DTLVERTEX& v, int coord) {
    switch (coord) {
    case 0: return v.sx;
    case 1: return v.sy;
    case 2: return v.sz;
    case 3: return v.tu;
    default: return v.tv;
    }
}

// The four 8-bit channels of two colours, each linearly at t, truncated.
uint32_t LerpColor(uint32_t a, uint32_t b, float t) {
    uint32_t out = 0;
    for (int s = 0; s < 32; s += 8) {
        float ca = float((a >> s) & 0xFF), cb = float((b >> s) & 0xFF);
        out |= uint32_t(std::clamp(int(ca + (cb - ca) * t), 0, 255)) << s;
    }
    return out;
}

D3DTLVERTEX Between(const D3DTLVERTEX& a, const D3DTLVERTEX& b, float t) {
    D3DTLVERTEX r = a;
    r.sx = a.sx + (b.sx - a.sx) * t;
    r.sy = a.sy + (b.sy - a.sy) * t;
    r.sz = a.sz + (b.sz - a.sz) * t;
    r.tu = a.tu + (b.tu - a.tu) * t;
    r.tv = a.tv + (b.tv - a.tv) * t;
    if (a.color != b.color) r.color = LerpColor(a.color, b.color, t);
    return r;
}

// Cuts to 0 <= u, v < 1: the part of a triangle one texture piece shows.
void ClipToPiece(std::vector<D3DTLVERTEX>& v) {
    std::vector<D3DTLVERTEX> tmp;
    ClipPolygon(v, tmp, 3, 0.f, true);
    ClipPolygon(tmp, v, 4, 0.f, true);
    ClipPolygon(v, tmp, 3, 1.f, false);
    ClipPolygon(tmp, v, 4, 1.f, false);
}

} // namespace

void ClipPolygon(const std::vector<D3DTLVERTEX>& in, std::vector<D3DTLVERTEX>& out, int coord, float bound,
                 bool keepAbove) {
    out.clear();
    const size_t n = in.size();
    for (size_t i = 0; i < n; ++i) {
        D3DTLVERTEX a = in[(i + n - 1) % n], b = in[i];
        const float va = Coord(a, coord), vb = Coord(b, coord);
        const bool ina = keepAbove ? va >= bound : va < bound;
        const bool inb = keepAbove ? vb >= bound : vb < bound;
        if (ina != inb) out.push_back(Between(a, b, (bound - va) / (vb - va)));
        if (inb) out.push_back(b);
    }
}

D3DInterface::D3DInterface(ZephraAppBase* app, DDInterface* display) : mApp(app), mDisplay(display) {}

D3DInterface::~D3DInterface() { Cleanup(); }

DDPIXELFORMAT D3DInterface::MakePixelFormat(int format) {
    DDPIXELFORMAT f{};
    f.dwSize = sizeof f;
    switch (format) {
    case TEXFMT_A8R8G8B8:
        f = {sizeof f, DDPF_RGB | DDPF_ALPHAPIXELS, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000};
        break;
    case TEXFMT_A4R4G4B4:
        f = {sizeof f, DDPF_RGB | DDPF_ALPHAPIXELS, 0, 16, 0xF00, 0xF0, 0xF, 0xF000};
        break;
    case TEXFMT_R5G6B5:
        f = {sizeof f, DDPF_RGB, 0, 16, 0xF800, 0x7E0, 0x1F, 0};
        break;
    case TEXFMT_PAL8:
        f = {sizeof f, DDPF_RGB | DDPF_PALETTEINDEXED8, 0, 8, 0, 0, 0, 0};
        break;
    default:
        break;
    }
    return f;
}

int D3DInterface::PixelFormatId(const DDPIXELFORMAT& format) {
    for (int id : {TEXFMT_A8R8G8B8, TEXFMT_A4R4G4B4, TEXFMT_R5G6B5, TEXFMT_PAL8}) {
        const DDPIXELFORMAT m = MakePixelFormat(id);
        if (m.dwFlags == format.dwFlags && m.dwRGBBitCount == format.dwRGBBitCount &&
            m.dwRBitMask == format.dwRBitMask && m.dwGBitMask == format.dwGBitMask &&
            m.dwBBitMask == format.dwBBitMask && m.dwRGBAlphaBitMask == format.dwRGBAlphaBitMask)
            return id;
    }
    return 0;
}

bool D3DInterface::CheckDXError(HRESULT hr, std::string_view operation) {
    if (!FAILED(hr)) return false;
    mErrorText = std::string(operation) + ": " + GetDirectXErrorName(hr);
    if (mApp) mApp->WriteRegistryString("Test3D\\RuntimeError", mErrorText);
    return true;
}

bool D3DInterface::InitFromDDInterface(DDInterface* display) {
    mErrorText.clear();
    mDisplay = display;
    mDD7 = display->mDD7;
    mWindow = display->mHWnd;
    mDrawWidth = display->mWidth;
    mDrawHeight = display->mHeight;
    mWindowed = display->mIsWindowed;
    if (mDrawSurface) mDrawSurface->Release();
    mDrawSurface = nullptr;
    void* surface = nullptr;
    if (!display->mDrawSurface ||
        CheckDXError(display->mDrawSurface->QueryInterface(IID_IDirectDrawSurface7, &surface), "Query DrawSurface"))
        return false;
    mDrawSurface = static_cast<IDirectDrawSurface7*>(surface);
    return InitDevice();
}

bool D3DInterface::InitDevice() {
    if (!mDD7 || !mDrawSurface) return false;
    void* d3d = nullptr;
    if (CheckDXError(mDD7->QueryInterface(IID_IDirect3D7, &d3d), "QueryInterface IID_IDirect3D7")) return false;
    mD3D = static_cast<IDirect3D7*>(d3d);
    if (CheckDXError(mD3D->CreateDevice(IID_IDirect3DHALDevice, mDrawSurface, &mDevice),
                     "CreateDevice IID_IDirect3DHALDevice"))
        return false;
    D3DDEVICEDESC7 caps;
    if (CheckDXError(mDevice->GetCaps(&caps), "")) return false;
    mLimits = MakeTextureLimits(int(caps.dwMinTextureWidth), int(caps.dwMinTextureHeight), int(caps.dwMaxTextureWidth),
                                int(caps.dwMaxTextureHeight), int(std::min<DWORD>(caps.dwMaxTextureAspectRatio, 65536)));
    mLinearFilter = false;
    mAdditive = -1;

    mSupportedFormats = 0;
    mDevice->EnumTextureFormats(
        [](DDPIXELFORMAT* f, void* ctx) {
            *static_cast<int*>(ctx) |= PixelFormatId(*f);
            return D3DENUMRET_OK;
        },
        &mSupportedFormats);
    if (!(caps.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_ALPHAPALETTE)) mSupportedFormats &= ~TEXFMT_PAL8;

    // The window's client area, cut to the draw surface the device draws into.
    int w = mDrawWidth, h = mDrawHeight;
    if (mWindow && mWindow->IsOpen()) mWindow->GetClientSize(w, h);
    mViewport = D3DVIEWPORT7{0, 0, DWORD(std::clamp(w, 0, mDrawWidth)), DWORD(std::clamp(h, 0, mDrawHeight)), 0.f, 1.f};
    mDevice->SetViewport(&mViewport);
    mDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    return true;
}

void D3DInterface::Cleanup() {
    EndSceneIfBegun();
    mErrorText.clear();
    {
        DisplayLock hold(mDisplay);
        for (auto& [image, data] : mTextureMap) {
            FreeRecord(data);
            image->mD3DData = nullptr;
        }
        mTextureMap.clear();
        for (auto& [key, surface] : mTexturePool) surface->Release();
        mTexturePool.clear();
    }
    if (mDevice) mDevice->Release();
    if (mD3D) mD3D->Release();
    if (mDrawSurface) mDrawSurface->Release();
    mDevice = nullptr;
    mD3D = nullptr;
    mDrawSurface = nullptr;
}

void D3DInterface::PoolPiece(IDirectDrawSurface7* surface, int format) {
    if (!surface) return;
    if (format == 0 || mTexturePool.size() >= kTexturePoolSize) {
        surface->Release();
        return;
    }
    if (format == TEXFMT_PAL8) surface->SetPalette(nullptr);
    DDSURFACEDESC2 d = MakeDesc<DDSURFACEDESC2>();
    if (FAILED(surface->GetSurfaceDesc(&d))) {
        surface->Release();
        return;
    }
    mTexturePool.emplace(PoolKey{int(d.dwWidth), int(d.dwHeight), format}, surface);
}

IDirectDrawSurface7* D3DInterface::TakePooledPiece(int width, int height, int format) {
    auto it = mTexturePool.find(PoolKey{width, height, format});
    if (it == mTexturePool.end()) return nullptr;
    IDirectDrawSurface7* s = it->second;
    mTexturePool.erase(it);
    return s;
}

void D3DInterface::FreeRecord(D3DTextureData* data) {
    if (!data) return;
    for (IDirectDrawSurface7* s : data->mPieces) PoolPiece(s, data->mFormat);
    if (data->mPalette) data->mPalette->Release();
    delete data;
}

bool D3DInterface::BeginDraw() {
    if (!mDevice || (mApp && mApp->mMinimized)) return false;
    if (mSceneOpen) return true;
    // While the target cannot be set every drawing waits for the next try.
    if (FAILED(mDevice->SetRenderTarget(mDrawSurface, 0))) return false;
    if (CheckDXError(mDevice->BeginScene(), "BeginScene")) return false;
    mDevice->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    const bool over = SUCCEEDED(mDevice->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA)) &&
                      SUCCEEDED(mDevice->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA));
    mAdditive = over ? 0 : -1;
    mDevice->SetRenderState(D3DRENDERSTATE_LIGHTING, 0);
    mDevice->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_POINT);
    mDevice->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_POINT);
    mDevice->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTFP_NONE);
    mDevice->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    mDevice->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    mDevice->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
    mDevice->SetRenderState(D3DRENDERSTATE_DITHERENABLE, 0);
    mDevice->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, 0);
    mDevice->SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, 0);
    mDevice->SetRenderState(D3DRENDERSTATE_ZENABLE, 0);
    mDevice->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    mSceneOpen = true;
    mLinearFilter = false;
    return true;
}

void D3DInterface::EndSceneIfBegun() {
    if (!mSceneOpen) return;
    // A fill that waited and fails now keeps its failure for the next Redraw.
    const bool clean = mErrorText.empty();
    DrawPendingFill();
    const bool fillFailed = clean && !mErrorText.empty();
    if (mDevice) mDevice->EndScene();
    mSceneOpen = false;
    if (!fillFailed) mErrorText.clear();
}

void D3DInterface::SetBlendMode(bool additive) {
    if (!mDevice || mAdditive == int(additive)) return;
    const bool failed =
        CheckDXError(mDevice->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA), "SetRenderState SRCBLEND") |
        CheckDXError(mDevice->SetRenderState(D3DRENDERSTATE_DESTBLEND, additive ? D3DBLEND_ONE : D3DBLEND_INVSRCALPHA),
                     "SetRenderState DESTBLEND");
    mAdditive = failed ? -1 : int(additive);
}

void D3DInterface::SetLinearFilter(bool linear) {
    if (!mDevice || mLinearFilter == linear) return;
    const char* op = linear ? "SetTextureStageState LINEAR" : "SetTextureStageState Point";
    const DWORD value = linear ? 2 : 1;   // for the mip filter 2 is point, 1 none
    CheckDXError(mDevice->SetTextureStageState(0, D3DTSS_MINFILTER, value), op);
    CheckDXError(mDevice->SetTextureStageState(0, D3DTSS_MAGFILTER, value), op);
    CheckDXError(mDevice->SetTextureStageState(0, D3DTSS_MIPFILTER, value), op);
    mLinearFilter = linear;
}

bool D3DInterface::SetTexture(IDirectDrawSurface7* texture, const char* operation) {
    return !CheckDXError(mDevice->SetTexture(0, texture), operation);
}

bool D3DInterface::CreateImageTexture(MemoryImage* image) {
    if (!image || !mDevice || !mDD7 || image->mWidth <= 0 || image->mHeight <= 0) return false;
    auto* data = static_cast<D3DTextureData*>(image->mD3DData);
    if (!data) {
        data = new D3DTextureData();
        image->mD3DData = data;
        DisplayLock hold(mDisplay);
        mTextureMap[image] = data;
    }
    const bool purge = image->mPurgeBits;
    if (data->mFormat && data->mImageWidth == image->mWidth && data->mImageHeight == image->mHeight &&
        data->mBitsVersion == image->mBitsChangedCount && data->mImageFlags == image->mD3DFlags)
        return true;

    image->FreeDerivedBuffers();
    // Pixels that cannot be had (a surface software may not read) make no texture.
    if (!image->IsPalettized() && !image->GetBits()) return false;
    image->AnalyzeAlpha();
    int format = TEXFMT_A8R8G8B8;
    if (!image->mHasAlpha && !image->mHasTrans && (mSupportedFormats & TEXFMT_R5G6B5) &&
        !(image->mD3DFlags & TEXFLAG_NO_565))
        format = TEXFMT_R5G6B5;
    IDirectDrawPalette* palette = nullptr;
    if (image->IsPalettized() && (mSupportedFormats & TEXFMT_PAL8)) {
        PALETTEENTRY entries[256];
        for (int i = 0; i < 256; ++i) {
            uint32_t c = image->mColorTable[i];
            entries[i] = {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), uint8_t(c >> 24)};
        }
        if (SUCCEEDED(mDD7->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256 | DDPCAPS_ALPHA, entries, &palette, nullptr)))
            format = TEXFMT_PAL8;
        else
            mSupportedFormats &= ~TEXFMT_PAL8;   // for the rest of the run
    }
    if (format == TEXFMT_A8R8G8B8 && (((image->mD3DFlags & TEXFLAG_PREFER_4444) && (mSupportedFormats & TEXFMT_A4R4G4B4)) ||
                                      !(mSupportedFormats & TEXFMT_A8R8G8B8)))
        format = TEXFMT_A4R4G4B4;

    if (data->mImageWidth != image->mWidth || data->mImageHeight != image->mHeight || data->mFormat != format ||
        data->mImageFlags != image->mD3DFlags || format == TEXFMT_PAL8) {
        for (IDirectDrawSurface7* s : data->mPieces) PoolPiece(s, data->mFormat);
        data->mPieces.clear();
        if (data->mPalette) data->mPalette->Release();
        data->mPalette = nullptr;
        data->mFormat = format;
        data->mImageFlags = image->mD3DFlags;
        data->mGrid = LayoutPieces(mLimits, image->mWidth, image->mHeight, image->mD3DFlags);
        data->mTextureMemory = format == TEXFMT_PAL8 ? 1024 : 0;
        SetTexture(nullptr, "SetTexture NULL");
        for (const TexturePiece& p : data->mGrid.pieces) {
            DDSURFACEDESC2 d = MakeDesc<DDSURFACEDESC2>();
            d.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
            d.dwWidth = DWORD(p.width);
            d.dwHeight = DWORD(p.height);
            d.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
            d.ddsCaps.dwCaps2 = DDSCAPS2_D3DTEXTUREMANAGE;
            d.ddpfPixelFormat = MakePixelFormat(format);
            IDirectDrawSurface7* s = TakePooledPiece(p.width, p.height, format);
            if (!s && FAILED(mDD7->CreateSurface(&d, &s, nullptr))) {
                data->mFormat = 0;
                break;
            }
            if (palette) s->SetPalette(palette);
            data->mPieces.push_back(s);
            data->mTextureMemory += uint64_t(p.width) * uint64_t(p.height) * uint64_t(TextureFormatBytes(format));
        }
        data->mPalette = palette;
        palette = nullptr;
    }
    if (palette) palette->Release();
    if (!data->mFormat) return false;

    for (int r = 0; r < data->mGrid.down; ++r)
        for (int c = 0; c < data->mGrid.across; ++c) {
            IDirectDrawSurface7* s = data->mPieces[size_t(r) * size_t(data->mGrid.across) + size_t(c)];
            DDSURFACEDESC2 d = MakeDesc<DDSURFACEDESC2>();
            if (CheckDXError(s->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr), "Lock Texture")) return false;
            const bool uploaded = UploadTexturePiece(data->mFormat, d.lpSurface, int(d.lPitch), int(d.dwWidth),
                                                     int(d.dwHeight), *image, c * data->mGrid.pieceWidth,
                                                     r * data->mGrid.pieceHeight);
            if (CheckDXError(s->Unlock(nullptr), "Texture Unlock") || !uploaded) return false;
        }
    data->mImageWidth = image->mWidth;
    data->mImageHeight = image->mHeight;
    data->mBitsVersion = image->mBitsChangedCount;
    if (purge) image->DropBits();
    return true;
}

void D3DInterface::RemoveImageTexture(MemoryImage* image) {
    if (!image) return;
    DisplayLock hold(mDisplay);
    auto it = mTextureMap.find(image);
    if (it == mTextureMap.end()) return;
    FreeRecord(it->second);
    image->mD3DData = nullptr;
    mTextureMap.erase(it);
}

bool D3DInterface::ReadTextureBits(MemoryImage* image, uint32_t* dest) {
    auto* data = image ? static_cast<D3DTextureData*>(image->mD3DData) : nullptr;
    if (!data || !dest || !data->mFormat || data->mBitsVersion != image->mBitsChangedCount) return false;
    uint32_t palette[256] = {};
    if (data->mPalette) {
        PALETTEENTRY entries[256];
        if (SUCCEEDED(data->mPalette->GetEntries(0, 0, 256, entries)))
            for (int i = 0; i < 256; ++i)
                palette[i] = uint32_t(entries[i].peFlags) << 24 | uint32_t(entries[i].peRed) << 16 |
                             uint32_t(entries[i].peGreen) << 8 | entries[i].peBlue;
    }
    for (int r = 0; r < data->mGrid.down; ++r)
        for (int c = 0; c < data->mGrid.across; ++c) {
            IDirectDrawSurface7* s = data->mPieces[size_t(r) * size_t(data->mGrid.across) + size_t(c)];
            DDSURFACEDESC2 d = MakeDesc<DDSURFACEDESC2>();
            if (CheckDXError(s->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr), "Lock Texture")) return false;
            ReadTexturePiece(data->mFormat, d.lpSurface, int(d.lPitch), int(d.dwWidth), int(d.dwHeight), palette, dest,
                             image->mWidth, image->mHeight, c * data->mGrid.pieceWidth, r * data->mGrid.pieceHeight);
            CheckDXError(s->Unlock(nullptr), "Texture Unlock");
        }
    return true;
}

void D3DInterface::DrawTexturedPieces(MemoryImage* image, float x, float y, const Rect& srcRect, const Color& color) {
    auto* data = static_cast<D3DTextureData*>(image->mD3DData);
    if (!data || !data->mFormat) return;
    const uint32_t argb = raster::PackClamped(color);
    const int right = srcRect.mX + srcRect.mWidth, bottom = srcRect.mY + srcRect.mHeight;
    for (int sy = srcRect.mY; sy < bottom;) {
        int rowHeight = 0;
        for (int sx = srcRect.mX; sx < right;) {
            PieceArea a = LookupPiece(data->mGrid, sx, sy, right - sx, bottom - sy);
            if (a.index < 0 || a.width <= 0 || a.height <= 0) return;
            const float l = x + float(sx - srcRect.mX) - 0.5f, t = y + float(sy - srcRect.mY) - 0.5f;
            D3DTLVERTEX v[4] = {Vertex(l, t, a.left, a.top, argb), Vertex(l + a.width, t, a.right, a.top, argb),
                                Vertex(l, t + a.height, a.left, a.bottom, argb),
                                Vertex(l + a.width, t + a.height, a.right, a.bottom, argb)};
            if (!SetTexture(data->mPieces[size_t(a.index)], "SetTexture gTexture")) return;
            if (CheckDXError(mDevice->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, v, 4, 0), "DrawPrimitive (Tri) 1"))
                return;
            sx += a.width;
            rowHeight = a.height;
        }
        sy += rowHeight;
    }
}

namespace {
bool OnOrAfter(float v, int edge) { return v >= float(edge) || v == float(edge) - 0.5f; }
} // namespace

void D3DInterface::DrawPieces(MemoryImage* image, const Matrix3x3& matrix, const Rect& srcRect, const Color& color,
                              const Rect* clip, float x, float y, bool centre) {
    auto* data = static_cast<D3DTextureData*>(image->mD3DData);
    if (!data || !data->mFormat) return;
    const uint32_t argb = raster::PackClamped(color);
    const float o = centre ? 0.f : 0.5f;
    const float cx = centre ? srcRect.mWidth / 2.f : 0.f, cy = centre ? srcRect.mHeight / 2.f : 0.f;
    const int right = srcRect.mX + srcRect.mWidth, bottom = srcRect.mY + srcRect.mHeight;
    for (int sy = srcRect.mY; sy < bottom;) {
        int rowHeight = 0;
        for (int sx = srcRect.mX; sx < right;) {
            PieceArea a = LookupPiece(data->mGrid, sx, sy, right - sx, bottom - sy);
            if (a.index < 0 || a.width <= 0 || a.height <= 0) return;
            const float lx = float(sx - srcRect.mX) - cx, ty = float(sy - srcRect.mY) - cy;
            const float corner[4][4] = {{lx, ty, a.left, a.top},
                                        {lx + a.width, ty, a.right, a.top},
                                        {lx, ty + a.height, a.left, a.bottom},
                                        {lx + a.width, ty + a.height, a.right, a.bottom}};
            D3DTLVERTEX v[4];
            bool inside = true;
            for (int i = 0; i < 4; ++i) {
                const auto& k = corner[i];
                FPoint p = matrix.TransformPoint(FPoint{k[0], k[1]});
                v[i] = Vertex(p.mX + x - o, p.mY + y - o, k[2], k[3], argb);
                // A left or top side half a pixel before the clip's, where
                // the pieces of a picture drawn at its clip's corner lie, is
                // inside too: pixel centres lie on whole numbers, so the
                // clipper would take no pixel away, only work the texture
                // coordinates out again (and send the piece down the slow
                // road of a polygon).
                if (clip && !(OnOrAfter(v[i].sx, clip->mX) && OnOrAfter(v[i].sy, clip->mY) &&
                              v[i].sx <= clip->mX + clip->mWidth && v[i].sy <= clip->mY + clip->mHeight))
                    inside = false;
            }
            if (!SetTexture(data->mPieces[size_t(a.index)], "SetTexture gTexture")) return;
            if (inside) {
                if (CheckDXError(mDevice->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, v, 4, 0),
                                 "DrawPrimitive (Tri) 3"))
                    return;
            } else {
                // Strip order to polygon order.
                DrawClipped({v[0], v[1], v[3], v[2]}, *clip, "DrawPrimitive (Tri) 2");
            }
            sx += a.width;
            rowHeight = a.height;
        }
        sy += rowHeight;
    }
}

void D3DInterface::DrawClipped(std::vector<D3DTLVERTEX> v, const Rect& clip, const char* operation) {
    std::vector<D3DTLVERTEX> tmp;
    ClipPolygon(v, tmp, 0, float(clip.mX), true);
    ClipPolygon(tmp, v, 1, float(clip.mY), true);
    ClipPolygon(v, tmp, 0, float(clip.mX + clip.mWidth), false);
    ClipPolygon(tmp, v, 1, float(clip.mY + clip.mHeight), false);
    if (v.size() > 2)
        CheckDXError(mDevice->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_TLVERTEX, v.data(), DWORD(v.size()), 0), operation);
}

void D3DInterface::DrawPendingFill() {
    if (!mFillPending) return;
    mFillPending = false;
    // Drawn as it was asked for, before any transform came in force.
    DrawFill(mPendingFill, mPendingFillColor, DRAWMODE_NORMAL, false);
}

void D3DInterface::SettlePendingFill(bool hidden) {
    if (hidden)
        mFillPending = false;
    else
        DrawPendingFill();
}

bool D3DInterface::HidesPendingFill(MemoryImage* image, const Rect& srcRect, const Matrix3x3& matrix,
                                    const Color& color, int drawMode, const Rect* clip, float x, float y,
                                    bool centre) const {
    const auto* data = static_cast<const D3DTextureData*>(image->mD3DData);
    // Texels of R5G6B5 have no alpha: every one is opaque.
    if (!mFillPending || !mTransformStack.empty() || !data || data->mFormat != TEXFMT_R5G6B5 ||
        drawMode != DRAWMODE_NORMAL || (raster::PackClamped(color) >> 24) != 0xFF)
        return false;
    const float* m = matrix.m;
    if (m[0] != 1.f || m[1] != 0.f || m[3] != 0.f || m[4] != 1.f) return false;
    const Rect& f = mPendingFill;
    if (!(srcRect.Intersection(Rect(0, 0, image->mWidth, image->mHeight)) == srcRect) ||
        (clip && !(clip->Intersection(f) == f)))
        return false;
    // Where DrawPieces puts the corners; pixel centres on the left and top
    // sides are inside, and a quarter pixel is spare for the snap.
    const float o = centre ? 0.f : 0.5f;
    const float left = (centre ? -srcRect.mWidth / 2.f : 0.f) + m[2] + x - o;
    const float top = (centre ? -srcRect.mHeight / 2.f : 0.f) + m[5] + y - o;
    return left <= f.mX - 0.25f && top <= f.mY - 0.25f && left + srcRect.mWidth >= f.mX + f.mWidth - 0.75f &&
           top + srcRect.mHeight >= f.mY + f.mHeight - 0.75f;
}

void D3DInterface::BltTransformed(MemoryImage* image, const Rect& srcRect, const Matrix3x3& transform,
                                  const Color& color, int drawMode, const Rect* clip, bool linear, float x, float y,
                                  bool centre) {
    if (!BeginDraw() || !CreateImageTexture(image)) return;
    SettlePendingFill(HidesPendingFill(image, srcRect, transform, color, drawMode, clip, x, y, centre));
    SetBlendMode(drawMode == DRAWMODE_ADDITIVE);
    if (mTransformStack.empty()) {
        SetLinearFilter(linear);
        DrawPieces(image, transform, srcRect, color, clip, x, y, centre);
        return;
    }
    SetLinearFilter(true);
    const Matrix3x3& top = mTransformStack.back();
    if (x == 0 && y == 0) {
        DrawPieces(image, top * transform, srcRect, color, clip, 0, 0, centre);
        return;
    }
    Matrix3x3 at, half;
    at.Translate(x, y);
    if (centre) half.Translate(-srcRect.mWidth / 2.f, -srcRect.mHeight / 2.f);
    DrawPieces(image, top * at * transform * half, srcRect, color, clip, 0, 0, false);
}

void D3DInterface::BltTrianglesTex(MemoryImage* image, const TriVertex (*triangles)[3], int count,
                                   const Color& color, int drawMode, float tx, float ty, bool linear) {
    if (count <= 0 || !triangles || !BeginDraw() || !CreateImageTexture(image)) return;
    DrawPendingFill();
    SetBlendMode(drawMode == DRAWMODE_ADDITIVE);
    SetLinearFilter(linear);
    auto* data = static_cast<D3DTextureData*>(image->mD3DData);
    const PieceGrid& g = data->mGrid;
    const uint32_t argb = raster::PackClamped(color);
    auto colorOf = [&](const TriVertex& t) { return t.color ? t.color : argb; };
    if (g.maxU <= 1.f && g.maxV <= 1.f) {
        if (!SetTexture(data->mPieces[0], "SetTexture gTexture")) return;
        std::vector<D3DTLVERTEX> batch;
        for (int i = 0; i < count; i += kTrianglesPerBatch) {
            const int n = std::min(kTrianglesPerBatch, count - i);
            batch.clear();
            for (int k = 0; k < n; ++k)
                for (const TriVertex& t : triangles[i + k])
                    batch.push_back(Vertex(tx + t.x, ty + t.y, t.u * g.maxU, t.v * g.maxV, colorOf(t)));
            if (CheckDXError(mDevice->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, batch.data(), DWORD(n * 3), 0),
                             "DrawPrimitive (TriList)"))
                return;
        }
        return;
    }
    for (int i = 0; i < count; ++i) {
        const TriVertex* tri = triangles[i];
        float u[3], v[3];
        for (int k = 0; k < 3; ++k) {
            u[k] = tri[k].u * g.maxU;
            v[k] = tri[k].v * g.maxV;
        }
        const int c0 = std::clamp(int(std::floor(std::min({u[0], u[1], u[2]}))), 0, g.across - 1);
        const int c1 = std::clamp(int(std::floor(std::max({u[0], u[1], u[2]}))), 0, g.across - 1);
        const int r0 = std::clamp(int(std::floor(std::min({v[0], v[1], v[2]}))), 0, g.down - 1);
        const int r1 = std::clamp(int(std::floor(std::max({v[0], v[1], v[2]}))), 0, g.down - 1);
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c) {
                const TexturePiece& p = g.pieces[size_t(r) * size_t(g.across) + size_t(c)];
                const float su = c == g.across - 1 ? float(g.pieceWidth) / float(p.width) : 1.f;
                const float sv = r == g.down - 1 ? float(g.pieceHeight) / float(p.height) : 1.f;
                std::vector<D3DTLVERTEX> poly;
                for (int k = 0; k < 3; ++k)
                    poly.push_back(Vertex(tx + tri[k].x, ty + tri[k].y, (u[k] - float(c)) * su, (v[k] - float(r)) * sv,
                                          colorOf(tri[k])));
                ClipToPiece(poly);
                if (poly.size() < 3) continue;
                if (!SetTexture(data->mPieces[size_t(r) * size_t(g.across) + size_t(c)], "SetTexture gTexture")) return;
                if (CheckDXError(mDevice->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_TLVERTEX, poly.data(),
                                                        DWORD(poly.size()), 0),
                                 "DrawPrimitive (Tri) 4"))
                    return;
            }
    }
}

void D3DInterface::DrawUntextured(D3DPRIMITIVETYPE type, std::vector<D3DTLVERTEX>& vertices, const char* operation,
                                  bool transformed) {
    if (transformed && !mTransformStack.empty())
        for (D3DTLVERTEX& v : vertices) {
            FPoint p = mTransformStack.back().TransformPoint(FPoint{v.sx, v.sy});
            v.sx = p.mX;
            v.sy = p.mY;
        }
    CheckDXError(mDevice->DrawPrimitive(type, D3DFVF_TLVERTEX, vertices.data(), DWORD(vertices.size()), 0), operation);
}

void D3DInterface::DrawLine(float x1, float y1, float x2, float y2, const Color& color, int drawMode) {
    if (!BeginDraw()) return;
    DrawPendingFill();
    SetBlendMode(drawMode == DRAWMODE_ADDITIVE);
    if (!SetTexture(nullptr, "SetTexture NULL")) return;
    const uint32_t c = raster::PackClamped(color);
    std::vector<D3DTLVERTEX> v = {Vertex(x1, y1, 0, 0, c), Vertex(x2, y2, 0, 0, c), Vertex(x2 + 0.5f, y2 + 0.5f, 0, 0, c)};
    DrawUntextured(D3DPT_LINESTRIP, v, "DrawPrimitive (Line)");
}

void D3DInterface::FillRect(const Rect& rect, const Color& color, int drawMode) {
    if (!BeginDraw()) return;
    DrawPendingFill();
    if (mTransformStack.empty() && drawMode == DRAWMODE_NORMAL && (raster::PackClamped(color) >> 24) == 0xFF) {
        mFillPending = true;
        mPendingFill = rect;
        mPendingFillColor = color;
        return;
    }
    DrawFill(rect, color, drawMode, true);
}

void D3DInterface::DrawFill(const Rect& rect, const Color& color, int drawMode, bool transformed) {
    SetBlendMode(drawMode == DRAWMODE_ADDITIVE);
    if (!SetTexture(nullptr, "SetTexture NULL")) return;
    const uint32_t c = raster::PackClamped(color);
    const float l = rect.mX - 0.5f, t = rect.mY - 0.5f, r = l + rect.mWidth, b = t + rect.mHeight;
    std::vector<D3DTLVERTEX> v = {Vertex(l, t, 0, 0, c), Vertex(r, t, 0, 0, c), Vertex(l, b, 0, 0, c), Vertex(r, b, 0, 0, c)};
    DrawUntextured(D3DPT_TRIANGLESTRIP, v, "DrawPrimitive (Rect)", transformed);
}

void D3DInterface::FillPoly(const Point* points, int count, const Rect* clip, const Color& color, int drawMode,
                            float tx, float ty) {
    if (!points || count <= 2 || !BeginDraw()) return;
    DrawPendingFill();
    SetBlendMode(drawMode == DRAWMODE_ADDITIVE);
    if (!SetTexture(nullptr, "SetTexture NULL")) return;
    const uint32_t c = raster::PackClamped(color);
    std::vector<D3DTLVERTEX> v;
    for (int i = 0; i < count; ++i) v.push_back(Vertex(float(points[i].mX) + tx, float(points[i].mY) + ty, 0, 0, c));
    if (clip) {
        if (!mTransformStack.empty())
            for (D3DTLVERTEX& p : v) {
                FPoint q = mTransformStack.back().TransformPoint(FPoint{p.sx, p.sy});
                p.sx = q.mX;
                p.sy = q.mY;
            }
        DrawClipped(v, *clip, "DrawPrimitive (Tri) 2");
        return;
    }
    DrawUntextured(D3DPT_TRIANGLEFAN, v, "DrawPrimitive (FillPoly)");
}

void D3DInterface::Blt(MemoryImage* image, float x, float y, const Rect& srcRect, const Rect* clip, const Color& color,
                       int drawMode) {
    Matrix3x3 m;
    m.Translate(x, y);
    BltTransformed(image, srcRect, m, color, drawMode, clip, false, 0, 0, false);
}

void D3DInterface::BltMirror(MemoryImage* image, float x, float y, const Rect& srcRect, const Rect* clip,
                             const Color& color, int drawMode) {
    Matrix3x3 m;
    m.Translate(-float(srcRect.mWidth), 0);
    m.Scale(-1, 1);
    m.Translate(x, y);
    BltTransformed(image, srcRect, m, color, drawMode, clip, false, 0, 0, false);
}

void D3DInterface::StretchBlt(MemoryImage* image, const Rect& destRect, const Rect& srcRect, const Rect* clip,
                              const Color& color, int drawMode, bool fastStretch, bool mirrored) {
    if (srcRect.mWidth <= 0 || srcRect.mHeight <= 0) return;
    float sx = float(destRect.mWidth) / float(srcRect.mWidth), sy = float(destRect.mHeight) / float(srcRect.mHeight);
    Matrix3x3 m;
    if (mirrored) {
        m.Translate(-float(srcRect.mWidth), 0);
        sx = -sx;
    }
    // At its own size a stretch samples texel centres: the bilinear filter
    // gives the nearest texel, which the point sampler finds far faster.
    const bool unscaled = sx == 1.f && sy == 1.f && !mirrored;
    m.Scale(sx, sy);
    m.Translate(float(destRect.mX), float(destRect.mY));
    BltTransformed(image, srcRect, m, color, drawMode, clip, !fastStretch && !unscaled, 0, 0, false);
}

void D3DInterface::BltRotated(MemoryImage* image, float x, float y, const Rect& srcRect, const Rect* clip,
                              const Color& color, int drawMode, double angle, float centreX, float centreY) {
    Matrix3x3 m;
    m.Translate(-centreX, -centreY);
    m.Rotate(float(angle));
    m.Translate(x + centreX, y + centreY);
    BltTransformed(image, srcRect, m, color, drawMode, clip, true, 0, 0, false);
}

void D3DInterface::BltUntransformed(MemoryImage* image, float x, float y, const Rect& srcRect, const Color& color,
                                    int drawMode, bool linear) {
    if (!mTransformStack.empty()) {
        Blt(image, x, y, srcRect, nullptr, color, drawMode);
        return;
    }
    if (!BeginDraw() || !CreateImageTexture(image)) return;
    // DrawTexturedPieces puts the pieces where DrawPieces would with a move by (x, y).
    SettlePendingFill(HidesPendingFill(image, srcRect, Matrix3x3(), color, drawMode, nullptr, x, y, false));
    SetBlendMode(drawMode == DRAWMODE_ADDITIVE);
    SetLinearFilter(linear);
    DrawTexturedPieces(image, x, y, srcRect, color);
}

} // namespace Zephra
