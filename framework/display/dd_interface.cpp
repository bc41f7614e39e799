#include "framework/display/dd_interface.h"
#include "framework/display/d3d_interface.h"
#include "framework/display/d3d_screen_image.h"
#include "framework/display/d3d_tester.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include "framework/app/output_debug.h"
#include "framework/app/zephra_app_base.h"
#include "framework/display/dd_image.h"
#include "framework/display/surface_pixels.h"
#include "framework/graphics/memory_image.h"
#include "platform/directx/dx_config.h"
#include "platform/directx/dx_module.h"
#include "platform/window.h"

namespace Zephra {

using namespace platform;

std::atomic<uint8_t> gDDRGBOrder{0};

namespace {

// Holds the display's lock for a scope.
class Hold {
public:
    explicit Hold(CriticalSection& section) : mSection(section) { mSection.Lock(); }
    ~Hold() { mSection.Unlock(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
private:
    CriticalSection& mSection;
};

void ReleaseSurface(IDirectDrawSurface*& surface) {
    if (surface) surface->Release();
    surface = nullptr;
}

RECT ToRECT(const Rect& r) { return RECT{r.mX, r.mY, r.mX + r.mWidth, r.mY + r.mHeight}; }

// a < b for width:height fractions, either truncation counting.
bool AspectLess(const Fraction& a, const Fraction& b) {
    if (a.mDenominator == 0 || b.mDenominator == 0) return false;
    return a.mNumerator * b.mDenominator / a.mDenominator < b.mNumerator ||
           a.mNumerator < b.mNumerator * a.mDenominator / b.mDenominator;
}

void ChannelOf(uint32_t mask, int32_t& shift, int32_t& bits) {
    shift = 0;
    while (shift < 32 && mask != 0 && !((mask >> shift) & 1)) ++shift;
    bits = 0;
    if (mask == 0) return;
    int last = -1;
    for (int i = 0; i < 32; ++i) {
        if (shift + i >= 32) continue;
        if ((mask >> (shift + i)) != 0) last = i;
    }
    bits = last + 1;
}

int* MakeAddTable(int bits) {
    const int max = (1 << bits) - 1;
    int* table = new int[static_cast<size_t>(2 * max + 1)];
    for (int i = 0; i <= 2 * max; ++i) table[i] = std::min(i, max);
    return table;
}

bool PrimaryFormatOf(const DDPIXELFORMAT& f, PrimaryFormat& out) {
    PixelLayout layout;
    if (!LayoutOf(f, layout)) return false;
    switch (layout) {
    case PixelLayout::RGB565: out = PrimaryFormat::RGB565; return true;
    case PixelLayout::BGR565: out = PrimaryFormat::BGR565; return true;
    case PixelLayout::RGB555: out = PrimaryFormat::RGB555; return true;
    case PixelLayout::BGR555: out = PrimaryFormat::BGR555; return true;
    case PixelLayout::XRGB8888: out = PrimaryFormat::XRGB8888; return true;
    case PixelLayout::XBGR8888: out = PrimaryFormat::XBGR8888; return true;
    default: return false;
    }
    return false;
}

} // namespace

DDInterface::DDInterface(ZephraAppBase* app) : mApp(app) {
    void* module = app ? app->mDDrawModule : nullptr;
    mDirectDrawCreate = reinterpret_cast<DirectDrawCreateFn>(GetProcAddress(module, "DirectDrawCreate"));
    mDirectDrawCreateEx = reinterpret_cast<DirectDrawCreateExFn>(GetProcAddress(module, "DirectDrawCreateEx"));
    mD3DInterface = new D3DInterface(app, this);
}

DDInterface::~DDInterface() {
    FreeAddTables();
    Cleanup();
    delete mD3DInterface;
    mD3DInterface = nullptr;
    delete mD3DTester;
    mD3DTester = nullptr;
    // Images that outlive the display must not reach back into it.
    for (MemoryImage* image : mDDImageSet)
        if (auto* surfaceImage = dynamic_cast<DDImage*>(image)) surfaceImage->DetachDisplay();
    mDDImageSet.clear();
}

std::string DDInterface::ResultToString(int result) {
    switch (result) {
    case RESULT_OK: return "RESULT_OK";
    case RESULT_FAIL: return "RESULT_FAIL";
    case RESULT_DD_CREATE_FAIL: return "RESULT_DD_CREATE_FAIL";
    case RESULT_SURFACE_FAIL: return "RESULT_SURFACE_FAIL";
    case RESULT_EXCLUSIVE_FAIL: return "RESULT_EXCLUSIVE_FAIL";
    case RESULT_DISPCHANGE_FAIL: return "RESULT_DISPCHANGE_FAIL";
    case RESULT_INVALID_COLORDEPTH: return "RESULT_INVALID_COLORDEPTH";
    default: return "RESULT_UNKNOWN";
    }
}

bool DDInterface::CheckDDResult(HRESULT hr, const std::string& operation) {
    if (!FAILED(hr)) return false;
    mErrorString = operation + ": " + GetDirectXErrorName(hr);
    return true;
}

void DDInterface::FreeAddTables() {
    delete[] mRedAddTable;
    delete[] mGreenAddTable;
    delete[] mBlueAddTable;
    mRedAddTable = mGreenAddTable = mBlueAddTable = nullptr;
}

void DDInterface::Cleanup() {
    Hold hold(mCritSect);
    mInitialized = false;
    mPrimaryBehind = false;
    if (mD3DInterface) mD3DInterface->Cleanup();
    mHasOldCursorArea = false;
    ReleaseSurface(mOldCursorArea);
    ReleaseSurface(mNewCursorArea);
    delete mScreenImage;
    mScreenImage = nullptr;
    ReleaseSurface(mDrawSurface);
    ReleaseSurface(mSecondarySurface);
    ReleaseSurface(mPrimarySurface);
    if (mDD) {
        mDD->SetCooperativeLevel(mHWnd, DDSCL_NORMAL);
        mDD->Release();
        mDD = nullptr;
    }
    if (mDD7) {
        mDD7->Release();
        mDD7 = nullptr;
    }
}

HRESULT DDInterface::CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface** out, void* unused) {
    (void)unused;
    if (!desc || !out) return DDERR_INVALIDPARAMS;
    Hold hold(mCritSect);
    *out = nullptr;
    const bool wantsPrimary = (desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) != 0;
    // Nothing to create on, or nothing to read the screen format from.
    if ((!mDD && !mDD7) || (!mPrimarySurface && !wantsPrimary)) return DDERR_NOTINITIALIZED;
    HRESULT hr;
    IDirectDrawSurface* made = nullptr;
    if (mDD7) {
        IDirectDrawSurface7* s7 = nullptr;
        hr = mDD7->CreateSurface(desc, &s7, nullptr);
        if (SUCCEEDED(hr)) {
            hr = s7->QueryInterface(IID_IDirectDrawSurface, reinterpret_cast<void**>(&made));
            s7->Release();
        }
    } else {
        DDSURFACEDESC old{};
        old.dwSize = sizeof(DDSURFACEDESC);
        old.dwFlags = desc->dwFlags;
        old.dwHeight = desc->dwHeight;
        old.dwWidth = desc->dwWidth;
        old.lPitch = desc->lPitch;
        old.dwBackBufferCount = desc->dwBackBufferCount;
        old.dwRefreshRate = desc->dwRefreshRate;
        old.dwAlphaBitDepth = desc->dwAlphaBitDepth;
        old.dwReserved = desc->dwReserved;
        old.lpSurface = desc->lpSurface;
        old.ddpfPixelFormat = desc->ddpfPixelFormat;
        old.ddsCaps.dwCaps = desc->ddsCaps.dwCaps;
        hr = mDD->CreateSurface(&old, &made, nullptr);
    }
    if (FAILED(hr)) return hr;
    IDirectDrawSurface* primary = mPrimarySurface ? mPrimarySurface : made;
    DDSURFACEDESC pd = MakeDesc<DDSURFACEDESC>();
    pd.dwFlags = DDSD_PIXELFORMAT;
    if (FAILED(primary->GetSurfaceDesc(&pd))) pd.ddpfPixelFormat = DDPIXELFORMAT{};
    const DDPIXELFORMAT& f = pd.ddpfPixelFormat;
    gDDRGBOrder = (f.dwRBitMask > f.dwGBitMask && f.dwGBitMask > f.dwBBitMask) ? 1 : 0;
    if (f.dwRGBBitCount != 16 && f.dwRGBBitCount != 32) {
        made->Release();
        return DDERR_INVALIDPIXELFORMAT;
    }
    *out = made;
    return hr;
}

void DDInterface::ClearSurface(IDirectDrawSurface* surface) {
    if (!surface) return;
    DDSURFACEDESC d = MakeDesc<DDSURFACEDESC>();
    if (FAILED(surface->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr))) return;
    const size_t row = static_cast<size_t>(d.dwWidth) * (d.ddpfPixelFormat.dwRGBBitCount / 8);
    auto* p = static_cast<uint8_t*>(d.lpSurface);
    for (DWORD y = 0; y < d.dwHeight; ++y) std::memset(p + static_cast<size_t>(y) * d.lPitch, 0, row);
    surface->Unlock(nullptr);
}

bool DDInterface::Do3DTest(HWND window) {
    if (mD3DTester || !mApp || (!mApp->mRun3DTest && !mApp->mEnable3D)) return false;
    mD3DTester = new D3DTester(mApp);
    mD3DTester->mMinVidMemory = uint32_t(std::max(mApp->mMinVidMemory, 0));
    mD3DTester->mRecVidMemory = uint32_t(std::max(mApp->mRecVidMemory, 0));
    mD3DTester->Run(window, mDD7);
    const bool failed = !mD3DTester->GetFailureReason().empty();
    if (mApp->mEnable3D && !failed && mD3DTester->GetWarning().empty()) mIs3D = true;
    if (failed) mIs3D = false;
    return true;
}

int DDInterface::Init(HWND window, bool windowed) {
    Hold hold(mCritSect);
    mInitialized = false;
    Cleanup();
    mHWnd = window;

    HRESULT createResult = DD_OK;
    if (mDirectDrawCreateEx) {
        HRESULT hr = mDirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&mDD7), IID_IDirectDraw7, nullptr);
        if (CheckDDResult(hr, "DirectDrawCreateEx")) return RESULT_DD_CREATE_FAIL;
        hr = mDD7->QueryInterface(IID_IDirectDraw, reinterpret_cast<void**>(&mDD));
        if (CheckDDResult(hr, "QueryrInterface IID_IDirectDraw")) return RESULT_DD_CREATE_FAIL;
    } else if (mDirectDrawCreate) {
        createResult = mDirectDrawCreate(nullptr, &mDD, nullptr);
    } else {
        // No entry point at all: nothing to call.
        createResult = DDERR_NODIRECTDRAWSUPPORT;
    }

    Do3DTest(window);

    ZephraAppBase* app = mApp;
    const DirectXConfig& config = DirectXConfig::Get();
    mWidth = app ? app->mWidth : 800;
    mHeight = app ? app->mHeight : 600;
    mAspect.Set(mWidth, mHeight);
    mDesktopWidth = config.mDesktopWidth;
    mDesktopHeight = config.mDesktopHeight;
    mDesktopAspect.Set(mDesktopWidth, mDesktopHeight);
    mDisplayWidth = mWidth;
    mDisplayHeight = mHeight;
    mDisplayAspect = mAspect;
    mPresentationRect = Rect(0, 0, mWidth, mHeight);
    if (app) app->mScreenRect = mPresentationRect;
    mFullscreenBits = app ? app->mFullScreenBits : 16;
    mIsWidescreen = false;
    mIsWindowed = windowed;
    OutputDebug("Application requests %4lu x %4lu [%2d:%2d]\n", static_cast<unsigned long>(mWidth),
                static_cast<unsigned long>(mHeight), mAspect.mNumerator, mAspect.mDenominator);

    if (CheckDDResult(createResult, "DirectDrawCreate")) return RESULT_DD_CREATE_FAIL;

    if (windowed) {
        const Fraction hack = app ? app->mHackAspectRatio : Fraction(4, 3);
        OutputDebug("Hack aspect is                   [%2d:%2d]\n", hack.mNumerator, hack.mDenominator);
        if (app && app->mHackAspect && AspectLess(mAspect, hack)) {
            mIsWidescreen = true;
            mDisplayWidth = hack.mNumerator * mHeight / hack.mDenominator;
            mDisplayHeight = mHeight;
            mDisplayAspect = hack;
            if (window) window->SetClientSize(mDisplayWidth, mDisplayHeight);
            if (app->mWidenDrawBuffer) {
                mWidth = mDisplayWidth;
                mHeight = mDisplayHeight;
                mAspect = mDisplayAspect;
                mPresentationRect = Rect(0, 0, mDisplayWidth, mDisplayHeight);
            } else {
                mPresentationRect = Rect((mDisplayWidth - mWidth) / 2, 0, mWidth, mHeight);
            }
        }
        OutputDebug("Window is            %4lu x %4lu [%2d:%2d]\n", static_cast<unsigned long>(mDisplayWidth),
                    static_cast<unsigned long>(mDisplayHeight), mDisplayAspect.mNumerator,
                    mDisplayAspect.mDenominator);
        mDD->SetCooperativeLevel(window, DDSCL_NORMAL);

        DDSURFACEDESC2 desc = MakeDesc<DDSURFACEDESC2>();
        desc.dwFlags = DDSD_CAPS;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | (mIs3D ? DDSCAPS_3DDEVICE : 0);
        HRESULT hr = CreateSurface(&desc, &mPrimarySurface);
        if (hr == DDERR_INVALIDPIXELFORMAT) {
            CheckDDResult(hr, "CreateSurface Windowed Primary");
            return RESULT_INVALID_COLORDEPTH;
        }
        if (CheckDDResult(hr, "CreateSurface Windowed Primary")) return RESULT_SURFACE_FAIL;

        if (const int r = MakeDrawSurfaceAndClipper(window, "Windowed"); r != RESULT_OK) return r;
    } else {
        OutputDebug("Desktop is           %4lu x %4lu [%2d:%2d]\n", static_cast<unsigned long>(mDesktopWidth),
                    static_cast<unsigned long>(mDesktopHeight), mDesktopAspect.mNumerator,
                    mDesktopAspect.mDenominator);
        if (mIs3D && AspectLess(mAspect, mDesktopAspect)) {
            mIsWidescreen = true;
            mDisplayWidth = mDesktopWidth;
            mDisplayHeight = mDesktopHeight;
            mDisplayAspect = mDesktopAspect;
            if (app && app->mWidenDrawBuffer) {
                mAspect = mDesktopAspect;
                mWidth = mDesktopAspect.mNumerator * mHeight / mDesktopAspect.mDenominator;
                mPresentationRect = Rect(0, 0, mDesktopWidth, mDesktopHeight);
            } else {
                const int w = mWidth * mDesktopHeight / mHeight;
                mPresentationRect = Rect((mDesktopWidth - w) / 2, 0, w, mDesktopHeight);
            }
        }
        OutputDebug("Display is           %4lu x %4lu [%2d:%2d]\n", static_cast<unsigned long>(mDisplayWidth),
                    static_cast<unsigned long>(mDisplayHeight), mDisplayAspect.mNumerator,
                    mDisplayAspect.mDenominator);
        if (CheckDDResult(mDD->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN),
                          "SetCooperativeLevel FullScreen"))
            return RESULT_EXCLUSIVE_FAIL;
        if (CheckDDResult(mDD->SetDisplayMode(static_cast<DWORD>(mDisplayWidth),
                                              static_cast<DWORD>(mDisplayHeight),
                                              static_cast<DWORD>(mFullscreenBits)),
                          "SetDisplayMode FullScreen"))
            return RESULT_DISPCHANGE_FAIL;

        DDSURFACEDESC2 desc = MakeDesc<DDSURFACEDESC2>();
        desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        desc.dwBackBufferCount = 1;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX |
                              (mIs3D ? DDSCAPS_3DDEVICE : 0);
        if (CheckDDResult(CreateSurface(&desc, &mPrimarySurface), "CreateSurface FullScreen Primary"))
            return RESULT_SURFACE_FAIL;
        DDSCAPS caps{DDSCAPS_BACKBUFFER};
        if (CheckDDResult(mPrimarySurface->GetAttachedSurface(&caps, &mSecondarySurface), "GetAttachedSurface"))
            return RESULT_SURFACE_FAIL;
        if (mIsWidescreen) {
            ClearSurface(mPrimarySurface);
            ClearSurface(mSecondarySurface);
        }

        if (const int r = MakeDrawSurfaceAndClipper(window, "FullScreen"); r != RESULT_OK) return r;
        if (app && !app->mAllowPageFlip) mDD->FlipToGDISurface();
    }
    OutputDebug("Draw buffer is       %4lu x %4lu [%2d:%2d]\n", static_cast<unsigned long>(mWidth),
                static_cast<unsigned long>(mHeight), mAspect.mNumerator, mAspect.mDenominator);

    DWORD hz = 0;
    const HRESULT freq = mDD->GetMonitorFrequency(&hz);
    mRefreshRate = hz;
    if (FAILED(freq) || hz < 60 || hz > 100) {
        mRefreshRate = (FAILED(freq) || hz < 60) ? 60 : 100;
        if (app) app->mRefreshUnreliable = true;
    }
    mMillisecondsPerFrame = 1000 / mRefreshRate;

    for (IDirectDrawSurface** area : {&mOldCursorArea, &mNewCursorArea}) {
        DDSURFACEDESC2 desc = MakeDesc<DDSURFACEDESC2>();
        desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
        desc.dwWidth = static_cast<DWORD>(mCursorWidth);
        desc.dwHeight = static_cast<DWORD>(mCursorHeight);
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        if (CheckDDResult(CreateSurface(&desc, area),
                          area == &mOldCursorArea ? "CreateSurface OldCursorArea" : "CreateSurface NewCursorArea"))
            return RESULT_SURFACE_FAIL;
    }

    DDSURFACEDESC pd = MakeDesc<DDSURFACEDESC>();
    pd.dwFlags = DDSD_PIXELFORMAT | DDSD_WIDTH | DDSD_HEIGHT;
    if (CheckDDResult(mPrimarySurface->GetSurfaceDesc(&pd), "GetSurfaceDesc")) return RESULT_SURFACE_FAIL;
    const DDPIXELFORMAT& f = pd.ddpfPixelFormat;
    if (f.dwRGBBitCount != 16 && f.dwRGBBitCount != 32) return RESULT_INVALID_COLORDEPTH;
    mRGBBits = static_cast<int32_t>(f.dwRGBBitCount);
    mRedMask = f.dwRBitMask;
    mGreenMask = f.dwGBitMask;
    mBlueMask = f.dwBBitMask;
    FillFormatTables();

    RebuildScreenImage(mVideoOnlyDraw);

    if (mIs3D && !Init3D()) return RESULT_3D_FAIL;

    mInitialized = true;
    // The new primary on the screen at once: the window maps the mouse into it from now on.
    ShowPrimary();
    return RESULT_OK;
}

