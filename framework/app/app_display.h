#pragma once
#include <cstdint>
#include <string>
#include "framework/graphics/rect.h"

namespace platform {
class Window;
} // namespace platform

namespace Zephra {

class Image;
class MemoryImage;

// The display device the application presents through. The display library
// implements it and the game installs one; without one the application
// presents its own 32-bit screen image through the window.
// Init's result when the 3D device cannot be made after the capability test passed.
constexpr int kDisplayResult3DFailed = 7;

class AppDisplay {
public:
    virtual ~AppDisplay() = default;

    // (Re)builds the device for the window and mode; 0 on success, else a
    // result code that ResultText names, with ErrorText telling why.
    virtual int Init(platform::Window* window, bool windowed) = 0;
    virtual std::string ResultText(int result) const = 0;
    virtual std::string ErrorText() const = 0;
    // Frees what depends on the screen format (before Init) and rebuilds it
    // (after a successful Init), so that no image keeps old-format data.
    virtual void FreeNativeData() = 0;
    virtual void RebuildNativeData() = 0;

    // The image the application draws the frame into; replaced by every Init
    // and RebuildScreenImage.
    virtual MemoryImage* GetScreenImage() = 0;
    virtual void RebuildScreenImage(bool videoMemory) = 0;
    // Size of the picture the application draws, and where it lands on the
    // primary (mouse positions map back through it).
    virtual int GetDrawWidth() const = 0;
    virtual int GetDrawHeight() const = 0;
    virtual Rect GetPresentationRect() const = 0;

    // Presents the frame (clip: the part that changed, or null).
    virtual bool Redraw(const Rect* clip) = 0;
    // Shows the primary again without a new frame (the cursor moved on it).
    virtual void ShowPrimary() = 0;

    // The software cursor, in primary coordinates.
    virtual bool SetCursorImage(Image* image) = 0;
    // Draws the cursor there at once; false when a frame being drawn turned
    // the move away: the frame may have read the position before it, so the
    // caller asks again.
    virtual bool SetCursorPos(int x, int y) = 0;
    // Stores the position for the next Redraw without drawing.
    virtual void StoreCursorPos(int x, int y) = 0;
    // Milliseconds per frame; the cursor thread asks too, while a mode change may set it.
    virtual unsigned GetRefreshPeriod() const = 0;

    virtual bool Is3D() const = 0;
    // Draws on the software road from the next Init on.
    virtual void Disable3D() {}
    // The image factory's product for this display (a surface image once
    // the display has them); the caller owns it.
    virtual MemoryImage* CreateImage() = 0;
    virtual void RemoveImageTexture(MemoryImage* image) = 0;
    // The pixels a texture holds when the image dropped its own (dest: width
    // * height words); false when no texture holds them.
    virtual bool ReadTextureBits(MemoryImage* image, uint32_t* dest) {
        (void)image;
        (void)dest;
        return false;
    }
};

} // namespace Zephra
