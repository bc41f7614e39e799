#include <gtest/gtest.h>

#include <SDL.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <utility>
#include <vector>

#include "platform/input.h"
#include "platform/window.h"
#include "tests/support/temp_dirs.h"

using namespace platform;

TEST(TranslateKey, LettersDigitsAndSpecialKeys) {
    const std::pair<SDL_Keycode, int> table[] = {
        {SDLK_a, 0x41}, {SDLK_z, 0x5A}, {SDLK_0, 0x30}, {SDLK_9, 0x39},
        {SDLK_BACKSPACE, VK_BACK}, {SDLK_TAB, VK_TAB}, {SDLK_RETURN, VK_RETURN},
        {SDLK_KP_ENTER, VK_RETURN}, {SDLK_LSHIFT, VK_SHIFT}, {SDLK_RSHIFT, VK_SHIFT},
        {SDLK_LCTRL, VK_CONTROL}, {SDLK_RCTRL, VK_CONTROL}, {SDLK_LALT, VK_MENU},
        {SDLK_ESCAPE, 27}, {SDLK_SPACE, 0x20}, {SDLK_PAGEUP, 0x21}, {SDLK_PAGEDOWN, 0x22},
        {SDLK_END, 0x23}, {SDLK_HOME, 0x24}, {SDLK_LEFT, 0x25}, {SDLK_UP, 0x26},
        {SDLK_RIGHT, 0x27}, {SDLK_DOWN, 0x28}, {SDLK_INSERT, 0x2D}, {SDLK_DELETE, 0x2E},
        {SDLK_F1, 0x70}, {SDLK_F12, 0x7B}, {SDLK_KP_0, 0x60}, {SDLK_KP_9, 0x69},
        {SDLK_UNKNOWN, 0}, {SDLK_MUTE, 0},
    };
    for (const auto& [sdl, vk] : table) EXPECT_EQ(TranslateKey(sdl), vk) << SDL_GetKeyName(sdl);
}

TEST(MapWindowToPicture, LetterboxedAndClamped) {
    int x = -1, y = -1;
    // Same size: identity.
    MapWindowToPicture(800, 600, 800, 600, 123, 456, x, y);
    EXPECT_EQ(x, 123);
    EXPECT_EQ(y, 456);
    // Twice the size.
    MapWindowToPicture(1600, 1200, 800, 600, 801, 599, x, y);
    EXPECT_EQ(x, 400);
    EXPECT_EQ(y, 299);
    // Wide window: the picture is 1440 wide, centred with 240-pixel bars.
    MapWindowToPicture(1920, 1080, 800, 600, 240, 0, x, y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    MapWindowToPicture(1920, 1080, 800, 600, 960, 540, x, y);
    EXPECT_EQ(x, 400);
    EXPECT_EQ(y, 300);
    MapWindowToPicture(1920, 1080, 800, 600, 1679, 1079, x, y);
    EXPECT_EQ(x, 799);
    EXPECT_EQ(y, 599);
    // In the bars and outside the window: clamped to the picture.
    MapWindowToPicture(1920, 1080, 800, 600, 10, 500, x, y);
    EXPECT_EQ(x, 0);
    MapWindowToPicture(1920, 1080, 800, 600, 1900, -20, x, y);
    EXPECT_EQ(x, 799);
    EXPECT_EQ(y, 0);
    // Tall window: bars above and below.
    MapWindowToPicture(800, 1000, 800, 600, 400, 200, x, y);
    EXPECT_EQ(x, 400);
    EXPECT_EQ(y, 0);
    MapWindowToPicture(800, 1000, 800, 600, 400, 500, x, y);
    EXPECT_EQ(y, 300);
    // A window of no size does not divide by zero.
    MapWindowToPicture(0, 0, 800, 600, 900, 50, x, y);
    EXPECT_EQ(x, 799);
    EXPECT_EQ(y, 50);
}

class WindowEvents : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.Open("Test", 800, 600, true)) << window.LastError();
        Drain();
    }

    std::vector<InputEvent> Drain() {
        std::vector<InputEvent> out;
        window.PollEvents(out);
        return out;
    }

    static void Push(SDL_Event ev) { ASSERT_EQ(SDL_PushEvent(&ev), 1) << SDL_GetError(); }

    static void Key(uint32_t type, SDL_Keycode sym, uint16_t mod = KMOD_NONE) {
        SDL_Event ev{};
        ev.type = type;
        ev.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        ev.key.keysym.sym = sym;
        ev.key.keysym.mod = mod;
        Push(ev);
    }

    static void Text(const char* utf8) {
        SDL_Event ev{};
        ev.type = SDL_TEXTINPUT;
        std::strncpy(ev.text.text, utf8, sizeof(ev.text.text) - 1);
        Push(ev);
    }

    static void Button(uint32_t type, uint8_t button, uint8_t clicks, int x, int y) {
        SDL_Event ev{};
        ev.type = type;
        ev.button.button = button;
        ev.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        ev.button.clicks = clicks;
        ev.button.x = x;
        ev.button.y = y;
        Push(ev);
    }

    static void WindowEvent(uint8_t what) {
        SDL_Event ev{};
        ev.type = SDL_WINDOWEVENT;
        ev.window.event = what;
        Push(ev);
    }

    Window window;
};

