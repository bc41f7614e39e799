#pragma once
#include "game/ui/ui_control.h"

// The segmented bar ("uxbar"): equal segments of seg_width across the
// control, the first value/max of them drawn with the fill texture, the rest
// with the empty one.
class UiBar : public UiControl {
public:
    int mMax = 0;
    int mValue = 0;
    Zephra::Image* mFill = nullptr;    // borrowed, or held when loaded
    Zephra::Image* mEmpty = nullptr;
    Zephra::Rect mFillRect;            // width: the segment width
    Zephra::Rect mEmptyRect;

    explicit UiBar(UiControl* parent);
    ~UiBar() override;

    void Draw(Zephra::Graphics* g) override;

    virtual void SetMax(int max) { mMax = max; }
    virtual void SetValue(int value) { mValue = value; }
    virtual void Load(XmlNode element, OfficeApp* app);
    // Both images; borrowed.
    virtual void SetTextures(Zephra::Image* image);
    // Whether segment i of count is filled (a max of 0 fills all for a
    // positive value, none otherwise).
    bool IsSegmentFilled(int i, int count) const;
};
