#include "framework/graphics/graphics.h"
#include "framework/graphics/raster_util.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace Zephra {

namespace {

// Keeps a source rectangle inside its image; the destination position moves
// with the left and top edges so that the visible pixels stay where they were.
bool ClipSourceToImage(const Image* image, Rect& srcRect, int& x, int& y) {
    Rect inside = srcRect.Intersection(Rect(0, 0, image->mWidth, image->mHeight));
    if (inside.IsEmpty()) return false;
    x += inside.mX - srcRect.mX;
    y += inside.mY - srcRect.mY;
    srcRect = inside;
    return true;
}

// The stretching, rotating and matrix blits read the source rectangle as it
// stands: one reaching outside the image draws nothing.
bool SourceInsideImage(const Image* image, const Rect& srcRect) {
    return !srcRect.IsEmpty() && srcRect.Intersection(Rect(0, 0, image->mWidth, image->mHeight)) == srcRect;
}

// Trims a line to the pixel area of clip (edges inclusive); false when
// nothing of it is left.
bool ClipLine(double& x1, double& y1, double& x2, double& y2, const Rect& clip) {
    if (clip.IsEmpty()) return false;
    return raster::ClipSegment(x1, y1, x2, y2, clip.mX, clip.mY, double(clip.mX) + clip.mWidth - 1,
                               double(clip.mY) + clip.mHeight - 1);
}

struct WrappedLine {
    std::u16string text;
    int width = 0;
};

// One code point from i: a surrogate pair is never split between lines.
size_t CodePointLength(const std::u16string& s, size_t i) {
    const bool pair = s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF;
    return pair ? 2 : 1;
}

// The word-wrapped layout shared by the writer and the measurer: words split on
// spaces, '\n' starts a new line, a word wider than the width (or longer than
// a line may be) is broken between characters (at least one character per
// line; a character's width is the font's CharWidth, a pair's its StringWidth).
// Every word, and every character of a broken word, is measured once and
// a line's width is the sum of its parts', so the layout takes time in
// proportion to the text however it is shaped.
std::vector<WrappedLine> WrapText(Font* font, int width, const std::u16string& text) {
    std::vector<WrappedLine> lines;
    if (text.empty()) return lines;

    const long long space = font->StringWidth(u" ");
    auto fits = [width](long long w, size_t units) { return w <= width && units <= Graphics::kMaxLineLength; };

    std::u16string line;
    std::u16string word;   // reused: a word is measured without a new string
    long long lineWidth = 0;
    bool lineStarted = false;
    auto flush = [&]() {
        lines.push_back({line, static_cast<int>(std::clamp<long long>(lineWidth, INT_MIN, INT_MAX))});
        line.clear();
        lineWidth = 0;
        lineStarted = false;
    };

    size_t paraStart = 0;
    while (paraStart <= text.size()) {
        size_t paraEnd = text.find(u'\n', paraStart);
        if (paraEnd == std::u16string::npos) paraEnd = text.size();

        size_t pos = paraStart;
        while (pos < paraEnd) {
            if (text[pos] == u' ' || text[pos] == u'\r') {
                ++pos;
                continue;
            }
            size_t wordEnd = pos;
            while (wordEnd < paraEnd && text[wordEnd] != u' ' && text[wordEnd] != u'\r') ++wordEnd;
            const size_t wordStart = pos;
            const size_t wordLength = wordEnd - wordStart;
            pos = wordEnd;
            word.assign(text, wordStart, wordLength);
            const long long wordWidth = font->StringWidth(word);

            if (lineStarted) {
                if (fits(lineWidth + space + wordWidth, line.size() + 1 + wordLength)) {
                    line += u' ';
                    line.append(text, wordStart, wordLength);
                    lineWidth += space + wordWidth;
                    continue;
                }
                flush();
            }
            lineStarted = true;
            if (fits(wordWidth, wordLength)) {
                line.assign(text, wordStart, wordLength);
                lineWidth = wordWidth;
                continue;
            }
            // Too wide on its own: as many characters per line as fit.
            for (size_t at = wordStart; at < wordEnd;) {
                const size_t n = CodePointLength(text, at);
                long long w;
                if (n == 1) {
                    w = font->CharWidth(text[at]);
                } else {
                    word.assign(text, at, n);
                    w = font->StringWidth(word);
                }
                if (!line.empty() && !fits(lineWidth + w, line.size() + n)) {
                    flush();
                    lineStarted = true;
                }
                line.append(text, at, n);
                lineWidth += w;
                at += n;
            }
        }
        flush();   // every paragraph, even an empty one, is a line
        paraStart = paraEnd + 1;
    }
    return lines;
}

} // namespace

