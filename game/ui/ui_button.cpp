#include "game/ui/ui_button.h"

#include "framework/app/widget_manager.h"
#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"
#include "game/app/office_app.h"
#include "game/app/sound.h"
#include "game/ui/cursor_table.h"

namespace {

void PlayUiSound(const char* name) {
    OfficeApp* app = GetApp();
    if (app && app->GetSoundManager()) app->GetSoundManager()->Play(name);
}

void SelectCursor(const char* mode) {
    OfficeApp* app = GetApp();
    if (app && app->GetCursorTable()) app->GetCursorTable()->Select(mode);
}

} // namespace

UiButton::UiButton(UiControl* parent, intptr_t id, Zephra::ButtonListener* listener)
    : UiControl(parent), mId(id), mListener(listener) {
    SetAllTextures(nullptr);
    mHasAlpha = true;
}

UiButton::~UiButton() = default;

void UiButton::Load(XmlNode element, OfficeApp* app) {
    LoadCommon(element);
    std::string label;
    if (XmlGetAttrString(element, "label", label) && app) SetLabel(app->GetLocTable()->Lookup(label));
    XmlGetAttrHexInt(element, "line_spacing", mLineSpacing);
    mLineSpacing = ClampCoordinate(mLineSpacing);
    XmlGetAttrHexInt(element, "justify", mJustify);
    static const char* const kIds[kButtonTextureCount] = {"normal", "over", "down", "disabled"};
    for (int i = 0; i < kButtonTextureCount; ++i) {
        Zephra::MemoryImage* image = nullptr;
        Zephra::Rect src;
        if (LoadTexture(element, kIds[i], app, image, src, mWidth, mHeight)) SetTexture(i, image, src);
    }
    if (XmlNode over = ChildById(element, "texture", "over")) {
        mAdditiveOver = std::string(over.attribute("mode").as_string()) == "additive" ? 1 : 0;
    }
    UiTextAttr attrs[kTextPassCount];
    for (int i = 0; i < kTextPassCount; ++i) attrs[i] = mTextAttrs[i];
    LoadTextAttrs(element, app, attrs);
    for (int i = 0; i < kTextPassCount; ++i)
        SetTextAttr(i, attrs[i].font, attrs[i].color, attrs[i].highlight, attrs[i].disabled);
}

void UiButton::SetTextAttr(int index, Zephra::Font* font, const Zephra::Color& color,
                           const Zephra::Color& highlight, const Zephra::Color& disabled) {
    if (index < 0 || index >= kTextPassCount) return;
    mTextAttrs[index] = UiTextAttr{font, color, highlight, disabled};
    mLabelCache.Invalidate();
}

void UiButton::SetTexture(int index, Zephra::Image* image, const Zephra::Rect& src) {
    if (index < 0 || index >= kButtonTextureCount) return;
    mTextures[index] = image;
    mTextureRects[index] = src;
}

void UiButton::SetAllTextures(Zephra::Image* image) {
    for (Zephra::Image*& t : mTextures) t = image;
}

void UiButton::SetLabel(const std::u16string& label) {
    mLabel = label;
    mLabelCache.Invalidate();
}

Zephra::Image* UiButton::GetTexture(int index) const {
    return index >= 0 && index < kButtonTextureCount ? mTextures[index] : nullptr;
}

Zephra::Rect UiButton::GetTextureRect(int index) const {
    return index >= 0 && index < kButtonTextureCount ? mTextureRects[index] : Zephra::Rect();
}

void UiButton::Draw(Zephra::Graphics* g) {
    g->PushState();
    g->SetColorizeImages(true);
    g->SetColor(Zephra::Color(255, 255, 255, DrawAlpha()));
    const Zephra::Rect dest(0, 0, mWidth, mHeight);
    auto draw = [&](int index) {
        if (mTextures[index]) g->DrawImageInRect(mTextures[index], dest, mTextureRects[index]);
    };
    const bool overUsable = mTextures[kButtonOver] != nullptr && !mAdditiveOver;
    const bool addOver = mAdditiveOver && mTextures[kButtonOver] != nullptr;
    auto drawAdditiveOver = [&] {
        g->SetDrawMode(Zephra::DRAWMODE_ADDITIVE);
        draw(kButtonOver);
        g->SetDrawMode(Zephra::DRAWMODE_NORMAL);
    };
    if (mDisabled) {
        draw(kButtonDisabled);
    } else if (mIsDown) {
        if (mTextures[kButtonDown]) {
            draw(kButtonDown);
        } else {
            draw(overUsable ? kButtonOver : kButtonNormal);
            if (addOver) drawAdditiveOver();
        }
    } else if (mIsOver) {
        draw(overUsable ? kButtonOver : kButtonNormal);
        if (addOver) drawAdditiveOver();
    } else {
        draw(kButtonNormal);
    }
    g->PopState();

    const UiTextState state = mDisabled ? kTextStateDisabled : mIsOver ? kTextStateOver : kTextStatePlain;
    mLabelCache.Draw(*this, g, mTextAttrs, mLabel, mLineSpacing, mJustify, 0, state);
    UiControl::Draw(g);
}

void UiButton::MouseEnter() {
    MarkDirty();
    Zephra::WidgetLifeRef life = Life();
    if (mListener) mListener->ButtonMouseEnter(mId);
    if (life->mWidget != this) return;
    SelectCursor("active");
    PlayUiSound("button_hover");
}

void UiButton::MouseLeave() {
    MarkDirty();
    Zephra::WidgetLifeRef life = Life();
    if (mListener) mListener->ButtonMouseLeave(mId);
    if (life->mWidget != this) return;
    SelectCursor("normal");
}

void UiButton::MouseMove(int x, int y) {
    if (mListener) mListener->ButtonMouseMove(mId, x, y);
}

void UiButton::MouseDown(int x, int y, int button, int clickCount) {
    (void)x;
    (void)y;
    (void)button;
    Zephra::WidgetLifeRef life = Life();
    if (!mDisabled) {
        if (mListener) mListener->ButtonPressWithCount(mId, clickCount);
        if (life->mWidget != this) return;
        PlayUiSound("button_click");
    }
    MarkDirty();
}

void UiButton::MouseUp(int x, int y, int button, int clickCount) {
    (void)x;
    (void)y;
    (void)button;
    (void)clickCount;
    Zephra::WidgetLifeRef life = Life();
    // A button disabled while it was held reports no release.
    if (mIsOver && !mDisabled && mWidgetManager != nullptr && mWidgetManager->mHasFocus && mListener)
        mListener->ButtonDepress(mId);
    if (life->mWidget != this) return;
    MarkDirty();
}

void UiButton::Update() {
    UiControl::Update();
    if (mIsDown && mIsOver && mListener) mListener->ButtonDownTick(mId);
}
