#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include "framework/graphics/color.h"
#include "framework/graphics/matrix3x3.h"
#include "framework/graphics/rect.h"

namespace Zephra {

class Image;

// One horizontal run of pixels for span fills.
struct Span {
    int mY = 0;
    int mX = 0;
    int mWidth = 0;
};

// A textured triangle corner: position, texture coordinate (0..1) and an
// 0xAARRGGBB tint.
struct TriVertex {
    float x = 0;
    float y = 0;
    float u = 0;
    float v = 0;
    uint32_t color = 0xFFFFFFFF;
};

enum DrawMode { DRAWMODE_NORMAL = 0, DRAWMODE_ADDITIVE = 1 };

// Base of every image. The drawing slots are virtual so that surface images can
// take their own roads; the base draws nothing.
class Image {
public:
    int mWidth = 0;
    int mHeight = 0;
    uint8_t mDrawn = 0;     // set to 1 on a source by every blit
    std::string mFilePath;

    Image() = default;
    virtual ~Image() = default;
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    int GetWidth() const { return mWidth; }
    int GetHeight() const { return mHeight; }

    virtual bool FillPolygon(const Point* vertices, int count, const Rect& clip, const Color& color,
                             int drawMode);
    virtual void FillRect(const Rect& rect, const Color& color, int drawMode);
    virtual void DrawRect(const Rect& rect, const Color& color, int drawMode);
    virtual void ClearRect(const Rect& rect);
    virtual void DrawLine(double x1, double y1, double x2, double y2, const Color& color, int drawMode);
    virtual void DrawLineAA(double x1, double y1, double x2, double y2, const Color& color, int drawMode);
    virtual void FillSpans(const Span* spans, int count, const Color& color, int drawMode);
    virtual void FillSpansCoverage(const Span* spans, int count, const Color& color, int drawMode,
                                   const uint8_t* coverage, int coverX, int coverY, int coverWidth,
                                   int coverHeight);
    virtual void Blt(Image* src, int x, int y, const Rect& srcRect, const Color& color, int drawMode);
    virtual void BltF(Image* src, float x, float y, const Rect& srcRect, const Rect& clip,
                      const Color& color, int drawMode);
    virtual void BltRotated(Image* src, float x, float y, const Rect& srcRect, const Rect& clip,
                            const Color& color, int drawMode, double angle, float centerX,
                            float centerY);
    virtual void StretchBlt(Image* src, const Rect& destRect, const Rect& srcRect, const Rect& clip,
                            const Color& color, int drawMode, bool fastStretch);
    virtual void BltMatrix(Image* src, float x, float y, const Matrix3x3& matrix, const Rect& clip,
                           const Color& color, int drawMode, const Rect& srcRect, bool blend);
    virtual void BltTrianglesTex(Image* texture, const TriVertex (*triangles)[3], int count,
                                 const Rect& clip, const Color& color, int drawMode, float tx, float ty,
                                 bool blend);
    virtual void BltMirror(Image* src, int x, int y, const Rect& srcRect, const Color& color,
                           int drawMode);
    virtual void StretchBltMirror(Image* src, const Rect& destRect, const Rect& srcRect,
                                  const Rect& clip, const Color& color, int drawMode, bool fastStretch);
};

// Holder of a shared image (the application's shared-image table keeps the
// image alive as long as a reference exists).
class ImageRef {
public:
    ImageRef() = default;
    explicit ImageRef(std::shared_ptr<Image> image) : mImage(std::move(image)) {}
    Image* GetImage() const { return mImage.get(); }
    void Release() { mImage.reset(); }
private:
    std::shared_ptr<Image> mImage;
};

} // namespace Zephra
