#include "platform/window.h"

#include <SDL.h>
#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "platform/pixel_widening.h"
#include "platform/simd_target.h"
#include "platform/text.h"

namespace platform {
namespace {

// The window a message box sits over, when one is open.
SDL_Window* gMainWindow = nullptr;

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

PixelRect FitPicture(int areaWidth, int areaHeight, int pictureWidth, int pictureHeight) {
    PixelRect r{0, 0, areaWidth, areaHeight};
    if (areaWidth <= 0 || areaHeight <= 0 || pictureWidth <= 0 || pictureHeight <= 0) return r;
    const int64_t wide = static_cast<int64_t>(areaWidth) * pictureHeight;
    const int64_t tall = static_cast<int64_t>(areaHeight) * pictureWidth;
    if (wide >= tall) {
        r.w = static_cast<int>((tall + pictureHeight / 2) / pictureHeight);
        r.x = (areaWidth - r.w) / 2;
    } else {
        r.h = static_cast<int>((wide + pictureWidth / 2) / pictureWidth);
        r.y = (areaHeight - r.h) / 2;
    }
    r.w = std::max(r.w, 1);
    r.h = std::max(r.h, 1);
    return r;
}

void MapThrough(const PixelRect& shown, int pictureWidth, int pictureHeight, int x, int y, int& px, int& py) {
    if (pictureWidth <= 0 || pictureHeight <= 0 || shown.w <= 0 || shown.h <= 0) {
        px = x;
        py = y;
        return;
    }
    px = std::clamp(FloorDiv(static_cast<int64_t>(x - shown.x) * pictureWidth, shown.w), 0, pictureWidth - 1);
    py = std::clamp(FloorDiv(static_cast<int64_t>(y - shown.y) * pictureHeight, shown.h), 0, pictureHeight - 1);
}

void MapWindowToPicture(int windowWidth, int windowHeight, int pictureWidth, int pictureHeight,
                        int wx, int wy, int& px, int& py) {
    if (pictureWidth > 0 && pictureHeight > 0 && (windowWidth <= 0 || windowHeight <= 0)) {
        px = std::clamp(wx, 0, pictureWidth - 1);
        py = std::clamp(wy, 0, pictureHeight - 1);
        return;
    }
    MapThrough(FitPicture(windowWidth, windowHeight, pictureWidth, pictureHeight), pictureWidth, pictureHeight, wx,
               wy, px, py);
}

bool IsSoftwareRasteriser(const std::string& glRenderer) {
    std::string text = glRenderer;
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* name : {"llvmpipe", "softpipe", "swrast", "software rasterizer"})
        if (text.find(name) != std::string::npos) return true;
    return false;
}

bool HasGraphicsDevice(const std::string& devRoot) {
    namespace fs = std::filesystem;
    auto any = [](const fs::path& dir, std::initializer_list<const char*> prefixes) {
        std::error_code ec;
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            for (const char* prefix : prefixes)
                if (name.rfind(prefix, 0) == 0 && access(it->path().c_str(), R_OK | W_OK) == 0) return true;
        }
        return false;
    };
    return any(fs::path(devRoot) / "dri", {"card", "renderD"}) || any(devRoot, {"nvidia"});
}

