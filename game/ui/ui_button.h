#pragma once
#include <cstdint>
#include <string>
#include "framework/app/button_listener.h"
#include "game/ui/ui_control.h"
#include "game/ui/ui_text_attr.h"

// State textures of a button.
enum UiButtonTexture : int {
    kButtonNormal = 0,
    kButtonOver = 1,
    kButtonDown = 2,
    kButtonDisabled = 3,
    kButtonTextureCount = 4,
};

// The push button ("uxbutton"): a state texture, a label in up to three
// passes, hover cursor and sounds, and its listener told of every press and
// release with the button's id.
class UiButton : public UiControl {
public:
    intptr_t mId;
    std::u16string mLabel;
    int mLineSpacing = -1;
    int mJustify = 0;           // 0 centred, 1 right, other left
    Zephra::Image* mTextures[kButtonTextureCount] = {};
    Zephra::Rect mTextureRects[kButtonTextureCount];
    uint8_t mAdditiveOver = 0;  // the over texture is added on top of the normal one
    UiTextAttr mTextAttrs[kTextPassCount];
    Zephra::ButtonListener* mListener;

    UiButton(UiControl* parent, intptr_t id, Zephra::ButtonListener* listener);
    ~UiButton() override;

    void Update() override;
    void Draw(Zephra::Graphics* g) override;
    void MouseEnter() override;
    void MouseLeave() override;
    void MouseMove(int x, int y) override;
    void MouseDown(int x, int y, int button, int clickCount) override;
    void MouseUp(int x, int y, int button, int clickCount) override;
    using Zephra::Widget::MouseDown;
    using Zephra::Widget::MouseUp;

    virtual void Load(XmlNode element, OfficeApp* app);
    // Index 0-2 (shadow, stroke, normal); others are ignored.
    virtual void SetTextAttr(int index, Zephra::Font* font, const Zephra::Color& color,
                             const Zephra::Color& highlight, const Zephra::Color& disabled);
    // Index 0-3; the image is borrowed.
    virtual void SetTexture(int index, Zephra::Image* image, const Zephra::Rect& src);
    virtual void SetAllTextures(Zephra::Image* image);
    virtual void SetLabel(const std::u16string& label);
    virtual void SetId(intptr_t id) { mId = id; }

    Zephra::Image* GetTexture(int index) const;
    Zephra::Rect GetTextureRect(int index) const;

private:
    UiLabel mLabelCache;
};
