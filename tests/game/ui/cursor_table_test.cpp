#include "game/ui/cursor_table.h"

#include <gtest/gtest.h>

#include "framework/graphics/graphics.h"
#include "platform/input.h"
#include "tests/game/ui/ui_fixture.h"

namespace {

using uitest::UiTest;

const char* kCursors = R"(<ui>
  <cursors mode="normal" image="red"/>
  <cursors mode="normal" image="green"/>
  <cursors mode="active" image="nope"/>
  <cursors mode="text" image="blue" hot_spot_x="16" hot_spot_y="16"/>
  <cursors image="yellow"/>
  <cursors mode="orphan"/>
</ui>)";

class Observer : public CursorSelectObserver {
public:
    void CursorSelecting() override { ++calls; }
    int calls = 0;
};

class CursorTableTest : public UiTest {};

TEST_F(CursorTableTest, ModesSelectDrawAndRelease) {
    TextureTable* textures = app->GetTextureTable();
    XmlDocument doc;
    ASSERT_TRUE(doc.load_string(kCursors));
    auto table = std::make_unique<CursorTable>(textures);
    Observer observer;
    table->SetObserver(&observer);
    table->Load(doc.document_element());
    EXPECT_EQ(textures->UseCount("red"), 1);
    EXPECT_EQ(textures->UseCount("green"), 0) << "a duplicate mode holds nothing";
    EXPECT_EQ(textures->UseCount("yellow"), 0);

    struct Case {
        const char* what;
        const char* mode;
        bool hide;
        bool outside;       // the pointer has left the window
        uint32_t at100;     // pixel at the mouse point (100, 100)
        uint32_t at90;      // pixel at (90, 90)
        bool gameCursor;    // the application draws the game's cursor
    } cases[] = {
        {"first definition wins", "normal", false, false, 0xFFFF0000u, 0xFF000000u, true},
        {"hot spot moves the picture up and left", "text", false, false, 0xFF0000FFu, 0xFF0000FFu, true},
        {"hidden keeps the selection", "text", true, false, 0xFF000000u, 0xFF000000u, true},
        {"a pointer outside the window leaves no cursor at its edge", "text", false, true, 0xFF000000u,
         0xFF000000u, true},
        {"back over the window it is drawn again", "normal", false, false, 0xFFFF0000u, 0xFF000000u, true},
        {"image the table lacks defines no mode", "active", false, false, 0xFF000000u, 0xFF000000u, false},
        {"unknown mode turns custom cursors off", "busy", false, false, 0xFF000000u, 0xFF000000u, false},
        {"a mode without image is skipped", "orphan", false, false, 0xFF000000u, 0xFF000000u, false},
    };
    wm()->MouseMove(100, 100);
    int selects = 0;
    for (const Case& c : cases) {
        table->Show();
        table->Select(c.mode);
        ++selects;
        if (c.hide) table->Hide();
        platform::InputEvent ev;
        ev.kind = c.outside ? platform::EventKind::MouseLeave : platform::EventKind::MouseMove;
        ev.x = ev.y = 100;
        app->ProcessInputEvent(ev);
        screen->FillRect(Zephra::Rect(0, 0, 200, 150), Zephra::Color(0, 0, 0, 255), Zephra::DRAWMODE_NORMAL);
        Zephra::Graphics g(screen.get());
        table->Draw(&g);
        const uint32_t* bits = screen->GetBits();
        EXPECT_EQ(bits[100 * 200 + 100], c.at100) << c.what;
        EXPECT_EQ(bits[90 * 200 + 90], c.at90) << c.what;
        EXPECT_EQ(app->IsCursorGameDrawn(), c.gameCursor) << c.what;
        EXPECT_EQ(table->GetCurrent() != nullptr, c.gameCursor) << c.what;
        EXPECT_EQ(observer.calls, selects) << c.what;
    }
    table.reset();
    EXPECT_EQ(textures->LoadedCount(), 0u);
    EXPECT_FALSE(app->IsCursorGameDrawn());
}

} // namespace
