#include <gtest/gtest.h>

#include "game/ui/ui_check_box.h"
#include "game/ui/ui_dialog.h"
#include "game/ui/ui_edit.h"
#include "game/ui/ui_list.h"
#include "game/ui/ui_scroll.h"
#include "game/ui/ui_slider.h"
#include "tests/game/ui/ui_kit_fixture.h"

namespace {

using uitest::UiKitTest;

const char* kInputLayout = R"(<ui>
<element type="uxdialog" name="form" x="0" y="0" width="200" height="150">
  <element type="uxlist" name="list" x="0" y="0" width="80" height="60" line_spacing="10">
    <element type="uxscroll" name="scroll" x="0" y="0" width="10" height="60">
      <element type="uxbutton" name="up" x="0" y="0" width="10" height="10"/>
    </element>
  </element>
  <element type="uxscroll" name="scroller" x="90" y="0" width="10" height="60"/>
  <element type="uxcheckbox" name="check" x="110" y="0" width="16" height="16"/>
  <element type="uxslider" name="slider" x="0" y="70" width="120" height="20"/>
  <element type="uxedit" name="edit" x="0" y="100" width="100" height="20"/>
  <element type="uxList" name="cased" x="0" y="0" width="10" height="10"/>
  <element type="uxedit" x="0" y="0" width="10" height="10"/>
</element>
</ui>)";

TEST_F(UiKitTest, DialogMakesTheInputControlsByTypeWord) {
    auto* dialog = new UiDialog(nullptr, app.get());
    dialog->LoadByName(Parse(kInputLayout), "form");
    struct Case {
        const char* name;
        bool (*isKind)(UiControl*);
    } cases[] = {
        {"list", [](UiControl* c) { return dynamic_cast<UiList*>(c) != nullptr; }},
        {"scroller", [](UiControl* c) { return dynamic_cast<UiScroll*>(c) != nullptr; }},
        {"check", [](UiControl* c) { return dynamic_cast<UiCheckBox*>(c) != nullptr; }},
        {"slider", [](UiControl* c) { return dynamic_cast<UiSlider*>(c) != nullptr; }},
        {"edit", [](UiControl* c) { return dynamic_cast<UiEdit*>(c) != nullptr; }},
    };
    for (const Case& c : cases) {
        UiControl* child = dialog->FindChild(c.name);
        ASSERT_NE(child, nullptr) << c.name;
        EXPECT_TRUE(c.isKind(child)) << c.name;
    }
    EXPECT_EQ(dialog->FindChild("cased"), nullptr) << "type words are case-exact";
    EXPECT_EQ(dialog->mChildren.size(), 5u) << "a nameless element makes nothing";
    auto* list = static_cast<UiList*>(dialog->FindChild("list"));
    ASSERT_NE(list->GetScroll(), nullptr);
    EXPECT_NE(list->GetScroll()->mUp, nullptr);
    EXPECT_EQ(list->GetScroll()->mDown, nullptr) << "missing parts stay empty";
    Place(dialog);
    Step(2);
    Drop(dialog);
}

} // namespace
