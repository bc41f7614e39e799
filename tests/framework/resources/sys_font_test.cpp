#include <gtest/gtest.h>
#include <algorithm>
#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"
#include "framework/resources/sys_font.h"
#include "tests/framework/resources/resource_test_util.h"
#include "tests/support/temp_dirs.h"

using namespace Zephra;

namespace {

SysFontDesc Desc(int size, bool bold = false, int stroke = 0, int dx = 0, int dy = 0) {
    SysFontDesc d;
    d.mSize = size;
    d.mBold = bold;
    d.mStroke = stroke;
    d.mOffsetX = dx;
    d.mOffsetY = dy;
    return d;
}

void OpenDejaVu(SysFont& font, const SysFontDesc& desc) {
    std::string error;
    ASSERT_TRUE(font.Open(restest::kDejaVuSans, desc, error)) << error;
}

struct Box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;   // inclusive
    int count = 0;
    long long alphaSum = 0;
};

Box Drawn(MemoryImage& image) {
    Box b;
    const uint32_t* bits = image.GetBits();
    for (int y = 0; y < image.mHeight; ++y)
        for (int x = 0; x < image.mWidth; ++x) {
            uint32_t a = bits[y * image.mWidth + x] >> 24;
            if (a == 0) continue;
            b.x0 = std::min(b.x0, x);
            b.y0 = std::min(b.y0, y);
            b.x1 = std::max(b.x1, x);
            b.y1 = std::max(b.y1, y);
            ++b.count;
            b.alphaSum += a;
        }
    return b;
}

void Draw(Font& font, MemoryImage& image, const std::u16string& text, int x, int y,
          const Color& color = Color(255, 0, 0)) {
    Graphics g(&image);
    g.SetFont(&font);
    g.SetColor(color);
    g.DrawString(text, x, y);
}

} // namespace

TEST(SysFont, MetricsArePlausibleAndStable) {
    SysFont a, b;
    OpenDejaVu(a, Desc(14));
    OpenDejaVu(b, Desc(14));
    EXPECT_GE(a.GetAscent(), 12);
    EXPECT_LE(a.GetAscent(), 15);
    EXPECT_GE(a.GetHeight(), 15);
    EXPECT_LE(a.GetHeight(), 20);
    EXPECT_GT(a.GetHeight(), a.GetAscent());
    EXPECT_EQ(a.GetLineSpacing(), a.GetHeight());
    EXPECT_EQ(a.GetAscent(), b.GetAscent());
    EXPECT_EQ(a.GetHeight(), b.GetHeight());
    EXPECT_EQ(a.StringWidth(u"Quick brown fox"), b.StringWidth(u"Quick brown fox"));

    SysFont big;
    OpenDejaVu(big, Desc(28));
    EXPECT_GT(big.GetHeight(), a.GetHeight() * 3 / 2);
}

TEST(SysFont, WidthsAddUpCharacterByCharacter) {
    SysFont font;
    OpenDejaVu(font, Desc(14));
    EXPECT_EQ(font.StringWidth(u""), 0);
    EXPECT_GT(font.CharWidth(u'a'), 0);
    EXPECT_EQ(font.StringWidth(u"ab"), font.CharWidth(u'a') + font.CharWidth(u'b'));
    // A surrogate pair is one character; lone halves have no width.
    EXPECT_EQ(font.CharWidth(0xD83D), 0);
    EXPECT_EQ(font.StringWidth(std::u16string(1, char16_t(0xDE00))), 0);
    EXPECT_EQ(font.StringWidth(u"a\xD83D" u"b"), font.StringWidth(u"ab"));
    EXPECT_GT(font.StringWidth(u"\U0001D400"), 0);
    EXPECT_EQ(font.StringWidth(u"x\U0001D400"), font.CharWidth(u'x') + font.StringWidth(u"\U0001D400"));

    SysFont bold;
    OpenDejaVu(bold, Desc(14, true));
    EXPECT_GT(bold.StringWidth(u"Hello"), font.StringWidth(u"Hello"));
    EXPECT_EQ(bold.GetHeight(), font.GetHeight());
}

TEST(SysFont, DrawsCoverageInTheColourOnTheBaseline) {
    SysFont font;
    OpenDejaVu(font, Desc(14));
    MemoryImage image;
    image.Create(40, 40);
    Draw(font, image, u"A", 10, 25);
    Box box = Drawn(image);
    ASSERT_GT(box.count, 10);
    EXPECT_GE(box.x0, 9);
    EXPECT_LE(box.x1, 10 + font.CharWidth(u'A'));
    EXPECT_GE(box.y0, 25 - font.GetAscent());
    EXPECT_LE(box.y1, 24);   // "A" stands on the baseline
    EXPECT_GE(box.y1, 23);
    int full = 0, partial = 0;
    const uint32_t* bits = image.GetBits();
    for (int i = 0; i < 40 * 40; ++i) {
        uint32_t a = bits[i] >> 24;
        if (a == 0) continue;
        EXPECT_EQ(bits[i] & 0xFFFFFF, 0xFF0000u) << i;
        (a == 255 ? full : partial)++;
    }
    EXPECT_GT(full, 0);
    EXPECT_GT(partial, 0);
}