Presenter ChoosePresenter(bool headless, const std::string& rendererName, const std::string& glRenderer) {
    if (headless || rendererName.empty() || rendererName == "software") return Presenter::WindowSurface;
    if (rendererName.rfind("opengl", 0) == 0 && IsSoftwareRasteriser(glRenderer)) return Presenter::WindowSurface;
    return Presenter::Renderer;
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

// Both formats put red, green and blue at the same bits of pixels of one size
// (what the top byte of a 32-bit pixel holds does not matter on the screen).
bool SameLayout(uint32_t a, uint32_t b) {
    int bitsA = 0, bitsB = 0;
    uint32_t ra = 0, ga = 0, ba = 0, aa = 0, rb = 0, gb = 0, bb = 0, ab = 0;
    if (!SDL_PixelFormatEnumToMasks(a, &bitsA, &ra, &ga, &ba, &aa) ||
        !SDL_PixelFormatEnumToMasks(b, &bitsB, &rb, &gb, &bb, &ab))
        return false;
    return SDL_BYTESPERPIXEL(a) == SDL_BYTESPERPIXEL(b) && ra == rb && ga == gb && ba == bb;
}

// A 16-bit row into 0xFFRRGGBB pixels, each channel's top bits repeated
// into its low ones (so that full intensity stays full): the plain loop the
// fast one is held to.
template <int RShift, int RBits, int GShift, int GBits, int BShift, int BBits>
void ExpandRowReference(const uint16_t* in, uint32_t* out, int count) {
    auto widen = [](uint32_t v, int bits) { return (v << (8 - bits)) | (v >> (2 * bits - 8)); };
    for (int i = 0; i < count; ++i) {
        const uint32_t p = in[i];
        const uint32_t r = widen((p >> RShift) & ((1u << RBits) - 1), RBits);
        const uint32_t g = widen((p >> GShift) & ((1u << GBits) - 1), GBits);
        const uint32_t b = widen((p >> BShift) & ((1u << BBits) - 1), BBits);
        out[i] = 0xFF000000u | r << 16 | g << 8 | b;
    }
}

template <int RShift, int RBits, int GShift, int GBits, int BShift, int BBits>
void ExpandRow(const uint16_t* in, uint32_t* out, int count) {
    int i = 0;
    for (; i + 8 <= count; i += 8)
        Expand8<RShift, RBits, GShift, GBits, BShift, BBits>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)),
                                                            out + i);
    ExpandRowReference<RShift, RBits, GShift, GBits, BShift, BBits>(in + i, out + i, count - i);
}

using ExpandFn = void (*)(const uint16_t*, uint32_t*, int);

ExpandFn ExpanderOf(uint32_t from, bool reference) {
    switch (from) {
    case SDL_PIXELFORMAT_RGB565: return reference ? ExpandRowReference<11, 5, 5, 6, 0, 5> : ExpandRow<11, 5, 5, 6, 0, 5>;
    case SDL_PIXELFORMAT_BGR565: return reference ? ExpandRowReference<0, 5, 5, 6, 11, 5> : ExpandRow<0, 5, 5, 6, 11, 5>;
    case SDL_PIXELFORMAT_RGB555: return reference ? ExpandRowReference<10, 5, 5, 5, 0, 5> : ExpandRow<10, 5, 5, 5, 0, 5>;
    case SDL_PIXELFORMAT_BGR555: return reference ? ExpandRowReference<0, 5, 5, 5, 10, 5> : ExpandRow<0, 5, 5, 5, 10, 5>;
    default: return nullptr;
    }
}

// The expansion of a 16-bit layout into 32-bit pixels with red at bit 16,
// or none.
ExpandFn ExpanderFor(uint32_t from, uint32_t to) {
    if (to != SDL_PIXELFORMAT_RGB888 && to != SDL_PIXELFORMAT_ARGB8888) return nullptr;
    return ExpanderOf(from, false);
}

// Pixels into a target of another layout, or copied row by row into one of the same.
int CopyPixels(int width, int height, uint32_t from, const void* src, int srcPitch, uint32_t to, void* dst,
               int dstPitch) {
    auto* out = static_cast<uint8_t*>(dst);
    const auto* in = static_cast<const uint8_t*>(src);
    if (SameLayout(from, to)) {
        const size_t row = static_cast<size_t>(width) * SDL_BYTESPERPIXEL(from);
        if (srcPitch == dstPitch && row == static_cast<size_t>(srcPitch)) {
            std::memcpy(out, in, row * static_cast<size_t>(height));
            return 0;
        }
        for (int y = 0; y < height; ++y)
            std::memcpy(out + static_cast<ptrdiff_t>(y) * dstPitch, in + static_cast<ptrdiff_t>(y) * srcPitch, row);
        return 0;
    }
    if (ExpandFn expand = ExpanderFor(from, to)) {
        for (int y = 0; y < height; ++y)
            expand(reinterpret_cast<const uint16_t*>(in + static_cast<ptrdiff_t>(y) * srcPitch),
                   reinterpret_cast<uint32_t*>(out + static_cast<ptrdiff_t>(y) * dstPitch), width);
        return 0;
    }
    return SDL_ConvertPixels(width, height, from, src, srcPitch, to, dst, dstPitch);
}

// The GL_RENDERER text of the current OpenGL context, empty without one.
std::string CurrentGLRenderer() {
    using GetString = const unsigned char* (*)(unsigned);
    auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    if (!getString) return {};
    const unsigned char* text = getString(0x1F01);  // GL_RENDERER
    return text ? reinterpret_cast<const char*>(text) : std::string();
}