int DDInterface::MakeDrawSurfaceAndClipper(HWND window, const std::string& mode) {
    DDSURFACEDESC2 desc = MakeDesc<DDSURFACEDESC2>();
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.dwWidth = static_cast<DWORD>(mWidth);
    desc.dwHeight = static_cast<DWORD>(mHeight);
    desc.ddsCaps.dwCaps = mIs3D ? (DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY | DDSCAPS_3DDEVICE)
                                : (DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);
    if (CheckDDResult(CreateSurface(&desc, &mDrawSurface), "CreateSurface " + mode + " DrawSurface"))
        return RESULT_SURFACE_FAIL;
    IDirectDrawClipper* clipper = nullptr;
    if (CheckDDResult(mDD->CreateClipper(0, &clipper, nullptr), "CreateClipper " + mode)) return RESULT_FAIL;
    if (SUCCEEDED(clipper->SetHWnd(0, window))) mPrimarySurface->SetClipper(clipper);
    clipper->Release();
    return RESULT_OK;
}

bool DDInterface::Init3D() {
    if (mD3DInterface->InitFromDDInterface(this)) return true;
    mErrorString = "3D init error: " + mD3DInterface->mErrorText;
    return false;
}

void DDInterface::FillFormatTables() {
    ChannelOf(mRedMask, mRedShift, mRedBits);
    ChannelOf(mGreenMask, mGreenShift, mGreenBits);
    ChannelOf(mBlueMask, mBlueShift, mBlueBits);
    FreeAddTables();
    mRedAddTable = MakeAddTable(mRedBits);
    mGreenAddTable = MakeAddTable(mGreenBits);
    mBlueAddTable = MakeAddTable(mBlueBits);
    for (uint32_t i = 0; i < 256; ++i) {
        mRedConvTable[i] = static_cast<uint32_t>(uint64_t{i} * mRedMask / 255) & mRedMask;
        mGreenConvTable[i] = static_cast<uint32_t>(uint64_t{i} * mGreenMask / 255) & mGreenMask;
        mBlueConvTable[i] = static_cast<uint32_t>(uint64_t{i} * mBlueMask / 255) & mBlueMask;
    }
}

