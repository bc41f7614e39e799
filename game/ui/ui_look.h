#pragma once
#include <functional>
#include <memory>
#include "framework/graphics/rect.h"

namespace Zephra {
class Graphics;
class Image;
class MemoryImage;
} // namespace Zephra

class UiControl;

// A part of a texture that a control draws stretched over itself. The image
// is either borrowed or held by the control's own loading.
struct UiLook {
    Zephra::Image* image = nullptr;
    Zephra::Rect src;
};

// Draws the look stretched into (0, 0, width, height) of the control in white
// with the control's alpha product; nothing without an image.
void DrawLook(const UiControl& control, Zephra::Graphics* g, const UiLook& look);

// Content laid out in the layout size: drawn straight into the control while
// it is (nearly) unscaled, else rendered into a cached picture of the layout
// size with the colours' own alpha and drawn stretched with the control's.
class UiLayoutCache {
public:
    // draw(g, width, height, alpha product to apply to colours).
    using Content = std::function<void(Zephra::Graphics* g, int width, int height, float alpha)>;

    UiLayoutCache();
    ~UiLayoutCache();
    void Invalidate();
    bool HasCache() const { return mCache != nullptr; }
    // rebuild: render the cache again even when it exists.
    void Draw(const UiControl& control, Zephra::Graphics* g, bool rebuild, const Content& content);

private:
    std::unique_ptr<Zephra::MemoryImage> mCache;
};