SDL_Rect ToSdl(const PixelRect& r) { return SDL_Rect{r.x, r.y, r.w, r.h}; }

} // namespace

void ExpandPrimaryRow(PrimaryFormat from, const uint16_t* in, uint32_t* out, int count, bool reference) {
    if (ExpandFn expand = ExpanderOf(SdlFormat(from), reference)) expand(in, out, count);
}

namespace {

// A stretch's columns in blocks of eight: each block's first source column
// and the lanes that pick its pixels from the eight source pixels there, or
// -1 where the block reaches further (a shrink) or the eight would pass the
// row's end. Lane k of a block is its column k minus the first.
struct ColumnBlocks {
    std::vector<int> first;
    std::vector<uint8_t> lanes;   // eight per block
};

ColumnBlocks BlocksOf(const std::vector<int>& columns, int width) {
    ColumnBlocks b;
    const size_t blocks = columns.size() / 8;
    b.first.resize(blocks);
    b.lanes.resize(blocks * 8);
    for (size_t k = 0; k < blocks; ++k) {
        const int first = columns[k * 8], last = columns[k * 8 + 7];
        b.first[k] = last - first < 8 && first + 8 <= width ? first : -1;
        for (size_t i = 0; i < 8; ++i) b.lanes[k * 8 + i] = uint8_t(columns[k * 8 + i] - first);
    }
    return b;
}

template <typename Pixel>
void GatherRow(const Pixel* src, const std::vector<int>& columns, Pixel* out) {
    for (size_t i = 0; i < columns.size(); ++i) out[i] = src[columns[i]];
}

// The stretch writes the window's pixels, whose lines the display has just
// read: each loop asks for the line this many pixels ahead as its own.
constexpr size_t kOwnAhead = 128;

PEMBERLY_AVX2_BEGIN

// Eight pixels of a block at a time by `block` (one load, one shuffle);
// other blocks and the last columns pixel by pixel, as GatherRow takes them.
template <typename Pixel, typename Block>
void GatherBlocks(const Pixel* src, const std::vector<int>& columns, const ColumnBlocks& b, Pixel* out, Block block) {
    for (size_t k = 0; k < b.first.size(); ++k) {
        if (k % 2 == 0) Zephra::PrefetchForWrite(out + k * 8 + kOwnAhead);
        if (b.first[k] < 0) {
            for (size_t i = k * 8; i < k * 8 + 8; ++i) out[i] = src[columns[i]];
            continue;
        }
        block(src + b.first[k], _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&b.lanes[k * 8])), out + k * 8);
    }
    for (size_t i = b.first.size() * 8; i < columns.size(); ++i) out[i] = src[columns[i]];
}

// Eight 16-bit pixels of a block picked by one shuffle and widened in the
// same registers; the pixels of other blocks and the last columns as
// GatherRow takes them, widened as ExpandRow widens them.
template <int RShift, int RBits, int GShift, int GBits, int BShift, int BBits>
void GatherExpandRowAvx2(const uint16_t* src, const std::vector<int>& columns, const ColumnBlocks& b, uint32_t* out) {
    // The eight pixels of block k in 16-bit lanes.
    auto block = [&](size_t k) __attribute__((always_inline)) {
        if (b.first[k] < 0) {
            uint16_t eight[8];
            for (size_t i = 0; i < 8; ++i) eight[i] = src[columns[k * 8 + i]];
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(eight));
        }
        // Lane i takes bytes 2i and 2i + 1 of its pixel.
        const __m128i lanes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&b.lanes[k * 8]));
        const __m128i twice = _mm_slli_epi16(_mm_cvtepu8_epi16(lanes), 1);
        const __m128i pick = _mm_add_epi8(_mm_or_si128(twice, _mm_slli_epi16(twice, 8)), _mm_set1_epi16(0x0100));
        return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + b.first[k])), pick);
    };
    size_t k = 0;
    for (; k + 2 <= b.first.size(); k += 2) {
        Zephra::PrefetchForWrite(out + k * 8 + kOwnAhead);
        Expand16<RShift, RBits, GShift, GBits, BShift, BBits>(
            _mm256_inserti128_si256(_mm256_castsi128_si256(block(k)), block(k + 1), 1), out + k * 8);
    }
    if (k < b.first.size()) Expand8<RShift, RBits, GShift, GBits, BShift, BBits>(block(k), out + k * 8);
    const size_t done = b.first.size() * 8, left = columns.size() - done;
    uint16_t last[8];
    for (size_t i = 0; i < left; ++i) last[i] = src[columns[done + i]];
    ExpandRowReference<RShift, RBits, GShift, GBits, BShift, BBits>(last, out + done, int(left));
}

