#include "game/ui/ui_button.h"

#include <gtest/gtest.h>

#include "game/app/tables.h"
#include "tests/game/ui/ui_fixture.h"
#include "tests/support/test_font.h"

namespace {

using uitest::UiTest;

// Every listener call, as text.
class RecordingListener : public Zephra::ButtonListener {
public:
    void ButtonPressWithCount(intptr_t id, int count) override { Log("press", id, count); }
    void ButtonDepress(intptr_t id) override { Log("depress", id, 0); }
    void ButtonDownTick(intptr_t id) override { Log("tick", id, 0); }
    void ButtonMouseEnter(intptr_t id) override { Log("enter", id, 0); }
    void ButtonMouseLeave(intptr_t id) override { Log("leave", id, 0); }
    void Log(const char* what, intptr_t id, int n) {
        calls.push_back(std::string(what) + ":" + std::to_string(id) + (n ? "x" + std::to_string(n) : ""));
    }
    std::vector<std::string> calls;
};

class UiButtonTest : public UiTest {
protected:
    UiButton* MakeButton(const std::string& xml, intptr_t id = 7) {
        doc.reset();
        EXPECT_TRUE(doc.load_string(xml.c_str()));
        auto* button = new UiButton(nullptr, id, &listener);
        button->Load(doc.document_element(), app.get());
        wm()->AddWidget(button);
        Step();
        return button;
    }
    void Drop(UiButton* button) {
        wm()->RemoveWidget(button);
        delete button;
    }
    XmlDocument doc;
    RecordingListener listener;
};

std::string ButtonXml(bool over, bool down, bool disabled, bool additive) {
    std::string xml = "<element type='uxbutton' name='b' x='10' y='10' width='20' height='10'>"
                      "<texture id='normal' texture='blue' u='0' v='0'/>";
    if (over) xml += std::string("<texture id='over' texture='green' u='0' v='0'") + (additive ? " mode='additive'" : "") + "/>";
    if (down) xml += "<texture id='down' texture='red' u='0' v='0'/>";
    if (disabled) xml += "<texture id='disabled' texture='grey' u='0' v='0'/>";
    return xml + "</element>";
}

TEST_F(UiButtonTest, StateTextures) {
    enum Mouse { kAway, kOver, kPressed };
    struct Case {
        const char* what;
        bool over, down, disabledTex, additive;
        Mouse mouse;
        bool disable;
        uint32_t expected;
    } cases[] = {
        {"normal", true, true, true, false, kAway, false, 0xFF0000FF},
        {"hovered", true, true, true, false, kOver, false, 0xFF00FF00},
        {"pressed", true, true, true, false, kPressed, false, 0xFFFF0000},
        {"pressed without down texture shows over", true, false, true, false, kPressed, false, 0xFF00FF00},
        {"disabled", true, true, true, false, kOver, true, 0xFF808080},
        {"disabled without texture draws nothing", true, true, false, false, kAway, true, 0xFF000000},
        {"additive over on hover", true, true, true, true, kOver, false, 0xFF00FFFF},
        {"additive over when pressed without down", true, false, true, true, kPressed, false, 0xFF00FFFF},
        {"additive with down texture", true, true, true, true, kPressed, false, 0xFFFF0000},
        {"no over texture on hover", false, true, true, false, kOver, false, 0xFF0000FF},
    };
    for (const Case& c : cases) {
        UiButton* b = MakeButton(ButtonXml(c.over, c.down, c.disabledTex, c.additive));
        wm()->MouseMove(c.mouse == kAway ? 100 : 15, 15);
        if (c.mouse == kPressed) wm()->MouseDown(15, 15, 1);
        if (c.disable) b->SetDisabled(true);
        EXPECT_EQ(Pixel(15, 15), c.expected) << c.what;
        if (c.mouse == kPressed) wm()->MouseUp(15, 15, 1);
        Drop(b);
    }
}

TEST_F(UiButtonTest, ListenerSeesPressReleaseAndTicks) {
    struct Case {
        const char* what;
        bool appFocus;
        bool disableWhileHeld;
        int releaseX;  // where the mouse goes up
        std::vector<std::string> expected;
    } cases[] = {
        {"click", true, false, 15, {"enter:7", "press:7x1", "tick:7", "tick:7", "depress:7"}},
        {"released elsewhere", true, false, 100, {"enter:7", "press:7x1", "tick:7", "tick:7", "leave:7"}},
        {"outside the application's focus", false, false, 15, {"enter:7", "press:7x1", "tick:7", "tick:7"}},
        {"disabled while held", true, true, 15, {"enter:7", "press:7x1"}},
    };
    for (const Case& c : cases) {
        wm()->MouseMove(100, 100);
        UiButton* b = MakeButton(ButtonXml(true, true, true, false));
        listener.calls.clear();
        wm()->MouseMove(15, 15);
        wm()->MouseDown(15, 15, 1);
        if (!c.appFocus) wm()->LostFocus();
        if (c.disableWhileHeld) {
            b->SetDisabled(true);
            b->MouseUp(5, 5, 0, 1);  // even when told directly
        }
        Step(2);
        wm()->MouseMove(c.releaseX, 15);
        wm()->MouseUp(c.releaseX, 15, 1);
        if (c.disableWhileHeld) listener.calls.erase(std::remove(listener.calls.begin(), listener.calls.end(), "leave:7"), listener.calls.end());
        EXPECT_EQ(listener.calls, c.expected) << c.what;
        wm()->GotFocus();
        Drop(b);
    }
}

TEST_F(UiButtonTest, ReleasesOnlyWhatItsLoadAcquired) {
    TextureTable* textures = app->GetTextureTable();
    Zephra::MemoryImage* lent = textures->Acquire("green");
    struct Case {
        const char* what;
        std::function<void(UiButton*)> lend;
    } cases[] = {
        {"SetTexture", [&](UiButton* b) { b->SetTexture(kButtonOver, lent, {0, 0, 20, 10}); }},
        {"SetAllTextures", [&](UiButton* b) { b->SetAllTextures(lent); }},
    };
    for (const Case& c : cases) {
        UiButton* b = MakeButton(ButtonXml(false, true, false, false));
        EXPECT_EQ(textures->UseCount("blue"), 1) << c.what;
        c.lend(b);
        Drop(b);
        EXPECT_EQ(textures->UseCount("blue"), 0) << c.what;
        EXPECT_EQ(textures->UseCount("red"), 0) << c.what;
        EXPECT_EQ(textures->UseCount("green"), 1) << c.what;
    }
    textures->Release("green");
}

TEST_F(UiButtonTest, LabelJustifiesAndCachesWhenScaled) {
    testsupport::BoxFont font(4, 2, 6, 5);  // "ab" is 8 wide, 6 high
    app->GetLocTable()->Set("LBL", u"ab");
    struct Case {
        const char* what;
        const char* justify;
        float scale;
        int inkX;     // a column inside the text
        int clearX;   // a column outside it
        bool cached;
    } cases[] = {
        {"0 centres", "0", 1.0f, 10 + 6, 10 + 4, false},
        {"1 right-aligns", "1", 1.0f, 10 + 19, 10 + 11, false},
        {"-1 left-aligns", "-1", 1.0f, 10 + 0, 10 + 9, false},
        {"1.005 counts as unscaled", "-1", 1.005f, 10 + 0, 10 + 9, false},
        {"1.02 goes through the cache", "-1", 1.02f, 10 + 0, 10 + 9, true},
    };
    for (const Case& c : cases) {
        UiButton* b = MakeButton(std::string("<element x='10' y='10' width='20' height='10' label='LBL' justify='") +
                                 c.justify + "'/>");
        b->SetTextAttr(kTextNormal, &font, Zephra::Color(0xFFFFFF00u), Zephra::Color(0xFFFFFF00u),
                       Zephra::Color(0xFF808080u));
        b->mScale = c.scale;
        Step();
        // Text 6 high centred in 10: rows 2..7.
        EXPECT_EQ(Pixel(c.inkX, 15), 0xFFFFFF00u) << c.what;
        EXPECT_EQ(Pixel(c.clearX, 15), 0xFF000000u) << c.what;
        EXPECT_EQ(Pixel(c.inkX, 11), 0xFF000000u) << c.what;
        Drop(b);
    }
}

} // namespace
