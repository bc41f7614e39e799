#include "game/ui/ui_bar.h"

#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"

UiBar::UiBar(UiControl* parent) : UiControl(parent) { SetTextures(nullptr); }

UiBar::~UiBar() = default;

void UiBar::SetTextures(Zephra::Image* image) {
    mFill = image;
    mEmpty = image;
}

void UiBar::Load(XmlNode element, OfficeApp* app) {
    LoadCommon(element);
    int32_t segWidth = 0;
    XmlGetAttrCoord(element, "seg_width", segWidth);
    Zephra::MemoryImage* image = nullptr;
    if (LoadTexture(element, "fill", app, image, mFillRect, segWidth, mHeight)) mFill = image;
    if (LoadTexture(element, "empty", app, image, mEmptyRect, segWidth, mHeight)) mEmpty = image;
}

bool UiBar::IsSegmentFilled(int i, int count) const {
    if (mMax == 0) return mValue > 0;
    return static_cast<float>(i) / static_cast<float>(count) < static_cast<float>(mValue) / static_cast<float>(mMax);
}

void UiBar::Draw(Zephra::Graphics* g) {
    const int segWidth = mFillRect.mWidth;
    if (mFill != nullptr && mEmpty != nullptr && segWidth > 0) {
        g->PushState();
        g->SetColorizeImages(true);
        g->SetColor(Zephra::Color(255, 255, 255, DrawAlpha()));
        // Scaled segments keep their count from the scaled width and sit side by side.
        const int count = mWidth / segWidth;
        const int step = UiTrunc(static_cast<float>(segWidth) * ScaleProduct());
        for (int i = 0; i < count; ++i) {
            const bool filled = IsSegmentFilled(i, count);
            g->DrawImageInRect(filled ? mFill : mEmpty, Zephra::Rect(i * step, 0, step, mHeight),
                               filled ? mFillRect : mEmptyRect);
        }
        g->PopState();
    }
    UiControl::Draw(g);
}
