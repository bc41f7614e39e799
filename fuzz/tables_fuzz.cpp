// The text, texture and font tables as the application loads them: the input
// is each of "cfg\loc.xml", "cfg\textures.xml" and "cfg\fonts.xml"; every
// texture it names is taken and given back, every font looked up.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>
#include "framework/graphics/memory_image.h"
#include "framework/resources/image_lib.h"
#include "framework/resources/resource_manager.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_app.h"
#include "game/app/office_app.h"
#include "game/app/xml_access.h"

namespace {

using fuzz::FuzzApp;

// The value of attr on every element at xpath below the root of the file.
std::vector<std::string> Names(const std::string& file, const char* xpath, const char* attr) {
    std::vector<std::string> out;
    std::unique_ptr<XmlDocument> doc;
    if (!XmlLoadDocument(doc, file)) return out;
    pugi::xpath_node_set nodes;
    try {
        nodes = doc->document_element().select_nodes(xpath);
    } catch (const pugi::xpath_exception&) {
        return out;
    }
    for (const pugi::xpath_node& n : nodes)
        if (n.node().attribute(attr)) out.push_back(n.node().attribute(attr).value());
    return out;
}

// Every picture of the folder copy made 2 x 2, one pixel of each kind of
// alpha: the tables take and give back the same pictures, and decoding the
// sample's full-size ones was most of an input's time (pictures have a
// target of their own).
void ShrinkPictures() {
    const uint32_t pixels[] = {0xFF336699, 0x00000000, 0x80FFFFFF, 0xFF000000};
    std::string bytes, error;
    FUZZ_CHECK(Zephra::ImageLib::EncodePng(pixels, 2, 2, bytes, error), error);
    std::error_code ec;
    for (const auto& file : std::filesystem::recursive_directory_iterator(fuzz::GameDir(), ec))
        if (file.path().extension() == ".png") fuzz::WriteFile(file.path().string(), bytes);
}

} // namespace

void fuzz::WriteSeeds(Seeds&) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzApp* app = [] {
        ShrinkPictures();
        auto* made = new FuzzApp();
        // The fonts of the manifest's "Init" group, as at start-up.
        FUZZ_CHECK(made->GetResourceManager()->ParseResourcesFile() &&
                       made->GetResourceManager()->LoadResourceGroup(OfficeApp::kInitGroup),
                   made->GetResourceManager()->GetErrorText());
        return made;
    }();
    for (const char* file : {"cfg/loc.xml", "cfg/textures.xml", "cfg/fonts.xml"}) fuzz::WriteGameFile(file, data, size);

    std::vector<std::string> errors;
    TextTable loc;
    if (loc.Load(TextTable::kLocPath, errors)) {
        std::vector<std::string> keys = Names("cfg\\loc.xml", "text", "key");
        FUZZ_CHECK(loc.Size() <= keys.size(), "more texts than entries");
        for (const std::string& key : keys) (void)loc.Lookup(key);
    } else {
        FUZZ_CHECK(!errors.empty() && loc.Size() == 0, "failure without a reason");
    }

    TextureTable textures(app);
    textures.LoadTable(TextureTable::kTablePath, errors);
    std::vector<std::string> names = Names("cfg\\textures.xml", "texture", "name");
    for (const std::string& name : names) {
        Zephra::MemoryImage* image = textures.Acquire(name);
        if (!image) {
            FUZZ_CHECK(!textures.LastError().empty(), "no reason for " + name);
            continue;
        }
        FUZZ_CHECK(textures.Acquire(name) == image && textures.UseCount(name) == 2, "not shared: " + name);
        FUZZ_CHECK(image->mWidth > 0 && image->mHeight > 0, name);
        textures.Release(name);
        textures.ReleaseImage(image);
        FUZZ_CHECK(textures.UseCount(name) == 0, "still held: " + name);
    }
    FUZZ_CHECK(textures.LoadedCount() == 0, "pictures kept after the last release");

    FontTable fonts(app->GetResourceManager());
    fonts.LoadTable(FontTable::kTablePath, errors);
    for (const std::string& name : Names("cfg\\fonts.xml", "font", "name")) {
        if (Zephra::Font* font = fonts.Get(name)) (void)font;
    }
    return 0;
}
