#pragma once
#include <memory>
#include <string>
#include <vector>
#include "game/ui/ui_control.h"
#include "game/ui/ui_look.h"
#include "game/ui/ui_text_attr.h"

class UiScroll;

// A column of text lines ("uxlist") with a selected line, an optional checked
// line marked by an icon and a "scroll" bar child at its right edge.
class UiList : public UiControl {
public:
    explicit UiList(UiControl* parent);
    ~UiList() override;

    void Update() override;
    void Draw(Zephra::Graphics* g) override;
    // Counts the visible lines and resets the scroll range.
    void Resize(int x, int y, int width, int height) override;
    using UiControl::Resize;
    void MouseDown(int x, int y, int button, int clickCount) override;

    void Load(XmlNode element, OfficeApp* app);
    // Index 0 shadow, 1 stroke, 2 normal.
    void SetTextAttr(int index, Zephra::Font* font, const Zephra::Color& color, const Zephra::Color& disabled);
    // Index 0 normal, 1 disabled; the image is borrowed.
    void SetTexture(int index, Zephra::Image* image, const Zephra::Rect& src);
    void SetAllTextures(Zephra::Image* image);
    void AddItem(const std::u16string& text);
    void Clear();
    void SetCheckedItem(int index) { mCheckedItem = index; }
    int GetSelected() const { return mSelected; }
    void SetSelected(int index) { mSelected = index; }

    UiScroll* GetScroll() const { return mScroll; }
    int GetFirstVisible() const { return mFirstVisible; }
    int GetVisibleLines() const { return mVisibleLines; }
    int GetItemCount() const { return static_cast<int>(mItems.size()); }

private:
    // The scroll bar's range for the items and the visible lines.
    void UpdateRange();
    // The rows in a rectangle of the layout size.
    void DrawRows(Zephra::Graphics* g, int height, float alpha);

    UiScroll* mScroll = nullptr;
    Zephra::Color mSelectionColor;
    int mLineHeight = -1;       // "line_spacing"; rows need at least 1
    int mFirstVisible = 0;
    int mVisibleLines = 0;
    int mSelected = 0;
    UiTextAttr mAttrs[kTextPassCount];
    UiLook mLooks[2];
    UiLook mCheck;
    int mCheckedItem = -1;
    UiLayoutCache mCache;
    int mTextWidth = 0;
    int mLeft = 0;
    std::vector<std::u16string> mItems;
};
