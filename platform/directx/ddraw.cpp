#include "platform/directx/ddraw.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <set>
#include <vector>
#include "platform/directx/d3d7.h"
#include "platform/directx/dx_config.h"
#include "platform/window.h"

namespace platform {

const IID IID_IUnknown{0x00000000, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDirectDraw{0x5A0D0001, 0x0D0D, 0x0001, {'d', 'd', 'r', 'a', 'w', 0, 0, 1}};
const IID IID_IDirectDraw7{0x5A0D0007, 0x0D0D, 0x0007, {'d', 'd', 'r', 'a', 'w', 0, 0, 7}};
const IID IID_IDirectDrawSurface{0x5A0D5001, 0x0D0D, 0x0001, {'s', 'u', 'r', 'f', 0, 0, 0, 1}};
const IID IID_IDirectDrawSurface7{0x5A0D5007, 0x0D0D, 0x0007, {'s', 'u', 'r', 'f', 0, 0, 0, 7}};
const IID IID_IDirectDrawClipper{0x5A0DC001, 0x0D0D, 0x0001, {'c', 'l', 'i', 'p', 0, 0, 0, 1}};
const IID IID_IDirectDrawPalette{0x5A0DA001, 0x0D0D, 0x0001, {'p', 'a', 'l', 0, 0, 0, 0, 1}};
const IID IID_IDirect3D7{0x5A0D3D07, 0x0D0D, 0x0007, {'d', '3', 'd', 0, 0, 0, 0, 7}};
const IID IID_IDirect3DHALDevice{0x5A0D3DA1, 0x0D0D, 0x0007, {'h', 'a', 'l', 0, 0, 0, 0, 7}};

namespace {

std::atomic<Direct3D7Factory> gDirect3D7Factory{&CreateDirect3D7};
// Pixel versions, unique over all surfaces (SurfaceMemory::version).
std::atomic<uint64_t> gSurfaceVersion{0};
std::atomic<uint64_t> gVideoMemoryInUse{0};

constexpr int kMaxSurfaceSide = 16384;

// A method that both interfaces of an object have with the same form is one
// function; a failure injected under either interface's name answers, and its
// calls count under both.
struct SharedMethod {
    DxMethod older;  // "IDirectDraw::X"
    DxMethod newer;  // "IDirectDraw7::X"
};

HRESULT CheckShared(SharedMethod method) {
    DirectXConfig& config = DirectXConfig::Get();
    const HRESULT older = config.Check(method.older);
    const HRESULT newer = config.Check(method.newer);
    return FAILED(older) ? older : newer;
}

// Rows start on 4-byte boundaries, padding included.
uint64_t PitchOf(int width, const DDPIXELFORMAT& format) {
    const uint64_t row = (static_cast<uint64_t>(width) * BytesPerPixel(format) + 3) & ~3ull;
    const uint64_t pad = (static_cast<uint64_t>(std::max(DirectXConfig::Get().mPitchPadding, 0)) + 3) & ~3ull;
    return row + pad;
}

// Counted references shared by every interface of one object.
class RefCounted {
public:
    ULONG AddRefImpl() { return ++mRefs; }
    ULONG ReleaseImpl() {
        const ULONG left = --mRefs;
        if (left == 0) Destroy();
        return left;
    }
protected:
    virtual void Destroy() = 0;
    virtual ~RefCounted() = default;
private:
    std::atomic<ULONG> mRefs{1};
};

class Clipper final : public IDirectDrawClipper, private RefCounted {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (HRESULT hr = DirectXConfig::Get().Check("IDirectDrawClipper::QueryInterface"); FAILED(hr)) return hr;
        if (iid == IID_IDirectDrawClipper || iid == IID_IUnknown) {
            AddRef();
            *out = static_cast<IDirectDrawClipper*>(this);
            return DD_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }
    HRESULT SetHWnd(DWORD flags, HWND window) override {
        (void)flags;
        if (HRESULT hr = DirectXConfig::Get().Check("IDirectDrawClipper::SetHWnd"); FAILED(hr)) return hr;
        mWindow = window;
        mHasWindow = true;
        return DD_OK;
    }
    HRESULT GetHWnd(HWND* window) override {
        if (!window) return DDERR_INVALIDPARAMS;
        if (HRESULT hr = DirectXConfig::Get().Check("IDirectDrawClipper::GetHWnd"); FAILED(hr)) return hr;
        if (!mHasWindow) return DDERR_NOHWND;
        *window = mWindow;
        return DD_OK;
    }
private:
    void Destroy() override { delete this; }
    HWND mWindow = nullptr;
    bool mHasWindow = false;
};

class Palette final : public IDirectDrawPalette, private RefCounted {
public:
    explicit Palette(DWORD caps) : mCaps(caps) {}
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (HRESULT hr = DirectXConfig::Get().Check("IDirectDrawPalette::QueryInterface"); FAILED(hr)) return hr;
        if (iid == IID_IDirectDrawPalette || iid == IID_IUnknown) {
            AddRef();
            *out = static_cast<IDirectDrawPalette*>(this);
            return DD_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }
    HRESULT GetCaps(DWORD* caps) override {
        if (!caps) return DDERR_INVALIDPARAMS;
        if (HRESULT hr = DirectXConfig::Get().Check("IDirectDrawPalette::GetCaps"); FAILED(hr)) return hr;
        *caps = mCaps;
        return DD_OK;
    }
    HRESULT GetEntries(DWORD flags, DWORD base, DWORD count, PALETTEENTRY* entries) override {
        (void)flags;
        if (!entries || base > 256 || count > 256 - base) return DDERR_INVALIDPARAMS;
        if (HRESULT hr = DirectXConfig::Get().Check("IDirectDrawPalette::GetEntries"); FAILED(hr)) return hr;
        std::copy(mEntries + base, mEntries + base + count, entries);
        return DD_OK;
    }
    HRESULT SetEntries(DWORD flags, DWORD base, DWORD count, const PALETTEENTRY* entries) override {
        (void)flags;
        if (!entries || base > 256 || count > 256 - base) return DDERR_INVALIDPARAMS;
        if (HRESULT hr = DirectXConfig::Get().Check("IDirectDrawPalette::SetEntries"); FAILED(hr)) return hr;
        std::copy(entries, entries + count, mEntries + base);
        return DD_OK;
    }
private:
    void Destroy() override { delete this; }
    DWORD mCaps;
    PALETTEENTRY mEntries[256] = {};
};

class DirectDraw;

// One surface object behind both surface interfaces.
class Surface final : public IDirectDrawSurface, public IDirectDrawSurface7, private RefCounted {
public:
    Surface(DirectDraw* owner, int width, int height, const DDPIXELFORMAT& format, DWORD caps, DWORD caps2,
            bool videoMemory);

    // Both interfaces share these.
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }

    // IDirectDrawSurface.
    HRESULT Blt(RECT* destRect, IDirectDrawSurface* src, RECT* srcRect, DWORD flags, DDBLTFX* fx) override {
        return BltImpl("IDirectDrawSurface::Blt", destRect, From(src), srcRect, flags, fx);
    }
    HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface* src, RECT* srcRect, DWORD trans) override {
        return BltFastImpl("IDirectDrawSurface::BltFast", x, y, From(src), srcRect, trans);
    }
    HRESULT Flip(IDirectDrawSurface* target, DWORD flags) override {
        return FlipImpl("IDirectDrawSurface::Flip", From(target), flags);
    }
    HRESULT GetAttachedSurface(DDSCAPS* caps, IDirectDrawSurface** out) override {
        if (!caps || !out) return DDERR_INVALIDPARAMS;
        Surface* s = nullptr;
        HRESULT hr = AttachedImpl("IDirectDrawSurface::GetAttachedSurface", caps->dwCaps, s);
        *out = s;
        return hr;
    }
    HRESULT GetCaps(DDSCAPS* caps) override {
        if (!caps) return DDERR_INVALIDPARAMS;
        if (HRESULT hr = Check("IDirectDrawSurface::GetCaps"); FAILED(hr)) return hr;
        caps->dwCaps = mCaps;
        return DD_OK;
    }
    HRESULT GetClipper(IDirectDrawClipper** out) override {
        return GetClipperImpl({"IDirectDrawSurface::GetClipper", "IDirectDrawSurface7::GetClipper"}, out);
    }
    HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key) override {
        return GetColorKeyImpl({"IDirectDrawSurface::GetColorKey", "IDirectDrawSurface7::GetColorKey"}, flags, key);
    }
    HRESULT GetPalette(IDirectDrawPalette** out) override {
        return GetPaletteImpl({"IDirectDrawSurface::GetPalette", "IDirectDrawSurface7::GetPalette"}, out);
    }
    HRESULT GetPixelFormat(DDPIXELFORMAT* format) override {
        return GetPixelFormatImpl({"IDirectDrawSurface::GetPixelFormat", "IDirectDrawSurface7::GetPixelFormat"}, format);
    }
    HRESULT GetSurfaceDesc(DDSURFACEDESC* desc) override {
        if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
        if (HRESULT hr = Check("IDirectDrawSurface::GetSurfaceDesc"); FAILED(hr)) return hr;
        FillDesc(*desc, nullptr);
        return DD_OK;
    }
    HRESULT IsLost() override { return IsLostImpl({"IDirectDrawSurface::IsLost", "IDirectDrawSurface7::IsLost"}); }
    HRESULT Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags, void* event) override {
        (void)event;
        if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
        uint8_t* bits = nullptr;
        HRESULT hr = LockImpl("IDirectDrawSurface::Lock", rect, flags, bits);
        if (SUCCEEDED(hr)) FillDesc(*desc, bits);
        return hr;
    }
    HRESULT Restore() override { return RestoreImpl({"IDirectDrawSurface::Restore", "IDirectDrawSurface7::Restore"}); }
    HRESULT SetClipper(IDirectDrawClipper* clipper) override {
        return SetClipperImpl({"IDirectDrawSurface::SetClipper", "IDirectDrawSurface7::SetClipper"}, clipper);
    }
    HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) override {
        return SetColorKeyImpl({"IDirectDrawSurface::SetColorKey", "IDirectDrawSurface7::SetColorKey"}, flags, key);
    }
    HRESULT SetPalette(IDirectDrawPalette* palette) override {
        return SetPaletteImpl({"IDirectDrawSurface::SetPalette", "IDirectDrawSurface7::SetPalette"}, palette);
    }
    HRESULT Unlock(void* bits) override {
        (void)bits;
        return UnlockImpl("IDirectDrawSurface::Unlock");
    }

    // IDirectDrawSurface7.
    HRESULT Blt(RECT* destRect, IDirectDrawSurface7* src, RECT* srcRect, DWORD flags, DDBLTFX* fx) override {
        return BltImpl("IDirectDrawSurface7::Blt", destRect, From(src), srcRect, flags, fx);
    }
    HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface7* src, RECT* srcRect, DWORD trans) override {
        return BltFastImpl("IDirectDrawSurface7::BltFast", x, y, From(src), srcRect, trans);
    }
    HRESULT Flip(IDirectDrawSurface7* target, DWORD flags) override {
        return FlipImpl("IDirectDrawSurface7::Flip", From(target), flags);
    }
    HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** out) override {
        if (!caps || !out) return DDERR_INVALIDPARAMS;
        Surface* s = nullptr;
        HRESULT hr = AttachedImpl("IDirectDrawSurface7::GetAttachedSurface", caps->dwCaps, s);
        *out = s;
        return hr;
    }
    HRESULT GetCaps(DDSCAPS2* caps) override {
        if (!caps) return DDERR_INVALIDPARAMS;
        if (HRESULT hr = Check("IDirectDrawSurface7::GetCaps"); FAILED(hr)) return hr;
        *caps = DDSCAPS2{};
        caps->dwCaps = mCaps;
        caps->dwCaps2 = mCaps2;
        return DD_OK;
    }
    HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) override {
        if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
        if (HRESULT hr = Check("IDirectDrawSurface7::GetSurfaceDesc"); FAILED(hr)) return hr;
        FillDesc(*desc, nullptr);
        return DD_OK;
    }
    HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, void* event) override {
        (void)event;
        if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
        uint8_t* bits = nullptr;
        HRESULT hr = LockImpl("IDirectDrawSurface7::Lock", rect, flags, bits);
        if (SUCCEEDED(hr)) FillDesc(*desc, bits);
        return hr;
    }
    HRESULT Unlock(RECT* rect) override {
        (void)rect;
        return UnlockImpl("IDirectDrawSurface7::Unlock");
    }

    // Memory access for the platform's own users.
    void Memory(SurfaceMemory& out) {
        out.bits = Bits();
        out.lent = mLent != nullptr;
        out.pitch = mPitch;
        out.width = mWidth;
        out.height = mHeight;
        out.format = mFormat;
        out.caps = mCaps;
        out.version = mVersion;
    }

    // Into memory of someone else's, the picture with it, and back.
    bool Borrow(uint8_t* bits, int pitch) {
        if (mLent || !bits || pitch != mPitch || mLocked || mBack || mFront || IsPrimary()) return false;
        std::memcpy(bits, mBits.data(), mBits.size());
        mLent = bits;
        std::vector<uint8_t>().swap(mBits);
        mVersion = ++gSurfaceVersion;
        return true;
    }
    void GiveBack() {
        if (!mLent) return;
        mBits.assign(mLent, mLent + static_cast<size_t>(mPitch) * static_cast<size_t>(mHeight));
        mLent = nullptr;
        mVersion = ++gSurfaceVersion;
    }

    // Called by the DirectDraw object.
    void MarkLost() { mLost = true; }
    void Detach() { mOwner = nullptr; }
    bool IsPrimary() const { return (mCaps & DDSCAPS_PRIMARYSURFACE) != 0; }
    void AttachBackBuffer(Surface* back) {
        mBack = back;
        back->mFront = this;
    }

    static Surface* From(IDirectDrawSurface* s) { return s ? static_cast<Surface*>(s) : nullptr; }
    static Surface* From(IDirectDrawSurface7* s) { return s ? static_cast<Surface*>(s) : nullptr; }

