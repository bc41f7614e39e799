#pragma once
#include "game/ui/ui_control.h"

class UiBar;
class UiText;

// A value 0..max set by clicks inside a track rectangle ("uxslider"), shown
// by a "bar" child and a "thumb" child that slides along the track over a
// "back" child. Screens poll GetValue.
class UiSlider : public UiControl {
public:
    explicit UiSlider(UiControl* parent);

    void Update() override;
    void MouseDown(int x, int y, int button, int clickCount) override;
    // "back", "bar" and "thumb" are remembered and let clicks through.
    void AddChild(const std::string& name, UiControl* control) override;

    void Load(XmlNode element, OfficeApp* app);
    void SetMax(int max);
    void SetValue(int value);
    int GetValue() const { return mValue; }
    int GetMax() const { return mMax; }

    UiText* GetThumb() const { return mThumb; }

private:
    int mMax = 0;
    int mValue = 0;
    UiBar* mBar = nullptr;
    UiText* mThumb = nullptr;
    UiText* mBack = nullptr;
    // The track: clicks inside it set the value.
    int mTrackX = 0, mTrackY = 0, mTrackWidth = 0, mTrackHeight = 0;
    // Dead zones: left of dz1 sets 0, right of width - dz2 sets max.
    int mDeadLeft = 0, mDeadRight = 0;
    int mThumbOrigin = 0;   // the thumb's x as loaded
};
