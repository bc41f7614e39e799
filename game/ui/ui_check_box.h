#pragma once
#include "game/ui/ui_control.h"
#include "game/ui/ui_look.h"

// A check box ("uxcheckbox"): each release over it flips the checked flag.
// Screens poll IsChecked; nobody is notified.
class UiCheckBox : public UiControl {
public:
    // Texture slots of each state.
    enum Slot : int { kNormal = 0, kOver = 1, kDisabled = 2, kSlotCount = 3 };

    explicit UiCheckBox(UiControl* parent);

    void Draw(Zephra::Graphics* g) override;
    void MouseEnter() override;
    void MouseLeave() override;
    void MouseUp(int x, int y, int button, int clickCount) override;

    void SetChecked(bool checked);
    bool IsChecked() const { return mChecked; }
    // The textures of "normal", "over", "disabled" and their "check_" forms.
    void Load(XmlNode element, OfficeApp* app);
    // Slots 3 and above are ignored; the image is borrowed.
    void SetTexture(int index, bool checked, Zephra::Image* image, const Zephra::Rect& src);

private:
    bool mChecked = false;
    UiLook mLooks[2][kSlotCount];  // [checked][slot]
};