private:
    void Destroy() override;
    HRESULT Check(DxMethod method) { return DirectXConfig::Get().Check(method); }

    template <typename Desc>
    void FillDesc(Desc& desc, uint8_t* bits) {
        const DWORD size = desc.dwSize;
        desc = Desc{};
        desc.dwSize = size;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
        desc.dwWidth = static_cast<DWORD>(mWidth);
        desc.dwHeight = static_cast<DWORD>(mHeight);
        desc.lPitch = mPitch;
        desc.ddpfPixelFormat = mFormat;
        desc.ddsCaps.dwCaps = mCaps;
        if (mBack) {
            desc.dwFlags |= DDSD_BACKBUFFERCOUNT;
            desc.dwBackBufferCount = 1;
        }
        if (mHasSrcKey) {
            desc.dwFlags |= DDSD_CKSRCBLT;
            desc.ddckCKSrcBlt = mSrcKey;
        }
        if (bits) {
            desc.dwFlags |= DDSD_LPSURFACE;
            desc.lpSurface = bits;
        }
    }

    HRESULT BltImpl(DxMethod method, RECT* destRect, Surface* src, RECT* srcRect, DWORD flags, DDBLTFX* fx);
    HRESULT BltFastImpl(DxMethod method, DWORD x, DWORD y, Surface* src, RECT* srcRect, DWORD trans);
    HRESULT FlipImpl(DxMethod method, Surface* target, DWORD flags);
    HRESULT AttachedImpl(DxMethod method, DWORD caps, Surface*& out);
    HRESULT GetClipperImpl(SharedMethod method, IDirectDrawClipper** out);
    HRESULT GetColorKeyImpl(SharedMethod method, DWORD flags, DDCOLORKEY* key);
    HRESULT GetPaletteImpl(SharedMethod method, IDirectDrawPalette** out);
    HRESULT GetPixelFormatImpl(SharedMethod method, DDPIXELFORMAT* format);
    HRESULT IsLostImpl(SharedMethod method);
    HRESULT LockImpl(DxMethod method, RECT* rect, DWORD flags, uint8_t*& bits);
    HRESULT RestoreImpl(SharedMethod method);
    HRESULT SetClipperImpl(SharedMethod method, IDirectDrawClipper* clipper);
    HRESULT SetColorKeyImpl(SharedMethod method, DWORD flags, DDCOLORKEY* key);
    HRESULT SetPaletteImpl(SharedMethod method, IDirectDrawPalette* palette);
    HRESULT UnlockImpl(DxMethod method);

    void SetPixel(int x, int y, uint32_t value);

    DirectDraw* mOwner;
    int mWidth;
    int mHeight;
    int mPitch;
    DDPIXELFORMAT mFormat;
    DWORD mCaps;
    DWORD mCaps2;
    uint64_t mVideoBytes = 0;
    uint8_t* Bits() { return mLent ? mLent : mBits.data(); }

    std::vector<uint8_t> mBits;     // empty while the pixels are lent
    uint8_t* mLent = nullptr;
    bool mLocked = false;
    uint64_t mVersion = ++gSurfaceVersion;
    bool mLost = false;
    bool mHasSrcKey = false;
    DDCOLORKEY mSrcKey;
    IDirectDrawClipper* mClipper = nullptr;     // one reference
    IDirectDrawPalette* mPalette = nullptr;     // one reference
    Surface* mBack = nullptr;                   // one reference, held by the front
    Surface* mFront = nullptr;                  // not held

    friend class DirectDraw;
};

