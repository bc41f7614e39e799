#pragma once
#include <memory>
#include <string>
#include "game/ui/edit_line.h"
#include "game/ui/ui_control.h"
#include "game/ui/ui_look.h"
#include "game/ui/ui_text_attr.h"

// The one-line text entry ("uxedit"): caret, selection, clipboard and one
// step of undo (EditLine), drawn in up to three passes with a blinking
// two-pixel caret over a highlighted selection.
class UiEdit : public UiControl, private EditClipboard {
public:
    static constexpr int kBlinkPeriod = 40;     // update steps per blink phase

    explicit UiEdit(UiControl* parent);
    ~UiEdit() override;

    void Update() override;
    void Draw(Zephra::Graphics* g) override;
    void Resize(int x, int y, int width, int height) override;
    using UiControl::Resize;
    bool WantsFocus() override { return true; }
    void GotFocus() override;
    void LostFocus() override;
    void KeyChar(char16_t ch) override;
    void KeyDown(int keyCode) override;
    void MouseEnter() override;
    void MouseLeave() override;
    void MouseDown(int x, int y, int button, int clickCount) override;
    void MouseUp(int x, int y, int button, int clickCount) override;
    void MouseDrag(int x, int y) override;

    // One key through the editor: a key code without a character or a
    // character with key code 0.
    void EditText(int keyCode, char16_t ch);
    void SelectWordAtCaret();
    void Load(XmlNode element, OfficeApp* app);
    // Index 0 normal, 1 disabled; the image is borrowed.
    void SetTexture(int index, Zephra::Image* image, const Zephra::Rect& src);
    void SetAllTextures(Zephra::Image* image);
    // Index 0 shadow, 1 stroke, 2 normal (the normal font measures).
    void SetTextAttr(int index, Zephra::Font* font, const Zephra::Color& color, const Zephra::Color& highlight);
    // Replaces the text and selects all of it.
    void SetText(const std::u16string& text, bool resetScroll);
    const std::u16string& GetText() const { return mLine.mText; }
    static bool IsNameChar(char16_t ch) { return EditLine::IsNameChar(ch); }
    int CharIndexAt(int x) const { return mLine.CharIndexAt(x); }
    void ScrollToCaret(bool fast);

    // Caret, selection and limits, for the screens that preset them.
    EditLine& Line() { return mLine; }
    const EditLine& Line() const { return mLine; }
    bool IsCaretVisible() const { return mCaretVisible; }

private:
    std::string ReadText() override;
    void WriteText(const std::string& text) override;

    // The text passes of one rectangle of the given size.
    void DrawContent(Zephra::Graphics* g, int width, int height, float alpha);
    void DrawPasses(Zephra::Graphics* g, int height, bool highlight, float alpha);

    EditLine mLine;
    UiTextAttr mAttrs[kTextPassCount];
    Zephra::Color mSelectionColor = Zephra::Color(0, 0, 0, 255);
    UiLook mLooks[2];
    UiLayoutCache mCache;
    bool mCaretVisible = false;
    bool mDoubleClicked = false;
    int mBlinkCounter = 0;
};
