#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>

#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"
#include "tests/support/test_font.h"

namespace Zephra {
void PrintTo(const Rect& r, std::ostream* os) {
    *os << "(" << r.mX << ", " << r.mY << ", " << r.mWidth << ", " << r.mHeight << ")";
}
} // namespace Zephra

using Zephra::Color;
using Zephra::Graphics;
using Zephra::MemoryImage;
using Zephra::Rect;
using testsupport::BoxFont;

namespace {

constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kRed = 0xFFFF0000u;

void MakeFilled(MemoryImage& img, int w, int h, uint32_t pixel) {
    img.Create(w, h);
    uint32_t* bits = img.GetBits();
    for (int i = 0; i < w * h; ++i) bits[i] = pixel;
    img.BitsChanged();
}

uint32_t Px(MemoryImage& img, int x, int y) {
    return img.GetBits()[y * img.mWidth + x];
}

// Bounding box of the pixels that differ from background.
Rect PaintedBox(MemoryImage& img, uint32_t background, int top = 0, int bottom = -1) {
    if (bottom < 0) bottom = img.mHeight;
    int minX = img.mWidth, minY = img.mHeight, maxX = -1, maxY = -1;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < img.mWidth; ++x)
            if (Px(img, x, y) != background) {
                minX = std::min(minX, x);
                minY = std::min(minY, y);
                maxX = std::max(maxX, x);
                maxY = std::max(maxY, y);
            }
    if (maxX < 0) return Rect();
    return Rect(minX, minY, maxX - minX + 1, maxY - minY + 1);
}

int CountPainted(MemoryImage& img, uint32_t background) {
    int n = 0;
    for (int i = 0; i < img.mWidth * img.mHeight; ++i) n += img.GetBits()[i] != background;
    return n;
}

bool Near(uint32_t a, uint32_t b, int tolerance = 1) {
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) return false;
    return true;
}

// A source whose every pixel tells its own coordinates.
void MakeCoded(MemoryImage& img, int w, int h) {
    img.Create(w, h);
    uint32_t* bits = img.GetBits();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) bits[y * w + x] = 0xFF000000u | uint32_t(x + 1) << 16 | uint32_t(y + 1) << 8;
    img.BitsChanged();
}

uint32_t Code(int x, int y) { return 0xFF000000u | uint32_t(x + 1) << 16 | uint32_t(y + 1) << 8; }

} // namespace

TEST(Graphics, StateStackAndCopies) {
    MemoryImage dest;
    MakeFilled(dest, 50, 40, kBlack);
    BoxFont font;
    Graphics g(&dest);
    EXPECT_EQ(g.GetClipRect(), Rect(0, 0, 50, 40));

    g.SetColor(Color(1, 2, 3, 4));
    g.SetFont(&font);
    g.SetDrawMode(Zephra::DRAWMODE_ADDITIVE);
    g.SetColorizeImages(true);
    g.Translate(5, 6);
    g.SetClipRect(Rect(0, 0, 10, 10));
    EXPECT_EQ(g.GetClipRect(), Rect(5, 6, 10, 10));

    g.PushState();
    g.SetColor(Color(9, 9, 9));
    g.SetFont(nullptr);
    g.SetDrawMode(Zephra::DRAWMODE_NORMAL);
    g.SetColorizeImages(false);
    g.Translate(1, 1);
    g.IntersectClip(Rect(0, 0, 2, 2));
    g.PopState();
    EXPECT_EQ(g.GetColor(), Color(1, 2, 3, 4));
    EXPECT_EQ(g.GetFont(), &font);
    EXPECT_EQ(g.GetDrawMode(), Zephra::DRAWMODE_ADDITIVE);
    EXPECT_TRUE(g.GetColorizeImages());
    EXPECT_EQ(g.mTransX, 5);
    EXPECT_EQ(g.mTransY, 6);
    EXPECT_EQ(g.GetClipRect(), Rect(5, 6, 10, 10));

    g.PopState();   // empty stack: nothing changes
    EXPECT_EQ(g.GetColor(), Color(1, 2, 3, 4));

    // A copy has the state but not the stack.
    g.PushState();
    g.SetColor(Color(7, 7, 7));
    Graphics copy(g);
    EXPECT_EQ(copy.GetColor(), Color(7, 7, 7));
    EXPECT_EQ(copy.GetClipRect(), Rect(5, 6, 10, 10));
    copy.PopState();
    EXPECT_EQ(copy.GetColor(), Color(7, 7, 7));

    // A copy on another image starts untranslated and clipped to that image.
    MemoryImage other;
    MakeFilled(other, 8, 8, 0);
    Graphics onOther(g, &other);
    EXPECT_EQ(onOther.mDestImage, &other);
    EXPECT_EQ(onOther.GetClipRect(), Rect(0, 0, 8, 8));
    EXPECT_EQ(onOther.mTransX, 0);
    EXPECT_EQ(onOther.GetFont(), &font);
    EXPECT_EQ(onOther.GetColor(), Color(7, 7, 7));
}

