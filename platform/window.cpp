#include "platform/window.h"

#include <SDL.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/text.h"

namespace platform {
namespace {

// The window a message box sits over, when one is open.
SDL_Window* gMainWindow = nullptr;

// Where the picture lands in an area of the given size: as large as fits,
// aspect kept, centred.
SDL_Rect PictureRect(int areaW, int areaH, int picW, int picH) {
    SDL_Rect r{0, 0, areaW, areaH};
    if (areaW <= 0 || areaH <= 0 || picW <= 0 || picH <= 0) return r;
    const int64_t wide = static_cast<int64_t>(areaW) * picH;
    const int64_t tall = static_cast<int64_t>(areaH) * picW;
    if (wide >= tall) {
        r.w = static_cast<int>((tall + picH / 2) / picH);
        r.x = (areaW - r.w) / 2;
    } else {
        r.h = static_cast<int>((wide + picW / 2) / picW);
        r.y = (areaH - r.h) / 2;
    }
    r.w = std::max(r.w, 1);
    r.h = std::max(r.h, 1);
    return r;
}

int FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return static_cast<int>(q);
}

int ButtonMask(uint32_t sdlState) {
    int mask = 0;
    if (sdlState & SDL_BUTTON_LMASK) mask |= 1;
    if (sdlState & SDL_BUTTON_RMASK) mask |= 2;
    if (sdlState & SDL_BUTTON_MMASK) mask |= 4;
    return mask;
}

// The widget tree's click counts: SDL counts on (3 = triple), where the
// system the game was made for starts a new single click after a double.
int ClickCount(uint8_t button, uint8_t clicks) {
    const int n = (clicks != 0 && clicks % 2 == 0) ? 2 : 1;
    switch (button) {
    case SDL_BUTTON_LEFT: return n;
    case SDL_BUTTON_RIGHT: return -n;
    case SDL_BUTTON_MIDDLE: return 3;
    default: return 0;
    }
}

bool Headless() {
    const char* driver = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : nullptr;
    if (!driver) driver = std::getenv("SDL_VIDEODRIVER");
    return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

} // namespace

void MapWindowToPicture(int windowWidth, int windowHeight, int pictureWidth, int pictureHeight,
                        int wx, int wy, int& px, int& py) {
    if (pictureWidth <= 0 || pictureHeight <= 0) {
        px = wx;
        py = wy;
        return;
    }
    if (windowWidth <= 0 || windowHeight <= 0) {
        px = std::clamp(wx, 0, pictureWidth - 1);
        py = std::clamp(wy, 0, pictureHeight - 1);
        return;
    }
    const SDL_Rect r = PictureRect(windowWidth, windowHeight, pictureWidth, pictureHeight);
    px = FloorDiv(static_cast<int64_t>(wx - r.x) * pictureWidth, r.w);
    py = FloorDiv(static_cast<int64_t>(wy - r.y) * pictureHeight, r.h);
    px = std::clamp(px, 0, pictureWidth - 1);
    py = std::clamp(py, 0, pictureHeight - 1);
}

struct Window::Impl {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    bool videoHeld = false;
    int picW = 0, picH = 0;
    uint32_t texFormat = SDL_PIXELFORMAT_ARGB8888;
    bool windowed = true;
    bool minimized = false;
    bool focus = false;
    bool cursorShown = true;
    int lastX = 0, lastY = 0;
    std::string error;

    bool Fail(const char* what) {
        error = std::string(what) + ": " + SDL_GetError();
        return false;
    }

    bool MakeTexture(int w, int h) {
        if (texture) SDL_DestroyTexture(texture);
        texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, w, h);
        texFormat = SDL_PIXELFORMAT_ARGB8888;
        if (!texture) return Fail("SDL_CreateTexture");
        SDL_SetTextureScaleMode(texture, SDL_ScaleModeLinear);
        picW = w;
        picH = h;
        return true;
    }

    void Destroy() {
        if (texture) SDL_DestroyTexture(texture);
        if (renderer) SDL_DestroyRenderer(renderer);
        if (window) {
            if (gMainWindow == window) gMainWindow = nullptr;
            SDL_DestroyWindow(window);
        }
        texture = nullptr;
        renderer = nullptr;
        window = nullptr;
        if (videoHeld) SDL_QuitSubSystem(SDL_INIT_VIDEO);
        videoHeld = false;
        minimized = false;
        focus = false;
    }

    bool Ours(uint32_t windowId) const {
        return windowId == 0 || (window && windowId == SDL_GetWindowID(window));
    }

