#include "game/ui/ui_dialog.h"

#include <gtest/gtest.h>

#include "game/app/tables.h"
#include "game/ui/ui_bar.h"
#include "game/ui/ui_button.h"
#include "game/ui/ui_text.h"
#include "tests/game/ui/ui_fixture.h"

namespace {

using uitest::UiTest;

const char* kLayout = R"(<ui>
<element type="uxdialog" name="other" x="0" y="0" width="10" height="10"/>
<element type="uxdialog" name="screen" x="0" y="0" width="200" height="150">
  <texture id="normal" texture="blue" u="0" v="0"/>
  <element type="uxbutton" name="ok" x="10" y="10" width="20" height="10" effect="marker">
    <texture id="normal" texture="red" u="0" v="0"/>
  </element>
  <element type="UXBUTTON" name="upper" x="40" y="10" width="20" height="10"/>
  <element type="uxbutton" x="70" y="10" width="20" height="10"/>
  <element name="typeless" x="0" y="0" width="5" height="5"/>
  <element type="uxunknown" name="unknown"/>
  <element type="uxdialog" name="inner" x="50" y="50" width="60" height="40">
    <texture id="normal" texture="green" u="0" v="0"/>
    <element type="uxbutton" name="deep" x="5" y="5" width="20" height="10">
      <texture id="normal" texture="red" u="0" v="0"/>
    </element>
  </element>
  <element type="uxtext" name="label" x="0" y="100" width="50" height="10" effect="marker"/>
  <element type="uxbar" name="bar" x="0" y="120" width="40" height="10" seg_width="10"/>
  <element type="uxtutorial" name="tip" x="150" y="100" width="40" height="40" clickhide="1" effect="show_hide">
    <texture id="normal" texture="yellow" u="0" v="0"/>
  </element>
</element>
</ui>)";

// A screen: records the children it is given and the commands that reach it.
class Screen : public UiDialog {
public:
    explicit Screen(OfficeApp* app) : UiDialog(nullptr, app) {}
    void AddChild(const std::string& name, UiControl* control) override {
        added.push_back(name + (uitest::TakeMark(control) ? "+created" : ""));
        UiDialog::AddChild(name, control);
    }
    void OnCommand(intptr_t id) override { commands.push_back(id); }
    std::vector<std::string> added;
    std::vector<intptr_t> commands;
};

class UiDialogTest : public UiTest {
protected:
    // Loaded and, unless told otherwise, shown with its dialogs: backgrounds
    // are acquired by the first Activate after loading.
    Screen* LoadScreen(bool shown = true) {
        EXPECT_TRUE(doc.load_string(kLayout));
        auto* screen = new Screen(app.get());
        EXPECT_TRUE(screen->LoadByName(doc.document_element(), "screen"));
        wm()->AddWidget(screen);
        if (shown) ShowDialogs(screen);
        Step();
        return screen;
    }
    static void ShowDialogs(Screen* screen) {
        screen->SetVisible(true);
        for (UiControl* child : screen->mChildren)
            if (dynamic_cast<UiDialog*>(child)) child->SetVisible(true);
    }
    XmlDocument doc;
};