void DDInterface::RebuildScreenImage(bool useVideoMemory) {
    Hold hold(mCritSect);
    mVideoOnlyDraw = useVideoMemory;
    if (mVideoOnlyDraw && !mSecondarySurface && mPrimarySurface) {
        DDSURFACEDESC2 desc = MakeDesc<DDSURFACEDESC2>();
        desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
        desc.dwWidth = static_cast<DWORD>(mWidth);
        desc.dwHeight = static_cast<DWORD>(mHeight);
        desc.ddsCaps.dwCaps = DDSCAPS_VIDEOMEMORY;
        if (FAILED(CreateSurface(&desc, &mSecondarySurface))) mVideoOnlyDraw = false;
    }
    delete mScreenImage;
    mScreenImage = nullptr;
    // Windowed video-memory drawing goes to its own surface; full screen
    // draws into the draw surface either way and copies it to the back buffer.
    IDirectDrawSurface* target = (mVideoOnlyDraw && mIsWindowed) ? mSecondarySurface : mDrawSurface;
    mScreenImage = MakeScreenImage(target);
}

MemoryImage* DDInterface::MakeScreenImage(IDirectDrawSurface* surface) {
    // On the 3D road the device draws on the draw surface.
    DDImage* image = mIs3D && surface == mDrawSurface ? new D3DScreenImage(this) : new DDImage(this);
    image->SetTransparencyFlags(false, false);
    if (surface) {
        image->AdoptSurface(surface);
    } else {
        image->Create(mWidth, mHeight);
    }
    // Software keeps away from a video-memory screen only while Direct3D
    // draws it; otherwise nothing at all would draw the picture.
    image->mNoSoftwareAccess = mVideoOnlyDraw && surface != nullptr && mD3DInterface != nullptr;
    image->mVideoMemory = mVideoOnlyDraw;
    return image;
}

