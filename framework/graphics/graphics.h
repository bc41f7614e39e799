#pragma once
#include <string>
#include <vector>
#include "framework/graphics/color.h"
#include "framework/graphics/font.h"
#include "framework/graphics/image.h"
#include "framework/graphics/matrix3x3.h"
#include "framework/graphics/rect.h"

namespace Zephra {

struct GraphicsState {
    Image* mDestImage = nullptr;
    float mTransX = 0;
    float mTransY = 0;
    Rect mClipRect;
    Font* mFont = nullptr;
    Color mColor = Color(255, 255, 255, 255);
    int mDrawMode = DRAWMODE_NORMAL;
    bool mColorizeImages = false;
    bool mFastStretch = false;
    bool mLinearBlend = false;
};

// Drawing context on a destination image: translation, clip, colour, draw
// mode and font, with a stack of saved states.
class Graphics : public GraphicsState {
public:
    explicit Graphics(Image* destImage = nullptr);
    Graphics(const Graphics& other);
    // A copy of other's font, colour, draw mode and image flags drawing on
    // another image (label caches): no translation, clipped to that image.
    Graphics(const Graphics& other, Image* destImage);
    Graphics& operator=(const Graphics& other);
    ~Graphics();

    void PushState();
    void PopState();

    void SetColor(const Color& color) { mColor = color; }
    const Color& GetColor() const { return mColor; }
    void SetFont(Font* font) { mFont = font; }
    Font* GetFont() const { return mFont; }
    void SetDrawMode(int mode) { mDrawMode = mode; }
    int GetDrawMode() const { return mDrawMode; }
    void SetColorizeImages(bool colorize) { mColorizeImages = colorize; }
    bool GetColorizeImages() const { return mColorizeImages; }
    void SetFastStretch(bool fast) { mFastStretch = fast; }
    bool GetFastStretch() const { return mFastStretch; }
    void SetLinearBlend(bool linear) { mLinearBlend = linear; }

    void Translate(int x, int y);
    void TranslateF(float x, float y);
    void SetClipRect(const Rect& rect);      // in translated coordinates
    void ClearClipRect();                    // the whole destination
    void IntersectClip(const Rect& rect);    // in translated coordinates
    const Rect& GetClipRect() const { return mClipRect; }

    void FillRect(const Rect& rect);         // nothing when the colour's alpha is 0
    void FillRect(int x, int y, int width, int height) { FillRect(Rect(x, y, width, height)); }
    void DrawRect(const Rect& rect);
    void ClearRect(const Rect& rect);
    void DrawLine(int x1, int y1, int x2, int y2);
    void DrawLineAA(int x1, int y1, int x2, int y2);
    void PolyFill(const Point* vertices, int count);

    void DrawImage(Image* image, int x, int y);
    void DrawImage(Image* image, int x, int y, const Rect& srcRect);
    void DrawImageF(Image* image, float x, float y);
    void DrawImageF(Image* image, float x, float y, const Rect& srcRect);
    void DrawImageInRect(Image* image, const Rect& destRect, const Rect& srcRect);
    void DrawImageStretched(Image* image, int x, int y, int width, int height);
    void DrawImageMirror(Image* image, const Rect& destRect, const Rect& srcRect, bool mirror = true);
    void DrawImageRotated(Image* image, float x, float y, double angle, float centerX, float centerY);
    void DrawImageRotated(Image* image, float x, float y, double angle, float centerX, float centerY,
                          const Rect& srcRect);
    void DrawImageMatrix(Image* image, const Matrix3x3& matrix, float x, float y);
    void DrawImageMatrix(Image* image, const Matrix3x3& matrix, const Rect& srcRect, float x, float y);
    void DrawTrianglesTex(Image* texture, const TriVertex (*triangles)[3], int count);

    // Text with the baseline at y; nothing without a font.
    void DrawString(const std::u16string& text, int x, int y);
    int StringWidth(const std::u16string& text);

    // Characters (UTF-16 units) of one line laid out; a longer line is broken
    // there as if it had reached the width.
    static constexpr size_t kMaxLineLength = 1024;

    // Word-wrapped text in rect. justification: 0 centre, 1 right, other left.
    // lineSpacing is extra space between lines (< 0: none). Returns the height
    // used (lines x line step); maxWidth receives the widest line. Nothing
    // without a font.
    int WriteWordWrapped(const Rect& rect, const std::u16string& text, int lineSpacing = -1,
                         int justification = -1, int* maxWidth = nullptr);
    int GetWordWrappedHeight(int width, const std::u16string& text, int lineSpacing = -1,
                             int* lineCount = nullptr);

private:
    std::vector<GraphicsState> mStateStack;
    // The colour images are drawn with: white unless colourising.
    Color ImageColor() const;
    // The translation applied to integer coordinates.
    int TransX() const;
    int TransY() const;
    Rect DestBounds() const;
    // Baseline-to-baseline distance of wrapped lines (needs a font).
    int LineStep(int lineSpacing) const;
};

} // namespace Zephra
