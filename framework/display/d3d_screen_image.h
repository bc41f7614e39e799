#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/display/dd_image.h"

namespace Zephra {

class D3DInterface;

// The screen image while the display draws in 3D: its surface is the 3D draw
// surface, so every drawing slot goes to the Direct3D device. Sources must be
// memory images (surface images included); others draw nothing.
class D3DScreenImage : public DDImage {
public:
    explicit D3DScreenImage(DDInterface* display) : DDImage(display) {}
    ~D3DScreenImage() override;

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
    void BltRotated(Image* src, float x, float y, const Rect& srcRect, const Rect& clip, const Color& color,
                    int drawMode, double angle, float centerX, float centerY) override;
    void StretchBlt(Image* src, const Rect& destRect, const Rect& srcRect, const Rect& clip, const Color& color,
                    int drawMode, bool fastStretch) override;
    void BltMatrix(Image* src, float x, float y, const Matrix3x3& matrix, const Rect& clip, const Color& color,
                   int drawMode, const Rect& srcRect, bool blend) override;
    void BltTrianglesTex(Image* texture, const TriVertex (*triangles)[3], int count, const Rect& clip,
                         const Color& color, int drawMode, float tx, float ty, bool blend) override;
    void BltMirror(Image* src, int x, int y, const Rect& srcRect, const Color& color, int drawMode) override;
    void StretchBltMirror(Image* src, const Rect& destRect, const Rect& srcRect, const Rect& clip,
                          const Color& color, int drawMode, bool fastStretch) override;

private:
    // A string's pixels as the box image they were filled into, kept while the
    // same string keeps being drawn: menus draw every label every frame, and a
    // box made again each time is a fill and a texture upload per string.
    struct TextBox {
        // Colour, width, height, and the coverage rectangle relative to the box.
        int dims[7] = {};
        std::vector<Span> spans;   // relative to the box
        std::vector<uint8_t> coverage;
        std::unique_ptr<MemoryImage> image;
        uint64_t lastUse = 0;
    };
    // A screenful of labels; a string that fades in or changes every frame
    // only pushes out the oldest boxes.
    static constexpr size_t kTextBoxes = 32;
    static constexpr size_t kTextPixels = 128 * 1024;
    std::vector<TextBox> mTextBoxes;
    size_t mTextPixels = 0;   // of the boxes kept
    uint64_t mTextUses = 0;

    void DropTextBox(TextBox& box);

    // The device's interface while this image is the 3D draw surface, else null
    // (the surface image's own roads draw).
    D3DInterface* Device() const;
    // A source the textures can be made of, its drawn flag set.
    static MemoryImage* Source(Image* src);
};

} // namespace Zephra