// A row the stretch repeats, from the window's row above.
void CopyRowOwningAhead(const uint32_t* from, uint32_t* to, size_t count) {
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        Zephra::PrefetchForWrite(to + i + kOwnAhead);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + i), _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + i)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + i + 8),
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + i + 8)));
    }
    std::memcpy(to + i, from + i, (count - i) * 4);
}

void GatherRow32Avx2(const uint32_t* src, const std::vector<int>& columns, const ColumnBlocks& b, uint32_t* out) {
    GatherBlocks(src, columns, b, out, [](const uint32_t* from, __m128i lanes8, uint32_t* to) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), _mm256_permutevar8x32_epi32(v, _mm256_cvtepu8_epi32(lanes8)));
    });
}

PEMBERLY_AVX2_END

using GatherExpandFn = void (*)(const uint16_t*, const std::vector<int>&, const ColumnBlocks&, uint32_t*);

GatherExpandFn GatherExpanderOf(uint32_t from) {
    switch (from) {
    case SDL_PIXELFORMAT_RGB565: return GatherExpandRowAvx2<11, 5, 5, 6, 0, 5>;
    case SDL_PIXELFORMAT_BGR565: return GatherExpandRowAvx2<0, 5, 5, 6, 11, 5>;
    case SDL_PIXELFORMAT_RGB555: return GatherExpandRowAvx2<10, 5, 5, 5, 0, 5>;
    case SDL_PIXELFORMAT_BGR555: return GatherExpandRowAvx2<0, 5, 5, 5, 10, 5>;
    default: return nullptr;
    }
}

} // namespace

bool StretchPrimary(const void* pixels, int width, int height, int pitch, PrimaryFormat format, void* out,
                    int outPitch, const PixelRect& into) {
    const uint32_t from = SdlFormat(format);
    const bool wide = SDL_BYTESPERPIXEL(from) == 4;
    const ExpandFn expand = wide ? nullptr : ExpanderOf(from, false);
    if ((wide && format != PrimaryFormat::XRGB8888) || (!wide && !expand) || !pixels || !out || width <= 0 ||
        height <= 0 || into.w <= 0 || into.h <= 0)
        return false;
    // The source column of each column and, for a 16-bit picture, the row
    // gathered before it is widened: the stretch's choice of pixels exactly.
    std::vector<int> columns(static_cast<size_t>(into.w));
    for (int i = 0; i < into.w; ++i) columns[size_t(i)] = static_cast<int>(int64_t(i) * width / into.w);
    const bool avx2 = Zephra::CpuHasAvx2();
    std::vector<uint16_t> gathered(wide || avx2 ? 0 : static_cast<size_t>(into.w));
    const ColumnBlocks blocks = avx2 ? BlocksOf(columns, width) : ColumnBlocks{};
    // Each source row is stretched once, straight into the window; a row
    // that repeats it copies the window's row above.
    const auto* in = static_cast<const uint8_t*>(pixels);
    int lastSy = -1;
    for (int y = 0; y < into.h; ++y) {
        const int sy = static_cast<int>(int64_t(y) * height / into.h);
        auto* to = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(out) + static_cast<ptrdiff_t>(into.y + y) * outPitch) +
                   into.x;
        if (sy == lastSy) {
            const auto* above = reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(to) - outPitch);
            if (avx2)
                CopyRowOwningAhead(above, to, size_t(into.w));
            else
                std::memcpy(to, above, size_t(into.w) * 4);
            continue;
        }
        lastSy = sy;
        const uint8_t* src = in + static_cast<ptrdiff_t>(sy) * pitch;
        if (wide) {
            const auto* s32 = reinterpret_cast<const uint32_t*>(src);
            if (avx2)
                GatherRow32Avx2(s32, columns, blocks, to);
            else
                GatherRow(s32, columns, to);
        } else {
            const auto* s16 = reinterpret_cast<const uint16_t*>(src);
            if (avx2) {
                GatherExpanderOf(from)(s16, columns, blocks, to);
            } else {
                GatherRow(s16, columns, gathered.data());
                expand(gathered.data(), to, into.w);
            }
        }
    }
    return true;
}