TEST(Graphics, ClipsNarrowAndNeverWiden) {
    MemoryImage dest;
    MakeFilled(dest, 30, 20, kBlack);
    Graphics g(&dest);
    g.SetClipRect(Rect(-10, -10, 100, 100));
    EXPECT_EQ(g.GetClipRect(), Rect(0, 0, 30, 20));
    g.IntersectClip(Rect(5, 5, 10, 10));
    EXPECT_EQ(g.GetClipRect(), Rect(5, 5, 10, 10));
    g.IntersectClip(Rect(0, 0, 100, 100));
    EXPECT_EQ(g.GetClipRect(), Rect(5, 5, 10, 10));
    g.Translate(10, 10);
    g.IntersectClip(Rect(0, 0, 3, 3));   // translated: (10, 10, 3, 3)
    EXPECT_EQ(g.GetClipRect(), Rect(10, 10, 3, 3));
    g.IntersectClip(Rect(50, 50, 3, 3));
    EXPECT_TRUE(g.GetClipRect().IsEmpty());
    g.ClearClipRect();
    EXPECT_EQ(g.GetClipRect(), Rect(0, 0, 30, 20));
}

TEST(Graphics, FillRectTranslatesClipsAndSkipsClearColour) {
    MemoryImage dest;
    MakeFilled(dest, 20, 20, kBlack);
    Graphics g(&dest);
    g.SetColor(Color(255, 0, 0, 0));
    g.FillRect(Rect(0, 0, 20, 20));
    EXPECT_EQ(CountPainted(dest, kBlack), 0);

    g.SetColor(Color(255, 0, 0));
    g.Translate(3, 4);
    g.IntersectClip(Rect(0, 0, 5, 100));
    g.FillRect(Rect(-10, 0, 100, 2));
    EXPECT_EQ(PaintedBox(dest, kBlack), Rect(3, 4, 5, 2));
    EXPECT_EQ(Px(dest, 3, 4), kRed);

    g.DrawRect(Rect(0, 10, 5, 4));   // outline inside the clip
    EXPECT_EQ(Px(dest, 3, 14), kRed);
    EXPECT_EQ(Px(dest, 7, 17), kRed);
    EXPECT_EQ(Px(dest, 5, 15), kBlack);   // hollow
    EXPECT_EQ(Px(dest, 8, 14), kBlack);
}

TEST(Graphics, DrawImageTranslatedAndClipped) {
    MemoryImage dest, src;
    MakeFilled(dest, 20, 20, kBlack);
    MakeCoded(src, 6, 6);
    Graphics g(&dest);
    g.Translate(5, 5);
    g.IntersectClip(Rect(2, 1, 2, 10));   // absolute (7, 6, 2, 10)
    g.DrawImage(&src, 0, 0);
    EXPECT_EQ(PaintedBox(dest, kBlack), Rect(7, 6, 2, 5));
    EXPECT_EQ(Px(dest, 7, 6), Code(2, 1));
    EXPECT_EQ(Px(dest, 8, 9), Code(3, 4));
    EXPECT_EQ(src.mDrawn, 1);

    // A source rectangle reaching outside the image keeps to its pixels.
    MakeFilled(dest, 20, 20, kBlack);
    Graphics h(&dest);
    h.DrawImage(&src, 0, 0, Rect(-2, -2, 10, 4));
    EXPECT_EQ(PaintedBox(dest, kBlack), Rect(2, 2, 6, 2));
    EXPECT_EQ(Px(dest, 2, 2), Code(0, 0));

    h.DrawImage(nullptr, 0, 0);   // nothing, no crash
    Graphics none(nullptr);
    none.DrawImage(&src, 0, 0);
    none.FillRect(Rect(0, 0, 5, 5));
}