TEST_F(WindowEvents, KeysAndCharacters) {
    Key(SDL_KEYDOWN, SDLK_a);
    Text("a");
    Key(SDL_KEYUP, SDLK_a);
    Key(SDL_KEYDOWN, SDLK_BACKSPACE);
    Key(SDL_KEYDOWN, SDLK_RETURN);
    Key(SDL_KEYDOWN, SDLK_LEFT);
    Key(SDL_KEYDOWN, SDLK_c, KMOD_LCTRL);
    Key(SDL_KEYDOWN, SDLK_v, KMOD_RCTRL);
    Key(SDL_KEYDOWN, SDLK_x, KMOD_LCTRL);
    Key(SDL_KEYDOWN, SDLK_z, KMOD_LCTRL);
    Key(SDL_KEYDOWN, SDLK_a, KMOD_LCTRL);
    Key(SDL_KEYDOWN, SDLK_b, KMOD_LCTRL);
    Key(SDL_KEYDOWN, SDLK_c, KMOD_LCTRL | KMOD_LALT);
    const auto ev = Drain();
    struct Want { EventKind kind; int key; char16_t ch; };
    const std::vector<Want> want = {
        {EventKind::KeyDown, 0x41, 0}, {EventKind::Char, 0, u'a'}, {EventKind::KeyUp, 0x41, 0},
        {EventKind::KeyDown, VK_BACK, 0}, {EventKind::Char, 0, 8},
        {EventKind::KeyDown, VK_RETURN, 0}, {EventKind::Char, 0, 13},
        {EventKind::KeyDown, VK_LEFT, 0},
        {EventKind::KeyDown, 0x43, 0}, {EventKind::Char, 0, 3},
        {EventKind::KeyDown, 0x56, 0}, {EventKind::Char, 0, 22},
        {EventKind::KeyDown, 0x58, 0}, {EventKind::Char, 0, 24},
        {EventKind::KeyDown, 0x5A, 0}, {EventKind::Char, 0, 26},
        {EventKind::KeyDown, 0x41, 0}, {EventKind::Char, 0, 1},
        {EventKind::KeyDown, 0x42, 0},
        {EventKind::KeyDown, 0x43, 0},
    };
    ASSERT_EQ(ev.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ev[i].kind, want[i].kind);
        EXPECT_EQ(ev[i].key, want[i].key);
        EXPECT_EQ(ev[i].ch, want[i].ch);
    }
}

TEST_F(WindowEvents, TextInputBecomesUtf16Units) {
    Text("\xC3\xA9\xF0\x9F\x98\x80");  // U+00E9, U+1F600
    const auto ev = Drain();
    ASSERT_EQ(ev.size(), 3u);
    EXPECT_EQ(ev[0].ch, u'\u00E9');
    EXPECT_EQ(ev[1].ch, char16_t(0xD83D));
    EXPECT_EQ(ev[2].ch, char16_t(0xDE00));
    for (const auto& e : ev) EXPECT_EQ(e.kind, EventKind::Char);
}

