#include <gtest/gtest.h>

#include "game/app/tables.h"
#include "game/ui/ui_bar.h"
#include "game/ui/ui_text.h"
#include "tests/game/ui/ui_fixture.h"
#include "tests/support/test_font.h"

namespace {

using uitest::UiTest;

class UiTextBarTest : public UiTest {
protected:
    template <class T>
    T* Make(const std::string& xml) {
        docs.push_back(std::make_unique<XmlDocument>());
        EXPECT_TRUE(docs.back()->load_string(xml.c_str())) << xml;
        T* control;
        if constexpr (std::is_same_v<T, UiText>) {
            control = new UiText(nullptr, app.get());
        } else {
            control = new T(nullptr);
        }
        control->Load(docs.back()->document_element(), app.get());
        wm()->AddWidget(control);
        return control;
    }
    void Drop(UiControl* control) {
        wm()->RemoveWidget(control);
        delete control;
    }
    std::vector<std::unique_ptr<XmlDocument>> docs;
};

TEST_F(UiTextBarTest, VariablesFillTheTextAndStayCurrent) {
    TextTable* vars = app->GetTextVars();
    struct Case {
        const char* what;
        const char16_t* source;
        const char16_t* shown;
    } cases[] = {
        {"variable", u"Day %currentday%", u"Day 7"},
        {"two variables", u"%currentday%/%money%$", u"7/-5$"},
        {"unknown variable is empty", u"[%nothing%]", u"[]"},
        {"open variable is dropped", u"ab%cd", u"ab"},
        {"no variables", u"plain", u"plain"},
    };
    for (const Case& c : cases) {
        vars->SetNumber("currentday", 7);
        vars->SetNumber("money", -5);
        UiText* text = Make<UiText>("<element x='0' y='0' width='50' height='10' effect='marker'/>");
        text->SetLabel(c.source);
        Step();
        EXPECT_EQ(text->GetShownText(), c.shown) << c.what;
        EXPECT_TRUE(uitest::TakeMark(text)) << c.what;
        Step();
        EXPECT_FALSE(uitest::TakeMark(text)) << c.what << ": nothing changed";
        vars->SetNumber("currentday", 8);
        Step();
        const bool uses = std::u16string(c.source).find(u"%currentday%") != std::u16string::npos;
        EXPECT_EQ(uitest::TakeMark(text), uses) << c.what << ": one onchange per change";
        Step();
        EXPECT_FALSE(uitest::TakeMark(text)) << c.what;
        Drop(text);
    }
    EXPECT_TRUE(vars->Has("nothing"));
}

TEST_F(UiTextBarTest, FrameAnimation) {
    TextureTable* textures = app->GetTextureTable();
    textures->Define("+0anim", "images\\red.png");
    textures->Define("+1anim", "images\\green.png");
    textures->Define("+2anim", "images\\blue.png");
    struct Case {
        const char* what;
        const char* attrs;
        const char* texture;
        bool hideAt25;
        std::vector<int> frames;  // after 5, 15, 25, 35 updates
    } cases[] = {
        {"cycles", "fps='10'", "+0anim", false, {0, 1, 2, 0}},
        {"oneshot holds the last", "fps='10' oneshot='1'", "+0anim", false, {0, 1, 2, 2}},
        {"oneshot hidden restarts", "fps='10' oneshot='1'", "+0anim", true, {0, 1, 0, 0}},
        {"fps 0 does not animate", "fps='0'", "+0anim", false, {0, 0, 0, 0}},
        {"negative fps does not animate", "fps='-3'", "+0anim", false, {0, 0, 0, 0}},
        {"bare plus has one frame", "fps='10'", "+", false, {0, 0, 0, 0}},
    };
    const uint32_t colours[] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu};
    for (const Case& c : cases) {
        textures->Define("+", "images\\red.png");
        UiText* text = Make<UiText>(std::string("<element x='0' y='0' width='20' height='20' ") + c.attrs +
                                    "><texture id='normal' texture='" + c.texture + "' u='0' v='0'/></element>");
        std::vector<int> frames;
        for (int n = 5; n <= 35; n += 10) {
            Step(n == 5 ? 5 : 10);
            if (n == 25 && c.hideAt25) {
                text->SetVisible(false);
                Step();
            }
            frames.push_back(text->mCurrentFrame);
            if (text->mVisible) {
                EXPECT_EQ(Pixel(10, 10), colours[text->mCurrentFrame]) << c.what << " at " << n;
            }
        }
        EXPECT_EQ(frames, c.frames) << c.what;
        Drop(text);
    }
    // 10 frames a second at 10 ms a step: one frame every 10 steps (ten float
    // steps of 0.01 s fall just short of 0.1 s, so the first comes at 11).
    UiText* text = Make<UiText>("<element x='0' y='0' width='20' height='20' fps='10'>"
                                "<texture id='normal' texture='+0anim' u='0' v='0'/></element>");
    std::vector<int> advancedAt;
    for (int step = 1; step <= 30; ++step) {
        const int before = text->mCurrentFrame;
        Step();
        if (text->mCurrentFrame != before) advancedAt.push_back(step);
    }
    EXPECT_EQ(advancedAt, (std::vector<int>{11, 21}));
    Drop(text);
    EXPECT_EQ(textures->LoadedCount(), 0u);
}