struct Window::Impl {
    SDL_Window* window = nullptr;
    // The accelerated road only; the window surface road has neither.
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    uint32_t texFormat = SDL_PIXELFORMAT_UNKNOWN;
    int texW = 0, texH = 0;
    Presenter presenter = Presenter::WindowSurface;
    bool vsync = false;
    bool videoHeld = false;
    int picW = 0, picH = 0;               // the last picture shown; the mouse maps into it
    int windowedW = 0, windowedH = 0;     // the size a window comes back at
    bool windowed = true;
    bool minimized = false;
    bool focus = false;
    bool cursorShown = true;
    int lastX = 0, lastY = 0;
    // Window surface road: the surface and place for which the bars beside
    // the picture were made black, and whether the next update must send the
    // whole window (after an expose, a resize or new bars).
    SDL_Surface* barsFor = nullptr;
    PixelRect barsAt;
    bool wholeUpdate = true;
    std::vector<uint8_t> scratch;
    std::string error;
    // The window surface's pixels while they are lent (LendPixels), and how
    // the borrower takes its picture back.
    void* lent = nullptr;
    std::function<void()> giveBack;

    // Before anything that may remake or free the window's pixels.
    void TakeBack() {
        if (!lent) return;
        lent = nullptr;
        std::function<void()> back = std::move(giveBack);
        giveBack = nullptr;
        if (back) back();
    }

    bool Fail(const char* what) {
        error = std::string(what) + ": " + SDL_GetError();
        return false;
    }

    // Full screen covers the desktop from the start: without a window
    // manager nobody else would move or size the window.
    bool MakeWindow(const std::string& title, bool asWindow) {
        uint32_t flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_SHOWN;
        int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED, w = windowedW, h = windowedH;
        SDL_Rect desktop{};
        if (!asWindow) {
            flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
            if (SDL_GetDisplayBounds(0, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
                x = desktop.x;
                y = desktop.y;
                w = desktop.w;
                h = desktop.h;
            }
        }
        window = SDL_CreateWindow(title.c_str(), x, y, w, h, flags);
        if (!window) return Fail("SDL_CreateWindow");
        gMainWindow = window;
        windowed = asWindow;
        return true;
    }

    // The accelerated renderer when it is a graphics card's; otherwise the
    // window's own pixels (and a window made afresh: the renderer may have
    // remade it for OpenGL). No renderer is tried on a machine without a card.
    bool ChooseRoad(const std::string& title) {
        presenter = Presenter::WindowSurface;
        if (!Headless() && HasGraphicsDevice("/dev")) {
            SDL_Renderer* r =
                SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | (vsync ? SDL_RENDERER_PRESENTVSYNC : 0));
            std::string name, gl;
            SDL_RendererInfo info{};
            if (r && SDL_GetRendererInfo(r, &info) == 0 && info.name) name = info.name;
            if (name.rfind("opengl", 0) == 0) gl = CurrentGLRenderer();
            presenter = ChoosePresenter(false, name, gl);
            if (presenter == Presenter::Renderer) {
                renderer = r;
                return true;
            }
            if (r) {
                SDL_DestroyRenderer(r);
                SDL_DestroyWindow(window);
                window = nullptr;
                if (!MakeWindow(title, windowed)) return false;
            }
        }
        // Otherwise SDL would back the window's pixels with an accelerated renderer's texture.
        SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
        if (!SDL_GetWindowSurface(window)) return Fail("SDL_GetWindowSurface");
        return true;
    }

