#pragma once
#include <atomic>
#include <cstdint>
#include <set>
#include <string>
#include "framework/app/app_display.h"
#include "framework/app/critical_section.h"
#include "framework/app/fraction.h"
#include "framework/graphics/native_display.h"
#include "framework/graphics/rect.h"
#include "platform/directx/ddraw.h"

namespace Zephra {

class ZephraAppBase;
class D3DInterface;
class D3DTester;
class DDImage;
class Image;
class MemoryImage;

// Results of DDInterface::Init.
enum DDInitResult {
    RESULT_OK = 0,
    RESULT_FAIL = 1,
    RESULT_DD_CREATE_FAIL = 2,
    RESULT_SURFACE_FAIL = 3,
    RESULT_EXCLUSIVE_FAIL = 4,
    RESULT_DISPCHANGE_FAIL = 5,
    RESULT_INVALID_COLORDEPTH = 6,
    RESULT_3D_FAIL = 7,         // has no name of its own
};

// Set by every surface creation: 1 when the primary's masks order red above
// green above blue (as unsigned numbers). The surface blitters pick their
// packed loops by it.
extern std::atomic<uint8_t> gDDRGBOrder;

// The display device on the DirectDraw stand-in: primary, back buffer, the
// off-screen draw surface the screen image draws into, the pixel-format tables
// the software drawing reads, the set of live surface images and the software
// cursor. One recursive lock guards all of it.
class DDInterface : public NativeDisplay, public AppDisplay {
public:
    ZephraAppBase* mApp = nullptr;
    D3DInterface* mD3DInterface = nullptr;      // owned; none until Direct3D plugs in
    D3DTester* mD3DTester = nullptr;            // owned; made by the first Do3DTest
    bool mIs3D = true;                          // the application sets it before Init

    CriticalSection mCritSect;
    std::atomic<bool> mInRedraw{false};         // read by SetCursorPos

    platform::IDirectDraw* mDD = nullptr;
    platform::IDirectDraw7* mDD7 = nullptr;
    platform::IDirectDrawSurface* mPrimarySurface = nullptr;
    // Full screen: the attached back buffer; windowed: the video-memory
    // screen surface RebuildScreenImage makes.
    platform::IDirectDrawSurface* mSecondarySurface = nullptr;
    platform::IDirectDrawSurface* mDrawSurface = nullptr;

    int mWidth = 0;                             // draw size
    int mHeight = 0;
    Fraction mAspect;
    int mDesktopWidth = 0;
    int mDesktopHeight = 0;
    Fraction mDesktopAspect;
    bool mIsWidescreen = false;                 // displayed size differs from the draw size
    int mDisplayWidth = 0;
    int mDisplayHeight = 0;
    Fraction mDisplayAspect;
    Rect mPresentationRect;
    int mFullscreenBits = 0;
    uint32_t mRefreshRate = 60;
    // Read by the cursor thread while a mode change may set it.
    std::atomic<uint32_t> mMillisecondsPerFrame{16};

    // Saturating add tables, 2 * max + 1 entries (max = 2^bits - 1):
    // entry i = min(i, max).
    int* mRedAddTable = nullptr;
    int* mGreenAddTable = nullptr;
    int* mBlueAddTable = nullptr;
    // An 8-bit channel value placed in the screen's bit field.
    uint32_t mRedConvTable[256] = {};
    uint32_t mGreenConvTable[256] = {};
    uint32_t mBlueConvTable[256] = {};

    bool mInitialized = false;
    platform::HWND mHWnd = nullptr;
    bool mIsWindowed = true;
    MemoryImage* mScreenImage = nullptr;        // owned
    std::set<MemoryImage*> mDDImageSet;         // every live surface image, not owned
    bool mVideoOnlyDraw = false;
    // The last frame went to the window straight from the draw surface, and
    // the primary does not hold it (see Redraw).
    bool mPrimaryBehind = false;

    // Software cursor (save-under buffers of the area's size).
    int mCursorWidth = 64;
    int mCursorHeight = 64;
    std::atomic<int> mCursorX{0};
    std::atomic<int> mCursorY{0};
    int mCursorPrevX = 0;
    int mCursorPrevY = 0;
    Image* mCursorImage = nullptr;              // not owned
    bool mHasOldCursorArea = false;
    platform::IDirectDrawSurface* mOldCursorArea = nullptr;
    platform::IDirectDrawSurface* mNewCursorArea = nullptr;

    std::string mErrorString;

    explicit DDInterface(ZephraAppBase* app);
    ~DDInterface() override;
    DDInterface(const DDInterface&) = delete;
    DDInterface& operator=(const DDInterface&) = delete;

