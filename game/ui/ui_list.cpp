#include "game/ui/ui_list.h"

#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"
#include "game/app/office_app.h"
#include "game/ui/ui_button.h"
#include "game/ui/ui_scroll.h"

UiList::UiList(UiControl* parent) : UiControl(parent) {}

UiList::~UiList() = default;

void UiList::SetTextAttr(int index, Zephra::Font* font, const Zephra::Color& color,
                         const Zephra::Color& disabled) {
    if (index < 0 || index >= kTextPassCount) return;
    mAttrs[index].font = font;
    mAttrs[index].color = color;
    mAttrs[index].disabled = disabled;
}

void UiList::SetTexture(int index, Zephra::Image* image, const Zephra::Rect& src) {
    if (index < 0 || index > 1) return;
    mLooks[index] = UiLook{image, src};
}

void UiList::SetAllTextures(Zephra::Image* image) {
    for (UiLook& look : mLooks) look.image = image;
}

void UiList::AddItem(const std::u16string& text) {
    mItems.push_back(text);
    UpdateRange();
}

void UiList::Clear() {
    mItems.clear();
    mFirstVisible = 0;
    UpdateRange();
    if (mScroll != nullptr) mScroll->SetPosition(0);
}

void UiList::UpdateRange() {
    if (mScroll == nullptr) return;
    const int items = static_cast<int>(mItems.size());
    // A cut-off last line needs one more step.
    int max = mVisibleLines * mLineHeight <= mLayoutRect.mHeight ? items - mVisibleLines : items - mVisibleLines + 1;
    if (mLineHeight < 1 || max < 1) max = 0;
    mScroll->SetMax(max);
}

void UiList::Resize(int x, int y, int width, int height) {
    // Without a line height of at least one pixel no row can be laid out.
    mVisibleLines = mLineHeight >= 1 ? height / mLineHeight + 1 : 0;
    UiControl::Resize(x, y, width, height);
    if (mScroll != nullptr) {
        UpdateRange();
        mScroll->SetPosition(0);
    }
}

void UiList::Load(XmlNode element, OfficeApp* app) {
    XmlGetAttrHexInt(element, "line_spacing", mLineHeight);
    XmlGetAttrHexInt(element, "left", mLeft);
    mLineHeight = ClampCoordinate(mLineHeight);
    mLeft = ClampCoordinate(mLeft);
    uint32_t sel = 0;
    if (XmlGetAttrHexUInt(element, "sel_color", sel)) mSelectionColor = Zephra::Color(sel);
    LoadCommon(element);
    const int width = mLayoutRect.mWidth;
    const int height = mLayoutRect.mHeight;
    mTextWidth = width - mLeft;

    if (XmlNode node = element.find_child_by_attribute("element", "name", "scroll")) {
        auto* scroll = new UiScroll(this);
        scroll->Load(node, app);
        AddChild("scroll", scroll);
        mScroll = scroll;
        const int sw = scroll->GetLayoutRect().mWidth;
        scroll->Resize(width - sw, 0, sw, height);
        mTextWidth = width - sw - mLeft;
        const int upH = scroll->mUp != nullptr ? scroll->mUp->GetLayoutRect().mHeight : 0;
        const int downH = scroll->mDown != nullptr ? scroll->mDown->GetLayoutRect().mHeight : 0;
        const int sliderH = scroll->mSlider != nullptr ? scroll->mSlider->GetLayoutRect().mHeight : 0;
        if (scroll->mUp != nullptr) scroll->mUp->Move(0, 0);
        if (scroll->mDown != nullptr) scroll->mDown->Move(0, height - downH);
        scroll->SetTrack(0, upH, 0, height - downH - sliderH);
        UpdateRange();
    }

    LoadTextAttrs(element, app, mAttrs);
    static constexpr const char* kTextureIds[2] = {"normal", "disabled"};
    for (int i = 0; i < 2; ++i) {
        Zephra::MemoryImage* image = nullptr;
        Zephra::Rect src;
        if (LoadTexture(element, kTextureIds[i], app, image, src, width, height)) mLooks[i] = UiLook{image, src};
    }
    Zephra::MemoryImage* check = nullptr;
    Zephra::Rect src;
    if (LoadTexture(element, "check", app, check, src, 0, 0) && check != nullptr)
        mCheck = UiLook{check, Zephra::Rect(src.mX, src.mY, check->mWidth, check->mHeight)};
}

void UiList::Update() {
    if (mScroll != nullptr) mFirstVisible = mScroll->GetPosition();
    UiControl::Update();
}

void UiList::MouseDown(int x, int y, int button, int clickCount) {
    (void)x;
    (void)button;
    (void)clickCount;
    if (mLineHeight < 1) return;
    const int row = y / mLineHeight;
    const int line = mFirstVisible + row;
    if (row >= 0 && line >= 0 && line < static_cast<int>(mItems.size())) mSelected = line;
    // A cut-off bottom row scrolls into view.
    if ((mSelected - mFirstVisible + 1) * mLineHeight > mLayoutRect.mHeight) {
        ++mFirstVisible;
        if (mScroll != nullptr) mScroll->SetPosition(mFirstVisible);
    }
    MarkDirty();
}

void UiList::DrawRows(Zephra::Graphics* g, int height, float alpha) {
    if (mLineHeight < 1) return;
    const int items = static_cast<int>(mItems.size());
    for (int y = 0, i = std::max(mFirstVisible, 0); y < height && i < items; y += mLineHeight, ++i) {
        if (i == mSelected) {
            g->SetColor(mSelectionColor);
            g->FillRect(0, y, mLeft + mTextWidth, mLineHeight);
        }
        if (i == mCheckedItem && mCheck.image != nullptr) {
            g->SetColorizeImages(true);
            g->SetColor(Zephra::Color(255, 255, 255, UiTrunc(255.0f * alpha)));
            g->DrawImage(mCheck.image, 0, y + (mLineHeight - mCheck.src.mHeight) / 2, mCheck.src);
        }
        for (const UiTextAttr& attr : mAttrs) {
            if (attr.font == nullptr) continue;
            Zephra::Color c = mDisabled ? attr.disabled : attr.color;
            c.mAlpha = UiTrunc(static_cast<float>(c.mAlpha) * alpha);
            g->SetFont(attr.font);
            g->SetColor(c);
            g->DrawString(mItems[i], mLeft, y + (mLineHeight - attr.font->GetHeight()) / 2 + attr.font->GetAscent());
        }
    }
}

void UiList::Draw(Zephra::Graphics* g) {
    DrawLook(*this, g, (mDisabled && mLooks[1].image != nullptr) ? mLooks[1] : mLooks[0]);
    // The rows change with every selection and scroll: a scaled list renders them each time.
    mCache.Draw(*this, g, true, [this](Zephra::Graphics* cg, int w, int h, float alpha) {
        (void)w;
        DrawRows(cg, h, alpha);
    });
    UiControl::Draw(g);
}
