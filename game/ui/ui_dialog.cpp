#include "game/ui/ui_dialog.h"

#include "framework/graphics/graphics.h"
#include "game/app/office_app.h"
#include "game/app/tables.h"
#include "game/ui/ui_bar.h"
#include "game/ui/ui_button.h"
#include "game/ui/ui_check_box.h"
#include "game/ui/ui_edit.h"
#include "game/ui/ui_list.h"
#include "game/ui/ui_scroll.h"
#include "game/ui/ui_slider.h"
#include "game/ui/ui_text.h"

namespace {

UiControl* MakeButton(UiDialog* dialog, XmlNode element, OfficeApp* app) {
    auto* button = new UiButton(dialog, 0, dialog);
    button->SetId(reinterpret_cast<intptr_t>(button));
    button->Load(element, app);
    return button;
}

// Loads the nested dialog's own element. Looking it up again by name in the
// parent's element finds the same one unless a sibling shares the name; then
// every sibling of that name became a copy of the first, and copies nested in
// copies grew without bound.
UiControl* MakeNestedDialog(UiDialog* dialog, XmlNode element, OfficeApp* app) {
    auto* nested = new UiDialog(dialog, app);
    nested->Load(element, app);
    return nested;
}

const UiControlType kControlTypes[] = {
    {"uxbutton", &MakeButton},
    {"uxtext", &MakeUiControlWithApp<UiText>},
    {"uxdialog", &MakeNestedDialog},
    {"uxbar", &MakeUiControl<UiBar>},
    {"uxlist", &MakeUiControl<UiList>},
    {"uxscroll", &MakeUiControl<UiScroll>},
    {"uxcheckbox", &MakeUiControl<UiCheckBox>},
    {"uxslider", &MakeUiControl<UiSlider>},
    {"uxedit", &MakeUiControl<UiEdit>},
    {"uxtutorial", &MakeUiControlWithApp<UiTutorial>},
};

} // namespace

const UiControlType* UiControlTypes(size_t& count) {
    count = sizeof kControlTypes / sizeof kControlTypes[0];
    return kControlTypes;
}

UiDialog::UiDialog(UiControl* parent, OfficeApp* app) : UiControl(parent), mApp(app) {}

UiDialog::~UiDialog() { ReleaseBackground(); }

void UiDialog::Update() { UiControl::Update(); }

void UiDialog::Draw(Zephra::Graphics* g) {
    if (mBackground != nullptr) {
        g->PushState();
        g->SetColorizeImages(true);
        g->SetColor(Zephra::Color(255, 255, 255, DrawAlpha()));
        g->DrawImageInRect(mBackground, Zephra::Rect(0, 0, mWidth, mHeight), mBackgroundRect);
        g->PopState();
    }
    UiControl::Draw(g);
}

void UiDialog::Activate() {
    UiControl::Activate();
    AcquireBackground();
}

void UiDialog::Deactivate() {
    UiControl::Deactivate();
    ReleaseBackground();
}

void UiDialog::AcquireBackground() {
    if (mBackground != nullptr || mBackgroundName.empty() || mApp == nullptr) return;
    if (TextureTable* table = mApp->GetTextureTable()) mBackground = table->Acquire(mBackgroundName);
}

void UiDialog::ReleaseBackground() {
    if (mBackground == nullptr) return;
    if (mApp != nullptr && mApp->GetTextureTable() != nullptr) mApp->GetTextureTable()->Release(mBackgroundName);
    mBackground = nullptr;
}

void UiDialog::SetBackground(const std::string& textureName, const Zephra::Rect& src) {
    const bool showing = mBackground != nullptr && !IsInactive();
    ReleaseBackground();
    mBackgroundName = textureName;
    mBackgroundRect = src;
    // A dialog showing a picture shows the new one at once. A dialog just
    // loaded is active too, but its first picture waits for its first
    // Activate: screens are built hidden and would decode every picture.
    if (showing) AcquireBackground();
}

void UiDialog::OnCommand(intptr_t id) {
    if (auto* parent = dynamic_cast<UiDialog*>(mParentControl)) parent->OnCommand(id);
}

bool UiDialog::LoadByName(XmlNode node, const std::string& name) {
    const XmlVars vars{{"name", name}};
    XmlNode element = XmlSelectNode(node, "element[@name = $name and @type = 'uxdialog']", &vars);
    if (!element) return false;
    Load(element, mApp);
    return true;
}

void UiDialog::Load(XmlNode element, OfficeApp* app) {
    if (app != nullptr) mApp = app;
    LoadCommon(element);
    if (XmlNode tex = ChildById(element, "texture", "normal")) {
        std::string texture;
        XmlGetAttrString(tex, "texture", texture);
        int32_t u = 0, v = 0;
        XmlGetAttrCoord(tex, "u", u);
        XmlGetAttrCoord(tex, "v", v);
        SetBackground(texture, Zephra::Rect(u, v, mWidth, mHeight));
    }
    int depth = 1;
    for (UiControl* c = mParentControl; c != nullptr; c = c->GetParentControl()) ++depth;
    if (depth >= kMaxDialogDepth) {
        if (element.child("element") && mApp != nullptr)
            mApp->Warn("cfg\\ui.xml: dialog \"" + std::string(element.attribute("name").value()) + "\" lies " +
                       std::to_string(kMaxDialogDepth) + " dialogs deep; what it holds is left out");
        return;
    }
    size_t typeCount = 0;
    const UiControlType* types = UiControlTypes(typeCount);
    for (XmlNode e = element.child("element"); e; e = e.next_sibling("element")) {
        std::string type, name;
        if (!XmlGetAttrString(e, "type", type)) continue;
        const UiControlType* found = nullptr;
        for (size_t i = 0; i < typeCount && !found; ++i)
            if (type == types[i].word) found = &types[i];
        if (found == nullptr || !XmlGetAttrString(e, "name", name)) continue;
        if (!CountControl()) break;
        UiControl* control = found->make(this, e, mApp);
        if (ScriptObject* effect = control->GetEffect()) effect->FireMessage("oncreate");
        AddChild(name, control);
    }
}

bool UiDialog::CountControl() {
    UiDialog* root = this;
    for (UiControl* c = mParentControl; c != nullptr; c = c->GetParentControl())
        if (auto* d = dynamic_cast<UiDialog*>(c)) root = d;
    if (root->mControlsLoaded < kMaxLayoutControls) {
        ++root->mControlsLoaded;
        return true;
    }
    if (root->mControlsLoaded++ == kMaxLayoutControls && mApp != nullptr)
        mApp->Warn("cfg\\ui.xml: a layout holds more than " + std::to_string(kMaxLayoutControls) +
                   " controls; the rest are left out");
    return false;
}

void UiTutorial::Load(XmlNode element, OfficeApp* app) {
    UiDialog::Load(element, app);
    XmlGetAttrBool(element, "clickhide", mClickHide);
}

void UiTutorial::MouseUpAt(int x, int y) {
    UiDialog::MouseUpAt(x, y);
    if (mClickHide && mIsOver) Hide();
}
