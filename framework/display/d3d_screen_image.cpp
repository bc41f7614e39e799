// The screen image's drawing slots on the 3D road.
#include "framework/display/d3d_screen_image.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/display/d3d_interface.h"
#include "framework/display/dd_interface.h"
#include "framework/graphics/raster_util.h"

namespace Zephra {

using namespace platform;

D3DScreenImage::~D3DScreenImage() {
    for (TextBox& box : mTextBoxes) DropTextBox(box);
}

void D3DScreenImage::DropTextBox(TextBox& box) {
    if (!box.image) return;
    mTextPixels -= size_t(box.image->mWidth) * size_t(box.image->mHeight);
    if (mDDInterface) mDDInterface->RemoveImageTexture(box.image.get());
    box.image.reset();
}

D3DInterface* D3DScreenImage::Device() const {
    if (!mDDInterface || !mDDInterface->mIs3D || !mDDInterface->mD3DInterface) return nullptr;
    if (!mSurface || mSurface != mDDInterface->mDrawSurface) return nullptr;
    return mDDInterface->mD3DInterface;
}

MemoryImage* D3DScreenImage::Source(Image* src) {
    if (src) src->mDrawn = 1;
    return dynamic_cast<MemoryImage*>(src);
}

bool D3DScreenImage::FillPolygon(const Point* vertices, int count, const Rect& clip, const Color& color,
                                 int drawMode) {
    D3DInterface* d3d = Device();
    if (!d3d) return DDImage::FillPolygon(vertices, count, clip, color, drawMode);
    d3d->FillPoly(vertices, count, &clip, color, drawMode, 0, 0);
    return true;
}

void D3DScreenImage::FillRect(const Rect& rect, const Color& color, int drawMode) {
    if (D3DInterface* d3d = Device())
        d3d->FillRect(rect, color, drawMode);
    else
        DDImage::FillRect(rect, color, drawMode);
}

void D3DScreenImage::DrawLine(double x1, double y1, double x2, double y2, const Color& color, int drawMode) {
    if (D3DInterface* d3d = Device())
        d3d->DrawLine(float(x1), float(y1), float(x2), float(y2), color, drawMode);
    else
        DDImage::DrawLine(x1, y1, x2, y2, color, drawMode);
}

void D3DScreenImage::DrawLineAA(double x1, double y1, double x2, double y2, const Color& color, int drawMode) {
    if (D3DInterface* d3d = Device())
        d3d->DrawLine(float(x1), float(y1), float(x2), float(y2), color, drawMode);
    else
        DDImage::DrawLineAA(x1, y1, x2, y2, color, drawMode);
}

// Text: the spans are filled into a small image of their bounding box, which
// is then blitted like any picture; the box is kept for the next frame's
// drawing of the same string.
void D3DScreenImage::FillSpansCoverage(const Span* spans, int count, const Color& color, int drawMode,
                                       const uint8_t* coverage, int coverX, int coverY, int coverWidth,
                                       int coverHeight) {
    if (!Device()) {
        DDImage::FillSpansCoverage(spans, count, color, drawMode, coverage, coverX, coverY, coverWidth, coverHeight);
        return;
    }
    if (!spans || count <= 0) return;
    int x0 = spans[0].mX, y0 = spans[0].mY, x1 = x0, y1 = y0;
    for (int i = 0; i < count; ++i) {
        x0 = std::min(x0, spans[i].mX);
        y0 = std::min(y0, spans[i].mY);
        x1 = std::max(x1, spans[i].mX + spans[i].mWidth - 1);
        y1 = std::max(y1, spans[i].mY);
    }
    if (x1 < x0) return;
    const int width = x1 - x0 + 1, height = y1 - y0 + 1;
    // The box's pixels follow from these alone: the colour, the spans and the
    // coverage rectangle relative to the box, and the coverage.
    const bool covered = coverage && coverWidth > 0 && coverHeight > 0;
    const size_t coverBytes = covered ? size_t(coverWidth) * size_t(coverHeight) : 0;
    const int dims[] = {int(raster::PackClamped(color)), width, height, covered ? coverX - x0 : 0,
                        covered ? coverY - y0 : 0, covered ? coverWidth : 0, covered ? coverHeight : 0};
    auto same = [&](const TextBox& b) {
        if (!b.image || !std::equal(std::begin(dims), std::end(dims), b.dims) ||
            b.spans.size() != size_t(count) || b.coverage.size() != coverBytes ||
            (coverBytes && std::memcmp(b.coverage.data(), coverage, coverBytes) != 0))
            return false;
        for (int i = 0; i < count; ++i)
            if (b.spans[i].mX != spans[i].mX - x0 || b.spans[i].mY != spans[i].mY - y0 ||
                b.spans[i].mWidth != spans[i].mWidth)
                return false;
        return true;
    };
    auto found = std::find_if(mTextBoxes.begin(), mTextBoxes.end(), same);
    if (found == mTextBoxes.end()) {
        // Room for the new box: the boxes least recently drawn go first.
        const size_t pixels = size_t(width) * size_t(height);
        auto oldest = [this] {
            return std::min_element(mTextBoxes.begin(), mTextBoxes.end(),
                                    [](const TextBox& a, const TextBox& b) { return a.lastUse < b.lastUse; });
        };
        while (!mTextBoxes.empty() && (mTextBoxes.size() >= kTextBoxes || mTextPixels + pixels > kTextPixels)) {
            auto gone = oldest();
            DropTextBox(*gone);
            mTextBoxes.erase(gone);
        }
        TextBox& box = mTextBoxes.emplace_back();
        std::copy(std::begin(dims), std::end(dims), box.dims);
        box.spans.assign(spans, spans + count);
        for (Span& s : box.spans) {
            s.mX -= x0;
            s.mY -= y0;
        }
        box.coverage.assign(coverage, coverage + coverBytes);
        box.image = std::make_unique<MemoryImage>();
        box.image->Create(width, height);
        box.image->SetTransparencyFlags(true, true);
        box.image->MemoryImage::FillSpansCoverage(box.spans.data(), count, color, DRAWMODE_NORMAL, coverage,
                                                  dims[3], dims[4], coverWidth, coverHeight);
        mTextPixels += pixels;
        found = mTextBoxes.end() - 1;
    }
    found->lastUse = ++mTextUses;
    Blt(found->image.get(), x0, y0, Rect(0, 0, width, height), Color::White, drawMode);
}

void D3DScreenImage::Blt(Image* src, int x, int y, const Rect& srcRect, const Color& color, int drawMode) {
    D3DInterface* d3d = Device();
    MemoryImage* mem = Source(src);
    if (!d3d) {
        DDImage::Blt(src, x, y, srcRect, color, drawMode);
        return;
    }
    if (!mem) return;
    // An opaque surface picture drawn plainly is a surface copy.
    auto* surf = dynamic_cast<DDImage*>(mem);
    const bool white = color.mRed == 255 && color.mGreen == 255 && color.mBlue == 255 && color.mAlpha == 255;
    if (surf && surf != this && surf->mSurface && d3d->mTransformStack.empty() && drawMode == DRAWMODE_NORMAL &&
        white && (surf->AnalyzeAlpha(), !surf->mHasAlpha)) {
        d3d->DrawPendingFill();
        const RECT dest{x, y, x + srcRect.mWidth, y + srcRect.mHeight};
        const RECT from{srcRect.mX, srcRect.mY, srcRect.mX + srcRect.mWidth, srcRect.mY + srcRect.mHeight};
        if (SurfaceBlt(surf->mSurface, dest, from)) return;
        // Refused: the device draws it from its textures.
    }
    d3d->BltUntransformed(mem, float(x), float(y), srcRect, color, drawMode, false);
}

void D3DScreenImage::BltF(Image* src, float x, float y, const Rect& srcRect, const Rect& clip, const Color& color,
                          int drawMode) {
    D3DInterface* d3d = Device();
    MemoryImage* mem = Source(src);
    if (!d3d) {
        DDImage::BltF(src, x, y, srcRect, clip, color, drawMode);
        return;
    }
    if (!mem) return;
    const double l = std::max<double>(x, clip.mX), t = std::max<double>(y, clip.mY);
    const double r = std::min<double>(double(x) + srcRect.mWidth, double(clip.mX) + clip.mWidth);
    const double b = std::min<double>(double(y) + srcRect.mHeight, double(clip.mY) + clip.mHeight);
    if (r - l <= 0 || b - t <= 0) return;
    if (r - l >= srcRect.mWidth && b - t >= srcRect.mHeight)
        d3d->BltUntransformed(mem, x, y, srcRect, color, drawMode, true);
    else
        d3d->Blt(mem, x, y, srcRect, &clip, color, drawMode);
}

void D3DScreenImage::BltRotated(Image* src, float x, float y, const Rect& srcRect, const Rect& clip,
                                const Color& color, int drawMode, double angle, float centerX, float centerY) {
    D3DInterface* d3d = Device();
    if (!d3d) {
        DDImage::BltRotated(src, x, y, srcRect, clip, color, drawMode, angle, centerX, centerY);
        return;
    }
    if (MemoryImage* mem = Source(src)) d3d->BltRotated(mem, x, y, srcRect, &clip, color, drawMode, angle, centerX, centerY);
}

void D3DScreenImage::StretchBlt(Image* src, const Rect& destRect, const Rect& srcRect, const Rect& clip,
                                const Color& color, int drawMode, bool fastStretch) {
    D3DInterface* d3d = Device();
    if (!d3d) {
        DDImage::StretchBlt(src, destRect, srcRect, clip, color, drawMode, fastStretch);
        return;
    }
    if (MemoryImage* mem = Source(src)) d3d->StretchBlt(mem, destRect, srcRect, &clip, color, drawMode, fastStretch, false);
}

void D3DScreenImage::StretchBltMirror(Image* src, const Rect& destRect, const Rect& srcRect, const Rect& clip,
                                      const Color& color, int drawMode, bool fastStretch) {
    D3DInterface* d3d = Device();
    if (!d3d) {
        DDImage::StretchBltMirror(src, destRect, srcRect, clip, color, drawMode, fastStretch);
        return;
    }
    if (MemoryImage* mem = Source(src)) d3d->StretchBlt(mem, destRect, srcRect, &clip, color, drawMode, fastStretch, true);
}

void D3DScreenImage::BltMatrix(Image* src, float x, float y, const Matrix3x3& matrix, const Rect& clip,
                               const Color& color, int drawMode, const Rect& srcRect, bool blend) {
    D3DInterface* d3d = Device();
    if (!d3d) {
        DDImage::BltMatrix(src, x, y, matrix, clip, color, drawMode, srcRect, blend);
        return;
    }
    if (MemoryImage* mem = Source(src)) d3d->BltTransformed(mem, srcRect, matrix, color, drawMode, &clip, blend, x, y, false);
}

void D3DScreenImage::BltTrianglesTex(Image* texture, const TriVertex (*triangles)[3], int count, const Rect& clip,
                                     const Color& color, int drawMode, float tx, float ty, bool blend) {
    D3DInterface* d3d = Device();
    if (!d3d) {
        DDImage::BltTrianglesTex(texture, triangles, count, clip, color, drawMode, tx, ty, blend);
        return;
    }
    if (MemoryImage* mem = Source(texture)) d3d->BltTrianglesTex(mem, triangles, count, color, drawMode, tx, ty, blend);
}

void D3DScreenImage::BltMirror(Image* src, int x, int y, const Rect& srcRect, const Color& color, int drawMode) {
    D3DInterface* d3d = Device();
    if (!d3d) {
        DDImage::BltMirror(src, x, y, srcRect, color, drawMode);
        return;
    }
    if (MemoryImage* mem = Source(src)) d3d->BltMirror(mem, float(x), float(y), srcRect, nullptr, color, drawMode);
}

} // namespace Zephra