// The one DirectDraw object behind both interfaces.
class DirectDraw final : public IDirectDraw, public IDirectDraw7, private RefCounted {
public:
    DirectDraw() {
        const DirectXConfig& c = DirectXConfig::Get();
        mModeWidth = c.mDesktopWidth;
        mModeHeight = c.mDesktopHeight;
        mModeFormat = PixelFormatOf(c.mDesktopFormat);
    }

    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (HRESULT hr = CheckShared({"IDirectDraw::QueryInterface", "IDirectDraw7::QueryInterface"}); FAILED(hr))
            return hr;
        if (iid == IID_IDirectDraw || iid == IID_IUnknown) {
            AddRef();
            *out = static_cast<IDirectDraw*>(this);
            return DD_OK;
        }
        if (iid == IID_IDirectDraw7) {
            AddRef();
            *out = static_cast<IDirectDraw7*>(this);
            return DD_OK;
        }
        if (iid == IID_IDirect3D7) {
            Direct3D7Factory factory = gDirect3D7Factory.load();
            if (!factory) return E_NOINTERFACE;
            return factory(static_cast<IDirectDraw7*>(this), out);
        }
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }

    // IDirectDraw.
    HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** out, IUnknown* outer) override {
        return CreateClipperImpl({"IDirectDraw::CreateClipper", "IDirectDraw7::CreateClipper"}, flags, out, outer);
    }
    HRESULT CreatePalette(DWORD flags, PALETTEENTRY* entries, IDirectDrawPalette** out, IUnknown* outer) override {
        return CreatePaletteImpl({"IDirectDraw::CreatePalette", "IDirectDraw7::CreatePalette"}, flags, entries, out, outer);
    }
    HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** out, IUnknown* outer) override {
        if (!desc || !out || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (HRESULT hr = Check("IDirectDraw::CreateSurface"); FAILED(hr)) return hr;
        Surface* s = nullptr;
        HRESULT hr = CreateSurfaceImpl(desc->dwFlags, desc->dwWidth, desc->dwHeight, desc->dwBackBufferCount,
                                       desc->ddpfPixelFormat, desc->ddsCaps.dwCaps, 0, desc->ddckCKSrcBlt, s);
        *out = s;
        return hr;
    }
    HRESULT EnumDisplayModes(DWORD flags, DDSURFACEDESC* filter, void* context,
                             LPDDENUMMODESCALLBACK callback) override {
        return EnumImpl<DDSURFACEDESC>("IDirectDraw::EnumDisplayModes", flags, filter, context, callback);
    }
    HRESULT FlipToGDISurface() override {
        return CheckShared({"IDirectDraw::FlipToGDISurface", "IDirectDraw7::FlipToGDISurface"});
    }
    HRESULT GetDisplayMode(DDSURFACEDESC* desc) override {
        if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
        if (HRESULT hr = Check("IDirectDraw::GetDisplayMode"); FAILED(hr)) return hr;
        FillMode(*desc);
        return DD_OK;
    }
    HRESULT GetMonitorFrequency(DWORD* hz) override {
        return MonitorImpl({"IDirectDraw::GetMonitorFrequency", "IDirectDraw7::GetMonitorFrequency"}, hz);
    }
    HRESULT RestoreDisplayMode() override { return RestoreModeImpl({"IDirectDraw::RestoreDisplayMode", "IDirectDraw7::RestoreDisplayMode"}); }
    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
        return CoopImpl({"IDirectDraw::SetCooperativeLevel", "IDirectDraw7::SetCooperativeLevel"}, window, flags);
    }
    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits) override {
        return ModeImpl("IDirectDraw::SetDisplayMode", width, height, bits);
    }
    HRESULT WaitForVerticalBlank(DWORD flags, void* event) override {
        (void)flags;
        (void)event;
        return CheckShared({"IDirectDraw::WaitForVerticalBlank", "IDirectDraw7::WaitForVerticalBlank"});
    }

    // IDirectDraw7.
    HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** out, IUnknown* outer) override {
        if (!desc || !out || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (HRESULT hr = Check("IDirectDraw7::CreateSurface"); FAILED(hr)) return hr;
        Surface* s = nullptr;
        HRESULT hr = CreateSurfaceImpl(desc->dwFlags, desc->dwWidth, desc->dwHeight, desc->dwBackBufferCount,
                                       desc->ddpfPixelFormat, desc->ddsCaps.dwCaps, desc->ddsCaps.dwCaps2,
                                       desc->ddckCKSrcBlt, s);
        *out = s;
        return hr;
    }
    HRESULT EnumDisplayModes(DWORD flags, DDSURFACEDESC2* filter, void* context,
                             LPDDENUMMODESCALLBACK2 callback) override {
        return EnumImpl<DDSURFACEDESC2>("IDirectDraw7::EnumDisplayModes", flags, filter, context, callback);
    }
    HRESULT GetAvailableVidMem(DDSCAPS2* caps, DWORD* total, DWORD* free) override {
        if (!caps) return DDERR_INVALIDPARAMS;
        if (HRESULT hr = Check("IDirectDraw7::GetAvailableVidMem"); FAILED(hr)) return hr;
        const uint64_t budget = DirectXConfig::Get().mVideoMemory;
        const uint64_t used = std::min(gVideoMemoryInUse.load(), budget);
        // The interface speaks 32-bit words: a larger budget reads as the most they hold.
        if (total) *total = static_cast<DWORD>(std::min<uint64_t>(budget, 0xFFFFFFFFull));
        if (free) *free = static_cast<DWORD>(std::min<uint64_t>(budget - used, 0xFFFFFFFFull));
        return DD_OK;
    }
    HRESULT GetDeviceIdentifier(DDDEVICEIDENTIFIER2* id, DWORD flags) override {
        (void)flags;
        if (!id) return DDERR_INVALIDPARAMS;
        if (HRESULT hr = Check("IDirectDraw7::GetDeviceIdentifier"); FAILED(hr)) return hr;
        const DirectXConfig& c = DirectXConfig::Get();
        *id = DDDEVICEIDENTIFIER2{};
        std::strncpy(id->szDriver, c.mDriver.c_str(), sizeof id->szDriver - 1);
        std::strncpy(id->szDescription, c.mDescription.c_str(), sizeof id->szDescription - 1);
        id->guidDeviceIdentifier = c.mDeviceGuid;
        return DD_OK;
    }
    HRESULT GetDisplayMode(DDSURFACEDESC2* desc) override {
        if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
        if (HRESULT hr = Check("IDirectDraw7::GetDisplayMode"); FAILED(hr)) return hr;
        FillMode(*desc);
        return DD_OK;
    }
    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refresh, DWORD flags) override {
        (void)refresh;
        (void)flags;
        return ModeImpl("IDirectDraw7::SetDisplayMode", width, height, bits);
    }

    // Surfaces report their life and their video memory here.
    void Forget(Surface* s) {
        std::lock_guard<std::recursive_mutex> hold(mMutex);
        mSurfaces.erase(s);
        if (s == mPrimary) mPrimary = nullptr;
    }