TEST_F(UiDialogTest, FactoryMakesKnownNamedTypesInOrder) {
    Screen* screen = LoadScreen();
    EXPECT_EQ(screen->added,
              (std::vector<std::string>{"ok+created", "inner", "label+created", "bar", "tip"}));
    struct Case {
        const char* name;
        bool made;
        const char* kind;
    } cases[] = {
        {"ok", true, "button"}, {"upper", false, ""}, {"typeless", false, ""}, {"unknown", false, ""},
        {"inner", true, "dialog"}, {"label", true, "text"}, {"bar", true, "bar"}, {"tip", true, "tutorial"},
    };
    for (const Case& c : cases) {
        UiControl* child = screen->FindChild(c.name);
        EXPECT_EQ(child != nullptr, c.made) << c.name;
        if (!child) continue;
        std::string kind = dynamic_cast<UiTutorial*>(child) ? "tutorial"
                           : dynamic_cast<UiDialog*>(child) ? "dialog"
                           : dynamic_cast<UiButton*>(child) ? "button"
                           : dynamic_cast<UiText*>(child)   ? "text"
                           : dynamic_cast<UiBar*>(child)    ? "bar"
                                                            : "?";
        EXPECT_EQ(kind, c.kind) << c.name;
        EXPECT_EQ(child->GetParentControl(), screen) << c.name;
    }
    EXPECT_EQ(screen->mChildren.size(), 5u);
    auto* inner = dynamic_cast<UiDialog*>(screen->FindChild("inner"));
    ASSERT_NE(inner, nullptr);
    ASSERT_NE(inner->FindChild("deep"), nullptr);

    // Pixels: the screen's background, the inner dialog's, the buttons'.
    EXPECT_EQ(Pixel(5, 5), 0xFF0000FFu);
    EXPECT_EQ(Pixel(15, 15), 0xFFFF0000u);
    EXPECT_EQ(Pixel(52, 52), 0xFF00FF00u);
    EXPECT_EQ(Pixel(60, 60), 0xFFFF0000u);
    EXPECT_EQ(Pixel(160, 110), 0xFFFFFF00u);

    auto* other = new Screen(app.get());
    EXPECT_FALSE(other->LoadByName(doc.document_element(), "absent"));
    EXPECT_TRUE(other->mChildren.empty());
    delete other;
    wm()->RemoveWidget(screen);
    delete screen;
}

TEST_F(UiDialogTest, ReleasedButtonsReachTheScreen) {
    Screen* screen = LoadScreen();
    UiControl* ok = screen->FindChild("ok");
    UiControl* deep = dynamic_cast<UiDialog*>(screen->FindChild("inner"))->FindChild("deep");
    struct Case {
        const char* what;
        int x, y, releaseX;
        intptr_t expected;  // 0: no command
    } cases[] = {
        {"button of the screen", 15, 15, 15, reinterpret_cast<intptr_t>(ok)},
        {"button of a nested dialog", 60, 60, 60, reinterpret_cast<intptr_t>(deep)},
        {"released elsewhere", 60, 60, 120, 0},
        {"the background is no button", 5, 140, 5, 0},
    };
    for (const Case& c : cases) {
        screen->commands.clear();
        wm()->MouseMove(c.x, c.y);
        wm()->MouseDown(c.x, c.y, 1);
        wm()->MouseMove(c.releaseX, c.y);
        wm()->MouseUp(c.releaseX, c.y, 1);
        std::vector<intptr_t> expected;
        if (c.expected) expected.push_back(c.expected);
        EXPECT_EQ(screen->commands, expected) << c.what;
    }
    wm()->RemoveWidget(screen);
    delete screen;
}

TEST_F(UiDialogTest, BackgroundIsHeldOnlyWhileActive) {
    TextureTable* textures = app->GetTextureTable();
    Screen* screen = LoadScreen(false);
    auto* inner = dynamic_cast<UiDialog*>(screen->FindChild("inner"));
    struct Case {
        const char* what;
        std::function<void()> act;
        int blue, green, yellow;  // use counts afterwards
    } cases[] = {
        {"loaded: nothing decoded before it shows", [] {}, 0, 0, 0},
        {"shown", [&] { ShowDialogs(screen); }, 1, 1, 1},
        {"inner hidden", [&] { inner->SetVisible(false); }, 1, 0, 1},
        {"inner hidden twice", [&] { inner->SetVisible(false); }, 1, 0, 1},
        {"inner shown again", [&] { inner->SetVisible(true); }, 1, 1, 1},
        {"new background while active", [&] { inner->SetBackground("yellow", {0, 0, 60, 40}); }, 1, 0, 2},
        {"new background while inactive",
         [&] { inner->SetVisible(false); inner->SetBackground("green", {0, 0, 60, 40}); }, 1, 0, 1},
        {"shown: acquires the new one", [&] { inner->Show(); }, 1, 1, 1},
        {"screen hidden", [&] { screen->SetVisible(false); }, 0, 1, 1},
    };
    for (const Case& c : cases) {
        c.act();
        EXPECT_EQ(textures->UseCount("blue"), c.blue) << c.what;
        EXPECT_EQ(textures->UseCount("green"), c.green) << c.what;
        EXPECT_EQ(textures->UseCount("yellow"), c.yellow) << c.what;
    }
    wm()->RemoveWidget(screen);
    delete screen;
    for (const char* name : {"blue", "green", "yellow", "red"}) EXPECT_EQ(textures->UseCount(name), 0) << name;
    EXPECT_EQ(textures->LoadedCount(), 0u);
}

