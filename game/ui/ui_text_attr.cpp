#include "game/ui/ui_text_attr.h"

#include <cmath>
#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"
#include "game/app/office_app.h"
#include "game/ui/ui_control.h"

namespace {

// The passes laid out in a control of width x height.
void DrawPasses(Zephra::Graphics& g, const UiTextAttr (&attrs)[kTextPassCount], const std::u16string& text,
                int width, int height, int lineSpacing, int justify, int valign, UiTextState state, float alpha) {
    Zephra::Font* normal = attrs[kTextNormal].font;
    if (normal == nullptr) return;
    g.PushState();
    g.SetFont(normal);
    const int h = g.GetWordWrappedHeight(width, text, lineSpacing);
    Zephra::Rect rect(0, 0, width, height);
    if (valign == 0) {
        rect = Zephra::Rect(0, (height - h) / 2, width, h);
    } else if (valign == 1) {
        rect = Zephra::Rect(0, height - h, width, h);
    }
    for (const UiTextAttr& attr : attrs) {
        if (attr.font == nullptr) continue;
        Zephra::Color c = state == kTextStateDisabled ? attr.disabled
                          : state == kTextStateOver   ? attr.highlight
                                                      : attr.color;
        c.mAlpha = UiTrunc(static_cast<float>(c.mAlpha) * alpha);
        g.SetFont(attr.font);
        g.SetColor(c);
        g.WriteWordWrapped(rect, text, lineSpacing, justify);
    }
    g.PopState();
}

} // namespace

bool LoadTextAttr(XmlNode element, const char* id, OfficeApp* app, UiTextAttr& out) {
    XmlNode node = UiControl::ChildById(element, "textattr", id);
    if (!node) return false;
    uint32_t color = 0xFF000000u;
    XmlGetAttrHexUInt(node, "color", color);
    uint32_t hcolor = color;
    uint32_t dcolor = color;
    XmlGetAttrHexUInt(node, "hcolor", hcolor);
    XmlGetAttrHexUInt(node, "dcolor", dcolor);
    std::string font;
    XmlGetAttrString(node, "font", font);
    out.font = app && !font.empty() ? app->GetFont(font) : nullptr;
    out.color = Zephra::Color(color);
    out.highlight = Zephra::Color(hcolor);
    out.disabled = Zephra::Color(dcolor);
    return true;
}

void LoadTextAttrs(XmlNode element, OfficeApp* app, UiTextAttr (&attrs)[kTextPassCount]) {
    LoadTextAttr(element, "normal", app, attrs[kTextNormal]);
    LoadTextAttr(element, "stroke", app, attrs[kTextStroke]);
    LoadTextAttr(element, "shadow", app, attrs[kTextShadow]);
}

UiLabel::UiLabel() = default;
UiLabel::~UiLabel() = default;

void UiLabel::Invalidate() { mCache.reset(); }

void UiLabel::Draw(UiControl& control, Zephra::Graphics* g, const UiTextAttr (&attrs)[kTextPassCount],
                   const std::u16string& text, int lineSpacing, int justify, int valign, UiTextState state) {
    if (text.empty()) return;
    if (std::fabs(control.ScaleProduct() - 1.0f) < 0.01f) {
        mCache.reset();
        DrawPasses(*g, attrs, text, control.mWidth, control.mHeight, lineSpacing, justify, valign, state,
                   control.AlphaProduct());
        return;
    }
    const Zephra::Rect& layout = control.GetLayoutRect();
    if (!mCache || mCache->mWidth != layout.mWidth || mCache->mHeight != layout.mHeight) {
        mCache.reset();
        OfficeApp* app = GetApp();
        if (app == nullptr || layout.mWidth <= 0 || layout.mHeight <= 0) return;
        mCache.reset(app->CreateImage());
        mCache->Create(layout.mWidth, layout.mHeight);
        Zephra::Graphics cg(*g, mCache.get());
        // The cache has no hover look: it is rebuilt only when its size changes.
        DrawPasses(cg, attrs, text, layout.mWidth, layout.mHeight, lineSpacing, justify, valign,
                   state == kTextStateDisabled ? kTextStateDisabled : kTextStatePlain, 1.0f);
    }
    g->PushState();
    g->SetColorizeImages(true);
    g->SetColor(Zephra::Color(255, 255, 255, control.DrawAlpha()));
    g->SetDrawMode(Zephra::DRAWMODE_NORMAL);
    g->DrawImageInRect(mCache.get(), Zephra::Rect(0, 0, control.mWidth, control.mHeight),
                       Zephra::Rect(0, 0, layout.mWidth, layout.mHeight));
    g->PopState();
}