TEST(Graphics, ColorizeUsesTheColourAndItsAlpha) {
    MemoryImage dest, src;
    MakeFilled(src, 2, 2, 0xFFFFFFFFu);
    MakeFilled(dest, 4, 2, kBlack);
    Graphics g(&dest);
    g.SetColor(Color(255, 0, 0, 128));
    g.DrawImage(&src, 0, 0);   // colour ignored
    EXPECT_EQ(Px(dest, 0, 0), 0xFFFFFFFFu);
    g.SetColorizeImages(true);
    g.DrawImage(&src, 2, 0);
    EXPECT_TRUE(Near(Px(dest, 2, 0), 0xFF800000u)) << std::hex << Px(dest, 2, 0);
    g.SetColorizeImages(false);
    g.DrawImage(&src, 2, 1);
    EXPECT_EQ(Px(dest, 2, 1), 0xFFFFFFFFu);
}

TEST(Graphics, DrawImageMirrorChoosesMirror) {
    MemoryImage dest, src;
    MakeCoded(src, 3, 1);
    MakeFilled(dest, 8, 3, kBlack);
    Graphics g(&dest);
    g.DrawImageMirror(&src, Rect(0, 0, 3, 1), Rect(0, 0, 3, 1), true);
    EXPECT_EQ(Px(dest, 0, 0), Code(2, 0));
    EXPECT_EQ(Px(dest, 2, 0), Code(0, 0));
    g.DrawImageMirror(&src, Rect(0, 1, 3, 1), Rect(0, 0, 3, 1), false);
    EXPECT_EQ(Px(dest, 0, 1), Code(0, 0));
    EXPECT_EQ(Px(dest, 2, 1), Code(2, 0));

    // Clipped on the left: the clipped pixel is the mirrored one (source column 2).
    g.IntersectClip(Rect(5, 0, 10, 10));
    g.DrawImageMirror(&src, Rect(4, 2, 3, 1), Rect(0, 0, 3, 1), true);
    EXPECT_EQ(Px(dest, 4, 2), kBlack);
    EXPECT_EQ(Px(dest, 5, 2), Code(1, 0));
    EXPECT_EQ(Px(dest, 6, 2), Code(0, 0));

    // Another size: the stretched mirror.
    MakeFilled(dest, 8, 3, kBlack);
    Graphics s(&dest);
    s.SetFastStretch(true);
    s.DrawImageMirror(&src, Rect(0, 0, 6, 1), Rect(0, 0, 3, 1), true);
    EXPECT_EQ(Px(dest, 0, 0), Code(2, 0));
    EXPECT_EQ(Px(dest, 5, 0), Code(0, 0));
}

TEST(Graphics, DrawLineStaysInTheClip) {
    MemoryImage dest;
    MakeFilled(dest, 20, 20, kBlack);
    Graphics g(&dest);
    g.SetColor(Color(255, 0, 0));
    g.IntersectClip(Rect(5, 0, 5, 20));
    g.DrawLine(-100, 7, 100, 7);
    EXPECT_EQ(PaintedBox(dest, kBlack), Rect(5, 7, 5, 1));
    g.DrawLine(0, 0, 4, 19);   // wholly outside
    EXPECT_EQ(CountPainted(dest, kBlack), 5);
}