Graphics::Graphics(Image* destImage) {
    mDestImage = destImage;
    ClearClipRect();
}

Graphics::Graphics(const Graphics& other) : GraphicsState(other) {}

Graphics::Graphics(const Graphics& other, Image* destImage) : GraphicsState(other) {
    mDestImage = destImage;
    mTransX = 0;
    mTransY = 0;
    ClearClipRect();
}

Graphics& Graphics::operator=(const Graphics& other) {
    if (this != &other) {
        static_cast<GraphicsState&>(*this) = other;
        mStateStack.clear();
    }
    return *this;
}

Graphics::~Graphics() = default;

void Graphics::PushState() {
    mStateStack.push_back(static_cast<const GraphicsState&>(*this));
}

void Graphics::PopState() {
    if (mStateStack.empty()) return;
    static_cast<GraphicsState&>(*this) = mStateStack.back();
    mStateStack.pop_back();
}

Color Graphics::ImageColor() const {
    return mColorizeImages ? mColor : Color::White;
}

void Graphics::Translate(int x, int y) {
    mTransX += float(x);
    mTransY += float(y);
}

void Graphics::TranslateF(float x, float y) {
    mTransX += x;
    mTransY += y;
}

int Graphics::TransX() const { return int(mTransX); }
int Graphics::TransY() const { return int(mTransY); }

Rect Graphics::DestBounds() const {
    if (mDestImage == nullptr) return Rect();
    return Rect(0, 0, mDestImage->mWidth, mDestImage->mHeight);
}

void Graphics::SetClipRect(const Rect& rect) {
    mClipRect = Rect(rect.mX + TransX(), rect.mY + TransY(), rect.mWidth, rect.mHeight)
                    .Intersection(DestBounds());
}

void Graphics::ClearClipRect() {
    mClipRect = DestBounds();
}

void Graphics::IntersectClip(const Rect& rect) {
    mClipRect = mClipRect.Intersection(
        Rect(rect.mX + TransX(), rect.mY + TransY(), rect.mWidth, rect.mHeight));
}

void Graphics::FillRect(const Rect& rect) {
    if (mDestImage == nullptr || mColor.mAlpha == 0) return;
    Rect r = Rect(rect.mX + TransX(), rect.mY + TransY(), rect.mWidth, rect.mHeight)
                 .Intersection(mClipRect);
    if (r.IsEmpty()) return;
    mDestImage->FillRect(r, mColor, mDrawMode);
}

void Graphics::DrawRect(const Rect& rect) {
    if (rect.mWidth <= 0 || rect.mHeight <= 0) return;
    // The outline is the rectangle's own border pixels, each edge clipped.
    if (rect.mHeight <= 2 || rect.mWidth <= 2) {
        FillRect(rect);
        return;
    }
    FillRect(Rect(rect.mX, rect.mY, rect.mWidth, 1));
    FillRect(Rect(rect.mX, rect.mY + rect.mHeight - 1, rect.mWidth, 1));
    FillRect(Rect(rect.mX, rect.mY + 1, 1, rect.mHeight - 2));
    FillRect(Rect(rect.mX + rect.mWidth - 1, rect.mY + 1, 1, rect.mHeight - 2));
}

void Graphics::ClearRect(const Rect& rect) {
    if (mDestImage == nullptr) return;
    Rect r = Rect(rect.mX + TransX(), rect.mY + TransY(), rect.mWidth, rect.mHeight)
                 .Intersection(mClipRect);
    if (r.IsEmpty()) return;
    mDestImage->ClearRect(r);
}

void Graphics::DrawLine(int x1, int y1, int x2, int y2) {
    if (mDestImage == nullptr || mColor.mAlpha == 0) return;
    double ax = double(x1) + mTransX, ay = double(y1) + mTransY;
    double bx = double(x2) + mTransX, by = double(y2) + mTransY;
    if (!ClipLine(ax, ay, bx, by, mClipRect)) return;
    mDestImage->DrawLine(ax, ay, bx, by, mColor, mDrawMode);
}

