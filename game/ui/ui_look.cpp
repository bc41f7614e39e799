#include "game/ui/ui_look.h"

#include <cmath>
#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"
#include "game/app/office_app.h"
#include "game/ui/ui_control.h"

void DrawLook(const UiControl& control, Zephra::Graphics* g, const UiLook& look) {
    if (look.image == nullptr) return;
    g->SetColorizeImages(true);
    g->SetColor(Zephra::Color(255, 255, 255, control.DrawAlpha()));
    g->DrawImageInRect(look.image, Zephra::Rect(0, 0, control.mWidth, control.mHeight), look.src);
}

UiLayoutCache::UiLayoutCache() = default;

UiLayoutCache::~UiLayoutCache() = default;

void UiLayoutCache::Invalidate() { mCache.reset(); }

void UiLayoutCache::Draw(const UiControl& control, Zephra::Graphics* g, bool rebuild, const Content& content) {
    if (std::fabs(control.ScaleProduct() - 1.0f) < 0.01f) {
        mCache.reset();
        g->PushState();
        content(g, control.mWidth, control.mHeight, control.AlphaProduct());
        g->PopState();
        return;
    }
    const Zephra::Rect& layout = control.GetLayoutRect();
    if (layout.mWidth <= 0 || layout.mHeight <= 0) return;
    if (mCache && (mCache->mWidth != layout.mWidth || mCache->mHeight != layout.mHeight)) mCache.reset();
    if (!mCache || rebuild) {
        OfficeApp* app = GetApp();
        if (app == nullptr) return;
        if (!mCache) mCache.reset(app->CreateImage());
        mCache->Create(layout.mWidth, layout.mHeight);
        Zephra::Graphics cg(mCache.get());
        content(&cg, layout.mWidth, layout.mHeight, 1.0f);
    }
    g->SetColorizeImages(true);
    g->SetColor(Zephra::Color(255, 255, 255, control.DrawAlpha()));
    g->DrawImageInRect(mCache.get(), Zephra::Rect(0, 0, control.mWidth, control.mHeight),
                       Zephra::Rect(0, 0, layout.mWidth, layout.mHeight));
}