    void Destroy() {
        TakeBack();
        if (texture) SDL_DestroyTexture(texture);
        if (renderer) SDL_DestroyRenderer(renderer);
        if (window) {
            if (gMainWindow == window) gMainWindow = nullptr;
            SDL_DestroyWindow(window);
        }
        texture = nullptr;
        renderer = nullptr;
        window = nullptr;
        texW = texH = 0;
        barsFor = nullptr;
        wholeUpdate = true;
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

    // The picture stretched into `at` of the window's pixels by the
    // display's own rule; false, with nothing drawn, where the window's
    // layout or the picture's is not one it writes.
    bool Stretched(SDL_Surface* ws, const void* pixels, int w, int h, int pitch, PrimaryFormat format,
                   const PixelRect& at) {
        const uint32_t target = ws->format->format;
        if (target != SDL_PIXELFORMAT_RGB888 && target != SDL_PIXELFORMAT_ARGB8888) return false;
        if (SDL_MUSTLOCK(ws) && SDL_LockSurface(ws) != 0) return Fail("SDL_LockSurface");
        const bool drawn = StretchPrimary(pixels, w, h, pitch, format, ws->pixels, ws->pitch, at);
        if (SDL_MUSTLOCK(ws)) SDL_UnlockSurface(ws);
        return drawn;
    }

    // Straight into the window's pixels: a row copy (or one conversion) when
    // the picture fits unscaled, else a stretch; the bars are made black
    // once, not every frame.
    bool IntoSurface(const void* pixels, int w, int h, int pitch, PrimaryFormat primary) {
        const uint32_t format = SdlFormat(primary);
        SDL_Surface* ws = SDL_GetWindowSurface(window);
        if (!ws) return Fail("SDL_GetWindowSurface");
        const PixelRect at = FitPicture(ws->w, ws->h, w, h);
        const bool covers = at.x == 0 && at.y == 0 && at.w == ws->w && at.h == ws->h;
        Bars(ws, at);
        const uint32_t target = ws->format->format;
        const int bytes = ws->format->BytesPerPixel;
        SDL_Rect dst = ToSdl(at);
        if (at.w == w && at.h == h) {
            if (SDL_MUSTLOCK(ws) && SDL_LockSurface(ws) != 0) return Fail("SDL_LockSurface");
            auto* out = static_cast<uint8_t*>(ws->pixels) + static_cast<ptrdiff_t>(at.y) * ws->pitch + at.x * bytes;
            const int r = CopyPixels(w, h, format, pixels, pitch, target, out, ws->pitch);
            if (SDL_MUSTLOCK(ws)) SDL_UnlockSurface(ws);
            if (r != 0) return Fail("SDL_ConvertPixels");
        } else {
            // A window the player made larger: the picture as full screen shows it.
            if (Stretched(ws, pixels, w, h, pitch, primary, at)) return Send(dst, covers);
            const void* from = pixels;
            int fromPitch = pitch;
            if (!SameLayout(format, target)) {
                fromPitch = w * bytes;
                scratch.resize(static_cast<size_t>(fromPitch) * static_cast<size_t>(h));
                if (CopyPixels(w, h, format, pixels, pitch, target, scratch.data(), fromPitch) != 0)
                    return Fail("SDL_ConvertPixels");
                from = scratch.data();
            }
            SDL_Surface* src = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<void*>(from), w, h,
                                                                  SDL_BITSPERPIXEL(target), fromPitch, target);
            if (!src) return Fail("SDL_CreateRGBSurfaceWithFormatFrom");
            // The nearest pixel, as the display's own stretches take it: a
            // filtered one costs three times as much every frame.
            const int r = SDL_SoftStretch(src, nullptr, ws, &dst);
            SDL_FreeSurface(src);
            if (r != 0) return Fail("SDL_SoftStretch");
        }
        return Send(dst, covers);
    }

    // Black beside the picture at `at`, made once for a surface and place.
    void Bars(SDL_Surface* ws, const PixelRect& at) {
        const bool covers = at.x == 0 && at.y == 0 && at.w == ws->w && at.h == ws->h;
        if (covers || (ws == barsFor && at == barsAt)) return;
        SDL_FillRect(ws, nullptr, SDL_MapRGB(ws->format, 0, 0, 0));
        barsFor = ws;
        barsAt = at;
        wholeUpdate = true;
    }

    bool Send(const SDL_Rect& dst, bool covers) {
        const bool whole = wholeUpdate || covers;
        wholeUpdate = false;
        const int r = whole ? SDL_UpdateWindowSurface(window) : SDL_UpdateWindowSurfaceRects(window, &dst, 1);
        return r == 0 || Fail("SDL_UpdateWindowSurface");
    }

    // A texture in the window's own format when the renderer takes it.
    uint32_t TextureFormat() const {
        const uint32_t own = SDL_GetWindowPixelFormat(window);
        SDL_RendererInfo info{};
        if (own != SDL_PIXELFORMAT_UNKNOWN && SDL_GetRendererInfo(renderer, &info) == 0)
            for (uint32_t i = 0; i < info.num_texture_formats; ++i)
                if (info.texture_formats[i] == own) return own;
        return SDL_PIXELFORMAT_ARGB8888;
    }