private:
    void Destroy() override {
        {
            std::lock_guard<std::recursive_mutex> hold(mMutex);
            // Surfaces may outlive the object; they stop reporting to it.
            for (Surface* s : mSurfaces) s->Detach();
            mSurfaces.clear();
        }
        // Outside the lock: the mutex goes with the object.
        delete this;
    }
    HRESULT Check(DxMethod method) { return DirectXConfig::Get().Check(method); }

    HRESULT CreateClipperImpl(SharedMethod method, DWORD flags, IDirectDrawClipper** out, IUnknown* outer) {
        (void)flags;
        if (!out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (HRESULT hr = CheckShared(method); FAILED(hr)) return hr;
        *out = new Clipper();
        return DD_OK;
    }
    HRESULT CreatePaletteImpl(SharedMethod method, DWORD flags, PALETTEENTRY* entries, IDirectDrawPalette** out,
                              IUnknown* outer) {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (!(flags & DDPCAPS_8BIT)) return DDERR_INVALIDPARAMS;
        if (HRESULT hr = CheckShared(method); FAILED(hr)) return hr;
        auto* p = new Palette(flags);
        if (entries) p->SetEntries(0, 0, 256, entries);
        *out = p;
        return DD_OK;
    }

    template <typename Desc>
    void FillMode(Desc& desc) {
        const DWORD size = desc.dwSize;
        desc = Desc{};
        desc.dwSize = size;
        desc.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
        desc.dwWidth = static_cast<DWORD>(mModeWidth);
        desc.dwHeight = static_cast<DWORD>(mModeHeight);
        desc.lPitch = mModeWidth * BytesPerPixel(mModeFormat);
        desc.ddpfPixelFormat = mModeFormat;
        desc.dwRefreshRate = DirectXConfig::Get().mRefreshRate;
    }

    template <typename Desc, typename Callback>
    HRESULT EnumImpl(DxMethod method, DWORD flags, Desc* filter, void* context, Callback callback) {
        (void)flags;
        if (!callback) return DDERR_INVALIDPARAMS;
        if (HRESULT hr = Check(method); FAILED(hr)) return hr;
        const std::vector<DisplayModeInfo> modes = DirectXConfig::Get().mModes;
        for (const DisplayModeInfo& m : modes) {
            if (filter && (filter->dwFlags & DDSD_WIDTH) && filter->dwWidth != m.width) continue;
            if (filter && (filter->dwFlags & DDSD_HEIGHT) && filter->dwHeight != m.height) continue;
            Desc d{};
            d.dwSize = sizeof(Desc);
            d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
            d.dwWidth = m.width;
            d.dwHeight = m.height;
            d.ddpfPixelFormat = ModeFormat(m.bits);
            if (callback(&d, context) == DDENUMRET_CANCEL) break;
        }
        return DD_OK;
    }

    HRESULT MonitorImpl(SharedMethod method, DWORD* hz) {
        if (!hz) return DDERR_INVALIDPARAMS;
        if (HRESULT hr = CheckShared(method); FAILED(hr)) return hr;
        const DirectXConfig& c = DirectXConfig::Get();
        if (c.mRefreshFails) return DDERR_UNSUPPORTED;
        *hz = c.mRefreshRate;
        return DD_OK;
    }

    static DDPIXELFORMAT ModeFormat(DWORD bits) {
        const DirectXConfig& c = DirectXConfig::Get();
        switch (bits) {
        case 16: return PixelFormatOf(c.mMode16Format);
        case 24: return PixelFormatOf(PixelLayout::RGB888);
        case 8: return PixelFormatOf(PixelLayout::PAL8);
        default: return PixelFormatOf(c.mMode32Format);
        }
    }

    // Surfaces of the old mode are lost; callers rebuild them.
    void LoseSurfaces() {
        std::lock_guard<std::recursive_mutex> hold(mMutex);
        for (Surface* s : mSurfaces)
            if (!(s->mCaps & DDSCAPS_SYSTEMMEMORY)) s->MarkLost();
    }

    HRESULT RestoreModeImpl(SharedMethod method) {
        if (HRESULT hr = CheckShared(method); FAILED(hr)) return hr;
        const DirectXConfig& c = DirectXConfig::Get();
        const DDPIXELFORMAT desktop = PixelFormatOf(c.mDesktopFormat);
        if (mModeWidth != c.mDesktopWidth || mModeHeight != c.mDesktopHeight ||
            std::memcmp(&mModeFormat, &desktop, sizeof desktop) != 0) {
            LoseSurfaces();
        }
        mModeWidth = c.mDesktopWidth;
        mModeHeight = c.mDesktopHeight;
        mModeFormat = desktop;
        return DD_OK;
    }

    HRESULT CoopImpl(SharedMethod method, HWND window, DWORD flags) {
        const bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
        if (exclusive != ((flags & DDSCL_FULLSCREEN) != 0)) return DDERR_INVALIDPARAMS;
        if (!exclusive && !(flags & DDSCL_NORMAL)) return DDERR_INVALIDPARAMS;
        if (HRESULT hr = CheckShared(method); FAILED(hr)) return hr;
        if (mExclusive && !exclusive) RestoreModeImpl({"", ""});
        mExclusive = exclusive;
        mWindow = window;
        mCoopSet = true;
        return DD_OK;
    }

    HRESULT ModeImpl(DxMethod method, DWORD width, DWORD height, DWORD bits) {
        if (HRESULT hr = Check(method); FAILED(hr)) return hr;
        if (!mExclusive) return DDERR_NOEXCLUSIVEMODE;
        const DirectXConfig& c = DirectXConfig::Get();
        const bool known = std::any_of(c.mModes.begin(), c.mModes.end(), [&](const DisplayModeInfo& m) {
            return m.width == width && m.height == height && m.bits == bits;
        });
        if (!known) return DDERR_INVALIDMODE;
        LoseSurfaces();
        mModeWidth = static_cast<int>(width);
        mModeHeight = static_cast<int>(height);
        mModeFormat = ModeFormat(bits);
        return DD_OK;
    }

    HRESULT CreateSurfaceImpl(DWORD flags, DWORD width, DWORD height, DWORD backBuffers,
                              const DDPIXELFORMAT& format, DWORD caps, DWORD caps2, const DDCOLORKEY& key,
                              Surface*& out);

    std::recursive_mutex mMutex;
    std::set<Surface*> mSurfaces;
    Surface* mPrimary = nullptr;
    bool mCoopSet = false;
    bool mExclusive = false;
    HWND mWindow = nullptr;
    int mModeWidth = 0;
    int mModeHeight = 0;
    DDPIXELFORMAT mModeFormat;
};

