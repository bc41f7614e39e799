#include "game/ui/ui_text.h"

#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"
#include "game/app/office_app.h"
#include "game/app/tables.h"

UiText::UiText(UiControl* parent, OfficeApp* app) : UiControl(parent), mApp(app) { SetImage(nullptr); }

UiText::~UiText() = default;

void UiText::SetLabel(const std::u16string& label) {
    mLabelSource = label;
    mVariables.clear();
    mExpanded = 0;
}

void UiText::SetTextAttr(int index, Zephra::Font* font, const Zephra::Color& color, const Zephra::Color& disabled) {
    if (index < 0 || index >= kTextPassCount) return;
    mTextAttrs[index] = UiTextAttr{font, color, color, disabled};
    mLabel.Invalidate();
}

void UiText::SetFrame(int index, Zephra::Image* image, const Zephra::Rect& src) {
    if (index == kDisabledFrame) {
        mDisabledImage = image;
        mDisabledRect = src;
    } else if (index >= 0 && index < kMaxFrames) {
        mFrames[index] = image;
        if (index == 0) mFrameRect = src;
    } else {
        return;
    }
    mFrameCount = 0;
    while (mFrameCount < kMaxFrames && mFrames[mFrameCount] != nullptr) ++mFrameCount;
    mCurrentFrame = 0;
}

void UiText::SetImage(Zephra::Image* image) {
    mFrames[0] = image;
    mDisabledImage = image;
    for (int i = 1; i < kMaxFrames; ++i) mFrames[i] = nullptr;
    mFrameCount = 1;
    mCurrentFrame = 0;
}

void UiText::Load(XmlNode element, OfficeApp* app) {
    if (app != nullptr) mApp = app;
    LoadCommon(element);
    std::string label;
    if (XmlGetAttrString(element, "label", label) && mApp) SetLabel(mApp->GetLocTable()->Lookup(label));
    XmlGetAttrHexInt(element, "line_spacing", mLineSpacing);
    mLineSpacing = ClampCoordinate(mLineSpacing);
    XmlGetAttrInt(element, "justify", mJustify);
    XmlGetAttrInt(element, "valign", mVAlign);
    XmlGetAttrInt(element, "fps", mFps);
    XmlGetAttrBool(element, "oneshot", mOneShot);

    UiTextAttr attrs[kTextPassCount];
    for (int i = 0; i < kTextPassCount; ++i) attrs[i] = mTextAttrs[i];
    LoadTextAttrs(element, mApp, attrs);
    for (int i = 0; i < kTextPassCount; ++i) SetTextAttr(i, attrs[i].font, attrs[i].color, attrs[i].disabled);

    Zephra::MemoryImage* image = nullptr;
    Zephra::Rect src;
    if (LoadTexture(element, "normal", mApp, image, src, mWidth, mHeight)) {
        SetFrame(0, image, src);
        std::string name;
        XmlGetAttrString(ChildById(element, "texture", "normal"), "texture", name);
        // "+0clock" continues with "+1clock" ... until a name is unknown; a
        // bare "+" has no digit to replace.
        if (name.size() >= 2 && name[0] == '+') {
            for (int frame = 1; frame < kMaxFrames; ++frame) {
                name[1] = static_cast<char>('0' + frame);
                Zephra::MemoryImage* next = AcquireTexture(mApp, name);
                SetFrame(frame, next, src);
                if (next == nullptr) break;
            }
        }
    }
    if (LoadTexture(element, "disabled", mApp, image, src, mWidth, mHeight)) SetFrame(kDisabledFrame, image, src);
}

void UiText::Expand() {
    mLabel.Invalidate();
    mVariables.clear();
    mShownText.clear();
    TextTable* vars = mApp ? mApp->GetTextVars() : nullptr;
    bool inside = false;
    std::u16string name;
    for (char16_t ch : mLabelSource) {
        if (!inside) {
            if (ch == u'%') {
                inside = true;
                name.clear();
            } else {
                mShownText.push_back(ch);
            }
        } else if (ch == u'%') {
            inside = false;
            std::u16string value = vars ? vars->Get(name) : std::u16string();
            mShownText += value;
            mVariables[name] = std::move(value);
        } else {
            name.push_back(ch);
        }
    }
    mExpanded = 1;
    if (mEffect) mEffect->FireMessage("onchange");
}

void UiText::Update() {
    mFrameTime += StepSeconds();
    if (mFps > 0 && mFrameCount > 1) {
        const float period = 1.0f / static_cast<float>(mFps);
        while (mFrameTime >= period) {
            mFrameTime -= period;
            ++mCurrentFrame;
        }
        if (!mOneShot) {
            mCurrentFrame %= mFrameCount;
        } else if (!mVisible) {
            mCurrentFrame = 0;
        } else if (mCurrentFrame > mFrameCount - 1) {
            mCurrentFrame = mFrameCount - 1;
        }
    }
    if (TextTable* vars = mApp ? mApp->GetTextVars() : nullptr) {
        for (const auto& [name, value] : mVariables) {
            if (vars->Get(name) != value) {
                mExpanded = 0;
                break;
            }
        }
    }
    if (!mExpanded) Expand();
    UiControl::Update();
}

void UiText::Draw(Zephra::Graphics* g) {
    g->PushState();
    g->SetColorizeImages(true);
    g->SetColor(Zephra::Color(255, 255, 255, DrawAlpha()));
    const Zephra::Rect dest(0, 0, mWidth, mHeight);
    if (!mDisabled) {
        if (mCurrentFrame >= 0 && mCurrentFrame < kMaxFrames && mFrames[mCurrentFrame] != nullptr)
            g->DrawImageInRect(mFrames[mCurrentFrame], dest, mFrameRect);
    } else if (mDisabledImage != nullptr) {
        g->DrawImageInRect(mDisabledImage, dest, mDisabledRect);
    }
    g->PopState();
    mLabel.Draw(*this, g, mTextAttrs, mShownText, mLineSpacing, mJustify, mVAlign,
                mDisabled ? kTextStateDisabled : kTextStatePlain);
    UiControl::Draw(g);
}