int gBeforeDrawCalls = 0;

TEST(SysFont, TheBeforeDrawHookRunsBeforeText) {
    SysFont font;
    OpenDejaVu(font, Desc(14));
    MemoryImage image;
    image.Create(40, 40);
    SysFont::SetBeforeDrawHook([] { ++gBeforeDrawCalls; });
    Draw(font, image, u"A", 10, 25);
    Draw(font, image, u"", 10, 25);
    SysFont::SetBeforeDrawHook(nullptr);
    Draw(font, image, u"A", 10, 25);
    EXPECT_EQ(gBeforeDrawCalls, 1);
}

TEST(SysFont, ClipTranslationAndDrawModeAreRespected) {
    SysFont font;
    OpenDejaVu(font, Desc(14));
    MemoryImage image;
    image.Create(80, 30);
    {
        Graphics g(&image);
        g.SetFont(&font);
        g.Translate(3, 0);
        g.SetClipRect(Rect(10, 5, 12, 30));   // image columns 13..24, rows 5..
        g.DrawString(u"\u2588\u2588\u2588\u2588\u2588\u2588\u2588\u2588", 0, 20);
    }
    Box box = Drawn(image);
    ASSERT_GT(box.count, 0);
    EXPECT_EQ(box.x0, 13);
    EXPECT_EQ(box.x1, 24);
    EXPECT_GE(box.y0, 5);

    // Additive onto opaque grey adds to the red channel only.
    MemoryImage grey;
    grey.Create(30, 30);
    grey.FillRect(Rect(0, 0, 30, 30), Color(100, 100, 100), DRAWMODE_NORMAL);
    {
        Graphics g(&grey);
        g.SetFont(&font);
        g.SetColor(Color(100, 0, 0));
        g.SetDrawMode(DRAWMODE_ADDITIVE);
        g.DrawString(u"H", 5, 20);
    }
    int brighter = 0;
    const uint32_t* bits = grey.GetBits();
    for (int i = 0; i < 900; ++i) {
        EXPECT_EQ(bits[i] & 0xFF00FFFFu, 0xFF006464u) << i;
        if (((bits[i] >> 16) & 0xFF) > 100) ++brighter;
    }
    EXPECT_GT(brighter, 10);

    // Off the image, empty text, no font: nothing, no fault.
    MemoryImage small;
    small.Create(10, 10);
    Draw(font, small, u"Hello", -500, 5);
    Draw(font, small, u"Hello", 5, 500);
    Draw(font, small, u"Hello", 2000000000, 5);
    Draw(font, small, u"", 0, 8);
    EXPECT_EQ(Drawn(small).count, 0);
}

// A font keeps what it made of strings it drew; a string drawn again (the
// same place and clip, any colour) must look as a font that never drew it
// before makes it, and so must everything after many other strings.
TEST(SysFont, StringsDrawnAgainLookAsWhenFirstMade) {
    struct Step {
        std::u16string text;
        int x, y;
        Rect clip;
        Color color;
    };
    const Rect all(0, 0, 400, 60);
    std::vector<Step> steps = {
        {u"Career", 10, 30, all, Color(255, 0, 0)},
        {u"Career", 10, 30, all, Color(0, 0, 255, 128)},    // the same coverage, another colour
        {u"Career", 11, 30, all, Color(255, 0, 0)},         // moved
        {u"Career", 10, 30, Rect(0, 0, 30, 60), Color(255, 0, 0)},   // clipped
        {u"Careers", 10, 30, all, Color(255, 0, 0)},        // other text where it was
        {u"Caree", 10, 30, all, Color(255, 0, 0)},
    };
    for (int i = 0; i < 60; ++i) steps.push_back({u"line " + std::u16string(1, char16_t(u'A' + i % 26)), 5, 20 + i % 7, all, Color(0, 128, 0)});
    steps.push_back({u"Career", 10, 30, all, Color(255, 0, 0)});   // long since pushed out
    const std::u16string wide(120, u'\u2588');                      // too large to keep
    steps.push_back({wide, -30, 40, all, Color(9, 9, 9)});
    steps.push_back({wide, -30, 40, all, Color(200, 9, 9)});

    SysFont kept;
    OpenDejaVu(kept, Desc(28));
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& st = steps[i];
        SysFont fresh;
        OpenDejaVu(fresh, Desc(28));
        MemoryImage a, b;
        a.Create(400, 60);
        b.Create(400, 60);
        for (auto [font, image] : {std::pair<SysFont*, MemoryImage*>{&kept, &a}, {&fresh, &b}}) {
            Graphics g(image);
            g.SetFont(font);
            g.SetColor(st.color);
            g.SetClipRect(st.clip);
            g.DrawString(st.text, st.x, st.y);
        }
        ASSERT_GT(Drawn(b).count, 0) << i;
        ASSERT_TRUE(std::equal(a.GetBits(), a.GetBits() + 400 * 60, b.GetBits())) << "step " << i;
    }
}

