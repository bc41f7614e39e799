// The surface image's drawing slots: each picks its road (Direct3D, software
// on the surface, or the memory image) and hands the pixels to the loops.
#include <algorithm>
#include <cmath>
#include "framework/display/dd_image.h"
#include "framework/display/dd_interface.h"
#include "framework/display/surface_kernels.h"

namespace Zephra {

using namespace platform;

namespace {

Rect Bounds(const Image& img) { return Rect(0, 0, img.mWidth, img.mHeight); }

RECT ToRECT(int x, int y, int w, int h) { return RECT{x, y, x + w, y + h}; }

} // namespace

// ---- fills and lines ----

bool DDImage::FillPolygon(const Point* vertices, int count, const Rect& clip, const Color& color, int drawMode) {
    // No software loop fills polygons on a surface: the bits do, and the
    // surface is made again from them.
    return MemoryImage::FillPolygon(vertices, count, clip, color, drawMode);
}

void DDImage::FillRect(const Rect& rect, const Color& color, int drawMode) {
    AnalyzeAlpha();
    if (SurfaceRoadAllowed() && GetSurface()) {
        if (drawMode == DRAWMODE_NORMAL)
            FillRectNormal(rect, color);
        else if (drawMode == DRAWMODE_ADDITIVE)
            FillRectAdditive(rect, color);
        FreeAllBuffers();
        return;
    }
    MemoryImage::FillRect(rect, color, drawMode);
}

void DDImage::FillRectNormal(const Rect& rect, const Color& color) {
    surface::SurfaceView view;
    if (!BeginSoftware(view)) return;
    surface::FillRectNormal(view, *mFormat, rect, color);
    EndSoftware();
}

void DDImage::FillRectAdditive(const Rect& rect, const Color& color) {
    surface::SurfaceView view;
    if (!BeginSoftware(view)) return;
    surface::FillRectAdditive(view, *mFormat, rect, color);
    EndSoftware();
}

void DDImage::DrawLine(double x1, double y1, double x2, double y2, const Color& color, int drawMode) {
    AnalyzeAlpha();
    if (!SurfaceRoadAllowed() || !GetSurface()) {
        MemoryImage::DrawLine(x1, y1, x2, y2, color, drawMode);
        return;
    }
    constexpr double kFar = 1e9;
    if (!(std::fabs(x1) < kFar && std::fabs(y1) < kFar && std::fabs(x2) < kFar && std::fabs(y2) < kFar)) return;
    if (y1 == y2) {
        const int x = int(std::min(x1, x2));
        FillRect(Rect(x, int(y1), int(std::max(x1, x2)) - x + 1, 1), color, drawMode);
    } else if (x1 == x2) {
        const int y = int(std::min(y1, y2));
        FillRect(Rect(int(x1), y, 1, int(std::max(y1, y2)) - y + 1), color, drawMode);
    } else {
        if (drawMode == DRAWMODE_NORMAL)
            DrawLineNormal(x1, y1, x2, y2, color);
        else if (drawMode == DRAWMODE_ADDITIVE)
            DrawLineAdditive(x1, y1, x2, y2, color);
        FreeAllBuffers();
    }
}

void DDImage::DrawLineAA(double x1, double y1, double x2, double y2, const Color& color, int drawMode) {
    AnalyzeAlpha();
    if (!SurfaceRoadAllowed() || !GetSurface()) {
        MemoryImage::DrawLine(x1, y1, x2, y2, color, drawMode);
        return;
    }
    if (drawMode == DRAWMODE_NORMAL)
        DrawLineAANormal(x1, y1, x2, y2, color);
    else if (drawMode == DRAWMODE_ADDITIVE)
        DrawLineAAAdditive(x1, y1, x2, y2, color);
    FreeAllBuffers();
}

void DDImage::DrawLineNormal(double x1, double y1, double x2, double y2, const Color& color) {
    surface::SurfaceView view;
    if (!BeginSoftware(view)) return;
    surface::DrawLine(view, *mFormat, x1, y1, x2, y2, color, false);
    EndSoftware();
}

void DDImage::DrawLineAdditive(double x1, double y1, double x2, double y2, const Color& color) {
    surface::SurfaceView view;
    if (!BeginSoftware(view)) return;
    surface::DrawLine(view, *mFormat, x1, y1, x2, y2, color, true);
    EndSoftware();
}

void DDImage::DrawLineAANormal(double x1, double y1, double x2, double y2, const Color& color) {
    surface::SurfaceView view;
    if (!BeginSoftware(view)) return;
    surface::DrawLineAA(view, *mFormat, x1, y1, x2, y2, color);
    EndSoftware();
}

void DDImage::DrawLineAAAdditive(double, double, double, double, const Color&) {}

void DDImage::FillSpansCoverage(const Span* spans, int count, const Color& color, int drawMode,
                                const uint8_t* coverage, int coverX, int coverY, int coverWidth,
                                int coverHeight) {
    if (count <= 0) return;
    AnalyzeAlpha();
    // Text on an image with partial alpha goes through its bits: the surface
    // could not hold it and the text must not vanish.
    surface::SurfaceView view;
    if (mHasAlpha || Is3D() || !BeginSoftware(view)) {
        if (!mNoSoftwareAccess)
            MemoryImage::FillSpansCoverage(spans, count, color, drawMode, coverage, coverX, coverY, coverWidth,
                                           coverHeight);
        return;
    }
    surface::FillSpansCoverage(view, *mFormat, spans, count, color, coverage, coverX, coverY, coverWidth,
                               coverHeight);
    EndSoftware();
    FreeAllBuffers();
}

// ---- blits ----

DWORD SourceKeyFlag(IDirectDrawSurface* src) {
    DDCOLORKEY key;
    return src && SUCCEEDED(src->GetColorKey(DDCKEY_SRCBLT, &key)) ? DDBLT_KEYSRC : 0;
}

bool DDImage::SurfaceBlt(IDirectDrawSurface* src, const RECT& destRect, const RECT& srcRect) {
    if (!mSurface || !src) return false;
    const bool locked = mLockCount > 0;
    if (locked) mSurface->Unlock(nullptr);
    DDBLTFX fx = MakeDesc<DDBLTFX>();
    RECT d = destRect, s = srcRect;
    const HRESULT hr = mSurface->Blt(&d, src, &s, DDBLT_WAIT | SourceKeyFlag(src), &fx);
    if (locked && FAILED(mSurface->Lock(nullptr, &mLockedSurfaceDesc, DDLOCK_WAIT, nullptr))) mLockCount = 0;
    return SUCCEEDED(hr);
}

void DDImage::Blt(Image* src, int x, int y, const Rect& srcRect, const Color& color, int drawMode) {
    if (!src) return;
    src->mDrawn = 1;
    AnalyzeAlpha();
    if (SurfaceRoadAllowed() && GetSurface()) {
        if (drawMode == DRAWMODE_NORMAL)
            BltNormal(src, x, y, srcRect, color);
        else if (drawMode == DRAWMODE_ADDITIVE)
            BltAdditive(src, x, y, srcRect, color);
        FreeAllBuffers();
        return;
    }
    MemoryImage::Blt(src, x, y, srcRect, color, drawMode);
}

void DDImage::BltMirror(Image* src, int x, int y, const Rect& srcRect, const Color& color, int drawMode) {
    if (!src) return;
    src->mDrawn = 1;
    AnalyzeAlpha();
    // An image the surface cannot hold mirrors through its bits rather than
    // dropping the drawing.
    if (!SurfaceRoadAllowed() || !GetSurface()) {
        MemoryImage::BltMirror(src, x, y, srcRect, color, drawMode);
        return;
    }
    if (drawMode == DRAWMODE_NORMAL)
        BltMirrorNormal(src, x, y, srcRect, color);
    else if (drawMode == DRAWMODE_ADDITIVE)
        BltMirrorAdditive(src, x, y, srcRect, color);
    FreeAllBuffers();
}

void DDImage::BltNormal(Image* src, int x, int y, const Rect& srcRect, const Color& color) {
    BltSoftware(src, x, y, srcRect, color, false, false);
}
void DDImage::BltAdditive(Image* src, int x, int y, const Rect& srcRect, const Color& color) {
    BltSoftware(src, x, y, srcRect, color, true, false);
}
void DDImage::BltMirrorNormal(Image* src, int x, int y, const Rect& srcRect, const Color& color) {
    BltSoftware(src, x, y, srcRect, color, false, true);
}
void DDImage::BltMirrorAdditive(Image* src, int x, int y, const Rect& srcRect, const Color& color) {
    BltSoftware(src, x, y, srcRect, color, true, true);
}

void DDImage::BltSoftware(Image* src, int x, int y, const Rect& srcRect, const Color& color, bool additive,
                          bool mirror, bool surfaceCopy) {
    auto* mem = dynamic_cast<MemoryImage*>(src);
    if (!mem || mNoSoftwareAccess || mem->mWidth <= 0 || mem->mHeight <= 0) return;
    mem->AnalyzeAlpha();
    const bool white = color == Color::White;
    auto* dd = dynamic_cast<DDImage*>(mem);
    if (additive) {
        surface::SurfaceView view;
        if (!BeginSoftware(view)) return;
        surface::BltAdditive(view, *mFormat, x, y, surface::NativeOf(*mem, mDDInterface, true), srcRect, color, mirror);
        EndSoftware();
        return;
    }
    const bool volatileSpecial = mem->mIsVolatile && !(dd && dd->mSurface) && white;
    if (surfaceCopy && !volatileSpecial && !mirror && !mem->mHasAlpha && white && dd && dd->mSurface &&
        (mVideoMemory || !dd->mVideoMemory)) {
        // The display copies opaque and keyed surfaces itself.
        const Rect r = srcRect.Intersection(Bounds(*dd));
        const Rect at = Rect(x + r.mX - srcRect.mX, y + r.mY - srcRect.mY, r.mWidth, r.mHeight).Intersection(Bounds(*this));
        if (at.IsEmpty()) return;
        const int sx = r.mX + at.mX - (x + r.mX - srcRect.mX), sy = r.mY + at.mY - (y + r.mY - srcRect.mY);
        if (SurfaceBlt(dd->mSurface, ToRECT(at.mX, at.mY, at.mWidth, at.mHeight),
                       ToRECT(sx, sy, at.mWidth, at.mHeight)))
            return;
        // Refused (a lost or busy surface, another format): the loops draw it.
    }
    surface::SurfaceView view;
    if (!BeginSoftware(view)) return;
    if (volatileSpecial)
        surface::BltVolatile(view, *mFormat, x, y, surface::ArgbOf(*mem), srcRect, mirror);
    else if (!mem->mHasAlpha && white)
        surface::BltOpaque(view, *mFormat, x, y, surface::CopyNativeOf(*mem, mDDInterface), srcRect, mem->mHasTrans, mirror);
    else
        surface::BltAlpha(view, *mFormat, x, y, surface::NativeOf(*mem, mDDInterface, false), srcRect, color, mirror);
    EndSoftware();
}

void DDImage::BltF(Image* src, float x, float y, const Rect& srcRect, const Rect& clip, const Color& color,
                   int drawMode) {
    if (!src) return;
    src->mDrawn = 1;
    BltRotated(src, x, y, srcRect, clip, color, drawMode, 0.0, 0.0f, 0.0f);
}

void DDImage::BltRotated(Image* src, float x, float y, const Rect& srcRect, const Rect& clip, const Color& color,
                         int drawMode, double angle, float centerX, float centerY) {
    if (!src) return;
    src->mDrawn = 1;
    if (mNoSoftwareAccess) return;
    AnalyzeAlpha();
    if (!SurfaceRoadAllowed() || !GetSurface()) {
        MemoryImage::BltRotated(src, x, y, srcRect, clip, color, drawMode, angle, centerX, centerY);
        return;
    }
    surface::Rotation r{x, y, srcRect, RectD(), angle, centerX, centerY};
    if (!BltRotatedClipHelper(&r.x, &r.y, srcRect, clip.Intersection(Bounds(*this)), angle, r.area, centerX, centerY))
        return;
    auto* mem = dynamic_cast<MemoryImage*>(src);
    if (!mem) {
        FreeAllBuffers();
        return;
    }
    mem->AnalyzeAlpha();
    r.srcRect = srcRect.Intersection(Bounds(*mem));
    surface::SurfaceView view;
    if (!BeginSoftware(view)) return;
    if (r.srcRect == srcRect) surface::RotateBilinear(view, *mFormat, surface::ArgbOf(*mem), r, color, drawMode != DRAWMODE_NORMAL);
    EndSoftware();
    FreeAllBuffers();
}

void DDImage::StretchBlt(Image* src, const Rect& destRect, const Rect& srcRect, const Rect& clip, const Color& color,
                         int drawMode, bool fastStretch) {
    if (!src) return;
    src->mDrawn = 1;
    AnalyzeAlpha();
    if (!SurfaceRoadAllowed() || !GetSurface()) {
        MemoryImage::StretchBlt(src, destRect, srcRect, clip, color, drawMode, fastStretch);
        return;
    }
    RectD area;
    Rect q;
    if (!StretchBltClipHelper(srcRect, clip.Intersection(Bounds(*this)), destRect, area, q)) return;
    Rect unscaled;
    if (UnscaledStretchSource(srcRect, destRect, q, src, unscaled) &&
        BlitGivesUnscaledStretch(src, color, drawMode, fastStretch)) {
        // Nothing to scale: the source's own pixels, without the scratch image.
        // No surface copy: it would leave the spare byte of a 32-bit pixel.
        if (drawMode == DRAWMODE_NORMAL || drawMode == DRAWMODE_ADDITIVE)
            BltSoftware(src, q.mX, q.mY, unscaled, color, drawMode == DRAWMODE_ADDITIVE, false, false);
        FreeAllBuffers();
        return;
    }
    if (!fastStretch) {
        // Filtered into a scratch image first; the colour is applied once, by
        // the blit.
        MemoryImage scratch(nullptr);
        scratch.Create(q.mWidth, q.mHeight);
        scratch.SlowStretchBlt(src, Rect(0, 0, q.mWidth, q.mHeight), area, Color::White, DRAWMODE_NORMAL);
        Blt(&scratch, q.mX, q.mY, Rect(0, 0, q.mWidth, q.mHeight), color, drawMode);
        FreeAllBuffers();
        return;
    }
    auto* dd = dynamic_cast<DDImage*>(src);
    if (dd && color == Color::White && drawMode == DRAWMODE_NORMAL && (dd->AnalyzeAlpha(), !dd->mHasAlpha) &&
        dd->GetSurface()) {
        RECT s{LONG(area.mX), LONG(area.mY), LONG(area.mWidth + area.mX), LONG(area.mHeight + area.mY)};
        if (SurfaceBlt(dd->mSurface, ToRECT(q.mX, q.mY, q.mWidth, q.mHeight), s)) {
            FreeAllBuffers();
            return;
        }
    }
    StretchSoftware(src, q, area, color, drawMode, false);
}

// The filtered stretch blits a scratch copy of the source, so the blit's rules
// are its own, in every draw mode; a volatile source alone is blitted white by
// rules of its own. The nearest-pixel loops share the blit's rules only white
// in normal mode, and on 16-bit layouts only without partial alpha (the blit's
// 565 and 555 blends are packed); a surface source they copy by DirectDraw.
bool DDImage::BlitGivesUnscaledStretch(Image* src, const Color& color, int drawMode, bool fastStretch) const {
    auto* mem = dynamic_cast<MemoryImage*>(src);
    auto* dd = dynamic_cast<DDImage*>(mem);
    if (!mem || (mem->mIsVolatile && !(dd && dd->mSurface) && color == Color::White)) return false;
    if (!fastStretch) return true;
    if (dd || drawMode != DRAWMODE_NORMAL || !(color == Color::White)) return false;
    mem->AnalyzeAlpha();
    return !mem->mHasAlpha || (mDDInterface && mDDInterface->mRGBBits == 32);
}

void DDImage::StretchBltMirror(Image* src, const Rect& destRect, const Rect& srcRect, const Rect& clip,
                               const Color& color, int drawMode, bool fastStretch) {
    if (!src) return;
    src->mDrawn = 1;
    AnalyzeAlpha();
    if (!SurfaceRoadAllowed() || !GetSurface()) {
        MemoryImage::StretchBltMirror(src, destRect, srcRect, clip, color, drawMode, fastStretch);
        return;
    }
    RectD area;
    Rect q;
    if (!StretchBltMirrorClipHelper(srcRect, clip.Intersection(Bounds(*this)), destRect, area, q)) return;
    StretchSoftware(src, q, area, color, drawMode, true);
}

void DDImage::StretchSoftware(Image* src, const Rect& q, const RectD& s, const Color& color, int drawMode,
                              bool mirror) {
    auto* mem = dynamic_cast<MemoryImage*>(src);
    if (!mem || mem->mWidth <= 0 || mem->mHeight <= 0) {
        FreeAllBuffers();
        return;
    }
    mem->AnalyzeAlpha();
    const bool additive = drawMode != DRAWMODE_NORMAL;
    const surface::NativeSource native = surface::NativeOf(*mem, mDDInterface, additive);
    surface::SurfaceView view;
    if (!BeginSoftware(view)) return;
    surface::StretchNearest(view, *mFormat, native, q, s, color, additive, mirror);
    EndSoftware();
    FreeAllBuffers();
}

// ---- matrix and triangles: the raw-pixel helpers on the locked surface ----

bool DDImage::BeginTagged(surface::SurfaceView& view) {
    if (Is3D() || !BeginSoftware(view)) return false;
    if (mFormat->tag != surface::kTagNone) return true;
    EndSoftware();
    return false;
}

void DDImage::BltMatrix(Image* src, float x, float y, const Matrix3x3& matrix, const Rect& clip, const Color& color,
                        int drawMode, const Rect& srcRect, bool blend) {
    if (src) src->mDrawn = 1;
    if (mNoSoftwareAccess) return;
    surface::SurfaceView view;
    if (!BeginTagged(view)) {
        MemoryImage::BltMatrix(src, x, y, matrix, clip, color, drawMode, srcRect, blend);
        return;
    }
    BltMatrixHelper(src, x, y, matrix, clip.Intersection(Bounds(*this)), color, drawMode, srcRect, view.bits,
                    view.pitch, mFormat->tag, blend);
    EndSoftware();
    FreeAllBuffers();
}

void DDImage::BltTrianglesTex(Image* texture, const TriVertex (*triangles)[3], int count, const Rect& clip,
                              const Color& color, int drawMode, float tx, float ty, bool blend) {
    if (texture) texture->mDrawn = 1;
    if (mNoSoftwareAccess) return;
    surface::SurfaceView view;
    if (!BeginTagged(view)) {
        MemoryImage::BltTrianglesTex(texture, triangles, count, clip, color, drawMode, tx, ty, blend);
        return;
    }
    BltTrianglesTexHelper(texture, triangles, count, clip.Intersection(Bounds(*this)), color, drawMode, view.bits,
                          view.pitch, mFormat->tag, tx, ty, blend);
    EndSoftware();
    FreeAllBuffers();
}

} // namespace Zephra
