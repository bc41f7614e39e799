#include "game/ui/ui_edit.h"

#include <algorithm>
#include "framework/app/widget_manager.h"
#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"
#include "game/app/office_app.h"
#include "game/ui/cursor_table.h"

UiEdit::UiEdit(UiControl* parent) : UiControl(parent) {}

UiEdit::~UiEdit() = default;

std::string UiEdit::ReadText() {
    OfficeApp* app = GetApp();
    return app != nullptr ? app->ReadClipboardText() : std::string();
}

void UiEdit::WriteText(const std::string& text) {
    if (OfficeApp* app = GetApp()) app->CopyToClipboard(text);
}

void UiEdit::SetTexture(int index, Zephra::Image* image, const Zephra::Rect& src) {
    if (index < 0 || index > 1) return;
    mLooks[index] = UiLook{image, src};
}

void UiEdit::SetAllTextures(Zephra::Image* image) {
    for (UiLook& look : mLooks) look.image = image;
}

void UiEdit::SetTextAttr(int index, Zephra::Font* font, const Zephra::Color& color,
                         const Zephra::Color& highlight) {
    if (index < 0 || index >= kTextPassCount) return;
    mAttrs[index].font = font;
    mAttrs[index].color = color;
    mAttrs[index].highlight = highlight;
    if (index == kTextNormal) mLine.mFont = font;
    mCache.Invalidate();
}

void UiEdit::SetText(const std::u16string& text, bool resetScroll) {
    mLine.SetText(text, resetScroll);
    mCache.Invalidate();
    MarkDirty();
}

void UiEdit::ScrollToCaret(bool fast) {
    if (mLine.ScrollToCaret(fast)) MarkDirty();
}

void UiEdit::Load(XmlNode element, OfficeApp* app) {
    LoadCommon(element);
    uint32_t hilite = 0xFF000000u;
    XmlGetAttrHexUInt(element, "hilite_color", hilite);
    mSelectionColor = Zephra::Color(hilite);
    static constexpr const char* kAttrIds[kTextPassCount] = {"shadow", "stroke", "normal"};
    for (int i = 0; i < kTextPassCount; ++i) {
        UiTextAttr attr;
        if (LoadTextAttr(element, kAttrIds[i], app, attr))
            SetTextAttr(i, attr.font, attr.color, attr.highlight);
    }
    static constexpr const char* kTextureIds[2] = {"normal", "disabled"};
    for (int i = 0; i < 2; ++i) {
        Zephra::MemoryImage* image = nullptr;
        Zephra::Rect src;
        if (LoadTexture(element, kTextureIds[i], app, image, src, mLayoutRect.mWidth, mLayoutRect.mHeight))
            mLooks[i] = UiLook{image, src};
    }
}

void UiEdit::Resize(int x, int y, int width, int height) {
    UiControl::Resize(x, y, width, height);
    mCache.Invalidate();
    mLine.mViewWidth = mLayoutRect.mWidth;
    ScrollToCaret(false);
}

void UiEdit::GotFocus() {
    Widget::GotFocus();
    mCaretVisible = true;
    mBlinkCounter = 0;
    mCache.Invalidate();
    MarkDirty();
}

void UiEdit::LostFocus() {
    Widget::LostFocus();
    mCaretVisible = false;
    mCache.Invalidate();
    MarkDirty();
}

void UiEdit::KeyDown(int keyCode) {
    // Letters arrive as characters.
    if (keyCode < 0x41 || keyCode > 0x5A) EditText(keyCode, 0);
    Widget::KeyDown(keyCode);
}

void UiEdit::KeyChar(char16_t ch) { EditText(0, ch); }

void UiEdit::EditText(int keyCode, char16_t ch) {
    const bool shift = mWidgetManager != nullptr && mWidgetManager->IsKeyDown(EditLine::kKeyShift);
    const bool ctrl = mWidgetManager != nullptr && mWidgetManager->IsKeyDown(EditLine::kKeyControl);
    // Typed and pasted text alike: up to 0x7F, or any UTF-16 unit when the
    // application takes wide characters.
    if (OfficeApp* app = GetApp()) mLine.mHighestChar = app->mWideChars ? 0xFFFF : 0x7F;
    mCache.Invalidate();
    const EditLine::Outcome out = mLine.Edit(keyCode, ch, shift, ctrl, this);
    if (out.caretMoved) {
        mCaretVisible = true;
        mBlinkCounter = 0;
    }
    MarkDirty();
}

void UiEdit::SelectWordAtCaret() {
    mLine.SelectWordAtCaret();
    MarkDirty();
}