TEST(SysFont, StrokeAndOffsetVariantsShareTheLayout) {
    SysFont plain, stroke, shadow;
    OpenDejaVu(plain, Desc(14));
    OpenDejaVu(stroke, Desc(14, false, 2));
    OpenDejaVu(shadow, Desc(14, false, 0, 2, 3));
    EXPECT_EQ(stroke.StringWidth(u"Hello"), plain.StringWidth(u"Hello"));
    EXPECT_EQ(shadow.StringWidth(u"Hello"), plain.StringWidth(u"Hello"));
    EXPECT_EQ(stroke.GetAscent(), plain.GetAscent());
    EXPECT_EQ(shadow.GetHeight(), plain.GetHeight());

    MemoryImage a, b, c;
    for (MemoryImage* m : {&a, &b, &c}) m->Create(80, 40);
    Draw(plain, a, u"Hello", 10, 25);
    Draw(stroke, b, u"Hello", 10, 25);
    Draw(shadow, c, u"Hello", 10, 25);
    Box pa = Drawn(a), sb = Drawn(b), sc = Drawn(c);
    EXPECT_GT(sb.alphaSum, pa.alphaSum * 3 / 2);
    EXPECT_LE(sb.x0, pa.x0 - 1);
    EXPECT_GE(sb.x1, pa.x1 + 1);
    EXPECT_LE(sb.y0, pa.y0 - 1);
    EXPECT_GE(sb.y1, pa.y1 + 1);
    // The offset variant is the plain picture moved by (2, 3).
    const uint32_t* pb = a.GetBits();
    const uint32_t* pc = c.GetBits();
    for (int y = 0; y < 37; ++y)
        for (int x = 0; x < 78; ++x) ASSERT_EQ(pb[y * 80 + x], pc[(y + 3) * 80 + x + 2]) << x << "," << y;
    EXPECT_EQ(sc.count, pa.count);
}

TEST(SysFont, BadFilesAndSettingsFail) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.File("junk.ttf"), std::string(300, 'x'));
    restest::ScopedFiles files(dir.Path());
    SysFont font;
    std::string error;
    EXPECT_FALSE(font.Open("missing.ttf", Desc(14), error));
    EXPECT_NE(error.find("missing.ttf"), std::string::npos);
    EXPECT_FALSE(font.Open("junk.ttf", Desc(14), error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(font.Open(restest::kDejaVuSans, Desc(0), error));
    EXPECT_FALSE(font.Open(restest::kDejaVuSans, Desc(14, false, -1), error));
    EXPECT_FALSE(font.Open(restest::kDejaVuSans, Desc(14, false, 0, 500, 0), error));
    // A font that failed to open measures nothing.
    EXPECT_EQ(font.StringWidth(u"abc"), 0);
    EXPECT_EQ(font.GetHeight(), 0);
}

TEST(SysFont, WordWrappedTextThroughGraphics) {
    SysFont font;
    OpenDejaVu(font, Desc(14));
    MemoryImage image;
    image.Create(120, 120);
    Graphics g(&image);
    g.SetFont(&font);
    g.SetColor(Color(0, 0, 255));
    const std::u16string text = u"one two three four five six";
    int lines = 0;
    int height = g.GetWordWrappedHeight(70, text, -1, &lines);
    EXPECT_GE(lines, 3);
    EXPECT_EQ(height, lines * font.GetLineSpacing());
    int widest = 0;
    EXPECT_EQ(g.WriteWordWrapped(Rect(5, 10, 70, 100), text, -1, -1, &widest), height);
    EXPECT_LE(widest, 70);
    EXPECT_GT(widest, 0);
    Box box = Drawn(image);
    EXPECT_GE(box.x0, 4);
    EXPECT_LE(box.x1, 5 + 70);
    EXPECT_GE(box.y0, 10);
    EXPECT_LE(box.y1, 10 + height);
    EXPECT_GT(box.y1 - box.y0, (lines - 1) * font.GetLineSpacing());
}
