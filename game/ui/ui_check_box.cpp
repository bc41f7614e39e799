#include "game/ui/ui_check_box.h"

#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"

UiCheckBox::UiCheckBox(UiControl* parent) : UiControl(parent) {}

void UiCheckBox::SetChecked(bool checked) {
    mChecked = checked;
    MarkDirty();
}

void UiCheckBox::SetTexture(int index, bool checked, Zephra::Image* image, const Zephra::Rect& src) {
    if (index < 0 || index >= kSlotCount) return;
    mLooks[checked ? 1 : 0][index] = UiLook{image, src};
}

void UiCheckBox::Load(XmlNode element, OfficeApp* app) {
    LoadCommon(element);
    struct Source {
        const char* id;
        bool checked;
        int slot;
    };
    static constexpr Source kSources[] = {
        {"normal", false, kNormal},       {"over", false, kOver},
        {"disabled", false, kDisabled},   {"check_normal", true, kNormal},
        {"check_over", true, kOver},      {"check_disabled", true, kDisabled},
    };
    for (const Source& s : kSources) {
        Zephra::MemoryImage* image = nullptr;
        Zephra::Rect src;
        if (LoadTexture(element, s.id, app, image, src, mLayoutRect.mWidth, mLayoutRect.mHeight))
            mLooks[s.checked ? 1 : 0][s.slot] = UiLook{image, src};
    }
}

void UiCheckBox::MouseEnter() { MarkDirty(); }

void UiCheckBox::MouseLeave() { MarkDirty(); }

void UiCheckBox::MouseUp(int x, int y, int button, int clickCount) {
    (void)x;
    (void)y;
    (void)button;
    (void)clickCount;
    // A box disabled while the button was held does not flip.
    if (mIsOver && !mDisabled) mChecked = !mChecked;
    MarkDirty();
}

void UiCheckBox::Draw(Zephra::Graphics* g) {
    const UiLook* set = mLooks[mChecked ? 1 : 0];
    const UiLook* look = nullptr;
    if (mDisabled)
        look = &set[kDisabled];
    else if (mIsOver && set[kOver].image != nullptr)
        look = &set[kOver];
    else
        look = &set[kNormal];
    DrawLook(*this, g, *look);
    UiControl::Draw(g);
}
