#pragma once
#include <memory>
#include <string>
#include "framework/graphics/color.h"
#include "framework/graphics/rect.h"
#include "game/app/xml_access.h"

namespace Zephra {
class Font;
class Graphics;
class MemoryImage;
} // namespace Zephra

class OfficeApp;
class UiControl;

// One text pass of a control: its font (from the font table, not owned) and
// colours, each made from a 0xAARRGGBB value.
struct UiTextAttr {
    Zephra::Font* font = nullptr;
    Zephra::Color color{0, 0, 0, 255};
    Zephra::Color highlight{0, 0, 0, 255};
    Zephra::Color disabled{0, 0, 0, 255};
};

// Text passes in drawing order: shadow, stroke, normal.
enum UiTextPass : int {
    kTextShadow = 0,
    kTextStroke = 1,
    kTextNormal = 2,
    kTextPassCount = 3,
};

// Which colour of each pass a label is drawn in.
enum UiTextState : int {
    kTextStatePlain = 0,
    kTextStateOver = 1,
    kTextStateDisabled = 2,
};

// "textattr[@id=...]" child of element: "color", "hcolor", "dcolor" (base 16;
// a missing "hcolor" or "dcolor" takes "color") and "font" through the
// application's font table. False when the element is absent.
bool LoadTextAttr(XmlNode element, const char* id, OfficeApp* app, UiTextAttr& out);
// The three passes of an element ("shadow", "stroke", "normal").
void LoadTextAttrs(XmlNode element, OfficeApp* app, UiTextAttr (&attrs)[kTextPassCount]);

// A label in up to three passes, word-wrapped, drawn straight into the
// control while it is (nearly) unscaled and through a cached picture of the
// layout size while it is scaled.
class UiLabel {
public:
    UiLabel();
    ~UiLabel();

    // Deletes the cache (a new text or look).
    void Invalidate();
    bool HasCache() const { return mCache != nullptr; }

    // valign: 0 centred, 1 bottom, other values fill the control from the top
    // (the button centres). Colours by state, their alpha times the control's
    // alpha product; a scaled label keeps the colours' own alpha and its cache
    // is drawn with the control's alpha. Nothing without text.
    void Draw(UiControl& control, Zephra::Graphics* g, const UiTextAttr (&attrs)[kTextPassCount],
              const std::u16string& text, int lineSpacing, int justify, int valign, UiTextState state);

private:
    std::unique_ptr<Zephra::MemoryImage> mCache;
};
