#pragma once
#include "framework/app/button_listener.h"
#include "game/ui/ui_control.h"

class UiButton;

// A vertical scroll bar ("uxscroll") of up to three buttons: "up", "down" and
// a "slider" that it places along the track (x1, y1)..(x2, y2) by position.
// It listens to its own buttons.
class UiScroll : public UiControl, public Zephra::ButtonListener {
public:
    // Ids of the bar's own buttons.
    enum ButtonId : int { kUp = 1, kDown = 2, kSlider = 3 };

    explicit UiScroll(UiControl* parent);

    void Update() override;
    // The bar's own flag stays: the arrows are disabled and the slider hidden.
    void SetDisabled(bool disabled) override;
    void Load(XmlNode element, OfficeApp* app);
    void ButtonPress(intptr_t id) override;

    // Disables the bar when max <= 0.
    void SetMax(int max);
    int GetMax() const { return mMax; }
    // Unclamped until the next Update.
    void SetPosition(int position) { mPosition = position; }
    int GetPosition() const { return mPosition; }
    // The slider's top-left corner at position 0 and at position max.
    void SetTrack(int x1, int y1, int x2, int y2);

    UiButton* mUp = nullptr;
    UiButton* mDown = nullptr;
    UiButton* mSlider = nullptr;

private:
    int mMax = 0;
    int mPosition = 0;
    int mX1 = 0, mY1 = 0, mX2 = 0, mY2 = 0;
};
