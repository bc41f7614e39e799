#include "game/ui/ui_slider.h"

#include <algorithm>
#include "game/ui/ui_bar.h"
#include "game/ui/ui_text.h"

UiSlider::UiSlider(UiControl* parent) : UiControl(parent) {}

void UiSlider::AddChild(const std::string& name, UiControl* control) {
    if (control != nullptr) {
        if (name == "back") mBack = dynamic_cast<UiText*>(control);
        if (name == "bar") mBar = dynamic_cast<UiBar*>(control);
        if (name == "thumb") mThumb = dynamic_cast<UiText*>(control);
        if (name == "back" || name == "bar" || name == "thumb") control->mMouseVisible = false;
    }
    UiControl::AddChild(name, control);
}

void UiSlider::Load(XmlNode element, OfficeApp* app) {
    LoadCommon(element);
    XmlGetAttrCoord(element, "mz_x", mTrackX);
    XmlGetAttrCoord(element, "mz_y", mTrackY);
    XmlGetAttrCoord(element, "mz_width", mTrackWidth);
    XmlGetAttrCoord(element, "mz_height", mTrackHeight);
    XmlGetAttrCoord(element, "mz_dz1", mDeadLeft);
    XmlGetAttrCoord(element, "mz_dz2", mDeadRight);
    if (XmlNode node = element.find_child_by_attribute("element", "name", "back")) {
        auto* back = new UiText(this, app);
        back->Load(node, app);
        AddChild("back", back);
    }
    if (XmlNode node = element.find_child_by_attribute("element", "name", "bar")) {
        auto* bar = new UiBar(this);
        bar->Load(node, app);
        AddChild("bar", bar);
    }
    if (XmlNode node = element.find_child_by_attribute("element", "name", "thumb")) {
        auto* thumb = new UiText(this, app);
        thumb->Load(node, app);
        mThumbOrigin = thumb->GetLayoutRect().mX;
        AddChild("thumb", thumb);
    }
}

void UiSlider::SetMax(int max) {
    mMax = max;
    if (mBar != nullptr) mBar->SetMax(max);
}

void UiSlider::SetValue(int value) {
    mValue = value;
    if (mBar != nullptr) mBar->SetValue(value);
}

void UiSlider::Update() {
    mValue = std::max(0, std::min(mValue, mMax));
    if (mMax != 0 && mThumb != nullptr) {
        const Zephra::Rect& thumb = mThumb->GetLayoutRect();
        const int track = mLayoutRect.mWidth - 2 * mThumbOrigin;
        int tx = UiTrunc(static_cast<float>(track) * (static_cast<float>(mValue) / static_cast<float>(mMax))) -
                 thumb.mWidth / 2;
        tx = std::max(0, std::min(tx, track - thumb.mWidth));
        mThumb->Move(tx + mThumbOrigin, thumb.mY);
    }
    UiControl::Update();
}

void UiSlider::MouseDown(int x, int y, int button, int clickCount) {
    (void)button;
    (void)clickCount;
    MarkDirty();
    // A track without width has no values to map clicks to.
    if (mTrackWidth <= 0) return;
    if (y < mTrackY || y > mTrackY + mTrackHeight || x < mTrackX || x > mTrackX + mTrackWidth) return;
    if (x > mLayoutRect.mWidth - mDeadRight)
        SetValue(mMax);
    else if (x < mDeadLeft)
        SetValue(0);
    else
        SetValue(UiTrunc(static_cast<float>(x - mTrackX) / static_cast<float>(mTrackWidth) * static_cast<float>(mMax)));
}
