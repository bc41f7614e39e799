#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "platform/input.h"

namespace platform {

// Pixel layouts of a primary surface the window can show.
enum class PrimaryFormat { XRGB8888, XBGR8888, RGB565, BGR565, RGB555, BGR555 };

// The desktop's size, depth (bits per pixel) and refresh rate (0 when the
// system does not tell); false without a display.
bool GetDesktopMode(int& width, int& height, int& bits, int& refresh);

// A rectangle in pixels: origin and size.
struct PixelRect {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const PixelRect&) const = default;
};

// Where a picture lands in an area: as large as fits, aspect kept, centred.
// The window shows its pictures there, and maps the mouse back through it.
PixelRect FitPicture(int areaWidth, int areaHeight, int pictureWidth, int pictureHeight);

// A point of the area in the coordinates of a picture shown at `shown`,
// clamped to the picture.
void MapThrough(const PixelRect& shown, int pictureWidth, int pictureHeight, int x, int y, int& px, int& py);

// How the window brings its pictures to the screen: straight into the
// window's own pixels, or through an accelerated renderer (a texture in the
// window's format, scaled by the graphics card, with vertical sync on request).
enum class Presenter { WindowSurface, Renderer };

// A renderer that draws with the CPU (OpenGL without a graphics card) costs
// far more than the copy into the window: true for such a GL_RENDERER text.
bool IsSoftwareRasteriser(const std::string& glRenderer);
// The presenter for what SDL offers: the accelerated renderer's name (empty
// when there is none) and, for OpenGL, its GL_RENDERER text.
Presenter ChoosePresenter(bool headless, const std::string& rendererName, const std::string& glRenderer);

// A row of a 16-bit primary as 0xFFRRGGBB pixels, each channel's top bits
// repeated into its low ones, as the window shows it; `reference` takes the
// plain per-pixel loop. 32-bit formats write nothing.
void ExpandPrimaryRow(PrimaryFormat from, const uint16_t* in, uint32_t* out, int count, bool reference = false);

// A picture stretched (nearest pixel) into `into` of a frame of 32-bit
// 0xFFRRGGBB pixels at `out` (pitch in bytes): what a stretch into a surface
// of the picture's own format, widened row by row, would make, in one pass.
// Pixels outside `into` are left alone. False, writing nothing, for a format
// other than XRGB8888 or a 16-bit one.
bool StretchPrimary(const void* pixels, int width, int height, int pitch, PrimaryFormat format, void* out,
                    int outPitch, const PixelRect& into);

// A graphics card shows as a device node under devRoot (normally /dev): a
// DRM card or render node, or a vendor's own. Without one OpenGL could only be
// a software rasteriser, and loading it just to learn that keeps tens of
// megabytes of driver resident for good.
bool HasGraphicsDevice(const std::string& devRoot);

// The one game window. Pictures (a 32-bit frame or the display's primary
// surface) are scaled as a whole into it, aspect kept and centred; mouse
// coordinates are mapped back into the last picture's coordinates.
//
// Full screen is the desktop's own mode: the window covers the whole display
// (with or without a window manager); a window comes back at the size given
// to Open, centred.
class Window {
public:
    Window();
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Opens the window (or switches mode when already open). False and an
    // error text when SDL cannot make it.
    bool Open(const std::string& title, int pictureWidth, int pictureHeight, bool windowed);
    void Close();
    bool IsOpen() const;
    bool SetWindowed(bool windowed);
    bool IsWindowed() const;
    // Waits for the display's vertical blank on each frame where a graphics
    // card presents; takes effect at once or at the next Open.
    void SetVSync(bool wait);
    Presenter GetPresenter() const;

    // Shows one frame of 0xAARRGGBB pixels, pitch in pixels.
    void Present(const uint32_t* pixels, int width, int height, int pitch);
    // Shows a primary surface in its own format, scaled as a whole into the
    // window; pitch in bytes. False for a format SDL cannot take.
    bool PresentPrimary(const void* pixels, int width, int height, int pitch, PrimaryFormat format);
    // The window's own pixels, lent to whoever draws width x height pictures
    // in `format` and presents them here: PresentPrimary of the lent pixels
    // sends them as they are, without a copy. Null (and `giveBack` dropped
    // uncalled) where the window would not show such a picture as it stands.
    // The window ends the loan before its pixels may go (a resize, a mode
    // change, closing, presenting anything else) by calling `giveBack`, while
    // they still hold the last picture; a PresentPrimary of the lent pixels
    // that finds them remade is false after giving them back.
    void* LendPixels(int width, int height, PrimaryFormat format, int& pitch, std::function<void()> giveBack);
    // Ends the loan, if any, from the borrower's side (giveBack is called).
    void EndLoan();

    // Shows what a primary of displayWidth x displayHeight would show, holding
    // the picture stretched into `into` and black elsewhere, without that
    // primary being made: the picture goes into the window's pixels in one
    // pass, and the mouse maps into the display's coordinates. False, showing
    // nothing, where the window cannot stand in for such a primary exactly
    // (through a renderer, at another size than the display's, another format):
    // the caller then makes the primary and presents that.
    bool PresentStretched(const void* pixels, int width, int height, int pitch, PrimaryFormat format,
                          int displayWidth, int displayHeight, const PixelRect& into);
    // The client area's size (the window's size in a window, the screen's
    // in full screen); the setter sizes a window (full screen ignores it).
    void GetClientSize(int& width, int& height) const;
    void SetClientSize(int width, int height);

    // Drains SDL's queue into input events, in arrival order.
    void PollEvents(std::vector<InputEvent>& out);

    // Maps window pixel coordinates to picture coordinates.
    void MapToPicture(int wx, int wy, int& px, int& py) const;
    // The mouse position in picture coordinates.
    void GetMousePos(int& x, int& y) const;
    void ShowSystemCursor(bool show);
    bool IsMinimized() const;
    bool HasFocus() const;

    const std::string& LastError() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// MapThrough the place FitPicture gives in a window of that size.
void MapWindowToPicture(int windowWidth, int windowHeight, int pictureWidth, int pictureHeight,
                        int wx, int wy, int& px, int& py);

// Modal message box; falls back to stderr when no display is there.
void ShowMessageBox(const std::string& title, const std::string& text);

} // namespace platform