// ---------------------------------------------------------------- surfaces

Surface::Surface(DirectDraw* owner, int width, int height, const DDPIXELFORMAT& format, DWORD caps,
                 DWORD caps2, bool videoMemory)
    : mOwner(owner), mWidth(width), mHeight(height), mFormat(format), mCaps(caps), mCaps2(caps2) {
    mPitch = static_cast<int>(PitchOf(width, format));
    mBits.assign(static_cast<size_t>(mPitch) * static_cast<size_t>(height), 0);
    if (videoMemory) {
        mVideoBytes = static_cast<uint64_t>(mPitch) * static_cast<uint64_t>(height);
        gVideoMemoryInUse += mVideoBytes;
    }
}

void Surface::Destroy() {
    if (mOwner) mOwner->Forget(this);
    if (mVideoBytes) gVideoMemoryInUse -= mVideoBytes;
    if (mClipper) mClipper->Release();
    if (mPalette) mPalette->Release();
    if (mBack) {
        mBack->mFront = nullptr;
        mBack->Release();
    }
    if (mFront) mFront->mBack = nullptr;
    delete this;
}

HRESULT Surface::QueryInterface(REFIID iid, void** out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (HRESULT hr = CheckShared({"IDirectDrawSurface::QueryInterface", "IDirectDrawSurface7::QueryInterface"}); FAILED(hr))
        return hr;
    if (iid == IID_IDirectDrawSurface || iid == IID_IUnknown) {
        AddRef();
        *out = static_cast<IDirectDrawSurface*>(this);
        return DD_OK;
    }
    if (iid == IID_IDirectDrawSurface7) {
        AddRef();
        *out = static_cast<IDirectDrawSurface7*>(this);
        return DD_OK;
    }
    return E_NOINTERFACE;
}