void Graphics::DrawLineAA(int x1, int y1, int x2, int y2) {
    if (mDestImage == nullptr || mColor.mAlpha == 0) return;
    double ax = double(x1) + mTransX, ay = double(y1) + mTransY;
    double bx = double(x2) + mTransX, by = double(y2) + mTransY;
    if (!ClipLine(ax, ay, bx, by, mClipRect)) return;
    mDestImage->DrawLineAA(ax, ay, bx, by, mColor, mDrawMode);
}

void Graphics::PolyFill(const Point* vertices, int count) {
    if (mDestImage == nullptr || vertices == nullptr || count < 3 || mColor.mAlpha == 0) return;
    std::vector<Point> moved(vertices, vertices + count);
    for (Point& p : moved) {
        p.mX += TransX();
        p.mY += TransY();
    }
    mDestImage->FillPolygon(moved.data(), count, mClipRect, mColor, mDrawMode);
}

void Graphics::DrawImage(Image* image, int x, int y) {
    if (image == nullptr) return;
    DrawImage(image, x, y, Rect(0, 0, image->mWidth, image->mHeight));
}

void Graphics::DrawImage(Image* image, int x, int y, const Rect& srcRect) {
    if (mDestImage == nullptr || image == nullptr) return;
    Rect src = srcRect;
    int destX = x + TransX();
    int destY = y + TransY();
    if (!ClipSourceToImage(image, src, destX, destY)) return;
    Rect r = Rect(destX, destY, src.mWidth, src.mHeight).Intersection(mClipRect);
    if (r.IsEmpty()) return;
    Rect clippedSrc(src.mX + r.mX - destX, src.mY + r.mY - destY, r.mWidth, r.mHeight);
    mDestImage->Blt(image, r.mX, r.mY, clippedSrc, ImageColor(), mDrawMode);
}

void Graphics::DrawImageF(Image* image, float x, float y) {
    if (image == nullptr) return;
    DrawImageF(image, x, y, Rect(0, 0, image->mWidth, image->mHeight));
}

void Graphics::DrawImageF(Image* image, float x, float y, const Rect& srcRect) {
    if (mDestImage == nullptr || image == nullptr) return;
    Rect src = srcRect.Intersection(Rect(0, 0, image->mWidth, image->mHeight));
    if (src.IsEmpty()) return;
    x += float(src.mX - srcRect.mX);
    y += float(src.mY - srcRect.mY);
    mDestImage->BltF(image, x + mTransX, y + mTransY, src, mClipRect, ImageColor(), mDrawMode);
}

void Graphics::DrawImageInRect(Image* image, const Rect& destRect, const Rect& srcRect) {
    if (mDestImage == nullptr || image == nullptr) return;
    if (destRect.IsEmpty() || !SourceInsideImage(image, srcRect)) return;
    Rect dest(destRect.mX + TransX(), destRect.mY + TransY(), destRect.mWidth, destRect.mHeight);
    mDestImage->StretchBlt(image, dest, srcRect, mClipRect, ImageColor(), mDrawMode, mFastStretch);
}

void Graphics::DrawImageStretched(Image* image, int x, int y, int width, int height) {
    if (image == nullptr) return;
    DrawImageInRect(image, Rect(x, y, width, height), Rect(0, 0, image->mWidth, image->mHeight));
}

void Graphics::DrawImageMirror(Image* image, const Rect& destRect, const Rect& srcRect, bool mirror) {
    if (!mirror) {
        DrawImageInRect(image, destRect, srcRect);
        return;
    }
    if (mDestImage == nullptr || image == nullptr) return;
    if (destRect.IsEmpty() || !SourceInsideImage(image, srcRect)) return;
    Rect dest(destRect.mX + TransX(), destRect.mY + TransY(), destRect.mWidth, destRect.mHeight);
    if (destRect.mWidth == srcRect.mWidth && destRect.mHeight == srcRect.mHeight) {
        Rect r = dest.Intersection(mClipRect);
        if (r.IsEmpty()) return;
        // Mirrored: the left edge of the clipped area shows the source's right side.
        Rect clippedSrc(srcRect.mX + (dest.mX + dest.mWidth) - (r.mX + r.mWidth),
                        srcRect.mY + r.mY - dest.mY, r.mWidth, r.mHeight);
        mDestImage->BltMirror(image, r.mX, r.mY, clippedSrc, ImageColor(), mDrawMode);
    } else {
        mDestImage->StretchBltMirror(image, dest, srcRect, mClipRect, ImageColor(), mDrawMode,
                                     mFastStretch);
    }
}