// Every control below the dialog, itself not counted.
int CountControls(const UiControl* control) {
    int n = 0;
    for (const UiControl* child : control->mChildren) n += 1 + CountControls(child);
    return n;
}

// Layouts that once overflowed the stack or copied dialogs without bound.
// Each nested dialog is its own element: a sibling of the same name is no copy.
TEST_F(UiDialogTest, HostileLayoutsAreBounded) {
    auto dialogs = [](int levels, bool twins, const char* type) {
        std::string open, close;
        for (int i = 0; i < levels; ++i) {
            open += std::string("<element type=\"") + type + "\" name=\"d\">";
            close = std::string("</element>") + (twins ? "<element type=\"uxdialog\" name=\"d\"/>" : "") + close;
        }
        return open + close;
    };
    auto buttons = [](int n) {
        std::string text;
        for (int i = 0; i < n; ++i) text += "<element type=\"uxbutton\" name=\"b\"/>";
        return text;
    };
    struct Case {
        const char* what;
        std::string inside;  // the screen's children
        int controls;
        int warnings;
    } cases[] = {
        {"two same-named dialogs on each of 24 levels", dialogs(24, true, "uxdialog"), 48, 0},
        {"dialogs 1,000 deep", dialogs(1000, false, "uxdialog"), kMaxDialogDepth - 1, 1},
        {"tutorials 1,000 deep", dialogs(1000, false, "uxtutorial"), kMaxDialogDepth - 1, 1},
        {"more buttons than a layout holds", buttons(kMaxLayoutControls + 5), kMaxLayoutControls, 1},
        {"as many as it holds, nested",
         "<element type=\"uxdialog\" name=\"d\">" + buttons(kMaxLayoutControls - 1) + "</element>",
         kMaxLayoutControls, 0},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(doc.load_string(("<ui><element type=\"uxdialog\" name=\"screen\">" + c.inside +
                                     "</element></ui>").c_str()));
        const size_t warned = app->Warnings().size();
        Screen screen(app.get());
        EXPECT_TRUE(screen.LoadByName(doc.document_element(), "screen")) << c.what;
        EXPECT_EQ(CountControls(&screen), c.controls) << c.what;
        EXPECT_EQ(app->Warnings().size() - warned, static_cast<size_t>(c.warnings)) << c.what;
    }
}

TEST_F(UiDialogTest, TutorialHidesOnReleaseOverIt) {
    Screen* screen = LoadScreen();
    auto* tip = dynamic_cast<UiTutorial*>(screen->FindChild("tip"));
    ASSERT_NE(tip, nullptr);
    struct Case {
        const char* what;
        uint8_t clickHide;
        int releaseX;
        bool visibleAfter;
    } cases[] = {
        {"no clickhide", 0, 160, true},
        {"released outside", 1, 100, true},
        {"released over it", 1, 160, false},
    };
    for (const Case& c : cases) {
        tip->SetVisible(true);
        tip->mClickHide = c.clickHide;
        wm()->MouseMove(160, 110);
        wm()->MouseDown(160, 110, 1);
        wm()->MouseMove(c.releaseX, 110);
        wm()->MouseUp(c.releaseX, 110, 1);
        Step(10);  // the "onhide" effect hides it
        EXPECT_EQ(tip->mVisible, c.visibleAfter) << c.what;
    }
    wm()->RemoveWidget(screen);
    delete screen;
}

} // namespace
