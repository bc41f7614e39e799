#include "game/ui/ui_check_box.h"

#include <gtest/gtest.h>

#include "tests/game/ui/ui_kit_fixture.h"

namespace {

using uitest::UiKitTest;

class UiCheckBoxTest : public UiKitTest {
protected:
    // A box at (20, 20), 16 square, with the given texture elements.
    UiCheckBox* MakeBox(const std::string& textures) {
        auto* box = new UiCheckBox(nullptr);
        box->Load(Parse("<element type=\"uxcheckbox\" name=\"c\" x=\"20\" y=\"20\" width=\"16\" height=\"16\">" +
                        textures + "</element>"),
                  app.get());
        return Place(box);
    }
};

TEST_F(UiCheckBoxTest, DrawsTheTextureOfItsStateAndHover) {
    const std::string all =
        "<texture id=\"normal\" texture=\"images\\red.png\" u=\"0\" v=\"0\"/>"
        "<texture id=\"over\" texture=\"images\\green.png\" u=\"0\" v=\"0\"/>"
        "<texture id=\"disabled\" texture=\"images\\blue.png\" u=\"0\" v=\"0\"/>"
        "<texture id=\"check_normal\" texture=\"images\\yellow.png\" u=\"0\" v=\"0\"/>"
        "<texture id=\"check_over\" texture=\"images\\cyan.png\" u=\"0\" v=\"0\"/>"
        "<texture id=\"check_disabled\" texture=\"images\\magenta.png\" u=\"0\" v=\"0\"/>";
    const std::string plain =
        "<texture id=\"normal\" texture=\"images\\red.png\" u=\"0\" v=\"0\"/>"
        "<texture id=\"check_normal\" texture=\"images\\yellow.png\" u=\"0\" v=\"0\"/>"
        "<texture id=\"check_over\" texture=\"images\\no_such.png\" u=\"0\" v=\"0\"/>";
    struct Case {
        const char* what;
        const std::string* textures;
        bool checked, over, disabled;
        uint32_t pixel;
    } cases[] = {
        {"unchecked", &all, false, false, false, 0xFFFF0000},
        {"unchecked over", &all, false, true, false, 0xFF00FF00},
        {"unchecked disabled", &all, false, true, true, 0xFF0000FF},
        {"checked", &all, true, false, false, 0xFFFFFF00},
        {"checked over", &all, true, true, false, 0xFF00FFFF},
        {"checked disabled", &all, true, false, true, 0xFFFF00FF},
        {"over without texture shows normal", &plain, false, true, false, 0xFFFF0000},
        {"over texture that is missing shows normal", &plain, true, true, false, 0xFFFFFF00},
        {"disabled without texture draws nothing", &plain, true, false, true, 0xFF000000},
    };
    for (const Case& c : cases) {
        UiCheckBox* box = MakeBox(*c.textures);
        box->SetChecked(c.checked);
        box->SetDisabled(c.disabled);
        wm()->MouseMove(c.over ? 28 : 100, 28);
        EXPECT_EQ(Pixel(28, 28), c.pixel) << c.what;
        EXPECT_EQ(Pixel(19, 28), 0xFF000000u) << c.what;
        Drop(box);
    }
    EXPECT_EQ(app->GetTextureTable()->LoadedCount(), 0u) << "textures released with the boxes";

    // A texture handed in is borrowed: the box leaves its count alone.
    Zephra::MemoryImage* lent = app->GetTextureTable()->Acquire("images\\green.png");
    UiCheckBox* box = MakeBox("<texture id=\"normal\" texture=\"images\\green.png\" u=\"0\" v=\"0\"/>");
    box->SetTexture(UiCheckBox::kOver, false, lent, Zephra::Rect(0, 0, 16, 16));
    EXPECT_EQ(app->GetTextureTable()->UseCount("images\\green.png"), 2);
    Drop(box);
    EXPECT_EQ(app->GetTextureTable()->UseCount("images\\green.png"), 1);
    app->GetTextureTable()->Release("images\\green.png");
}

TEST_F(UiCheckBoxTest, ReleaseOverTheBoxFlipsIt) {
    enum Step { kClick, kDragOff, kDisableWhileHeld };
    struct Case {
        const char* what;
        std::vector<Step> steps;
        bool checked;
    } cases[] = {
        {"one click checks", {kClick}, true},
        {"two clicks leave it as it was", {kClick, kClick}, false},
        {"release after dragging off", {kDragOff}, false},
        {"click then drag off", {kClick, kDragOff}, true},
        {"disabled while the button was held", {kDisableWhileHeld}, false},
    };
    for (const Case& c : cases) {
        UiCheckBox* box = MakeBox("");
        for (Step s : c.steps) {
            box->SetDisabled(false);
            wm()->MouseMove(28, 28);
            wm()->MouseDown(28, 28, 1);
            if (s == kDragOff) wm()->MouseMove(100, 100);
            if (s == kDisableWhileHeld) box->SetDisabled(true);
            const int x = s == kDragOff ? 100 : 28;
            wm()->MouseUp(x, x, 1);
        }
        EXPECT_EQ(box->IsChecked(), c.checked) << c.what;
        Drop(box);
    }
}

} // namespace