MemoryImage* DDInterface::CreateImage() { return new DDImage(this); }

void DDInterface::AddDDImage(MemoryImage* image) {
    Hold hold(mCritSect);
    mDDImageSet.insert(image);
}

void DDInterface::RemoveDDImage(MemoryImage* image) {
    Hold hold(mCritSect);
    mDDImageSet.erase(image);
}

void DDInterface::RemoveImageTexture(MemoryImage* image) {
    if (mD3DInterface) mD3DInterface->RemoveImageTexture(image);
}

bool DDInterface::ReadTextureBits(MemoryImage* image, uint32_t* dest) {
    Hold hold(mCritSect);
    return mD3DInterface && mD3DInterface->ReadTextureBits(image, dest);
}

void DDInterface::FreeNativeData() {
    Hold hold(mCritSect);
    for (MemoryImage* image : mDDImageSet) image->FreeNativeBuffers();
}

void DDInterface::RebuildNativeData() {
    Hold hold(mCritSect);
    for (MemoryImage* image : mDDImageSet) image->ReInit();
}

IDirectDrawSurface* DDInterface::ScreenSurface() const {
    return (mVideoOnlyDraw && mIsWindowed && mSecondarySurface) ? mSecondarySurface : mDrawSurface;
}

void DDInterface::CopyScreenImageToDrawSurface() {
    if (!mScreenImage) return;
    // A screen image over its surface draws there already.
    auto* surfaceImage = dynamic_cast<DDImage*>(mScreenImage);
    if (surfaceImage && surfaceImage->mSurfaceAdopted) {
        surfaceImage->FlushBitsToSurface();
        return;
    }
    const uint32_t* bits = mScreenImage->GetBits();
    IDirectDrawSurface* target = ScreenSurface();
    if (!bits || !target) return;
    DDSURFACEDESC d = MakeDesc<DDSURFACEDESC>();
    if (FAILED(target->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr))) return;
    const int w = std::min<int>(mScreenImage->mWidth, static_cast<int>(d.dwWidth));
    const int h = std::min<int>(mScreenImage->mHeight, static_cast<int>(d.dwHeight));
    ConvertToSurface(bits, mScreenImage->mWidth, w, h, static_cast<uint8_t*>(d.lpSurface), d.lPitch,
                     d.ddpfPixelFormat);
    target->Unlock(nullptr);
}

