#include "framework/graphics/image.h"

namespace Zephra {

// The base image has no pixels: the slots below only give the derived images
// their composite defaults.

bool Image::FillPolygon(const Point*, int, const Rect&, const Color&, int) { return false; }

void Image::FillRect(const Rect&, const Color&, int) {}

void Image::DrawRect(const Rect& rect, const Color& color, int drawMode) {
    if (rect.mWidth <= 0 || rect.mHeight <= 0) return;
    // Edges do not overlap, so a translucent outline blends each pixel once.
    FillRect(Rect(rect.mX, rect.mY, rect.mWidth, 1), color, drawMode);
    if (rect.mHeight > 1)
        FillRect(Rect(rect.mX, rect.mY + rect.mHeight - 1, rect.mWidth, 1), color, drawMode);
    if (rect.mHeight > 2) {
        FillRect(Rect(rect.mX, rect.mY + 1, 1, rect.mHeight - 2), color, drawMode);
        if (rect.mWidth > 1)
            FillRect(Rect(rect.mX + rect.mWidth - 1, rect.mY + 1, 1, rect.mHeight - 2), color, drawMode);
    }
}

void Image::ClearRect(const Rect&) {}

void Image::DrawLine(double, double, double, double, const Color&, int) {}

void Image::DrawLineAA(double, double, double, double, const Color&, int) {}

void Image::FillSpans(const Span* spans, int count, const Color& color, int drawMode) {
    if (spans == nullptr) return;
    for (int i = 0; i < count; ++i)
        FillRect(Rect(spans[i].mX, spans[i].mY, spans[i].mWidth, 1), color, drawMode);
}

void Image::FillSpansCoverage(const Span*, int, const Color&, int, const uint8_t*, int, int, int, int) {}

void Image::Blt(Image*, int, int, const Rect&, const Color&, int) {}

void Image::BltF(Image*, float, float, const Rect&, const Rect&, const Color&, int) {}

void Image::BltRotated(Image*, float, float, const Rect&, const Rect&, const Color&, int, double, float,
                       float) {}

void Image::StretchBlt(Image*, const Rect&, const Rect&, const Rect&, const Color&, int, bool) {}

void Image::BltMatrix(Image*, float, float, const Matrix3x3&, const Rect&, const Color&, int, const Rect&,
                      bool) {}

void Image::BltTrianglesTex(Image*, const TriVertex (*)[3], int, const Rect&, const Color&, int, float,
                            float, bool) {}

void Image::BltMirror(Image*, int, int, const Rect&, const Color&, int) {}

void Image::StretchBltMirror(Image*, const Rect&, const Rect&, const Rect&, const Color&, int, bool) {}

} // namespace Zephra
