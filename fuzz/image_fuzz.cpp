// Pictures as the resource manager loads them: one resource that asks for a
// surface and a palette, one that asks for neither under a .jpg name, both
// read through the game's file access.
#include <cstring>
#include <png.h>
#include <memory>
#include <string>
#include <vector>
#include "framework/graphics/memory_image.h"
#include "framework/resources/image_lib.h"
#include "framework/resources/resource_manager.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/jpeg_maker.h"

using Zephra::ImageLib::Picture;

namespace {

const char* kManifest =
    "<resources><group id=\"Fuzz\">"
    "<image id=\"SURFACE_PALETTE\" path=\"images\\fuzz.png\" surface=\"true\" palette=\"true\"/>"
    "<image id=\"PLAIN\" path=\"images\\fuzz.jpg\"/>"
    "</group></resources>";

// Writes an image's pixels back through the PNG writer and reads them again.
void CheckRoundTrip(const Picture& pic) {
    std::string bytes, error;
    FUZZ_CHECK(Zephra::ImageLib::EncodePng(pic.mBits.data(), pic.mWidth, pic.mHeight, bytes, error), error);
    Picture back;
    FUZZ_CHECK(Zephra::ImageLib::DecodePng(bytes.data(), bytes.size(), back, error), error);
    FUZZ_CHECK(back.mWidth == pic.mWidth && back.mHeight == pic.mHeight && back.mBits == pic.mBits,
               "PNG round trip changed the pixels");
}

void CheckLoaded(Zephra::ResourceManager& resources, const char* id, const Picture& pic, bool palette) {
    Zephra::MemoryImage* image = resources.GetImage(id);
    FUZZ_CHECK(image != nullptr, id);
    FUZZ_CHECK(image->mWidth == pic.mWidth && image->mHeight == pic.mHeight, "size");
    if (resources.ImageWantsSurface(id)) FUZZ_CHECK(!image->mHasAlpha, "surface asked with partial alpha");
    const size_t n = pic.mBits.size();
    if (palette && image->IsPalettized()) {
        for (size_t i = 0; i < n; ++i)
            FUZZ_CHECK(image->mColorTable[image->mColorIndices[i]] == pic.mBits[i], "palette lost a colour");
        return;
    }
    const uint32_t* bits = image->GetBits();
    FUZZ_CHECK(bits != nullptr, "no bits");
    FUZZ_CHECK(std::memcmp(bits, pic.mBits.data(), n * 4) == 0, "loaded pixels differ from the decoded ones");
}

// Forms the PNG writer does not make: 16-bit, grey and colour-mapped files.
std::string PngOf(uint32_t format, int w, int h) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = w;
    image.height = h;
    image.format = format;
    if (format & PNG_FORMAT_FLAG_COLORMAP) image.colormap_entries = 256;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 37 + i / 7);
    std::vector<uint8_t> colormap(PNG_IMAGE_COLORMAP_SIZE(image) + 1);
    for (size_t i = 0; i < colormap.size(); ++i) colormap[i] = uint8_t(i * 11);
    png_alloc_size_t size = 0;
    if (!png_image_write_get_memory_size(image, size, 0, pixels.data(), 0, colormap.data())) return {};
    std::string bytes(size, '\0');
    if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels.data(), 0, colormap.data())) return {};
    bytes.resize(size);
    return bytes;
}

// Baseline or progressive JPEG of a colour ramp.
std::string JpegOf(int w, int h, bool grey, bool progressive) {
    return testsupport::MakeJpeg(w, h, grey, progressive, [](int x, int y, int c) { return (x * 15 + c * 5 + y * 3) & 0xFF; });
}

} // namespace

void fuzz::WriteSeeds(Seeds& seeds) {
    // The writer's own pictures: opaque, partly transparent, few and many colours.
    struct Made {
        const char* name;
        int w, h;
        uint32_t (*pixel)(int x, int y);
    };
    const Made made[] = {
        {"opaque-2-colours.png", 7, 5, [](int x, int) { return x < 3 ? 0xFF102030u : 0xFFE0D0C0u; }},
        {"alpha-ramp.png", 16, 4, [](int x, int y) { return uint32_t(x * 16) << 24 | uint32_t(y * 60) << 8 | 0x40u; }},
        {"many-colours.png", 40, 30, [](int x, int y) { return 0xFF000000u | uint32_t(x * 6) << 16 | uint32_t(y * 8) << 8 | uint32_t(x ^ y); }},
        {"one-pixel.png", 1, 1, [](int, int) { return 0x00000000u; }},
    };
    for (const Made& m : made) {
        std::vector<uint32_t> bits;
        for (int y = 0; y < m.h; ++y)
            for (int x = 0; x < m.w; ++x) bits.push_back(m.pixel(x, y));
        std::string bytes, error;
        if (Zephra::ImageLib::EncodePng(bits.data(), m.w, m.h, bytes, error)) seeds.Add(m.name, bytes);
    }
    seeds.Add("rgba16.png", PngOf(PNG_FORMAT_LINEAR_RGB_ALPHA, 9, 7));
    seeds.Add("grey16.png", PngOf(PNG_FORMAT_LINEAR_Y, 5, 5));
    seeds.Add("grey.png", PngOf(PNG_FORMAT_GRAY, 6, 3));
    seeds.Add("colormap.png", PngOf(PNG_FORMAT_RGB_COLORMAP, 8, 8));
    seeds.Add("baseline.jpg", JpegOf(24, 16, false, false));
    seeds.Add("grey.jpg", JpegOf(9, 9, true, false));
    seeds.Add("progressive.jpg", JpegOf(32, 24, false, true));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = [] {
        fuzz::WriteGameFile("properties/fuzz_images.xml", kManifest);
        return true;
    }();
    (void)ready;
    fuzz::WriteGameFile("images/fuzz.png", data, size);
    fuzz::WriteGameFile("images/fuzz.jpg", data, size);

    Picture pic;
    std::string error;
    bool decodes = Zephra::ImageLib::DecodeImage(data, size, "fuzz.png", pic, error);
    FUZZ_CHECK(decodes || !error.empty(), "refused without a reason");
    if (decodes) {
        FUZZ_CHECK(Zephra::ImageLib::SizeAllowed(pic.mWidth, pic.mHeight), "size beyond the limits");
        FUZZ_CHECK(pic.mBits.size() == size_t(pic.mWidth) * pic.mHeight, "pixel count");
        if (pic.mBits.size() <= 1u << 20) CheckRoundTrip(pic);
    }

    auto resources = std::make_unique<Zephra::ResourceManager>();
    FUZZ_CHECK(resources->ParseResourcesFile("properties\\fuzz_images.xml"), resources->GetErrorText());
    bool loaded = resources->LoadResourceGroup("Fuzz");
    FUZZ_CHECK(loaded == decodes, "the resource manager and the decoder disagree: " + resources->GetErrorText());
    if (loaded) {
        CheckLoaded(*resources, "SURFACE_PALETTE", pic, true);
        CheckLoaded(*resources, "PLAIN", pic, false);
        resources->UnloadGroup("Fuzz");
        FUZZ_CHECK(resources->GetImage("PLAIN") == nullptr, "image kept after unloading");
    } else {
        FUZZ_CHECK(!resources->GetErrorText().empty(), "failure without a reason");
    }
    return 0;
}