bool DDInterface::Redraw(const Rect* clip) {
    Hold hold(mCritSect);
    if (!mInitialized) return false;
    DDBLTFX fx = MakeDesc<DDBLTFX>();
    mInRedraw = true;
    if (mIs3D) {
        // A failure the 3D side recorded turns 3D off, and this frame fails;
        // a fill still waiting is drawn first, so that its failure counts.
        mD3DInterface->DrawPendingFill();
        if (!mD3DInterface->mErrorText.empty()) {
            mInRedraw = false;
            mIs3D = false;
            return false;
        }
        mD3DInterface->EndSceneIfBegun();
    }

    CopyScreenImageToDrawSurface();
    RECT dest, src;
    if (clip && !mIsWidescreen) {
        dest = src = ToRECT(*clip);
    } else {
        dest = ToRECT(mPresentationRect);
        src = RECT{0, 0, mWidth, mHeight};
    }
    DWORD flags = DDBLT_WAIT;
    if (mIsWidescreen) {
        fx.dwDDFX = DDBLTFX_ARITHSTRETCHY;
        flags |= DDBLT_DDFX;
    }
    DDSURFACEDESC d = MakeDesc<DDSURFACEDESC>();
    if (SUCCEEDED(mDrawSurface->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr)))
        mDrawSurface->Unlock(nullptr);

    HRESULT hr = DD_OK;
    std::string operation;
    if (mIsWindowed) {
        operation = "Redraw Windowed";
        mCursorPrevX = mCursorX;
        mCursorPrevY = mCursorY;
        if (!mVideoOnlyDraw && (PresentsDrawSurface(clip) || (!mHWnd && !mCursorImage && !mIsWidescreen))) {
            // The window takes the picture from the draw surface itself, or
            // there is no window to show the primary: a copy into it would be
            // work nobody sees. (A widened picture keeps its stretch's copy.)
            mPrimaryBehind = true;
        } else if (!mVideoOnlyDraw) {
            DrawCursor(mDrawSurface, false);
            if (mPrimaryBehind) {   // the rest of the frame is missing there too
                dest = ToRECT(mPresentationRect);
                src = RECT{0, 0, mWidth, mHeight};
            }
            hr = mPrimarySurface->Blt(&dest, mDrawSurface, &src, flags, &fx);
            if (SUCCEEDED(hr)) mPrimaryBehind = false;
            if (mHasOldCursorArea) {
                RedrawCursorArea(mDrawSurface, false);
                mHasOldCursorArea = true;
            }
        } else {
            DrawCursor(mSecondarySurface, false);
            hr = mPrimarySurface->Blt(&dest, mSecondarySurface, &src, flags, &fx);
            mPrimaryBehind = false;
        }
    } else if (ShowStretched()) {
        // The window stands in for the blit and the flip: the draw surface
        // reaches the screen stretched in one pass, and the primary is made
        // only when something reads it.
        mPrimaryBehind = true;
        mCursorPrevX = mCursorX;
        mCursorPrevY = mCursorY;
        mInRedraw = false;
        return true;
    } else if ((mApp && mApp->mPopupShown) || (mApp && !mApp->mAllowPageFlip)) {
        operation = "Redraw FullScreen Blt";
        hr = mPrimarySurface->Blt(&dest, mDrawSurface, &src, flags, &fx);
    } else {
        operation = "Redraw FullScreen Flip";
        // The screen image always draws into the draw surface in full screen.
        hr = mSecondarySurface->Blt(&dest, mDrawSurface, &src, flags, &fx);
        mCursorPrevX = mCursorX;
        mCursorPrevY = mCursorY;
        if (SUCCEEDED(hr)) {
            DrawCursor(mSecondarySurface, true);
            hr = mPrimarySurface->Flip(nullptr, DDFLIP_WAIT);
        }
    }
    mInRedraw = false;
    const bool ok = !CheckDDResult(hr, operation);
    if (ok) ShowPrimary();
    return ok;
}

