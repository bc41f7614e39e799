#pragma once
#include <map>
#include <string>
#include "game/ui/ui_control.h"
#include "game/ui/ui_text_attr.h"

// The text label ("uxtext"): a localised text whose %name% variables come
// from the application's text variables and stay current (each rebuild fires
// "onchange"), in up to three passes over an image that may be a short frame
// animation ("+0clock", "+1clock" ...).
class UiText : public UiControl {
public:
    static constexpr int kMaxFrames = 10;
    static constexpr int kDisabledFrame = 10;   // SetFrame index of the disabled image

    OfficeApp* mApp;
    std::u16string mLabelSource;                // with %name% variables
    uint8_t mExpanded = 1;                      // 0: rebuild the shown text at the next Update
    std::map<std::u16string, std::u16string> mVariables;
    int mJustify = -1;                          // 0 centred, 1 right, other left
    int mVAlign = -1;                           // 0 centred, 1 bottom, other top
    int mLineSpacing = -1;
    float mFrameTime = 0.0f;                    // seconds toward the next frame
    std::u16string mShownText;
    UiTextAttr mTextAttrs[kTextPassCount];      // highlight colours unused
    int mFps = 0;                               // 0 or less: no animation
    int mCurrentFrame = 0;
    int mFrameCount = 1;                        // leading frames that are set
    uint8_t mOneShot = 0;                       // play once, hold the last frame
    Zephra::Image* mFrames[kMaxFrames] = {};
    Zephra::Rect mFrameRect;
    Zephra::Image* mDisabledImage = nullptr;
    Zephra::Rect mDisabledRect;

    UiText(UiControl* parent, OfficeApp* app);
    ~UiText() override;

    void Update() override;
    void Draw(Zephra::Graphics* g) override;

    virtual void Load(XmlNode element, OfficeApp* app);
    // A new source: the shown text is rebuilt at the next Update.
    virtual void SetLabel(const std::u16string& label);
    virtual void SetTextAttr(int index, Zephra::Font* font, const Zephra::Color& color,
                             const Zephra::Color& disabled);
    // Index 0-9 a frame (0 also sets the frame rectangle), 10 the disabled
    // image; the image is borrowed. Restarts at frame 0.
    virtual void SetFrame(int index, Zephra::Image* image, const Zephra::Rect& src);
    // The one frame and the disabled image; borrowed.
    virtual void SetImage(Zephra::Image* image);

    const std::u16string& GetShownText() const { return mShownText; }

private:
    void Expand();

    UiLabel mLabel;
};
