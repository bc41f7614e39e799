#include "game/ui/ui_slider.h"

#include <gtest/gtest.h>

#include "game/ui/ui_text.h"
#include "tests/game/ui/ui_kit_fixture.h"

namespace {

using uitest::UiKitTest;

constexpr uint32_t kFill = 0xFFFF0000;
constexpr uint32_t kEmpty = 0xFF0000FF;
constexpr uint32_t kThumb = 0xFFFFFF00;

// A slider at (10, 10), 120 x 20: a gray back, a bar of ten 10-pixel
// segments from x 10 and a 10-wide thumb whose origin is x 10.
std::string SliderXml(const std::string& track, bool parts = true) {
    std::string xml = "<element type='uxslider' name='s' x='10' y='10' width='120' height='20' " + track + ">";
    if (parts) {
        xml += "<element type='uxtext' name='back' x='0' y='0' width='120' height='20'>"
               "<texture id='normal' texture='images\\gray.png' u='0' v='0'/></element>"
               "<element type='uxbar' name='bar' x='10' y='5' width='100' height='10' seg_width='10'>"
               "<texture id='fill' texture='images\\red.png' u='0' v='0'/>"
               "<texture id='empty' texture='images\\blue.png' u='0' v='0'/></element>"
               "<element type='uxtext' name='thumb' x='10' y='0' width='10' height='20'>"
               "<texture id='normal' texture='images\\yellow.png' u='0' v='0'/></element>";
    }
    return xml + "</element>";
}

class UiSliderTest : public UiKitTest {
protected:
    UiSlider* MakeSlider(const std::string& track, int max, int value, bool parts = true) {
        auto* slider = new UiSlider(nullptr);
        slider->Load(Parse(SliderXml(track, parts)), app.get());
        slider->SetMax(max);
        slider->SetValue(value);
        return Place(slider);
    }
};

TEST_F(UiSliderTest, ClicksInsideTheTrackSetTheValue) {
    const std::string plain = "mz_x='10' mz_y='0' mz_width='100' mz_height='10'";
    struct Case {
        const char* what;
        std::string track;
        int x, y;           // inside the slider
        int value;          // starting from 3 of 10
        bool parts = true;
    } cases[] = {
        {"the middle of the track", plain, 60, 5, 5},
        {"left of the track", plain, 5, 5, 3},
        {"below the track", plain, 60, 15, 3},
        {"the track's right end is inside", plain, 110, 5, 10},
        {"left dead zone", plain + " mz_dz1='20'", 15, 5, 0},
        {"right dead zone", plain + " mz_dz2='20'", 105, 5, 10},
        {"a click on the bar reaches the slider", plain, 50, 5, 4},
        {"no track width changes nothing", "mz_x='10' mz_y='0' mz_width='0' mz_height='10'", 10, 5, 3},
        {"negative track width", "mz_x='10' mz_y='0' mz_width='-5' mz_height='10'", 8, 5, 3},
        {"without back, bar and thumb", plain, 60, 5, 5, false},
    };
    for (const Case& c : cases) {
        UiSlider* slider = MakeSlider(c.track, 10, 3, c.parts);
        Click(10 + c.x, 10 + c.y);
        Step();
        EXPECT_EQ(slider->GetValue(), c.value) << c.what;
        Drop(slider);
    }
}

TEST_F(UiSliderTest, ThumbAndBarShowTheValue) {
    struct Case {
        const char* what;
        int max, value;
        int thumbX;         // absolute left edge of the thumb
        int shownValue;
        int probeX;         // a bar pixel away from the thumb
        uint32_t probe;
    } cases[] = {
        {"value 0 at the thumb origin", 10, 0, 20, 0, 60, kEmpty},
        {"half way", 10, 5, 65, 5, 40, kFill},
        {"half way, upper half empty", 10, 5, 65, 5, 100, kEmpty},
        {"max: right edge at width minus origin", 10, 10, 110, 10, 100, kFill},
        {"above max is held at max", 10, 15, 110, 10, 100, kFill},
        {"below 0 is held at 0", 10, -3, 20, 0, 40, kEmpty},
        {"max 0 leaves the thumb where it was loaded", 0, 0, 20, 0, 60, kEmpty},
    };
    for (const Case& c : cases) {
        UiSlider* slider = MakeSlider("mz_x='10' mz_y='0' mz_width='100' mz_height='20'", c.max, c.value);
        Step();
        EXPECT_EQ(slider->GetValue(), c.shownValue) << c.what;
        EXPECT_EQ(slider->GetThumb()->GetAbsPos().mX, c.thumbX) << c.what;
        EXPECT_EQ(Pixel(c.thumbX + 5, 12), kThumb) << c.what;
        EXPECT_EQ(Pixel(c.probeX, 20), c.probe) << c.what;
        Drop(slider);
    }
}

} // namespace