void Surface::SetPixel(int x, int y, uint32_t value) {
    uint8_t* p = Bits() + static_cast<size_t>(y) * mPitch;
    switch (mFormat.dwRGBBitCount) {
    case 8: p[x] = static_cast<uint8_t>(value); break;
    case 16: {
        const uint16_t v = static_cast<uint16_t>(value);
        std::memcpy(p + x * 2, &v, 2);
        break;
    }
    case 24:
        p[x * 3] = static_cast<uint8_t>(value);
        p[x * 3 + 1] = static_cast<uint8_t>(value >> 8);
        p[x * 3 + 2] = static_cast<uint8_t>(value >> 16);
        break;
    default: std::memcpy(p + x * 4, &value, 4); break;
    }
}

namespace {
bool ValidRect(const RECT& r, int w, int h) {
    return r.left >= 0 && r.top >= 0 && r.right <= w && r.bottom <= h && r.left < r.right && r.top < r.bottom;
}
bool SameFormat(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b) {
    return a.dwRGBBitCount == b.dwRGBBitCount && a.dwRBitMask == b.dwRBitMask && a.dwGBitMask == b.dwGBitMask &&
           a.dwBBitMask == b.dwBBitMask;
}
} // namespace

namespace {
// One destination row of a nearest-pixel stretch from its source columns.
template <typename Pixel>
void StretchRow(const Pixel* src, const int* columns, Pixel* dst, size_t width) {
    for (size_t i = 0; i < width; ++i) dst[i] = src[columns[i]];
}
} // namespace

HRESULT Surface::BltImpl(DxMethod method, RECT* destRect, Surface* src, RECT* srcRect, DWORD flags,
                         DDBLTFX* fx) {
    if (fx && fx->dwSize != sizeof(DDBLTFX)) return DDERR_INVALIDPARAMS;
    const bool fill = (flags & DDBLT_COLORFILL) != 0;
    if ((fill || (flags & (DDBLT_DDFX | DDBLT_KEYSRCOVERRIDE))) && !fx) return DDERR_INVALIDPARAMS;
    if (!fill && !src) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Check(method); FAILED(hr)) return hr;
    mVersion = ++gSurfaceVersion;
    if (mLost || (src && src->mLost)) return DDERR_SURFACELOST;
    if (mLocked || (src && src->mLocked)) return DDERR_SURFACEBUSY;

    RECT d = destRect ? *destRect : RECT{0, 0, mWidth, mHeight};
    if (d.left >= d.right || d.top >= d.bottom) return DDERR_INVALIDRECT;
    RECT s{};
    if (!fill) {
        s = srcRect ? *srcRect : RECT{0, 0, src->mWidth, src->mHeight};
        if (!ValidRect(s, src->mWidth, src->mHeight)) return DDERR_INVALIDRECT;
        if (!SameFormat(mFormat, src->mFormat)) return DDERR_INVALIDPIXELFORMAT;
    }
    // With a clipper the destination is cut to the surface (the window's
    // client area); without one it must lie inside.
    RECT clipped = d;
    if (mClipper) {
        clipped.left = std::max<LONG>(d.left, 0);
        clipped.top = std::max<LONG>(d.top, 0);
        clipped.right = std::min<LONG>(d.right, mWidth);
        clipped.bottom = std::min<LONG>(d.bottom, mHeight);
        if (clipped.left >= clipped.right || clipped.top >= clipped.bottom) return DD_OK;
    } else if (!ValidRect(d, mWidth, mHeight)) {
        return DDERR_INVALIDRECT;
    }

    if (fill) {
        for (int y = clipped.top; y < clipped.bottom; ++y)
            for (int x = clipped.left; x < clipped.right; ++x) SetPixel(x, y, fx->dwFillColor);
        return DD_OK;
    }

    bool keyed = false;
    DDCOLORKEY key;
    if (flags & DDBLT_KEYSRCOVERRIDE) {
        keyed = true;
        key = fx->ddckSrcColorkey;
    } else if (flags & DDBLT_KEYSRC) {
        if (!src->mHasSrcKey) return DDERR_NOCOLORKEY;
        keyed = true;
        key = src->mSrcKey;
    }
    // Keys compare the colour bits only.
    const uint32_t rgb = src->mFormat.dwRBitMask | src->mFormat.dwGBitMask | src->mFormat.dwBBitMask;
    const uint32_t keyLow = key.dwColorSpaceLowValue & rgb;
    const uint32_t keyHigh = std::max(key.dwColorSpaceHighValue & rgb, keyLow);

    const int dw = d.right - d.left, dh = d.bottom - d.top;
    const int sw = s.right - s.left, sh = s.bottom - s.top;
    const int bpp = BytesPerPixel(mFormat);
    // A copy of the source when it overlaps the destination.
    std::vector<uint8_t> copy;
    const uint8_t* srcBits = src->Bits();
    if (src == this) {
        copy.assign(srcBits, srcBits + static_cast<size_t>(mPitch) * static_cast<size_t>(mHeight));
        srcBits = copy.data();
    }
    const bool plain = !keyed && dw == sw && dh == sh;
    const size_t width = static_cast<size_t>(clipped.right - clipped.left);
    // The source column of each destination column, worked out once per blit.
    std::vector<int> columns;
    if (!plain) {
        columns.resize(width);
        for (size_t i = 0; i < width; ++i)
            columns[i] = s.left + static_cast<int>(static_cast<int64_t>(clipped.left + static_cast<int>(i) - d.left) *
                                                   sw / dw);
    }
    int lastSy = -1;
    for (int y = clipped.top; y < clipped.bottom; ++y) {
        const int sy = s.top + static_cast<int>(static_cast<int64_t>(y - d.top) * sh / dh);
        const uint8_t* srow = srcBits + static_cast<size_t>(sy) * src->mPitch;
        uint8_t* drow = Bits() + static_cast<size_t>(y) * mPitch;
        if (plain) {
            std::memcpy(drow + clipped.left * bpp, srow + (s.left + clipped.left - d.left) * bpp, width * bpp);
            continue;
        }
        // A stretch repeats source rows: the row just made is copied again.
        if (!keyed && sy == lastSy) {
            std::memcpy(drow + clipped.left * bpp, drow - mPitch + clipped.left * bpp, width * bpp);
            continue;
        }
        lastSy = sy;
        if (!keyed && bpp == 2) {
            StretchRow(reinterpret_cast<const uint16_t*>(srow), columns.data(),
                       reinterpret_cast<uint16_t*>(drow) + clipped.left, width);
            continue;
        }
        if (!keyed && bpp == 4) {
            StretchRow(reinterpret_cast<const uint32_t*>(srow), columns.data(),
                       reinterpret_cast<uint32_t*>(drow) + clipped.left, width);
            continue;
        }
        for (size_t i = 0; i < width; ++i) {
            uint32_t v = 0;
            std::memcpy(&v, srow + columns[i] * bpp, static_cast<size_t>(bpp));
            if (keyed && (v & rgb) >= keyLow && (v & rgb) <= keyHigh) continue;
            std::memcpy(drow + (clipped.left + static_cast<int>(i)) * bpp, &v, static_cast<size_t>(bpp));
        }
    }
    return DD_OK;
}