TEST(Graphics, DrawStringNeedsAFontAndTranslates) {
    MemoryImage dest;
    MakeFilled(dest, 40, 20, kBlack);
    BoxFont font;
    Graphics g(&dest);
    g.SetColor(Color(255, 0, 0));
    g.DrawString(u"ab", 0, 10);
    EXPECT_EQ(CountPainted(dest, kBlack), 0);
    g.SetFont(&font);
    g.Translate(2, 1);
    g.DrawString(u"a b", 0, 8);   // baseline 9, ascent 8: top at 1
    EXPECT_EQ(PaintedBox(dest, kBlack), Rect(2, 1, 16, 10));
    EXPECT_EQ(Px(dest, 9, 5), kBlack);   // the space
}

class WordWrapTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeFilled(dest, 100, 80, kBlack);
        g.ClearClipRect();   // the image got its size after g was made
        g.SetFont(&font);
        g.SetColor(Color(255, 0, 0));
    }
    // Painted extent of the line whose box starts at row top.
    Rect Line(int top) { return PaintedBox(dest, kBlack, top, top + font.mHeight); }

    MemoryImage dest;
    BoxFont font;   // chars 6, space 4, height 10, ascent 8, line spacing 10
    Graphics g{&dest};
};

TEST_F(WordWrapTest, BreaksAndJustifies) {
    // "ab cd" is 28 wide, "ab cd ef" 44: two lines in 40.
    const std::u16string text = u"ab cd ef";
    const Rect rect(10, 5, 40, 30);
    int widest = -1;
    int h = g.WriteWordWrapped(rect, text, 2, -1, &widest);  // 10 + 2 extra a line
    EXPECT_EQ(widest, 28);
    EXPECT_EQ(Line(5), Rect(10, 5, 28, 10));
    EXPECT_EQ(Line(17), Rect(10, 17, 12, 10));
    int lines = 0;
    EXPECT_EQ(h, g.GetWordWrappedHeight(40, text, 2, &lines));
    EXPECT_EQ(lines, 2);
    EXPECT_EQ(h, 24);

    MakeFilled(dest, 100, 80, kBlack);
    g.WriteWordWrapped(rect, text, 2, 0);
    EXPECT_EQ(Line(5), Rect(16, 5, 28, 10));
    EXPECT_EQ(Line(17), Rect(24, 17, 12, 10));

    MakeFilled(dest, 100, 80, kBlack);
    g.WriteWordWrapped(rect, text, 2, 1);
    EXPECT_EQ(Line(5), Rect(22, 5, 28, 10));
    EXPECT_EQ(Line(17), Rect(38, 17, 12, 10));

    // No extra spacing by default; translation applies.
    MakeFilled(dest, 100, 80, kBlack);
    g.Translate(0, 20);
    h = g.WriteWordWrapped(Rect(0, 0, 40, 30), text);
    EXPECT_EQ(h, 20);
    EXPECT_EQ(Line(20), Rect(0, 20, 28, 10));
    EXPECT_EQ(Line(30), Rect(0, 30, 12, 10));
}

TEST_F(WordWrapTest, NewlinesLongWordsAndHeights) {
    struct Case {
        std::u16string text;
        int width;
        int lines;
        int widest;
    };
    const Case cases[] = {
        {u"ab\ncd", 100, 2, 12},
        {u"a\n\nb", 100, 3, 6},
        {u"abcdefghij", 20, 4, 18},   // 3 characters a line: abc def ghi j
        {u"xy abcdefghij z", 20, 5, 18},
        {u"a   b", 100, 1, 16},       // runs of spaces are one break
        {u"", 100, 0, 0},
        {u"word", 0, 4, 6},           // no room: one character a line
    };
    for (const Case& c : cases) {
        MakeFilled(dest, 100, 80, kBlack);
        int lines = -1;
        int measured = g.GetWordWrappedHeight(c.width, c.text, 1, &lines);
        int widest = -1;
        int drawn = g.WriteWordWrapped(Rect(0, 0, c.width, 80), c.text, 1, -1, &widest);
        EXPECT_EQ(lines, c.lines) << c.width;
        EXPECT_EQ(measured, drawn);
        EXPECT_EQ(drawn, c.lines * 11);
        EXPECT_EQ(widest, c.widest);
    }

    MakeFilled(dest, 100, 80, kBlack);
    g.WriteWordWrapped(Rect(0, 0, 20, 80), u"abcdefghij", 1, -1);
    EXPECT_EQ(Line(0).mWidth, 18);
    EXPECT_EQ(Line(33), Rect(0, 33, 6, 10));

    Graphics noFont(&dest);
    int lines = -1;
    EXPECT_EQ(noFont.WriteWordWrapped(Rect(0, 0, 50, 50), u"abc"), 0);
    EXPECT_EQ(noFont.GetWordWrappedHeight(50, u"abc", -1, &lines), 0);
    EXPECT_EQ(lines, 0);
}