TEST_F(WindowEvents, MouseButtonsGiveSignedClickCounts) {
    Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 1, 10, 20);
    Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 1, 10, 20);
    Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 2, 10, 20);
    Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 3, 10, 20);
    Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 1, 30, 40);
    Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 2, 30, 40);
    Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 1, 50, 60);
    Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X1, 1, 50, 60);
    const auto ev = Drain();
    ASSERT_EQ(ev.size(), 7u);
    const int counts[] = {1, 1, 2, 1, -1, -2, 3};
    for (size_t i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ev[i].kind, i == 1 ? EventKind::MouseUp : EventKind::MouseDown);
        EXPECT_EQ(ev[i].clickCount, counts[i]);
    }
    EXPECT_EQ(ev[0].x, 10);
    EXPECT_EQ(ev[0].y, 20);
    EXPECT_EQ(ev[6].x, 50);
    EXPECT_EQ(ev[6].y, 60);
}

TEST_F(WindowEvents, MotionWheelAndMousePosition) {
    SDL_Event ev{};
    ev.type = SDL_MOUSEMOTION;
    ev.motion.x = 700;
    ev.motion.y = 650;  // below the picture: clamped
    ev.motion.state = SDL_BUTTON_LMASK | SDL_BUTTON_MMASK;
    Push(ev);
    ev = SDL_Event{};
    ev.type = SDL_MOUSEWHEEL;
    ev.wheel.y = 2;
    Push(ev);
    ev.wheel.y = -1;
    Push(ev);
    const auto out = Drain();
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].kind, EventKind::MouseMove);
    EXPECT_EQ(out[0].x, 700);
    EXPECT_EQ(out[0].y, 599);
    EXPECT_EQ(out[0].buttons, 1 | 4);
    EXPECT_EQ(out[1].kind, EventKind::MouseWheel);
    EXPECT_EQ(out[1].delta, 240);
    EXPECT_EQ(out[2].delta, -120);
    int x = 0, y = 0;
    window.GetMousePos(x, y);
    EXPECT_EQ(x, 700);
    EXPECT_EQ(y, 599);
}

TEST_F(WindowEvents, FocusMinimizeAndQuit) {
    WindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    WindowEvent(SDL_WINDOWEVENT_MINIMIZED);
    auto ev = Drain();
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0].kind, EventKind::FocusLost);
    EXPECT_EQ(ev[1].kind, EventKind::Minimized);
    EXPECT_FALSE(window.HasFocus());
    EXPECT_TRUE(window.IsMinimized());

    WindowEvent(SDL_WINDOWEVENT_RESTORED);
    WindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    ev = Drain();
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0].kind, EventKind::Restored);
    EXPECT_EQ(ev[1].kind, EventKind::FocusGained);
    EXPECT_TRUE(window.HasFocus());
    EXPECT_FALSE(window.IsMinimized());

    // A close brings the window event and the quit: one Quit.
    WindowEvent(SDL_WINDOWEVENT_CLOSE);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    Push(quit);
    ev = Drain();
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].kind, EventKind::Quit);
}

TEST_F(WindowEvents, MouseMapsIntoLargerWindow) {
    // The only window there is: find it among the first ids.
    SDL_Window* sdl = nullptr;
    for (uint32_t id = 1; id < 256 && !sdl; ++id) sdl = SDL_GetWindowFromID(id);
    ASSERT_NE(sdl, nullptr);
    SDL_SetWindowSize(sdl, 1600, 1200);
    int w = 0, h = 0;
    SDL_GetWindowSize(sdl, &w, &h);
    if (w != 1600) GTEST_SKIP() << "video driver does not resize";
    Drain();
    Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 1, 1000, 500);
    const auto ev = Drain();
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].x, 500);
    EXPECT_EQ(ev[0].y, 250);
    int px = 0, py = 0;
    window.MapToPicture(1599, 1199, px, py);
    EXPECT_EQ(px, 799);
    EXPECT_EQ(py, 599);
}