HRESULT Surface::BltFastImpl(DxMethod method, DWORD x, DWORD y, Surface* src, RECT* srcRect, DWORD trans) {
    if (!src) return DDERR_INVALIDPARAMS;
    if (mClipper) return MAKE_DDHRESULT(574);  // a clipped surface takes no fast blit
    RECT s = srcRect ? *srcRect : RECT{0, 0, src->mWidth, src->mHeight};
    RECT d{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x) + (s.right - s.left),
           static_cast<LONG>(y) + (s.bottom - s.top)};
    if (HRESULT hr = Check(method); FAILED(hr)) return hr;
    return BltImpl("", &d, src, &s, (trans & DDBLTFAST_SRCCOLORKEY) ? DDBLT_KEYSRC : 0, nullptr);
}

HRESULT Surface::FlipImpl(DxMethod method, Surface* target, DWORD flags) {
    (void)flags;
    if (HRESULT hr = Check(method); FAILED(hr)) return hr;
    if (!mBack || !(mCaps & DDSCAPS_FLIP)) return DDERR_NOTFLIPPABLE;
    if (target && target != mBack) return DDERR_INVALIDPARAMS;
    if (mLost || mBack->mLost) return DDERR_SURFACELOST;
    if (mLocked || mBack->mLocked) return DDERR_SURFACEBUSY;
    mBits.swap(mBack->mBits);
    return DD_OK;
}

HRESULT Surface::AttachedImpl(DxMethod method, DWORD caps, Surface*& out) {
    out = nullptr;
    if (HRESULT hr = Check(method); FAILED(hr)) return hr;
    if (!mBack || !(caps & DDSCAPS_BACKBUFFER)) return DDERR_NOTFOUND;
    mBack->AddRef();
    out = mBack;
    return DD_OK;
}

HRESULT Surface::GetClipperImpl(SharedMethod method, IDirectDrawClipper** out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (HRESULT hr = CheckShared(method); FAILED(hr)) return hr;
    if (!mClipper) return DDERR_NOCLIPPERATTACHED;
    mClipper->AddRef();
    *out = mClipper;
    return DD_OK;
}

HRESULT Surface::GetColorKeyImpl(SharedMethod method, DWORD flags, DDCOLORKEY* key) {
    if (!key || flags != DDCKEY_SRCBLT) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = CheckShared(method); FAILED(hr)) return hr;
    if (!mHasSrcKey) return DDERR_NOCOLORKEY;
    *key = mSrcKey;
    return DD_OK;
}

HRESULT Surface::GetPaletteImpl(SharedMethod method, IDirectDrawPalette** out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (HRESULT hr = CheckShared(method); FAILED(hr)) return hr;
    if (!mPalette) return DDERR_NOPALETTEATTACHED;
    mPalette->AddRef();
    *out = mPalette;
    return DD_OK;
}

HRESULT Surface::GetPixelFormatImpl(SharedMethod method, DDPIXELFORMAT* format) {
    if (!format || format->dwSize != sizeof(DDPIXELFORMAT)) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = CheckShared(method); FAILED(hr)) return hr;
    *format = mFormat;
    return DD_OK;
}

HRESULT Surface::IsLostImpl(SharedMethod method) {
    if (HRESULT hr = CheckShared(method); FAILED(hr)) return hr;
    return mLost ? DDERR_SURFACELOST : DD_OK;
}

HRESULT Surface::LockImpl(DxMethod method, RECT* rect, DWORD flags, uint8_t*& bits) {
    (void)flags;
    if (rect && !ValidRect(*rect, mWidth, mHeight)) return DDERR_INVALIDRECT;
    if (HRESULT hr = Check(method); FAILED(hr)) return hr;
    if (mLost) return DDERR_SURFACELOST;
    if (mLocked) return DDERR_SURFACEBUSY;
    mLocked = true;
    bits = Bits();
    if (rect) bits += static_cast<size_t>(rect->top) * mPitch + rect->left * BytesPerPixel(mFormat);
    return DD_OK;
}

HRESULT Surface::RestoreImpl(SharedMethod method) {
    if (HRESULT hr = CheckShared(method); FAILED(hr)) return hr;
    // A primary of the old mode cannot come back in the new one.
    if (mLost && IsPrimary()) return DDERR_WRONGMODE;
    mLost = false;
    return DD_OK;
}

HRESULT Surface::SetClipperImpl(SharedMethod method, IDirectDrawClipper* clipper) {
    if (HRESULT hr = CheckShared(method); FAILED(hr)) return hr;
    if (clipper) clipper->AddRef();
    if (mClipper) mClipper->Release();
    mClipper = clipper;
    return DD_OK;
}

HRESULT Surface::SetColorKeyImpl(SharedMethod method, DWORD flags, DDCOLORKEY* key) {
    if (!(flags & DDCKEY_SRCBLT)) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = CheckShared(method); FAILED(hr)) return hr;
    if (!key) {
        mHasSrcKey = false;
        return DD_OK;
    }
    mHasSrcKey = true;
    mSrcKey = *key;
    return DD_OK;
}

HRESULT Surface::SetPaletteImpl(SharedMethod method, IDirectDrawPalette* palette) {
    if (HRESULT hr = CheckShared(method); FAILED(hr)) return hr;
    if (palette && mFormat.dwRGBBitCount != 8) return DDERR_NOTPALETTIZED;
    if (palette) palette->AddRef();
    if (mPalette) mPalette->Release();
    mPalette = palette;
    return DD_OK;
}

HRESULT Surface::UnlockImpl(DxMethod method) {
    if (HRESULT hr = Check(method); FAILED(hr)) return hr;
    if (!mLocked) return DDERR_NOTLOCKED;
    mLocked = false;
    mVersion = ++gSurfaceVersion;
    return DD_OK;
}

// ---------------------------------------------------------------- creation