    void ToPicture(int wx, int wy, int& px, int& py) const {
        int ww = 0, wh = 0;
        if (window) SDL_GetWindowSize(window, &ww, &wh);
        MapWindowToPicture(ww, wh, picW, picH, wx, wy, px, py);
    }
};

Window::Window() : impl_(std::make_unique<Impl>()) {}

Window::~Window() { Close(); }

bool Window::Open(const std::string& title, int pictureWidth, int pictureHeight, bool windowed) {
    Impl& m = *impl_;
    if (pictureWidth <= 0 || pictureHeight <= 0) {
        m.error = "Invalid picture size";
        return false;
    }
    if (m.window) {
        SDL_SetWindowTitle(m.window, title.c_str());
        if ((pictureWidth != m.picW || pictureHeight != m.picH) && !m.MakeTexture(pictureWidth, pictureHeight))
            return false;
        return SetWindowed(windowed);
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return m.Fail("SDL_InitSubSystem(video)");
    m.videoHeld = true;
    uint32_t flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_SHOWN;
    if (!windowed) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    m.window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                pictureWidth, pictureHeight, flags);
    if (!m.window) {
        m.Fail("SDL_CreateWindow");
        m.Destroy();
        return false;
    }
    // Without a screen there is nothing to accelerate, and the GPU emulation
    // that offscreen video would load costs time and leaks.
    if (Headless())
        SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
    else
        m.renderer = SDL_CreateRenderer(m.window, -1, SDL_RENDERER_ACCELERATED);
    if (!m.renderer) m.renderer = SDL_CreateRenderer(m.window, -1, SDL_RENDERER_SOFTWARE);
    if (!m.renderer) {
        m.Fail("SDL_CreateRenderer");
        m.Destroy();
        return false;
    }
    if (!m.MakeTexture(pictureWidth, pictureHeight)) {
        const std::string keep = m.error;
        m.Destroy();
        m.error = keep;
        return false;
    }
    m.windowed = windowed;
    const uint32_t state = SDL_GetWindowFlags(m.window);
    m.focus = (state & SDL_WINDOW_INPUT_FOCUS) != 0;
    m.minimized = (state & SDL_WINDOW_MINIMIZED) != 0;
    m.lastX = pictureWidth / 2;
    m.lastY = pictureHeight / 2;
    SDL_ShowCursor(m.cursorShown ? SDL_ENABLE : SDL_DISABLE);
    SDL_StartTextInput();
    gMainWindow = m.window;
    m.error.clear();
    return true;
}

void Window::Close() {
    if (impl_) impl_->Destroy();
}

bool Window::IsOpen() const { return impl_->window != nullptr; }