    int Init(platform::HWND window, bool windowed) override;
    static std::string ResultToString(int result);
    void Cleanup();
    bool Redraw(const Rect* clip) override;
    void RebuildScreenImage(bool useVideoMemory) override;
    MemoryImage* GetScreenImage() override { return mScreenImage; }
    // Creates a surface; the third argument is accepted and ignored.
    platform::HRESULT CreateSurface(platform::DDSURFACEDESC2* desc, platform::IDirectDrawSurface** out,
                                    void* unused = nullptr);
    void ClearSurface(platform::IDirectDrawSurface* surface);
    // False when hr is no failure; else sets the error text "op: NAME".
    bool CheckDDResult(platform::HRESULT hr, const std::string& operation);
    void AddDDImage(MemoryImage* image);
    void RemoveDDImage(MemoryImage* image);
    void RemoveImageTexture(MemoryImage* image) override;
    bool ReadTextureBits(MemoryImage* image, uint32_t* dest) override;
    bool Do3DTest(platform::HWND window);

    // Software cursor.
    bool SetCursorImage(Image* image) override;
    bool SetCursorPos(int x, int y) override;
    void StoreCursorPos(int x, int y) override;
    void DrawCursor(platform::IDirectDrawSurface* surface, bool screenCoordinates);
    void MoveCursor(platform::IDirectDrawSurface* surface, bool screenCoordinates, int x, int y);
    void RedrawCursorArea(platform::IDirectDrawSurface* surface, bool screenCoordinates);

    // AppDisplay.
    std::string ResultText(int result) const override { return ResultToString(result); }
    std::string ErrorText() const override { return mErrorString; }
    void FreeNativeData() override;
    void RebuildNativeData() override;
    int GetDrawWidth() const override { return mWidth; }
    int GetDrawHeight() const override { return mHeight; }
    Rect GetPresentationRect() const override { return mPresentationRect; }
    void ShowPrimary() override;
    // The surface whose pixels the window shows: the primary, or the draw
    // surface while the primary is behind it (always so without a window,
    // until a software cursor needs the primary).
    platform::IDirectDrawSurface* ShownSurface() const { return mPrimaryBehind ? mDrawSurface : mPrimarySurface; }
    // The primary, brought up to the last frame first if it fell behind.
    platform::IDirectDrawSurface* PrimaryNow();
    unsigned GetRefreshPeriod() const override { return mMillisecondsPerFrame; }
    bool Is3D() const override { return mIs3D; }
    void Disable3D() override { mIs3D = false; }
    MemoryImage* CreateImage() override;

    // The entry points found by the constructor (null when missing).
    platform::DirectDrawCreateFn mDirectDrawCreate = nullptr;
    platform::DirectDrawCreateExFn mDirectDrawCreateEx = nullptr;

protected:
    // The screen image over a surface. Until surface images exist it is a
    // memory image copied into the draw surface by Redraw.
    virtual MemoryImage* MakeScreenImage(platform::IDirectDrawSurface* surface);
    // Puts the screen image's pixels into the draw surface when they live in
    // memory.
    void CopyScreenImageToDrawSurface();

    // Where Direct3D plugs in: false with the error text set when the
    // device cannot be made.
    virtual bool Init3D();

public:
    // The cursor image's top-left corner for a cursor position.
    void CursorImagePos(int x, int y, int& ix, int& iy) const;
    Rect CursorAreaRect(int x, int y) const;
    // The surface the screen image's pixels go to.
    platform::IDirectDrawSurface* ScreenSurface() const;

private:
    // The off-screen draw surface and the primary's clipper; an Init result.
    int MakeDrawSurfaceAndClipper(platform::HWND window, const std::string& mode);
    void FillFormatTables();
    void FreeAddTables();
    // Where (0, 0) of a surface lies in primary coordinates.
    Point SurfaceOrigin(platform::IDirectDrawSurface* surface, bool screenCoordinates) const;
    // The cursor area of a position clipped to the presentation, on the
    // surface and inside a save-under buffer; false when nothing is left.
    bool AreaRects(int x, int y, platform::IDirectDrawSurface* surface, bool screenCoordinates, Rect& area,
                   Rect& buffer) const;
    bool CopyRect(platform::IDirectDrawSurface* dest, const Rect& destRect, platform::IDirectDrawSurface* src,
                  const Rect& srcRect);
    // buffer[bufferRect] <- surface[areaRect]; once more cut to the surface
    // when that fails (both rectangles follow the cut).
    bool SaveUnder(platform::IDirectDrawSurface* buffer, Rect& bufferRect, platform::IDirectDrawSurface* surface,
                   Rect& areaRect);
    // Whether this frame may go to the window straight from the draw surface:
    // a window shows it, the picture fills the primary one to one in its
    // format, and no software cursor is drawn over it.
    bool PresentsDrawSurface(const Rect* clip) const;
    // Full screen without a cursor image: the draw surface shown stretched
    // as the primary would show it; false when the window cannot.
    bool ShowStretched();
    // The primary brought up to the draw surface when it fell behind.
    void CatchUpPrimary();
    // The cursor image, centred in a save-under buffer and moved by (dx, dy).
    void DrawCursorImage(platform::IDirectDrawSurface* buffer, int dx, int dy);

    bool m3DTested = false;
};

// The macro name of a DirectDraw, Direct3D or DirectSound result, or the code
// in lower-case hexadecimal when it has none.
std::string GetDirectXErrorName(platform::HRESULT hr);

} // namespace Zephra