TEST(WindowLifetime, PresentsResizesTogglesAndReopens) {
    Window window;
    EXPECT_FALSE(window.IsOpen());
    EXPECT_FALSE(window.Open("Bad", 0, 600, true));
    EXPECT_FALSE(window.LastError().empty());
    ASSERT_TRUE(window.Open("Test", 64, 48, true)) << window.LastError();
    EXPECT_TRUE(window.IsOpen());
    EXPECT_TRUE(window.IsWindowed());
    std::vector<uint32_t> frame(80 * 48, 0xFF336699u);
    window.Present(frame.data(), 64, 48, 80);   // pitch wider than the picture
    window.Present(frame.data(), 80, 48, 80);   // a new picture size
    window.Present(nullptr, 64, 48, 64);        // ignored
    EXPECT_TRUE(window.SetWindowed(false)) << window.LastError();
    EXPECT_FALSE(window.IsWindowed());
    EXPECT_TRUE(window.Open("Again", 64, 48, true)) << window.LastError();
    EXPECT_TRUE(window.IsWindowed());
    window.ShowSystemCursor(false);
    window.ShowSystemCursor(true);
    window.Close();
    EXPECT_FALSE(window.IsOpen());
    std::vector<InputEvent> ev;
    window.PollEvents(ev);  // closed: harmless
    ASSERT_TRUE(window.Open("Third", 32, 32, false)) << window.LastError();
    EXPECT_FALSE(window.IsWindowed());
}

TEST(MessageBox, HeadlessGoesToStderr) {
    testing::internal::CaptureStderr();
    ShowMessageBox("Title", "Something went wrong");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Title"), std::string::npos);
    EXPECT_NE(err.find("Something went wrong"), std::string::npos);
}

TEST(WindowPrimary, EveryPrimaryLayoutPresentsAndTheMouseMapsOntoIt) {
    Window window;
    ASSERT_TRUE(window.Open("Primary", 64, 48, true)) << window.LastError();
    window.SetClientSize(128, 96);
    int w = 0, h = 0;
    window.GetClientSize(w, h);
    EXPECT_EQ(w, 128);
    EXPECT_EQ(h, 96);
    std::vector<uint8_t> pixels(32 * 4 * 24, 0x5A);
    const PrimaryFormat formats[] = {PrimaryFormat::XRGB8888, PrimaryFormat::XBGR8888, PrimaryFormat::RGB565,
                                     PrimaryFormat::BGR565,   PrimaryFormat::RGB555,   PrimaryFormat::BGR555};
    for (PrimaryFormat f : formats)
        EXPECT_TRUE(window.PresentPrimary(pixels.data(), 32, 24, 32 * 4, f)) << static_cast<int>(f) << window.LastError();
    EXPECT_FALSE(window.PresentPrimary(nullptr, 32, 24, 128, PrimaryFormat::RGB565));
    // A 32 x 24 primary fills the 128 x 96 window: four window pixels to one.
    int px = 0, py = 0;
    window.MapToPicture(127, 95, px, py);
    EXPECT_EQ(px, 31);
    EXPECT_EQ(py, 23);
    window.MapToPicture(8, 4, px, py);
    EXPECT_EQ(px, 2);
    EXPECT_EQ(py, 1);

    int dw = 0, dh = 0, bits = 0, hz = -1;
    ASSERT_TRUE(GetDesktopMode(dw, dh, bits, hz));
    EXPECT_GT(dw, 0);
    EXPECT_GT(dh, 0);
    EXPECT_GE(hz, 0);
}