void Graphics::DrawImageRotated(Image* image, float x, float y, double angle, float centerX,
                                float centerY) {
    if (image == nullptr) return;
    DrawImageRotated(image, x, y, angle, centerX, centerY, Rect(0, 0, image->mWidth, image->mHeight));
}

void Graphics::DrawImageRotated(Image* image, float x, float y, double angle, float centerX,
                                float centerY, const Rect& srcRect) {
    if (mDestImage == nullptr || image == nullptr || !SourceInsideImage(image, srcRect)) return;
    mDestImage->BltRotated(image, x + mTransX, y + mTransY, srcRect, mClipRect, ImageColor(), mDrawMode,
                           angle, centerX, centerY);
}

void Graphics::DrawImageMatrix(Image* image, const Matrix3x3& matrix, float x, float y) {
    if (image == nullptr) return;
    DrawImageMatrix(image, matrix, Rect(0, 0, image->mWidth, image->mHeight), x, y);
}

void Graphics::DrawImageMatrix(Image* image, const Matrix3x3& matrix, const Rect& srcRect, float x,
                               float y) {
    if (mDestImage == nullptr || image == nullptr || !SourceInsideImage(image, srcRect)) return;
    mDestImage->BltMatrix(image, x + mTransX, y + mTransY, matrix, mClipRect, ImageColor(), mDrawMode,
                          srcRect, mLinearBlend);
}

void Graphics::DrawTrianglesTex(Image* texture, const TriVertex (*triangles)[3], int count) {
    if (mDestImage == nullptr || texture == nullptr || triangles == nullptr || count <= 0) return;
    mDestImage->BltTrianglesTex(texture, triangles, count, mClipRect, ImageColor(), mDrawMode, mTransX,
                                mTransY, mLinearBlend);
}

void Graphics::DrawString(const std::u16string& text, int x, int y) {
    if (mFont == nullptr || mDestImage == nullptr) return;
    mFont->DrawString(this, x + TransX(), y + TransY(), text, mColor, mClipRect);
}

int Graphics::StringWidth(const std::u16string& text) {
    return mFont != nullptr ? mFont->StringWidth(text) : 0;
}

int Graphics::LineStep(int lineSpacing) const {
    // The controls pass extra space between lines; negative means none.
    return mFont->GetLineSpacing() + (lineSpacing < 0 ? 0 : lineSpacing);
}

int Graphics::WriteWordWrapped(const Rect& rect, const std::u16string& text, int lineSpacing,
                               int justification, int* maxWidth) {
    if (maxWidth != nullptr) *maxWidth = 0;
    if (mFont == nullptr) return 0;
    const int step = LineStep(lineSpacing);
    const int ascent = mFont->GetAscent();
    std::vector<WrappedLine> lines = WrapText(mFont, rect.mWidth, text);
    int widest = 0;
    int row = 0;
    for (const WrappedLine& line : lines) {
        int x = rect.mX;
        if (justification == 0)
            x = rect.mX + (rect.mWidth - line.width) / 2;
        else if (justification == 1)
            x = rect.mX + rect.mWidth - line.width;
        // Only lines that reach the clip are drawn: a long text costs its layout, not its glyphs.
        const long long top = (long long)rect.mY + (long long)row * step + TransY();
        const long long reach = (long long)std::abs(step) + mFont->GetHeight();
        if (!line.text.empty() && top - reach < mClipRect.mY + mClipRect.mHeight && top + reach > mClipRect.mY)
            DrawString(line.text, x, rect.mY + ascent + row * step);
        widest = std::max(widest, line.width);
        ++row;
    }
    if (maxWidth != nullptr) *maxWidth = widest;
    return int(lines.size()) * step;
}

int Graphics::GetWordWrappedHeight(int width, const std::u16string& text, int lineSpacing,
                                   int* lineCount) {
    if (lineCount != nullptr) *lineCount = 0;
    if (mFont == nullptr) return 0;
    const int step = LineStep(lineSpacing);
    size_t count = WrapText(mFont, width, text).size();
    if (lineCount != nullptr) *lineCount = int(count);
    return int(count) * step;
}

} // namespace Zephra