void DDInterface::ShowPrimary() {
    Hold hold(mCritSect);
    if (!mHWnd || !mPrimarySurface || !mHWnd->IsOpen()) return;
    if (mPrimaryBehind && !mIsWindowed) {
        if (ShowStretched()) return;
        CatchUpPrimary();
    }
    IDirectDrawSurface* shown = ShownSurface();
    SurfaceMemory m;
    PrimaryFormat format;
    // A frame drawn in the window's lent pixels is sent in place; when the
    // window has let them go, the surface holds the frame again and it is
    // sent from there.
    for (int tries = 0; tries < 2; ++tries) {
        if (!GetSurfaceMemory(shown, m) || !PrimaryFormatOf(m.format, format)) return;
        if (mHWnd->PresentPrimary(m.bits, m.width, m.height, m.pitch, format) || !m.lent) break;
    }
    // The next frames are drawn where the window shows them: no copy each frame.
    if (shown == mDrawSurface && mIsWindowed && !m.lent) LendWindowPixels(*mHWnd, shown, format);
}

bool DDInterface::ShowStretched() {
    if (mIsWindowed || mCursorImage || !mHWnd || !mHWnd->IsOpen() || !mDrawSurface) return false;
    SurfaceMemory m;
    PrimaryFormat format;
    if (!GetSurfaceMemory(mDrawSurface, m) || !m.bits || !PrimaryFormatOf(m.format, format)) return false;
    const platform::PixelRect into{mPresentationRect.mX, mPresentationRect.mY, mPresentationRect.mWidth,
                                   mPresentationRect.mHeight};
    return mHWnd->PresentStretched(m.bits, m.width, m.height, m.pitch, format, mDisplayWidth, mDisplayHeight, into);
}