TEST(Presenter, AGraphicsCardPresentsAndEverythingElseWritesTheWindowsPixels) {
    struct Case {
        bool headless;
        const char* renderer;
        const char* gl;
        Presenter want;
    };
    const Case cases[] = {
        {false, "opengl", "Mesa Intel(R) UHD Graphics 620 (KBL GT2)", Presenter::Renderer},
        {false, "opengl", "NVIDIA GeForce GTX 1060/PCIe/SSE2", Presenter::Renderer},
        // A card whose driver names the compiler it uses is still a card.
        {false, "opengl", "AMD Radeon RX 580 Series (polaris10, LLVM 15.0.6, DRM 3.49)", Presenter::Renderer},
        {false, "opengles2", "Mali-G52", Presenter::Renderer},
        {false, "opengl", "", Presenter::Renderer},   // cannot tell: SDL's choice stands
        {false, "direct3d11", "", Presenter::Renderer},
        {false, "opengl", "llvmpipe (LLVM 15.0.6, 256 bits)", Presenter::WindowSurface},
        {false, "opengles2", "softpipe", Presenter::WindowSurface},
        {false, "opengl", "Software Rasterizer", Presenter::WindowSurface},
        {false, "opengl", "Mesa X11 swrast", Presenter::WindowSurface},
        {false, "software", "", Presenter::WindowSurface},
        {false, "", "", Presenter::WindowSurface},    // no accelerated renderer at all
        {true, "opengl", "NVIDIA GeForce GTX 1060/PCIe/SSE2", Presenter::WindowSurface},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChoosePresenter(c.headless, c.renderer, c.gl), c.want)
            << c.renderer << " / " << c.gl << (c.headless ? " headless" : "");
}

TEST(WindowPrimary, TheFastExpansionOfSixteenBitRowsEqualsThePlainLoop) {
    struct Case {
        PrimaryFormat format;
        uint16_t pixel;
        uint32_t want;   // what the plain loop makes of it
    };
    const Case cases[] = {
        {PrimaryFormat::RGB565, 0xF800, 0xFFFF0000}, {PrimaryFormat::RGB565, 0x07E0, 0xFF00FF00},
        {PrimaryFormat::BGR565, 0x001F, 0xFFFF0000}, {PrimaryFormat::BGR565, 0x0821, 0xFF080408},
        {PrimaryFormat::RGB555, 0x7C00, 0xFFFF0000}, {PrimaryFormat::RGB555, 0x8421, 0xFF080808},
        {PrimaryFormat::BGR555, 0x001F, 0xFFFF0000}, {PrimaryFormat::BGR555, 0x03E0, 0xFF00FF00},
    };
    // Every 16-bit value, from every start in a group of eight and at lengths that leave a tail.
    std::vector<uint16_t> all(65536 + 16);
    for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint16_t>(i * 40503u);
    for (const Case& c : cases) {
        uint32_t one = 0;
        ExpandPrimaryRow(c.format, &c.pixel, &one, 1, true);
        EXPECT_EQ(one, c.want) << int(c.format) << " 0x" << std::hex << c.pixel;
        for (int start = 0; start < 8; ++start) {
            const int count = static_cast<int>(all.size()) - start - (start * 3) % 8;
            std::vector<uint32_t> fast(count + 1, 0xDEADBEEF), plain(count + 1, 0xDEADBEEF);
            ExpandPrimaryRow(c.format, all.data() + start, fast.data(), count);
            ExpandPrimaryRow(c.format, all.data() + start, plain.data(), count, true);
            ASSERT_EQ(fast, plain) << int(c.format) << " from " << start;
        }
    }
}

TEST(Presenter, OnlyAMachineWithAGraphicsDeviceTriesTheAcceleratedRenderer) {
    struct Case {
        const char* name;
        std::vector<const char*> nodes;   // files made under the device root
        bool want;
    };
    const Case cases[] = {
        {"nothing", {}, false},
        {"card", {"dri/card0"}, true},
        {"render node", {"dri/renderD128"}, true},
        {"vendor device", {"nvidia0", "nvidiactl"}, true},
        {"other nodes", {"dri/by-path", "null", "fb0"}, false},
    };
    for (const Case& c : cases) {
        testsupport::TempDir dev;
        for (const char* node : c.nodes) {
            std::filesystem::create_directories(std::filesystem::path(dev.File(node)).parent_path());
            testsupport::WriteFile(dev.File(node), "");
        }
        EXPECT_EQ(HasGraphicsDevice(dev.Path()), c.want) << c.name;
    }
    EXPECT_FALSE(HasGraphicsDevice("/no/such/folder"));
}

