// The surface image's lifecycle: making, filling, keying, locking, reading
// back and releasing its surface, and the buffer rules around it.
#include "framework/display/dd_image.h"

#include <algorithm>
#include <deque>
#include <cstring>
#include <mutex>
#include "framework/app/zephra_app_base.h"
#include "framework/display/dd_interface.h"
#include "framework/display/surface_pixels.h"

namespace Zephra {

using namespace platform;

namespace {

// The loops' view of a pixel format, made once per layout and kept (there are
// only a handful: the display's format in each of its modes). Entries never
// move, so a locked image may keep pointing at one.
const surface::PixelFormat& FormatOf(const DDPIXELFORMAT& pf) {
    struct Entry {
        DWORD bits = 0, r = 0, g = 0, b = 0;
        surface::PixelFormat f;
    };
    thread_local std::deque<Entry> cache;
    for (const Entry& e : cache)
        if (e.bits == pf.dwRGBBitCount && e.r == pf.dwRBitMask && e.g == pf.dwGBitMask && e.b == pf.dwBBitMask)
            return e.f;
    Entry& e = cache.emplace_back();
    e.bits = pf.dwRGBBitCount;
    e.r = pf.dwRBitMask;
    e.g = pf.dwGBitMask;
    e.b = pf.dwBBitMask;
    e.f = surface::MakePixelFormat(int(pf.dwRGBBitCount), pf.dwRBitMask, pf.dwGBitMask, pf.dwBBitMask);
    return e.f;
}

surface::SurfaceView ViewOf(const DDSURFACEDESC& d) {
    return {static_cast<uint8_t*>(d.lpSurface), int(d.lPitch), int(d.dwWidth), int(d.dwHeight)};
}

} // namespace

DDImage::DDImage(DDInterface* display) : MemoryImage(display ? display->mApp : nullptr), mDDInterface(display) {
    if (mDDInterface) mDDInterface->AddDDImage(this);
}

DDImage::~DDImage() {
    ReleaseSurfaceNoReadBack();
    if (mDDInterface) mDDInterface->RemoveDDImage(this);
}

bool DDImage::Is3D() const { return mDDInterface && mDDInterface->mIs3D; }

bool DDImage::SurfaceRoadAllowed() const {
    return !mHasAlpha && (!mHasTrans || mFirstPixelTrans) && !Is3D();
}

IDirectDrawSurface* DDImage::GetSurface() {
    if (!mSurface) CreateSurface();
    return mSurface;
}

bool DDImage::CreateSurface() {
    if (mSurface) return true;
    if (!mDDInterface || mWidth <= 0 || mHeight <= 0) return false;
    AnalyzeAlpha();
    if (mHasAlpha || mNoFreeKey) return false;
    mWantDDSurface = true;
    if (IsPalettized() && !mBits) MemoryImage::GetBits();
    const uint32_t* bits = mBits.get();
    const int n = mWidth * mHeight;
    // Pick the key before the surface exists: with no free value the image
    // stays in memory.
    bool useKey = false;
    uint32_t key = 0;
    DDSURFACEDESC2 desc = MakeDesc<DDSURFACEDESC2>();
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = DWORD(mWidth);
    desc.dwHeight = DWORD(mHeight);
    desc.ddsCaps.dwCaps = mVideoMemory ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY;
    std::lock_guard<CriticalSection> hold(mDDInterface->mCritSect);
    IDirectDrawSurface* made = nullptr;
    if (FAILED(mDDInterface->CreateSurface(&desc, &made)) || !made) return false;
    DDSURFACEDESC d = MakeDesc<DDSURFACEDESC>();
    if (FAILED(made->Lock(nullptr, &d, DDLOCK_WAIT, nullptr))) {
        made->Release();
        return false;
    }
    const surface::PixelFormat& f = FormatOf(d.ddpfPixelFormat);
    if (!f.Drawable()) {
        made->Unlock(nullptr);
        made->Release();
        return false;
    }
    if (bits && mFirstPixelTrans) {
        useKey = true;
        key = surface::ToSurface(bits[0], f);
    } else if (bits && mHasTrans) {
        // A forced flag may claim transparency the pixels do not have: no key then.
        const bool anyTransparent = std::any_of(bits, bits + n, [](uint32_t p) { return (p >> 24) != 255; });
        if (anyTransparent && !surface::ChooseColourKey(f, bits, n, key)) {
            made->Unlock(nullptr);
            made->Release();
            mNoFreeKey = true;
            return false;
        }
        useKey = anyTransparent;
    }
    if (bits && useKey && !mFirstPixelTrans)
        surface::WritePixels(ViewOf(d), f, bits, true, key);
    else if (bits)
        ConvertToSurface(bits, mWidth, mWidth, mHeight, static_cast<uint8_t*>(d.lpSurface), d.lPitch, d.ddpfPixelFormat);
    made->Unlock(nullptr);
    if (useKey) {
        DDCOLORKEY ck;
        ck.dwColorSpaceLowValue = ck.dwColorSpaceHighValue = f.bitCount == 16 ? key & 0xFFFF : key;
        made->SetColorKey(DDCKEY_SRCBLT, &ck);
    }
    mSurface = made;
    return true;
}

void DDImage::ReleaseSurfaceNoReadBack() {
    if (!mSurface) return;
    if (mLockCount > 0) {
        mSurface->Unlock(nullptr);
        mLockCount = 0;
    }
    mSurface->Release();
    mSurface = nullptr;
}

void DDImage::ReleaseSurface() {
    if (!mSurface) return;
    if (!IsPalettized() && !mBits && !mD3DData) GetBits();
    ReleaseSurfaceNoReadBack();
}

void DDImage::FreeAllBuffers() {
    FreeBits();
    FreeNativeData();
    FreeAlphaRuns();
    mPremultipliedData.reset();
    mColorTable.reset();
    mColorIndices.reset();
}

bool DDImage::Lock() {
    if (Is3D() && mSurface && mSurface == mDDInterface->mDrawSurface) return false;
    if (mLockCount == 0) {
        mLockedSurfaceDesc = MakeDesc<DDSURFACEDESC>();
        if (!GetSurface()) return false;
        if (FAILED(mSurface->Lock(nullptr, &mLockedSurfaceDesc, DDLOCK_WAIT, nullptr))) return false;
        mFormat = &FormatOf(mLockedSurfaceDesc.ddpfPixelFormat);
    }
    ++mLockCount;
    return true;
}

bool DDImage::Unlock() {
    if (Is3D() && mSurface && mSurface == mDDInterface->mDrawSurface) return false;
    if (mLockCount <= 0) return false;
    if (--mLockCount == 0 && mSurface) mSurface->Unlock(nullptr);
    return true;
}

bool DDImage::BeginSoftware(surface::SurfaceView& view) {
    if (mNoSoftwareAccess || !Lock()) return false;
    if (!mFormat->Drawable()) {
        Unlock();
        return false;
    }
    view = ViewOf(mLockedSurfaceDesc);
    return true;
}

void DDImage::AdoptSurface(IDirectDrawSurface* surface) {
    if (!surface) return;
    ReleaseSurfaceNoReadBack();
    mSurfaceAdopted = true;
    mSurface = surface;
    mSurface->AddRef();
    DDSURFACEDESC d = MakeDesc<DDSURFACEDESC>();
    d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT;
    if (SUCCEEDED(mSurface->GetSurfaceDesc(&d))) {
        mWidth = int(d.dwWidth);
        mHeight = int(d.dwHeight);
    }
    mNoSoftwareAccess = false;
}

void DDImage::SetVideoMemoryFlag(bool videoMemory) {
    if (videoMemory == mVideoMemory) return;
    mVideoMemory = videoMemory;
    if (mSurfaceAdopted) return;
    GetBits();
    ReleaseSurface();
}

void DDImage::SetColorKey() {
    if (!mSurface && !CreateSurface()) return;
    if (mNoSoftwareAccess) return;
    mHasTrans = true;
    mFirstPixelTrans = true;
    if (!Lock()) return;
    const uint32_t bits = mLockedSurfaceDesc.ddpfPixelFormat.dwRGBBitCount;
    DDCOLORKEY ck;
    if (bits == 16)
        ck.dwColorSpaceLowValue = *static_cast<const uint16_t*>(mLockedSurfaceDesc.lpSurface);
    else if (bits == 24 || bits == 32)
        ck.dwColorSpaceLowValue = *static_cast<const uint32_t*>(mLockedSurfaceDesc.lpSurface);
    if (bits == 16 || bits == 24 || bits == 32) {
        ck.dwColorSpaceHighValue = ck.dwColorSpaceLowValue;
        mSurface->SetColorKey(DDCKEY_SRCBLT, &ck);
    }
    Unlock();
}

void DDImage::Create(int width, int height) {
    // Neither a palette nor a texture of the old picture fits the new one;
    // the transparency flags stay as they are.
    mColorTable.reset();
    mColorIndices.reset();
    ReleaseTextures();
    FreeBits();
    mWidth = std::max(width, 0);
    mHeight = std::max(height, 0);
    BitsChanged();
}

uint32_t* DDImage::GetBits() {
    if (mBits) return mBits.get();
    if (!mSurface || IsPalettized()) return MemoryImage::GetBits();
    if (mNoSoftwareAccess || mWidth <= 0 || mHeight <= 0 || !Lock()) return nullptr;
    const size_t n = size_t(mWidth) * size_t(mHeight);
    std::unique_ptr<uint32_t[]> bits(new uint32_t[n + 1]);
    bits[n] = kBitsGuardWord;
    const surface::SurfaceView view = ViewOf(mLockedSurfaceDesc);
    if (mFormat->Drawable() && view.width == mWidth && view.height == mHeight) {
        // Key pixels were transparent before they went into the surface.
        DDCOLORKEY ck;
        const bool keyed = SUCCEEDED(mSurface->GetColorKey(DDCKEY_SRCBLT, &ck));
        surface::ReadPixels(view, *mFormat, bits.get(), keyed, ck.dwColorSpaceLowValue);
    } else {
        std::fill_n(bits.get(), n, 0u);
    }
    Unlock();
    mBits = std::move(bits);
    return mBits.get();
}

void DDImage::BitsChanged() {
    MemoryImage::BitsChanged();
    mNoFreeKey = false;
    // The bits are the newer copy. An adopted surface stays: what was drawn in
    // memory goes into it.
    if (!mSurfaceAdopted)
        ReleaseSurfaceNoReadBack();
    else
        FlushBitsToSurface();
}

void DDImage::FlushBitsToSurface() {
    if (!mSurfaceAdopted || !mBits || mNoSoftwareAccess || !Lock()) return;
    const surface::SurfaceView view = ViewOf(mLockedSurfaceDesc);
    if (view.width == mWidth && view.height == mHeight && mFormat->Drawable())
        ConvertToSurface(mBits.get(), mWidth, mWidth, mHeight, view.bits, view.pitch, mLockedSurfaceDesc.ddpfPixelFormat);
    Unlock();
    FreeBits();
}

void DDImage::DetachDisplay() {
    if (mSurface && !mSurfaceAdopted) GetBits();
    ReleaseSurfaceNoReadBack();
    mSurfaceAdopted = false;
    mDDInterface = nullptr;
}

void DDImage::AnalyzeAlpha() {
    if (!mSurface) MemoryImage::AnalyzeAlpha();
}

void DDImage::DropBits() {
    if (mSurfaceAdopted) return;
    mPurgeBits = true;
    AnalyzeAlpha();
    if (mApp && mApp->Is3DAccelerated()) {
        if (mSurface) {
            GetBits();
            ReleaseSurface();
        }
        MemoryImage::DropBits();
    } else if (mWantDDSurface && CreateSurface()) {
        FreeBits();
        mColorIndices.reset();
        mColorTable.reset();
    } else {
        MemoryImage::DropBits();
    }
}

void DDImage::FreeNativeBuffers() {
    if (mSurfaceAdopted) return;
    if (!mBits && !mColorIndices) GetBits();
    FreeNativeData();
    mPremultipliedData.reset();
    ReleaseSurface();
}

void DDImage::FreeExtraBuffers() {
    if (mSurfaceAdopted) return;
    FreeDerivedBuffers();
    ReleaseTextures();
    ReleaseSurface();
}

void DDImage::ReInit() {
    if (mWantPal) Palletize();
    if (mPurgeBits) DropBits();
    if (mWantDDSurface) CreateSurface();
}

bool DDImage::Palletize() {
    if (mSurface && !mBits && !IsPalettized()) GetBits();
    if (!MemoryImage::Palletize()) return false;
    ReleaseSurface();
    return true;
}

} // namespace Zephra