HRESULT DirectDraw::CreateSurfaceImpl(DWORD flags, DWORD width, DWORD height, DWORD backBuffers,
                                      const DDPIXELFORMAT& format, DWORD caps, DWORD caps2,
                                      const DDCOLORKEY& key, Surface*& out) {
    std::lock_guard<std::recursive_mutex> hold(mMutex);
    out = nullptr;
    if (!(flags & DDSD_CAPS)) caps = 0;
    if (!mCoopSet) return DDERR_NOCOOPERATIVELEVELSET;
    if ((caps & DDSCAPS_SYSTEMMEMORY) && (caps & DDSCAPS_VIDEOMEMORY)) return DDERR_INVALIDCAPS;

    const bool primary = (caps & DDSCAPS_PRIMARYSURFACE) != 0;
    int w = 0, h = 0;
    DDPIXELFORMAT f = mModeFormat;
    if (primary) {
        if (flags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT)) return DDERR_INVALIDPARAMS;
        if (mPrimary) return DDERR_PRIMARYSURFACEALREADYEXISTS;
        const bool chain = (caps & DDSCAPS_FLIP) != 0;
        if (chain) {
            if (!mExclusive) return DDERR_NOEXCLUSIVEMODE;
            if (!(caps & DDSCAPS_COMPLEX) || !(flags & DDSD_BACKBUFFERCOUNT) || backBuffers != 1)
                return DDERR_INVALIDPARAMS;
        }
        w = mModeWidth;
        h = mModeHeight;
        // A windowed primary covers the window's client area.
        if (!mExclusive && mWindow && mWindow->IsOpen()) mWindow->GetClientSize(w, h);
    } else {
        if ((flags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
        if (width == 0 || height == 0) return DDERR_INVALIDPARAMS;
        if (width > kMaxSurfaceSide || height > kMaxSurfaceSide) return DDERR_TOOBIGSIZE;
        w = static_cast<int>(width);
        h = static_cast<int>(height);
        if (flags & DDSD_PIXELFORMAT) {
            if (format.dwSize != sizeof(DDPIXELFORMAT)) return DDERR_INVALIDPARAMS;
            PixelLayout layout;
            if (!LayoutOf(format, layout)) return DDERR_INVALIDPIXELFORMAT;
            f = PixelFormatOf(layout);
        }
    }
    if (w <= 0 || h <= 0) return DDERR_INVALIDPARAMS;

    // Primaries and explicit video-memory surfaces draw from the budget;
    // surfaces that name no memory take video memory while it lasts.
    const bool managed = (caps2 & (DDSCAPS2_TEXTUREMANAGE | DDSCAPS2_D3DTEXTUREMANAGE)) != 0;
    const int count = primary && (caps & DDSCAPS_FLIP) ? 2 : 1;
    const uint64_t pitch = PitchOf(w, f);
    const uint64_t need = pitch * static_cast<uint64_t>(h) * static_cast<uint64_t>(count);
    const uint64_t budget = DirectXConfig::Get().mVideoMemory;
    const uint64_t used = gVideoMemoryInUse.load();
    const bool fits = used <= budget && need <= budget - used;
    bool video = false;
    if (primary || (caps & DDSCAPS_VIDEOMEMORY)) {
        if (!fits) return DDERR_OUTOFVIDEOMEMORY;
        video = true;
    } else if (!(caps & DDSCAPS_SYSTEMMEMORY) && !managed && fits) {
        video = true;
    }
    if (!managed) caps |= video ? (DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM) : DDSCAPS_SYSTEMMEMORY;
    if (primary && (caps & DDSCAPS_FLIP)) caps |= DDSCAPS_FRONTBUFFER;

    auto* s = new Surface(this, w, h, f, caps, caps2, video);
    if (flags & DDSD_CKSRCBLT) {
        s->mHasSrcKey = true;
        s->mSrcKey = key;
    }
    mSurfaces.insert(s);
    if (primary) {
        mPrimary = s;
        if (caps & DDSCAPS_FLIP) {
            const DWORD backCaps = (caps & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER)) | DDSCAPS_BACKBUFFER;
            auto* back = new Surface(this, w, h, f, backCaps, caps2, video);
            mSurfaces.insert(back);
            s->AttachBackBuffer(back);
        }
    }
    out = s;
    return DD_OK;
}

template <typename Out>
HRESULT CreateObject(GUID* guid, Out** out, IUnknown* outer, DxMethod method) {
    (void)guid;
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (HRESULT hr = DirectXConfig::Get().Check(method); FAILED(hr)) return hr;
    return DD_OK;
}

} // namespace

HRESULT DirectDrawCreate(GUID* guid, IDirectDraw** out, IUnknown* outer) {
    HRESULT hr = CreateObject(guid, out, outer, "DirectDrawCreate");
    if (FAILED(hr)) return hr;
    *out = static_cast<IDirectDraw*>(new DirectDraw());
    return DD_OK;
}

HRESULT DirectDrawCreateEx(GUID* guid, void** out, REFIID iid, IUnknown* outer) {
    HRESULT hr = CreateObject(guid, out, outer, "DirectDrawCreateEx");
    if (FAILED(hr)) return hr;
    if (!(iid == IID_IDirectDraw7)) return DDERR_INVALIDPARAMS;
    *out = static_cast<IDirectDraw7*>(new DirectDraw());
    return DD_OK;
}

void* Direct3DCreate8(unsigned sdkVersion) { return CreateDirect3D8(sdkVersion); }

void SetDirect3D7Factory(Direct3D7Factory factory) { gDirect3D7Factory = factory; }

bool GetSurfaceMemory(IDirectDrawSurface* surface, SurfaceMemory& out) {
    if (!surface) return false;
    Surface::From(surface)->Memory(out);
    return true;
}

bool GetSurfaceMemory(IDirectDrawSurface7* surface, SurfaceMemory& out) {
    if (!surface) return false;
    Surface::From(surface)->Memory(out);
    return true;
}

bool LendWindowPixels(Window& window, IDirectDrawSurface* s, PrimaryFormat format) {
    Surface* surface = Surface::From(s);
    if (!surface) return false;
    SurfaceMemory m;
    surface->Memory(m);
    if (m.lent) return true;
    // The window's hold on the surface keeps it alive while it holds the pixels.
    surface->AddRef();
    int pitch = 0;
    void* bits = window.LendPixels(m.width, m.height, format, pitch, [surface] {
        surface->GiveBack();
        surface->Release();
    });
    if (!bits) {
        surface->Release();
        return false;
    }
    if (!surface->Borrow(static_cast<uint8_t*>(bits), pitch)) {
        window.EndLoan();
        return false;
    }
    return true;
}

uint64_t VideoMemoryInUse() { return gVideoMemoryInUse.load(); }

} // namespace platform