    bool ThroughRenderer(const void* pixels, int w, int h, int pitch, uint32_t format) {
        if (!texture || texW != w || texH != h) {
            if (texture) SDL_DestroyTexture(texture);
            texFormat = TextureFormat();
            texture = SDL_CreateTexture(renderer, texFormat, SDL_TEXTUREACCESS_STREAMING, w, h);
            if (!texture) {
                texW = texH = 0;
                return Fail("SDL_CreateTexture");
            }
            SDL_SetTextureScaleMode(texture, SDL_ScaleModeLinear);
            SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
            texW = w;
            texH = h;
        }
        void* out = nullptr;
        int outPitch = 0;
        if (SDL_LockTexture(texture, nullptr, &out, &outPitch) != 0) return Fail("SDL_LockTexture");
        const int converted = CopyPixels(w, h, format, pixels, pitch, texFormat, out, outPitch);
        SDL_UnlockTexture(texture);
        if (converted != 0) return Fail("SDL_ConvertPixels");
        int outW = 0, outH = 0;
        if (SDL_GetRendererOutputSize(renderer, &outW, &outH) != 0) return Fail("SDL_GetRendererOutputSize");
        const PixelRect at = FitPicture(outW, outH, w, h);
        if (at.w != outW || at.h != outH) {
            SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
            SDL_RenderClear(renderer);
        }
        const SDL_Rect dst = ToSdl(at);
        SDL_RenderCopy(renderer, texture, nullptr, &dst);
        SDL_RenderPresent(renderer);
        return true;
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
    m.windowedW = pictureWidth;
    m.windowedH = pictureHeight;
    if (m.window) {
        SDL_SetWindowTitle(m.window, title.c_str());
        return SetWindowed(windowed);
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return m.Fail("SDL_InitSubSystem(video)");
    m.videoHeld = true;
    m.picW = pictureWidth;
    m.picH = pictureHeight;
    if (!m.MakeWindow(title, windowed) || !m.ChooseRoad(title)) {
        const std::string keep = m.error;
        m.Destroy();
        m.error = keep;
        return false;
    }
    const uint32_t state = SDL_GetWindowFlags(m.window);
    m.focus = (state & SDL_WINDOW_INPUT_FOCUS) != 0;
    m.minimized = (state & SDL_WINDOW_MINIMIZED) != 0;
    m.lastX = pictureWidth / 2;
    m.lastY = pictureHeight / 2;
    SDL_ShowCursor(m.cursorShown ? SDL_ENABLE : SDL_DISABLE);
    SDL_StartTextInput();
    m.error.clear();
    return true;
}

void Window::Close() {
    if (impl_) impl_->Destroy();
}

bool Window::IsOpen() const { return impl_->window != nullptr; }

bool Window::SetWindowed(bool windowed) {
    Impl& m = *impl_;
    m.TakeBack();
    if (!m.window) {
        m.windowed = windowed;
        return true;
    }
    const bool full = (SDL_GetWindowFlags(m.window) & SDL_WINDOW_FULLSCREEN) != 0;
    const int display = std::max(SDL_GetWindowDisplayIndex(m.window), 0);
    if (!windowed && !full) {
        // A window manager makes the window cover the desktop on request;
        // without one nobody would, and SDL would take the desktop's size for
        // the window's: it takes the desktop's place itself first.
        SDL_Rect desktop{};
        if (SDL_GetDisplayBounds(display, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
            SDL_SetWindowPosition(m.window, desktop.x, desktop.y);
            SDL_SetWindowSize(m.window, desktop.w, desktop.h);
        }
        if (SDL_SetWindowFullscreen(m.window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
            return m.Fail("SDL_SetWindowFullscreen");
    } else if (windowed && full) {
        if (SDL_SetWindowFullscreen(m.window, 0) != 0) return m.Fail("SDL_SetWindowFullscreen");
        // Back at the picture's size, centred, whatever the window was before.
        SDL_SetWindowSize(m.window, m.windowedW, m.windowedH);
        SDL_SetWindowPosition(m.window, SDL_WINDOWPOS_CENTERED_DISPLAY(display), SDL_WINDOWPOS_CENTERED_DISPLAY(display));
    }
    m.windowed = windowed;
    m.barsFor = nullptr;
    m.wholeUpdate = true;
    return true;
}

bool Window::IsWindowed() const { return impl_->windowed; }

void Window::SetVSync(bool wait) {
    Impl& m = *impl_;
    m.vsync = wait;
    if (m.renderer) SDL_RenderSetVSync(m.renderer, wait ? 1 : 0);
}

Presenter Window::GetPresenter() const { return impl_->presenter; }

void Window::Present(const uint32_t* pixels, int width, int height, int pitch) {
    PresentPrimary(pixels, width, height, pitch * static_cast<int>(sizeof(uint32_t)), PrimaryFormat::XRGB8888);
}

bool Window::PresentPrimary(const void* pixels, int width, int height, int pitch, PrimaryFormat format) {
    Impl& m = *impl_;
    const uint32_t sdl = SdlFormat(format);
    if (!m.window || !pixels || width <= 0 || height <= 0 || pitch < width * static_cast<int>(SDL_BYTESPERPIXEL(sdl))) return false;
    m.picW = width;
    m.picH = height;
    if (m.lent && pixels == m.lent) {
        // Drawn in place. SDL refuses to send pixels it has since let go
        // (a resize): the borrower gets them back before SDL frees them.
        if (m.minimized || SDL_UpdateWindowSurface(m.window) == 0) return true;
        m.Fail("SDL_UpdateWindowSurface");
        m.TakeBack();
        return false;
    }
    m.TakeBack();
    if (m.minimized) return true;   // nothing to see
    return m.renderer ? m.ThroughRenderer(pixels, width, height, pitch, sdl)
                      : m.IntoSurface(pixels, width, height, pitch, format);
}

bool Window::PresentStretched(const void* pixels, int width, int height, int pitch, PrimaryFormat format,
                              int displayWidth, int displayHeight, const PixelRect& into) {
    Impl& m = *impl_;
    if (!m.window || m.renderer || !pixels || width <= 0 || height <= 0 || into.w <= 0 || into.h <= 0 ||
        into.x < 0 || into.y < 0 || into.x + into.w > displayWidth || into.y + into.h > displayHeight)
        return false;
    m.TakeBack();
    if (m.minimized) {
        m.picW = displayWidth;
        m.picH = displayHeight;
        return true;
    }
    SDL_Surface* ws = SDL_GetWindowSurface(m.window);
    if (!ws) return m.Fail("SDL_GetWindowSurface");
    const uint32_t target = ws->format->format;
    if (ws->w != displayWidth || ws->h != displayHeight ||
        (target != SDL_PIXELFORMAT_RGB888 && target != SDL_PIXELFORMAT_ARGB8888))
        return false;
    m.Bars(ws, into);
    if (!m.Stretched(ws, pixels, width, height, pitch, format, into)) return false;
    m.picW = displayWidth;
    m.picH = displayHeight;
    return m.Send(ToSdl(into), into == PixelRect{0, 0, ws->w, ws->h});
}

void* Window::LendPixels(int width, int height, PrimaryFormat format, int& pitch, std::function<void()> giveBack) {
    Impl& m = *impl_;
    m.TakeBack();
    if (!m.window || m.renderer || m.minimized) return nullptr;
    SDL_Surface* ws = SDL_GetWindowSurface(m.window);
    if (!ws || SDL_MUSTLOCK(ws) || !ws->pixels || ws->w != width || ws->h != height ||
        !SameLayout(SdlFormat(format), ws->format->format))
        return nullptr;
    m.lent = ws->pixels;
    m.giveBack = std::move(giveBack);
    pitch = ws->pitch;
    return ws->pixels;
}

void Window::EndLoan() { impl_->TakeBack(); }

void Window::GetClientSize(int& width, int& height) const {
    const Impl& m = *impl_;
    width = height = 0;
    if (m.window) SDL_GetWindowSize(m.window, &width, &height);
}

void Window::SetClientSize(int width, int height) {
    Impl& m = *impl_;
    if (!m.window || !m.windowed || width <= 0 || height <= 0) return;
    m.TakeBack();
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
            case SDL_WINDOWEVENT_EXPOSED: m.wholeUpdate = true; break;
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                m.barsFor = nullptr;
                m.wholeUpdate = true;
                break;
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