void UiEdit::MouseDown(int x, int y, int button, int clickCount) {
    (void)y;
    (void)button;
    mCache.Invalidate();
    mLine.mAnchor = EditLine::kNoAnchor;
    mLine.mCaret = mLine.CharIndexAt(x);
    if (clickCount > 1) {
        mDoubleClicked = true;
        mLine.SelectWordAtCaret();
    }
    MarkDirty();
    ScrollToCaret(false);
}

void UiEdit::MouseDrag(int x, int y) {
    (void)y;
    mCache.Invalidate();
    if (mLine.mAnchor < 0) mLine.mAnchor = mLine.mCaret;
    mLine.mCaret = mLine.CharIndexAt(x);
    MarkDirty();
    ScrollToCaret(false);
}

void UiEdit::MouseUp(int x, int y, int button, int clickCount) {
    (void)y;
    (void)button;
    (void)clickCount;
    mCache.Invalidate();
    if (mLine.mAnchor == mLine.mCaret) mLine.mAnchor = EditLine::kNoAnchor;
    if (mDoubleClicked) {
        mLine.mCaret = mLine.CharIndexAt(x);
        mLine.SelectWordAtCaret();
        mDoubleClicked = false;
    }
    MarkDirty();
}

void UiEdit::MouseEnter() {
    OfficeApp* app = GetApp();
    if (app != nullptr && app->GetCursorTable() != nullptr) app->GetCursorTable()->Select("text");
}

void UiEdit::MouseLeave() {
    OfficeApp* app = GetApp();
    if (app != nullptr && app->GetCursorTable() != nullptr) app->GetCursorTable()->Select("normal");
}

void UiEdit::Update() {
    UiControl::Update();
    if (!mHasFocus) return;
    if (++mBlinkCounter > kBlinkPeriod) {
        mBlinkCounter = 0;
        mCaretVisible = !mCaretVisible;
        mCache.Invalidate();
        MarkDirty();
    }
}

void UiEdit::DrawPasses(Zephra::Graphics* g, int height, bool highlight, float alpha) {
    const std::u16string visible = mLine.mText.substr(std::min<size_t>(mLine.mScroll, mLine.mText.size()));
    for (const UiTextAttr& attr : mAttrs) {
        if (attr.font == nullptr) continue;
        Zephra::Color c = highlight ? attr.highlight : attr.color;
        c.mAlpha = UiTrunc(static_cast<float>(c.mAlpha) * alpha);
        g->SetFont(attr.font);
        g->SetColor(c);
        g->DrawString(visible, 4, (height - attr.font->GetHeight()) / 2 + attr.font->GetAscent());
    }
}

void UiEdit::DrawContent(Zephra::Graphics* g, int width, int height, float alpha) {
    g->PushState();
    g->IntersectClip(Zephra::Rect(4, 0, width - 8, height));
    DrawPasses(g, height, false, alpha);
    g->PopState();

    Zephra::Font* font = mAttrs[kTextNormal].font;
    if (!mHasFocus || font == nullptr) return;
    const int scrollX = mLine.Width(0, mLine.mScroll);
    int caretX = mLine.Width(0, mLine.mCaret) - scrollX;
    int otherX = mLine.HasSelection() ? mLine.Width(0, mLine.mAnchor) - scrollX : caretX + 2;
    if (!mCaretVisible) caretX += 2;
    const int limit = std::max(0, width - 8);
    caretX = std::clamp(caretX, 0, limit);
    otherX = std::clamp(otherX, 0, limit);
    const int left = std::min(caretX, otherX);
    const int span = std::abs(caretX - otherX);
    if (span == 0) return;
    g->PushState();
    const Zephra::Rect band(left + 4, (height - font->GetHeight()) / 2, span, font->GetHeight());
    g->IntersectClip(band);
    Zephra::Color fill = mSelectionColor;
    fill.mAlpha = UiTrunc(static_cast<float>(fill.mAlpha) * alpha);
    g->SetColor(fill);
    g->FillRect(band);
    DrawPasses(g, height, true, alpha);
    g->PopState();
}

void UiEdit::Draw(Zephra::Graphics* g) {
    DrawLook(*this, g, (mDisabled && mLooks[1].image != nullptr) ? mLooks[1] : mLooks[0]);
    // Every edit, blink and focus change invalidates the cache.
    mCache.Draw(*this, g, false, [this](Zephra::Graphics* cg, int w, int h, float alpha) {
        DrawContent(cg, w, h, alpha);
    });
    UiControl::Draw(g);
}