// The window's surface, found among the first ids (the only window there is).
SDL_Surface* OnlyWindowSurface() {
    for (uint32_t id = 1; id < 256; ++id)
        if (SDL_Window* w = SDL_GetWindowFromID(id)) return SDL_GetWindowSurface(w);
    return nullptr;
}

TEST(WindowPrimary, SixteenBitPrimariesShowAsSdlConvertsThem) {
    struct Case {
        PrimaryFormat format;
        uint32_t sdl;
        uint16_t white;
    };
    const Case cases[] = {
        {PrimaryFormat::RGB565, SDL_PIXELFORMAT_RGB565, 0xFFFF},
        {PrimaryFormat::BGR565, SDL_PIXELFORMAT_BGR565, 0xFFFF},
        {PrimaryFormat::RGB555, SDL_PIXELFORMAT_RGB555, 0x7FFF},
        {PrimaryFormat::BGR555, SDL_PIXELFORMAT_BGR555, 0x7FFF},
    };
    // Every 16-bit value once, in a window of the picture's size (unscaled).
    std::vector<uint16_t> all(256 * 256);
    for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint16_t>(i);
    Window window;
    ASSERT_TRUE(window.Open("Expand", 256, 256, true)) << window.LastError();
    ASSERT_EQ(window.GetPresenter(), Presenter::WindowSurface);
    for (const Case& c : cases) {
        ASSERT_TRUE(window.PresentPrimary(all.data(), 256, 256, 512, c.format)) << window.LastError();
        SDL_Surface* shown = OnlyWindowSurface();
        ASSERT_NE(shown, nullptr);
        ASSERT_EQ(shown->w, 256);
        std::vector<uint32_t> sdl(all.size());
        ASSERT_EQ(SDL_ConvertPixels(256, 256, c.sdl, all.data(), 512, shown->format->format, sdl.data(), 1024), 0);
        int worst = 0;
        uint16_t worstAt = 0;
        for (size_t i = 0; i < all.size(); ++i) {
            uint32_t got = 0;
            std::memcpy(&got, static_cast<uint8_t*>(shown->pixels) + (i / 256) * shown->pitch + (i % 256) * 4, 4);
            for (int shift : {0, 8, 16}) {
                const int d = std::abs(int((got >> shift) & 0xFF) - int((sdl[i] >> shift) & 0xFF));
                if (d > worst) worst = d, worstAt = static_cast<uint16_t>(i);
            }
        }
        // SDL rounds down where the window repeats the top bits into the low ones.
        EXPECT_LE(worst, 1) << "format " << int(c.format) << " at 0x" << std::hex << worstAt;
        uint32_t black = 1, white = 0;
        std::memcpy(&black, shown->pixels, 4);
        std::memcpy(&white, static_cast<uint8_t*>(shown->pixels) + (c.white / 256) * shown->pitch + (c.white % 256) * 4, 4);
        EXPECT_EQ(black & 0xFFFFFF, 0u) << int(c.format);
        EXPECT_EQ(white & 0xFFFFFF, 0xFFFFFFu) << int(c.format);
    }
}