bool DDInterface::PresentsDrawSurface(const Rect* clip) const {
    if (clip || !mHWnd || !mHWnd->IsOpen() || mCursorImage || mIsWidescreen ||
        !(mPresentationRect == Rect(0, 0, mWidth, mHeight)))
        return false;
    SurfaceMemory primary, draw;
    return GetSurfaceMemory(mPrimarySurface, primary) && GetSurfaceMemory(mDrawSurface, draw) &&
           primary.width == draw.width && primary.height == draw.height &&
           primary.format.dwRGBBitCount == draw.format.dwRGBBitCount &&
           primary.format.dwRBitMask == draw.format.dwRBitMask && primary.format.dwGBitMask == draw.format.dwGBitMask &&
           primary.format.dwBBitMask == draw.format.dwBBitMask;
}

void DDInterface::CatchUpPrimary() {
    if (!mPrimaryBehind || !mPrimarySurface || !mDrawSurface) return;
    RECT dest = ToRECT(mPresentationRect), src{0, 0, mWidth, mHeight};
    DDBLTFX fx = MakeDesc<DDBLTFX>();
    if (SUCCEEDED(mPrimarySurface->Blt(&dest, mDrawSurface, &src, DDBLT_WAIT, &fx))) mPrimaryBehind = false;
}

IDirectDrawSurface* DDInterface::PrimaryNow() {
    Hold hold(mCritSect);
    CatchUpPrimary();
    return mPrimarySurface;
}

// ---------------------------------------------------------------- cursor

bool DDInterface::SetCursorImage(Image* image) {
    Hold hold(mCritSect);
    if (image == mCursorImage) return false;
    // The cursor is drawn on the primary between frames: it must hold the frame.
    if (image) CatchUpPrimary();
    mCursorImage = image;
    return true;
}

void DDInterface::StoreCursorPos(int x, int y) {
    mCursorX = x;
    mCursorY = y;
}

bool DDInterface::SetCursorPos(int x, int y) {
    mCursorX = x;
    mCursorY = y;
    if (mInRedraw) return false;
    Hold hold(mCritSect);
    if (mHasOldCursorArea) {
        MoveCursor(mPrimarySurface, true, x, y);
    } else {
        mCursorPrevX = x;
        mCursorPrevY = y;
        DrawCursor(mPrimarySurface, true);
    }
    return true;
}

Rect DDInterface::CursorAreaRect(int x, int y) const {
    return Rect(x - mCursorWidth / 2, y - mCursorHeight / 2, mCursorWidth, mCursorHeight);
}

void DDInterface::CursorImagePos(int x, int y, int& ix, int& iy) const {
    const int w = mCursorImage ? mCursorImage->mWidth : 0;
    const int h = mCursorImage ? mCursorImage->mHeight : 0;
    ix = x - mCursorWidth / 2 + (mCursorWidth - w) / 2;
    iy = y - mCursorHeight / 2 + (mCursorHeight - h) / 2;
}

Point DDInterface::SurfaceOrigin(IDirectDrawSurface* surface, bool screenCoordinates) const {
    // Cursor positions are primary coordinates; the draw-sized surfaces
    // start at the presentation origin.
    if (screenCoordinates || surface == mPrimarySurface || surface == nullptr) return Point{0, 0};
    return Point{mPresentationRect.mX, mPresentationRect.mY};
}

bool DDInterface::CopyRect(IDirectDrawSurface* dest, const Rect& destRect, IDirectDrawSurface* src,
                           const Rect& srcRect) {
    if (destRect.IsEmpty() || srcRect.IsEmpty()) return false;
    RECT d = ToRECT(destRect), s = ToRECT(srcRect);
    DDBLTFX fx = MakeDesc<DDBLTFX>();
    return SUCCEEDED(dest->Blt(&d, src, &s, DDBLT_WAIT, &fx));
}

bool DDInterface::AreaRects(int x, int y, IDirectDrawSurface* surface, bool screenCoordinates, Rect& area,
                            Rect& buffer) const {
    const Rect whole = CursorAreaRect(x, y);
    Rect clipped = whole.Intersection(mPresentationRect);
    if (clipped.IsEmpty()) return false;
    buffer = Rect(clipped.mX - whole.mX, clipped.mY - whole.mY, clipped.mWidth, clipped.mHeight);
    const Point o = SurfaceOrigin(surface, screenCoordinates);
    area = Rect(clipped.mX - o.mX, clipped.mY - o.mY, clipped.mWidth, clipped.mHeight);
    return true;
}

