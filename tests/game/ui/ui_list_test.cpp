#include "game/ui/ui_list.h"

#include <gtest/gtest.h>

#include "game/ui/ui_button.h"
#include "game/ui/ui_scroll.h"
#include "tests/game/ui/ui_kit_fixture.h"
#include "tests/support/test_font.h"

namespace {

using uitest::UiKitTest;

constexpr uint32_t kBlack = 0xFF000000;
constexpr uint32_t kGray = 0xFF808080;      // background
constexpr uint32_t kBlue = 0xFF0000FF;      // selection
constexpr uint32_t kRed = 0xFFFF0000;       // text
constexpr uint32_t kWhite = 0xFFFFFFFF;     // disabled text
constexpr uint32_t kGreen = 0xFF00FF00;     // check icon
constexpr uint32_t kMagenta = 0xFFFF00FF;   // scroll slider

// A list at (10, 10), 100 wide, with a 10-wide scroll bar at its right edge:
// "up" and "down" 10 high, a "slider" 20 high. line_spacing is base 16.
std::string ListXml(int height, const char* lineSpacing, bool withScroll = true) {
    std::string xml = "<element type='uxlist' name='l' x='10' y='10' width='100' height='" + std::to_string(height) +
                      "' line_spacing='" + lineSpacing + "' left='4' sel_color='0xFF0000FF'>"
                      "<texture id='normal' texture='images\\gray.png' u='0' v='0'/>"
                      "<texture id='check' texture='images\\check.png' u='0' v='0'/>";
    if (withScroll) {
        xml += "<element type='uxscroll' name='scroll' x='0' y='0' width='10' height='10'>"
               "<element type='uxbutton' name='up' x='5' y='5' width='10' height='10'>"
               "<texture id='normal' texture='images\\yellow.png' u='0' v='0'/></element>"
               "<element type='uxbutton' name='down' x='0' y='0' width='10' height='10'>"
               "<texture id='normal' texture='images\\cyan.png' u='0' v='0'/></element>"
               "<element type='uxbutton' name='slider' x='0' y='0' width='10' height='20'>"
               "<texture id='normal' texture='images\\magenta.png' u='0' v='0'/></element>"
               "</element>";
    }
    return xml + "</element>";
}

class UiListTest : public UiKitTest {
protected:
    UiList* MakeList(int height, const char* lineSpacing, int items, bool withScroll = true) {
        auto* list = new UiList(nullptr);
        list->Load(Parse(ListXml(height, lineSpacing, withScroll)), app.get());
        list->SetTextAttr(kTextNormal, &font, Zephra::Color(kRed), Zephra::Color(kWhite));
        for (int i = 0; i < items; ++i) list->AddItem(u"ab");
        return Place(list);
    }
    testsupport::BoxFont font;
};

TEST_F(UiListTest, ScrollRangeFollowsSizeAndItems) {
    enum Action { kNone, kClear, kAddFour };
    struct Case {
        const char* what;
        int height;
        const char* lineSpacing;
        int items;
        Action action;
        int visibleLines, max;
        int sliderY;        // absolute; -1 while hidden
    } cases[] = {
        {"100 high, 20 a line, 10 items: the sixth line is cut", 100, "14", 10, kNone, 6, 5, 32},
        {"as many items as fit", 100, "14", 6, kNone, 6, 1, 80},
        {"fewer items than lines", 100, "14", 3, kNone, 6, 0, -1},
        {"added items widen the range", 100, "14", 3, kAddFour, 6, 2, 20},
        {"clear empties the range", 100, "14", 10, kClear, 6, 0, -1},
        {"90 high", 90, "14", 10, kNone, 5, 6, 28},
        {"no line height", 100, "0", 10, kNone, 0, 0, -1},
        {"negative line height", 100, "-1", 10, kNone, 0, 0, -1},
    };
    for (const Case& c : cases) {
        UiList* list = MakeList(c.height, c.lineSpacing, c.items);
        UiScroll* scroll = list->GetScroll();
        ASSERT_NE(scroll, nullptr) << c.what;
        scroll->SetPosition(1);
        Step();
        if (c.action == kClear) list->Clear();
        for (int i = 0; c.action == kAddFour && i < 4; ++i) list->AddItem(u"more");
        Step();
        EXPECT_EQ(list->GetVisibleLines(), c.visibleLines) << c.what;
        EXPECT_EQ(scroll->GetMax(), c.max) << c.what;
        EXPECT_EQ(scroll->mUp->mDisabled, c.max == 0) << c.what;
        EXPECT_EQ(scroll->mDown->mDisabled, c.max == 0) << c.what;
        EXPECT_EQ(scroll->mSlider->mVisible, c.sliderY >= 0) << c.what;
        if (c.sliderY >= 0) {
            EXPECT_EQ(scroll->mSlider->GetAbsPos().mY, c.sliderY) << c.what;
        }
        if (c.action == kClear) {
            EXPECT_EQ(list->GetFirstVisible(), 0) << c.what;
        }
        Drop(list);
    }
}

TEST_F(UiListTest, ClicksSelectAndScroll) {
    // Rows are 20 high from y 10; the list is 90 high, so row 4 is cut.
    enum Where { kRow, kDownButton, kUpButton };
    struct Case {
        const char* what;
        const char* lineSpacing;
        int items;
        std::vector<std::pair<Where, int>> clicks;   // row (or repeat count) per click
        int selected, firstVisible;
    } cases[] = {
        {"a click selects its row", "14", 10, {{kRow, 2}}, 2, 0},
        {"a click below the last item keeps the selection", "14", 2, {{kRow, 1}, {kRow, 3}}, 1, 0},
        {"the cut-off row selects and scrolls by one", "14", 10, {{kRow, 4}}, 4, 1},
        {"down moves one line", "14", 10, {{kDownButton, 2}}, 0, 2},
        {"down stops at max", "14", 10, {{kDownButton, 9}}, 0, 6},
        {"up at 0 does nothing", "14", 10, {{kUpButton, 1}}, 0, 0},
        {"down then up", "14", 10, {{kDownButton, 3}, {kUpButton, 1}}, 0, 2},
        {"a row of a scrolled list", "14", 10, {{kDownButton, 2}, {kRow, 1}}, 3, 2},
        {"no line height ignores clicks", "0", 10, {{kRow, 2}}, 0, 0},
    };
    for (const Case& c : cases) {
        UiList* list = MakeList(90, c.lineSpacing, c.items);
        for (auto [where, n] : c.clicks) {
            if (where == kRow) Click(50, 10 + n * 20 + 5);
            for (int i = 0; where == kDownButton && i < n; ++i) Click(105, 95);
            for (int i = 0; where == kUpButton && i < n; ++i) Click(105, 15);
            Step();
        }
        EXPECT_EQ(list->GetSelected(), c.selected) << c.what;
        EXPECT_EQ(list->GetFirstVisible(), c.firstVisible) << c.what;
        Drop(list);
    }
}

TEST_F(UiListTest, DrawsRowsSelectionAndCheck) {
    // Row r spans y 10 + 20r .. +19; its text (from x 14) fills y 15 + 20r .. 24 + 20r.
    struct Case {
        const char* what;
        const char* lineSpacing;
        int selected, checked, position;
        bool disabled;
        bool scaled;
        int x, y;
        uint32_t pixel;
    } cases[] = {
        {"background", "14", 0, -1, 0, false, false, 60, 35, kGray},
        {"text of a row", "14", 0, -1, 0, false, false, 15, 35, kRed},
        {"selected row filled to the scroll bar", "14", 1, -1, 0, false, false, 60, 35, kBlue},
        {"selection reaches the scroll bar", "14", 1, -1, 0, false, false, 99, 45, kBlue},
        {"selection stops at the scroll bar", "14", 1, -1, 0, false, false, 100, 45, kGray},
        {"selected text stays in its colour", "14", 1, -1, 0, false, false, 15, 35, kRed},
        {"check icon centred in its row", "14", 0, 1, 0, false, false, 11, 33, kGreen},
        {"check icon is 16 high", "14", 0, 1, 0, false, false, 11, 31, kGray},
        {"disabled text colour", "14", 0, -1, 0, true, false, 15, 35, kWhite},
        {"scrolled: the selected line moves up", "14", 3, -1, 2, false, false, 60, 35, kBlue},
        {"scrolled: the slider moves down", "14", 0, -1, 3, false, false, 105, 50, kMagenta},
        {"no line height draws no rows", "0", 0, -1, 0, false, false, 15, 15, kGray},
        {"scaled list draws its rows through a cache", "14", 1, -1, 0, false, true, 60, 75, kBlue},
    };
    for (const Case& c : cases) {
        UiList* list = MakeList(90, c.lineSpacing, 10);
        list->SetSelected(c.selected);
        list->SetCheckedItem(c.checked);
        list->GetScroll()->SetPosition(c.position);
        list->SetDisabled(c.disabled);
        if (c.scaled) list->mScale = 2.0f;
        Step();
        EXPECT_EQ(Pixel(c.x, c.y), c.pixel) << c.what;
        Drop(list);
    }
}

TEST_F(UiListTest, ScrollBarArrowsFollowItsMax) {
    struct Case {
        const char* what;
        std::vector<int> maxes;
        bool arrowsEnabled;
        uint32_t sliderPixel;
    } cases[] = {
        {"max 0 disables the arrows and hides the slider", {0}, false, kGray},
        {"max 3 enables and shows", {3}, true, kMagenta},
        {"back to 3 after 0", {3, 0, 3}, true, kMagenta},
        {"negative max counts as none", {-2}, false, kGray},
    };
    for (const Case& c : cases) {
        UiList* list = MakeList(90, "14", 0);
        UiScroll* scroll = list->GetScroll();
        for (int max : c.maxes) scroll->SetMax(max);
        Step(2);
        EXPECT_EQ(scroll->mUp->mDisabled, !c.arrowsEnabled) << c.what;
        EXPECT_EQ(scroll->mDown->mDisabled, !c.arrowsEnabled) << c.what;
        EXPECT_FALSE(scroll->mDisabled) << c.what;
        EXPECT_EQ(Pixel(105, 25), c.sliderPixel) << c.what;
        Drop(list);
    }
}

TEST_F(UiListTest, WithoutScrollBarOrButtons) {
    // A list without its scroll child and a scroll bar without buttons work
    // with what they have.
    UiList* list = MakeList(90, "14", 10, false);
    EXPECT_EQ(list->GetScroll(), nullptr);
    Click(50, 10 + 4 * 20 + 5);
    EXPECT_EQ(list->GetSelected(), 4);
    EXPECT_EQ(list->GetFirstVisible(), 1);
    Step();
    EXPECT_EQ(Pixel(108, 85), kBlue) << "without a scroll bar the selection spans the list";
    Drop(list);

    auto* bare = new UiScroll(nullptr);
    bare->Load(Parse("<element type='uxscroll' name='s' x='0' y='0' width='10' height='50'/>"), app.get());
    Place(bare);
    bare->SetMax(4);
    bare->SetPosition(9);
    bare->ButtonPress(UiScroll::kDown);
    Step();
    EXPECT_EQ(bare->GetPosition(), 4);
    Drop(bare);
}

// Sizes at the ends of the integers are kept within the largest picture
// side when read, so the rows' arithmetic stays defined: the list lays out,
// scrolls, takes clicks and draws.
TEST_F(UiListTest, ExtremeSizesAreKeptWithinAPictureSide) {
    struct Case {
        const char* what;
        int height;
        const char* lineSpacing;
        int layoutHeight;
    } cases[] = {
        {"the largest height", 2147483647, "1", kMaxCoordinate},
        {"the largest height and spacing", 2147483647, "7FFFFFFF", kMaxCoordinate},
        {"the smallest height", -2147483647 - 1, "14", -kMaxCoordinate},
        {"a negative spacing", 90, "80000000", 90},
    };
    for (const Case& c : cases) {
        UiList* list = MakeList(c.height, c.lineSpacing, 40);
        EXPECT_EQ(list->GetLayoutRect().mHeight, c.layoutHeight) << c.what;
        Click(50, 15);
        if (list->GetScroll() != nullptr) list->GetScroll()->SetPosition(39);
        Step();
        Pixel(20, 20);
        Drop(list);
    }
}

} // namespace
