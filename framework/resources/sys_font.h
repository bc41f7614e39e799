#pragma once
#include <memory>
#include <string>
#include "framework/graphics/font.h"

namespace Zephra {

// How a system font is made. Bold and italic are synthesised when the face
// itself is not bold or italic. A stroke widens every glyph by that many pixels
// all round (an outline pass drawn under the plain text); the offset moves the
// drawing (a shadow pass). Neither changes widths or metrics, so all passes
// share one layout.
struct SysFontDesc {
    int mSize = 12;        // pixels per em, 1..kMaxSize
    bool mBold = false;
    bool mItalic = false;
    int mStroke = 0;       // 0..kMaxStroke
    int mOffsetX = 0;      // -kMaxOffset..kMaxOffset
    int mOffsetY = 0;

    static constexpr int kMaxSize = 512;
    static constexpr int kMaxStroke = 32;
    static constexpr int kMaxOffset = 64;
};

// A scalable font face rendered with FreeType into 8-bit coverage, drawn in
// the graphics' draw mode through the destination's coverage fill.
class SysFont : public Font {
public:
    SysFont();
    ~SysFont() override;
    SysFont(const SysFont&) = delete;
    SysFont& operator=(const SysFont&) = delete;

    // Reads the font file at path through the file access hook.
    bool Open(const std::string& path, const SysFontDesc& desc, std::string& error);
    // The face from bytes in memory (kept by the font).
    bool OpenMemory(std::string bytes, const SysFontDesc& desc, std::string& error);

    const SysFontDesc& GetDesc() const { return mDesc; }

    // Called before a string is drawn, null for nothing. The display installs
    // its end of the 3D scene here: text is software drawing into the surface.
    static void SetBeforeDrawHook(void (*hook)());

    int StringWidth(const std::u16string& text) override;
    // 0 for a lone surrogate (a pair is measured through StringWidth).
    int CharWidth(char16_t ch) override;
    void DrawString(Graphics* g, int x, int y, const std::u16string& text, const Color& color,
                    const Rect& clip) override;

private:
    struct Impl;
    std::unique_ptr<Impl> mImpl;
    SysFontDesc mDesc;
};

} // namespace Zephra