// In a window the player made larger, each pixel shows the picture's pixel
// that a click there goes to, beside black bars.
TEST(WindowPrimary, ALargerWindowShowsThePixelAClickThereReaches) {
    struct Case {
        PrimaryFormat format;
        int bytes;
    };
    const Case cases[] = {{PrimaryFormat::RGB565, 2}, {PrimaryFormat::XRGB8888, 4}, {PrimaryFormat::BGR555, 2}};
    constexpr int kW = 80, kH = 60, kWinW = 163, kWinH = 97;   // an uneven scale
    Window window;
    ASSERT_TRUE(window.Open("Larger", kW, kH, true)) << window.LastError();
    window.SetClientSize(kWinW, kWinH);   // wider than the picture's shape: bars left and right
    int ww = 0, wh = 0;
    window.GetClientSize(ww, wh);
    if (ww != kWinW || wh != kWinH) GTEST_SKIP() << "video driver does not resize";
    uint32_t seed = 11;
    for (const Case& c : cases) {
        std::vector<uint8_t> picture(size_t(kW) * kH * c.bytes);
        for (uint8_t& b : picture) b = uint8_t((seed = seed * 1103515245u + 12345u) >> 16);
        ASSERT_TRUE(window.PresentPrimary(picture.data(), kW, kH, kW * c.bytes, c.format)) << window.LastError();
        SDL_Surface* shown = OnlyWindowSurface();
        ASSERT_TRUE(shown && shown->w == kWinW && shown->h == kWinH);
        const PixelRect at = FitPicture(kWinW, kWinH, kW, kH);
        for (int y = 0; y < kWinH; ++y)
            for (int x = 0; x < kWinW; ++x) {
                uint32_t want = 0xFF000000u, got = 0;
                if (x >= at.x && x < at.x + at.w) {
                    int px = 0, py = 0;
                    window.MapToPicture(x, y, px, py);
                    const uint8_t* p = picture.data() + (size_t(py) * kW + size_t(px)) * size_t(c.bytes);
                    if (c.bytes == 4)
                        std::memcpy(&want, p, 4);
                    else
                        ExpandPrimaryRow(c.format, reinterpret_cast<const uint16_t*>(p), &want, 1, true);
                }
                std::memcpy(&got, static_cast<uint8_t*>(shown->pixels) + y * shown->pitch + x * 4, 4);
                ASSERT_EQ(got & 0xFFFFFF, want & 0xFFFFFF) << int(c.format) << " at " << x << "," << y;
            }
    }
}

TEST(WindowModes, FullScreenCoversTheDesktopAndAWindowComesBackAtThePictureSize) {
    SDL_InitSubSystem(SDL_INIT_VIDEO);
    SDL_Rect desktop{};
    ASSERT_EQ(SDL_GetDisplayBounds(0, &desktop), 0) << SDL_GetError();
    struct Step {
        bool windowed;
        int resizeTo;      // the player sizes the window first (0: not)
        bool wantDesktop;
    };
    // Opened in full screen, then back and forth; a resized window still comes back at 800 x 600.
    const Step steps[] = {{false, 0, true}, {true, 0, false}, {true, 1000, false}, {false, 0, true},
                          {true, 0, false}};
    Window window;
    ASSERT_TRUE(window.Open("Modes", 800, 600, false)) << window.LastError();
    std::vector<uint32_t> frame(800 * 600, 0xFF102030u);
    for (size_t i = 0; i < std::size(steps); ++i) {
        const Step& s = steps[i];
        if (s.resizeTo) window.SetClientSize(s.resizeTo, s.resizeTo * 3 / 4);
        ASSERT_TRUE(window.Open("Modes", 800, 600, s.windowed)) << window.LastError();
        window.Present(frame.data(), 800, 600, 800);
        int w = 0, h = 0;
        window.GetClientSize(w, h);
        const int wantW = s.wantDesktop ? desktop.w : (s.resizeTo ? s.resizeTo : 800);
        const int wantH = s.wantDesktop ? desktop.h : (s.resizeTo ? s.resizeTo * 3 / 4 : 600);
        EXPECT_EQ(window.IsWindowed(), s.windowed) << "step " << i;
        EXPECT_EQ(w, wantW) << "step " << i;
        EXPECT_EQ(h, wantH) << "step " << i;
        // The mouse maps through where the picture is shown: its centre is the picture's.
        int px = 0, py = 0;
        window.MapToPicture(w / 2, h / 2, px, py);
        EXPECT_EQ(px, 400) << "step " << i;
        EXPECT_EQ(py, 300) << "step " << i;
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}
