#pragma once
#include <cstdint>
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

// The one game window. The picture (e.g. 800 x 600) is drawn into a 32-bit
// frame and scaled into whatever size the window has; mouse coordinates are
// mapped back into picture coordinates.
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

    // Shows one frame of 0xAARRGGBB pixels, pitch in pixels.
    void Present(const uint32_t* pixels, int width, int height, int pitch);
    // Shows a primary surface in its own format, scaled as a whole into the
    // window; pitch in bytes. False for a format SDL cannot take.
    bool PresentPrimary(const void* pixels, int width, int height, int pitch, PrimaryFormat format);

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

// Letterbox mapping of a window point into a picture scaled into it keeping
// its aspect, centred, clamped to the picture.
void MapWindowToPicture(int windowWidth, int windowHeight, int pictureWidth, int pictureHeight,
                        int wx, int wy, int& px, int& py);

// Modal message box; falls back to stderr when no display is there.
void ShowMessageBox(const std::string& title, const std::string& text);

} // namespace platform