TEST_F(UiTextBarTest, VerticalAlignment) {
    testsupport::BoxFont font(4, 2, 6, 5);
    struct Case {
        const char* what;
        const char* valign;
        int firstInkRow;
    } cases[] = {
        {"default top", "-1", 0},
        {"centred", "0", 7},
        {"bottom", "1", 14},
    };
    for (const Case& c : cases) {
        UiText* text = Make<UiText>(std::string("<element x='0' y='0' width='40' height='20' valign='") + c.valign + "'/>");
        text->SetLabel(u"ab");
        text->SetTextAttr(kTextNormal, &font, Zephra::Color(0xFFFFFFFFu), Zephra::Color(0xFF808080u));
        Step();
        int first = -1;
        for (int y = 0; y < 20 && first < 0; ++y)
            if (Pixel(1, y) == 0xFFFFFFFFu) first = y;
        EXPECT_EQ(first, c.firstInkRow) << c.what;
        Drop(text);
    }
}

TEST_F(UiTextBarTest, BarSegments) {
    struct Case {
        const char* what;
        int segWidth, max, value;
        const char* expected;  // per 10-pixel column: F fill, E empty, - nothing
    } cases[] = {
        {"value 1 of 4 fills three of ten", 10, 4, 1, "FFFEEEEEEE"},
        {"full", 10, 4, 4, "FFFFFFFFFF"},
        {"empty", 10, 4, 0, "EEEEEEEEEE"},
        {"max 0 with a value fills all", 10, 0, 3, "FFFFFFFFFF"},
        {"max 0 and value 0 is empty", 10, 0, 0, "EEEEEEEEEE"},
        {"wide segments", 50, 2, 1, "FFFFFEEEEE"},
        {"segment width 0 draws nothing", 0, 4, 1, "----------"},
        {"negative segment width draws nothing", -10, 4, 1, "----------"},
    };
    for (const Case& c : cases) {
        UiBar* bar = Make<UiBar>("<element x='0' y='0' width='100' height='10' seg_width='" +
                                 std::to_string(c.segWidth) +
                                 "'><texture id='fill' texture='red' u='0' v='0'/>"
                                 "<texture id='empty' texture='grey' u='0' v='0'/></element>");
        bar->SetMax(c.max);
        bar->SetValue(c.value);
        Step();
        std::string seen;
        for (int i = 0; i < 10; ++i) {
            uint32_t p = Pixel(i * 10 + 5, 5);
            seen += p == 0xFFFF0000u ? 'F' : p == 0xFF808080u ? 'E' : '-';
        }
        EXPECT_EQ(seen, c.expected) << c.what;
        Drop(bar);
    }
}

} // namespace