bool DDInterface::SaveUnder(IDirectDrawSurface* buffer, Rect& bufferRect, IDirectDrawSurface* surface,
                            Rect& areaRect) {
    if (CopyRect(buffer, bufferRect, surface, areaRect)) return true;
    // Once more, cut to the surface.
    DDSURFACEDESC d = MakeDesc<DDSURFACEDESC>();
    if (FAILED(surface->GetSurfaceDesc(&d))) return false;
    const Rect screen(0, 0, static_cast<int>(d.dwWidth), static_cast<int>(d.dwHeight));
    const Rect cut = areaRect.Intersection(screen);
    if (cut.IsEmpty()) return false;
    bufferRect = Rect(bufferRect.mX + cut.mX - areaRect.mX, bufferRect.mY + cut.mY - areaRect.mY, cut.mWidth,
                      cut.mHeight);
    areaRect = cut;
    return CopyRect(buffer, bufferRect, surface, areaRect);
}

void DDInterface::DrawCursorImage(IDirectDrawSurface* buffer, int dx, int dy) {
    auto* image = dynamic_cast<MemoryImage*>(mCursorImage);
    if (!image || !buffer) return;
    const uint32_t* bits = image->GetBits();
    if (!bits) return;
    const int ix = (mCursorWidth - image->mWidth) / 2 + dx;
    const int iy = (mCursorHeight - image->mHeight) / 2 + dy;
    DDSURFACEDESC d = MakeDesc<DDSURFACEDESC>();
    if (FAILED(buffer->Lock(nullptr, &d, DDLOCK_WAIT, nullptr))) return;
    BlendOntoSurface(bits, image->mWidth, image->mHeight, ix, iy, static_cast<uint8_t*>(d.lpSurface),
                     static_cast<int>(d.dwWidth), static_cast<int>(d.dwHeight), d.lPitch, d.ddpfPixelFormat);
    buffer->Unlock(nullptr);
}

void DDInterface::DrawCursor(IDirectDrawSurface* surface, bool screenCoordinates) {
    if (!mCursorImage || !mPrimarySurface || !surface || !mOldCursorArea || !mNewCursorArea) {
        mHasOldCursorArea = false;
        return;
    }
    Rect area, buffer;
    if (!AreaRects(mCursorPrevX, mCursorPrevY, surface, screenCoordinates, area, buffer)) {
        mHasOldCursorArea = false;
        return;
    }
    mHasOldCursorArea = SaveUnder(mOldCursorArea, buffer, surface, area);
    if (!mHasOldCursorArea) return;
    CopyRect(mNewCursorArea, buffer, mOldCursorArea, buffer);
    DrawCursorImage(mNewCursorArea, 0, 0);
    CopyRect(surface, area, mNewCursorArea, buffer);
}

void DDInterface::MoveCursor(IDirectDrawSurface* surface, bool screenCoordinates, int x, int y) {
    if (!mCursorImage || !mPrimarySurface || !surface || !mOldCursorArea || !mNewCursorArea) {
        mHasOldCursorArea = false;
        return;
    }
    Rect oldArea, oldBuffer, newArea, newBuffer;
    const bool oldOk = AreaRects(mCursorPrevX, mCursorPrevY, surface, screenCoordinates, oldArea, oldBuffer);
    const bool newOk = AreaRects(x, y, surface, screenCoordinates, newArea, newBuffer);
    bool saved = newOk && SaveUnder(mNewCursorArea, newBuffer, surface, newArea);

    // Where the two areas overlap, the old saved background holds the
    // truth under the old cursor, and the new cursor must show in it too.
    const int ox = x - mCursorPrevX, oy = y - mCursorPrevY;
    const Rect all(0, 0, mCursorWidth, mCursorHeight);
    const Rect overlap = Rect(ox, oy, mCursorWidth, mCursorHeight).Intersection(all);
    if (!overlap.IsEmpty()) {
        const Rect back(overlap.mX - ox, overlap.mY - oy, overlap.mWidth, overlap.mHeight);
        CopyRect(mNewCursorArea, back, mOldCursorArea, overlap);
        DrawCursorImage(mOldCursorArea, ox, oy);
    }
    if (oldOk && mHasOldCursorArea) CopyRect(surface, oldArea, mOldCursorArea, oldBuffer);
    CopyRect(mOldCursorArea, all, mNewCursorArea, all);
    mCursorPrevX = x;
    mCursorPrevY = y;
    if (!saved) {
        mHasOldCursorArea = false;
        return;
    }
    DrawCursorImage(mNewCursorArea, 0, 0);
    CopyRect(surface, newArea, mNewCursorArea, newBuffer);
    mHasOldCursorArea = true;
}

void DDInterface::RedrawCursorArea(IDirectDrawSurface* surface, bool screenCoordinates) {
    if (!mHasOldCursorArea || !mPrimarySurface || !surface || !mOldCursorArea) return;
    Rect area, buffer;
    if (AreaRects(mCursorPrevX, mCursorPrevY, surface, screenCoordinates, area, buffer)) {
        CopyRect(surface, area, mOldCursorArea, buffer);
    }
    mHasOldCursorArea = false;
}

} // namespace Zephra