bool Window::SetWindowed(bool windowed) {
    Impl& m = *impl_;
    if (!m.window) {
        m.windowed = windowed;
        return true;
    }
    if (SDL_SetWindowFullscreen(m.window, windowed ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
        return m.Fail("SDL_SetWindowFullscreen");
    m.windowed = windowed;
    return true;
}

bool Window::IsWindowed() const { return impl_->windowed; }

void Window::Present(const uint32_t* pixels, int width, int height, int pitch) {
    Impl& m = *impl_;
    if (!m.renderer || !pixels || width <= 0 || height <= 0 || pitch < width) return;
    if ((width != m.picW || height != m.picH || m.texFormat != SDL_PIXELFORMAT_ARGB8888) &&
        !m.MakeTexture(width, height))
        return;
    if (SDL_UpdateTexture(m.texture, nullptr, pixels, pitch * static_cast<int>(sizeof(uint32_t))) != 0) {
        m.Fail("SDL_UpdateTexture");
        return;
    }
    int outW = 0, outH = 0;
    if (SDL_GetRendererOutputSize(m.renderer, &outW, &outH) != 0) {
        m.Fail("SDL_GetRendererOutputSize");
        return;
    }
    const SDL_Rect dst = PictureRect(outW, outH, m.picW, m.picH);
    SDL_SetRenderDrawColor(m.renderer, 0, 0, 0, 255);
    SDL_RenderClear(m.renderer);
    SDL_RenderCopy(m.renderer, m.texture, nullptr, &dst);
    SDL_RenderPresent(m.renderer);
}

namespace {
uint32_t SdlFormat(PrimaryFormat format) {
    switch (format) {
    // The top byte is ignored under no blending; SDL blits the X forms to
    // some window surfaces wrongly, the A forms everywhere alike.
    case PrimaryFormat::XRGB8888: return SDL_PIXELFORMAT_ARGB8888;
    case PrimaryFormat::XBGR8888: return SDL_PIXELFORMAT_ABGR8888;
    case PrimaryFormat::RGB565: return SDL_PIXELFORMAT_RGB565;
    case PrimaryFormat::BGR565: return SDL_PIXELFORMAT_BGR565;
    case PrimaryFormat::RGB555: return SDL_PIXELFORMAT_RGB555;
    case PrimaryFormat::BGR555: return SDL_PIXELFORMAT_BGR555;
    }
    return SDL_PIXELFORMAT_UNKNOWN;
}
} // namespace

bool Window::PresentPrimary(const void* pixels, int width, int height, int pitch, PrimaryFormat format) {
    Impl& m = *impl_;
    if (!m.renderer || !pixels || width <= 0 || height <= 0) return false;
    const uint32_t sdl = SdlFormat(format);
    if (width != m.picW || height != m.picH || sdl != m.texFormat) {
        if (m.texture) SDL_DestroyTexture(m.texture);
        // The primary goes up in its own layout: the renderer converts, not the CPU.
        m.texture = SDL_CreateTexture(m.renderer, sdl, SDL_TEXTUREACCESS_STREAMING, width, height);
        if (!m.texture) {
            m.picW = m.picH = 0;
            return m.Fail("SDL_CreateTexture");
        }
        SDL_SetTextureScaleMode(m.texture, SDL_ScaleModeLinear);
        SDL_SetTextureBlendMode(m.texture, SDL_BLENDMODE_NONE);
        m.picW = width;
        m.picH = height;
        m.texFormat = sdl;
    }
    if (SDL_UpdateTexture(m.texture, nullptr, pixels, pitch) != 0) return m.Fail("SDL_UpdateTexture");
    int outW = 0, outH = 0;
    if (SDL_GetRendererOutputSize(m.renderer, &outW, &outH) != 0) return m.Fail("SDL_GetRendererOutputSize");
    const SDL_Rect dst = PictureRect(outW, outH, m.picW, m.picH);
    SDL_SetRenderDrawColor(m.renderer, 0, 0, 0, 255);
    SDL_RenderClear(m.renderer);
    SDL_RenderCopy(m.renderer, m.texture, nullptr, &dst);
    SDL_RenderPresent(m.renderer);
    return true;
}

void Window::GetClientSize(int& width, int& height) const {
    const Impl& m = *impl_;
    width = height = 0;
    if (m.window) SDL_GetWindowSize(m.window, &width, &height);
}

void Window::SetClientSize(int width, int height) {
    Impl& m = *impl_;
    if (!m.window || !m.windowed || width <= 0 || height <= 0) return;
    SDL_SetWindowSize(m.window, width, height);
}

bool GetDesktopMode(int& width, int& height, int& bits, int& refresh) {
    const bool held = SDL_WasInit(SDL_INIT_VIDEO) != 0;
    if (!held && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    SDL_DisplayMode mode{};
    const bool ok = SDL_GetDesktopDisplayMode(0, &mode) == 0;
    if (ok) {
        width = mode.w;
        height = mode.h;
        bits = static_cast<int>(SDL_BITSPERPIXEL(mode.format));
        if (bits == 24) bits = 32;  // the X server's 24-bit depth is 32-bit pixels
        refresh = mode.refresh_rate;
    }
    if (!held) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return ok && width > 0 && height > 0;
}

void Window::PollEvents(std::vector<InputEvent>& out) {
    Impl& m = *impl_;
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    bool quitSent = false;
    auto add = [&out](EventKind kind) -> InputEvent& {
        out.push_back(InputEvent{});
        out.back().kind = kind;
        return out.back();
    };
    auto quit = [&]() {
        // Closing the last window brings both a close and a quit event.
        if (!quitSent) add(EventKind::Quit);
        quitSent = true;
    };
    auto mouseAt = [&](int wx, int wy, InputEvent& e) {
        m.ToPicture(wx, wy, e.x, e.y);
        m.lastX = e.x;
        m.lastY = e.y;
    };

    SDL_Event ev;
    while (SDL_PollEvent(&ev)) {
        switch (ev.type) {
        case SDL_QUIT:
            quit();
            break;
        case SDL_WINDOWEVENT:
            if (!m.Ours(ev.window.windowID)) break;
            switch (ev.window.event) {
            case SDL_WINDOWEVENT_CLOSE: quit(); break;
            case SDL_WINDOWEVENT_FOCUS_GAINED: m.focus = true; add(EventKind::FocusGained); break;
            case SDL_WINDOWEVENT_FOCUS_LOST: m.focus = false; add(EventKind::FocusLost); break;
            case SDL_WINDOWEVENT_MINIMIZED:
                if (!m.minimized) add(EventKind::Minimized);
                m.minimized = true;
                break;
            case SDL_WINDOWEVENT_RESTORED:
            case SDL_WINDOWEVENT_MAXIMIZED:
                if (m.minimized) add(EventKind::Restored);
                m.minimized = false;
                break;
            case SDL_WINDOWEVENT_LEAVE: add(EventKind::MouseLeave); break;
            default: break;
            }
            break;
        case SDL_KEYDOWN: {
            if (!m.Ours(ev.key.windowID)) break;
            const SDL_Keycode sym = ev.key.keysym.sym;
            const uint16_t mod = ev.key.keysym.mod;
            const int vk = TranslateKey(sym);
            if (vk) add(EventKind::KeyDown).key = vk;
            if (mod & KMOD_ALT) break;  // Alt combinations type nothing
            char16_t ch = 0;
            if (vk == VK_BACK || vk == VK_TAB || vk == VK_RETURN || vk == VK_ESCAPE) {
                ch = static_cast<char16_t>(vk);
            } else if (mod & KMOD_CTRL) {
                // The control characters a Windows keyboard types for these; the
                // edit box acts on copy (3), paste (22), cut (24) and undo (26).
                if (sym == SDLK_a || sym == SDLK_c || sym == SDLK_v || sym == SDLK_x || sym == SDLK_z)
                    ch = static_cast<char16_t>(sym - SDLK_a + 1);
            }
            if (ch) add(EventKind::Char).ch = ch;
            break;
        }
        case SDL_KEYUP: {
            if (!m.Ours(ev.key.windowID)) break;
            const int vk = TranslateKey(ev.key.keysym.sym);
            if (vk) add(EventKind::KeyUp).key = vk;
            break;
        }
        case SDL_TEXTINPUT: {
            if (!m.Ours(ev.text.windowID)) break;
            for (char16_t u : Utf8ToUtf16(ev.text.text)) {
                // Control characters come with their key, above.
                if (u < 0x20 || u == 0x7F) continue;
                add(EventKind::Char).ch = u;
            }
            break;
        }
        case SDL_MOUSEMOTION: {
            if (!m.Ours(ev.motion.windowID)) break;
            InputEvent& e = add(EventKind::MouseMove);
            mouseAt(ev.motion.x, ev.motion.y, e);
            e.buttons = ButtonMask(ev.motion.state);
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            if (!m.Ours(ev.button.windowID)) break;
            const int count = ClickCount(ev.button.button, ev.button.clicks);
            if (count == 0) break;
            InputEvent& e = add(ev.type == SDL_MOUSEBUTTONDOWN ? EventKind::MouseDown : EventKind::MouseUp);
            mouseAt(ev.button.x, ev.button.y, e);
            e.clickCount = count;
            break;
        }
        case SDL_MOUSEWHEEL: {
            if (!m.Ours(ev.wheel.windowID)) break;
            int delta = ev.wheel.y != 0 ? ev.wheel.y * 120
                                        : static_cast<int>(std::lround(ev.wheel.preciseY * 120.0f));
            if (ev.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) delta = -delta;
            if (delta == 0) break;
            InputEvent& e = add(EventKind::MouseWheel);
            e.delta = delta;
            GetMousePos(e.x, e.y);
            break;
        }
        default:
            break;
        }
    }
}

void Window::MapToPicture(int wx, int wy, int& px, int& py) const { impl_->ToPicture(wx, wy, px, py); }

void Window::GetMousePos(int& x, int& y) const {
    const Impl& m = *impl_;
    if (m.window && SDL_GetMouseFocus() == m.window) {
        int wx = 0, wy = 0;
        SDL_GetMouseState(&wx, &wy);
        m.ToPicture(wx, wy, x, y);
        return;
    }
    // No pointer over the window (or no real one, as in tests): where it was last seen.
    x = m.lastX;
    y = m.lastY;
}

void Window::ShowSystemCursor(bool show) {
    impl_->cursorShown = show;
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

bool Window::IsMinimized() const { return impl_->minimized; }

bool Window::HasFocus() const { return impl_->focus; }

const std::string& Window::LastError() const { return impl_->error; }

void ShowMessageBox(const std::string& title, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    std::fflush(stderr);
    if (Headless()) return;
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, title.c_str(), text.c_str(), gMainWindow);
}

} // namespace platform
