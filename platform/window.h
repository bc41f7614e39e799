#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "platform/input.h"

namespace platform {

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