// However a long text is shaped, its layout measures each character at most
// twice, no line passes the longest a line may be, and only lines that reach
// the clip are drawn.
TEST_F(WordWrapTest, LongTextsCostWorkInProportionToTheirLength) {
    auto repeat = [](const std::u16string& unit, size_t times) {
        std::u16string out;
        for (size_t i = 0; i < times; ++i) out += unit;
        return out;
    };
    struct Case {
        const char* name;
        std::u16string text;
        int width;
    };
    const Case cases[] = {
        {"short words", repeat(u"ab cd ", 20000), 90},
        {"one long word", repeat(u"x", 100000), 90},
        {"one long word, room for all", repeat(u"x", 100000), 1 << 30},
        {"words, room for all", repeat(u"abc ", 25000), 1 << 30},
        {"spaces and breaks", repeat(u"a   \n\n  bc", 10000), 90},
        {"surrogate pairs", repeat(u"\U0001F600", 30000), 90},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        font.mMeasured = 0;
        font.mDrawCalls = 0;
        int lines = 0;
        g.GetWordWrappedHeight(c.width, c.text, -1, &lines);
        EXPECT_LE(font.mMeasured, 2 * static_cast<long long>(c.text.size()) + 1);
        EXPECT_GE(static_cast<size_t>(lines), c.text.size() / (Graphics::kMaxLineLength + 1));

        font.mMeasured = 0;
        int widest = 0;
        g.WriteWordWrapped(Rect(0, 0, c.width, 80), c.text, -1, -1, &widest);
        EXPECT_LE(font.mMeasured, 2 * static_cast<long long>(c.text.size()) + 1);
        EXPECT_LE(widest, std::min<long long>(c.width, Graphics::kMaxLineLength * font.mCharWidth));
        EXPECT_LE(font.mDrawCalls, 80 / 10 + 2);  // lines of 10 in an image 80 high
    }
}

TEST(Graphics, LabelCacheMatchesDirectDrawing) {
    BoxFont font;
    MemoryImage screen, direct;
    MakeFilled(screen, 40, 20, kBlack);
    MakeFilled(direct, 40, 20, kBlack);
    const Color color(200, 100, 50, 128);

    Graphics directG(&direct);
    directG.SetFont(&font);
    directG.SetColor(color);
    directG.Translate(3, 2);
    directG.WriteWordWrapped(Rect(0, 0, 30, 12), u"ab", -1, 0);

    // The cache: a transparent image drawn through a copy of the screen's Graphics.
    Graphics screenG(&screen);
    screenG.SetFont(&font);
    screenG.SetColor(color);
    screenG.Translate(3, 2);
    MemoryImage cache;
    cache.Create(30, 12);
    {
        Graphics cacheG(screenG, &cache);
        cacheG.WriteWordWrapped(Rect(0, 0, 30, 12), u"ab", -1, 0);
    }
    EXPECT_EQ(cache.GetBits()[0], 0u);   // untouched pixels stay transparent
    screenG.SetColor(Color::White);
    screenG.DrawImage(&cache, 0, 0);

    const uint32_t expected = Px(direct, 3 + 9, 2 + 3);
    EXPECT_TRUE(Near(expected, 0xFF643219u, 1)) << std::hex << expected;   // half of the colour over black
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_TRUE(Near(Px(screen, x, y), Px(direct, x, y), 1)) << x << "," << y;
}
