#include "game/ui/ui_scroll.h"

#include "game/ui/ui_button.h"

UiScroll::UiScroll(UiControl* parent) : UiControl(parent) {}

void UiScroll::SetTrack(int x1, int y1, int x2, int y2) {
    mX1 = x1;
    mY1 = y1;
    mX2 = x2;
    mY2 = y2;
}

void UiScroll::Load(XmlNode element, OfficeApp* app) {
    LoadCommon(element);
    XmlGetAttrCoord(element, "distx1", mX1);
    XmlGetAttrCoord(element, "disty1", mY1);
    XmlGetAttrCoord(element, "distx2", mX2);
    XmlGetAttrCoord(element, "disty2", mY2);
    struct Part {
        const char* name;
        int id;
        UiButton** field;
    } parts[] = {{"up", kUp, &mUp}, {"down", kDown, &mDown}, {"slider", kSlider, &mSlider}};
    for (const Part& p : parts) {
        XmlNode node = element.find_child_by_attribute("element", "name", p.name);
        if (!node) continue;
        auto* button = new UiButton(this, p.id, this);
        button->Load(node, app);
        *p.field = button;
        AddChild(p.name, button);
    }
}

void UiScroll::SetMax(int max) {
    mMax = max;
    SetDisabled(max <= 0);
}

void UiScroll::SetDisabled(bool disabled) {
    if (mUp != nullptr) mUp->SetDisabled(disabled);
    if (mDown != nullptr) mDown->SetDisabled(disabled);
    if (mSlider != nullptr) {
        if (disabled)
            mSlider->Hide();
        else
            mSlider->Show();
    }
}

void UiScroll::ButtonPress(intptr_t id) {
    if (id == kUp && mPosition > 0) --mPosition;
    if (id == kDown && mPosition < mMax) ++mPosition;
}

void UiScroll::Update() {
    if (mPosition > mMax) mPosition = mMax;
    if (mPosition < 0) mPosition = 0;
    if (mMax != 0 && mSlider != nullptr) {
        const float t = static_cast<float>(mPosition) / static_cast<float>(mMax);
        mSlider->Move(mX1 + UiTrunc(static_cast<float>(mX2 - mX1) * t),
                      mY1 + UiTrunc(static_cast<float>(mY2 - mY1) * t));
    }
    UiControl::Update();
}
