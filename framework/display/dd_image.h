#pragma once
#include <cstdint>
#include "framework/display/surface_format.h"
#include "framework/graphics/memory_image.h"
#include "platform/directx/ddraw.h"

namespace Zephra {

class DDInterface;

// The key flag of a copy from a surface: DDBLT_KEYSRC when the surface has a
// source colour key, else 0. An image that claims transparency may have no
// transparent pixel, and so no key; DirectDraw refuses a keyed copy from it.
platform::DWORD SourceKeyFlag(platform::IDirectDrawSurface* src);

// An image whose pixels may also, or only, live in a DirectDraw surface of its
// display. Each drawing slot takes one of three roads: Direct3D (when the
// display draws in 3D on this image's surface), software on the locked
// surface (opaque and colour-keyed images), or the memory image's bits.
// Drawing on the surface frees every memory copy; drawing in memory drops the
// surface, which is rebuilt from the bits when next needed.
class DDImage : public MemoryImage {
public:
    DDInterface* mDDInterface = nullptr;
    platform::IDirectDrawSurface* mSurface = nullptr;   // one reference owned
    bool mSurfaceAdopted = false;       // handed in; the buffer droppers leave it alone
    bool mNoSoftwareAccess = false;     // in video memory: software never locks it
    bool mVideoMemory = false;          // new surfaces go to video memory
    bool mFirstPixelTrans = false;      // the colour key is the top-left pixel's value
    bool mWantDDSurface = false;        // meant to keep its pixels in a surface
    int32_t mLockCount = 0;
    platform::DDSURFACEDESC mLockedSurfaceDesc{};   // valid while mLockCount > 0

    explicit DDImage(DDInterface* display);
    ~DDImage() override;

    // Drawing slots.
    bool FillPolygon(const Point* vertices, int count, const Rect& clip, const Color& color,
                     int drawMode) override;
    void FillRect(const Rect& rect, const Color& color, int drawMode) override;
    void DrawLine(double x1, double y1, double x2, double y2, const Color& color, int drawMode) override;
    void DrawLineAA(double x1, double y1, double x2, double y2, const Color& color, int drawMode) override;
    void FillSpansCoverage(const Span* spans, int count, const Color& color, int drawMode,
                           const uint8_t* coverage, int coverX, int coverY, int coverWidth,
                           int coverHeight) override;
    void Blt(Image* src, int x, int y, const Rect& srcRect, const Color& color, int drawMode) override;
    void BltF(Image* src, float x, float y, const Rect& srcRect, const Rect& clip, const Color& color,
              int drawMode) override;
    void BltRotated(Image* src, float x, float y, const Rect& srcRect, const Rect& clip,
                    const Color& color, int drawMode, double angle, float centerX,
                    float centerY) override;
    void StretchBlt(Image* src, const Rect& destRect, const Rect& srcRect, const Rect& clip,
                    const Color& color, int drawMode, bool fastStretch) override;
    void BltMatrix(Image* src, float x, float y, const Matrix3x3& matrix, const Rect& clip,
                   const Color& color, int drawMode, const Rect& srcRect, bool blend) override;
    void BltTrianglesTex(Image* texture, const TriVertex (*triangles)[3], int count, const Rect& clip,
                         const Color& color, int drawMode, float tx, float ty, bool blend) override;
    void BltMirror(Image* src, int x, int y, const Rect& srcRect, const Color& color,
                   int drawMode) override;
    void StretchBltMirror(Image* src, const Rect& destRect, const Rect& srcRect, const Rect& clip,
                          const Color& color, int drawMode, bool fastStretch) override;

    // Buffers.
    void DropBits() override;
    void FreeExtraBuffers() override;
    void ReInit() override;
    void BitsChanged() override;
    void AnalyzeAlpha() override;
    void FreeNativeBuffers() override;
    void Create(int width, int height) override;
    uint32_t* GetBits() override;
    bool Palletize() override;

    virtual void SetVideoMemoryFlag(bool videoMemory);
    // Keys the surface by its top-left pixel.
    virtual void SetColorKey();

    // The software routines on the locked surface.
    virtual void FillRectNormal(const Rect& rect, const Color& color);
    virtual void FillRectAdditive(const Rect& rect, const Color& color);
    virtual void BltNormal(Image* src, int x, int y, const Rect& srcRect, const Color& color);
    virtual void BltAdditive(Image* src, int x, int y, const Rect& srcRect, const Color& color);
    virtual void DrawLineNormal(double x1, double y1, double x2, double y2, const Color& color);
    virtual void DrawLineAdditive(double x1, double y1, double x2, double y2, const Color& color);
    virtual void DrawLineAANormal(double x1, double y1, double x2, double y2, const Color& color);
    virtual void DrawLineAAAdditive(double x1, double y1, double x2, double y2, const Color& color);
    virtual void BltMirrorNormal(Image* src, int x, int y, const Rect& srcRect, const Color& color);
    virtual void BltMirrorAdditive(Image* src, int x, int y, const Rect& srcRect, const Color& color);

    // Nested locks lock the surface once; false when it cannot be made or locked.
    virtual bool Lock();
    virtual bool Unlock();
    virtual void AdoptSurface(platform::IDirectDrawSurface* surface);

    // The surface, made when missing (null when that fails).
    platform::IDirectDrawSurface* GetSurface();
    bool CreateSurface();
    // Releases the surface, reading it back first when it holds the only copy.
    void ReleaseSurface();
    // Frees every memory form of the pixels: the surface is the only copy.
    void FreeAllBuffers();
    // The display goes away first: the pixels come back into memory.
    void DetachDisplay();
    // An adopted surface with a memory copy beside it: the copy may have been
    // written, so it goes into the surface and is freed.
    void FlushBitsToSurface();

protected:
    // DirectDraw copy of a source surface, keyed exactly when the source
    // surface has a colour key; the caller's lock is let go around it. False
    // when DirectDraw refused: the caller then draws the picture another way.
    bool SurfaceBlt(platform::IDirectDrawSurface* src, const platform::RECT& destRect,
                    const platform::RECT& srcRect);

private:
    // The locked surface as the software loops see it; false (nothing locked)
    // when software cannot draw on it.
    bool BeginSoftware(surface::SurfaceView& view);
    void EndSoftware() { Unlock(); }
    // As BeginSoftware, for the raw-pixel helpers: only the exact 888, 565
    // and 555 layouts have a tag they know.
    bool BeginTagged(surface::SurfaceView& view);
    void StretchSoftware(Image* src, const Rect& q, const RectD& s, const Color& color, int drawMode, bool mirror);
    // Opaque or keyed, or keyed by its first pixel, and no Direct3D: the
    // surface may hold the pixels.
    bool SurfaceRoadAllowed() const;
    bool Is3D() const;
    // surfaceCopy: an opaque white surface source may be copied by DirectDraw.
    void BltSoftware(Image* src, int x, int y, const Rect& srcRect, const Color& color, bool additive,
                     bool mirror, bool surfaceCopy = true);
    // Whether blitting the part of a stretch that is not scaled gives the
    // stretch's own pixels.
    bool BlitGivesUnscaledStretch(Image* src, const Color& color, int drawMode, bool fastStretch) const;
    void ReleaseSurfaceNoReadBack();

    const surface::PixelFormat* mFormat = nullptr;   // of the locked surface
    bool mNoFreeKey = false;        // every key value is in use: memory road until the bits change
};

} // namespace Zephra
