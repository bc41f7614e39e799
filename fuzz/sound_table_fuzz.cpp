// "cfg\sounds.xml" as start-up loads it: its sounds and streams resolved
// through the sample manifest and decoded, each name played once.
#include <memory>
#include <string>
#include <vector>
#include "framework/resources/resource_manager.h"
#include "fuzz/fuzz_support.h"
#include "game/app/office_app.h"
#include "game/app/sound.h"
#include "game/app/xml_access.h"

namespace {

// The value of attr on every element at xpath below the root of the file.
std::vector<std::string> Names(const char* xpath) {
    std::vector<std::string> out;
    std::unique_ptr<XmlDocument> doc;
    if (!XmlLoadDocument(doc, OfficeApp::kSoundTablePath)) return out;
    for (const pugi::xpath_node& n : doc->document_element().select_nodes(xpath))
        out.push_back(n.node().attribute("name").value());
    return out;
}

} // namespace

void fuzz::WriteSeeds(Seeds&) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    AudioDevice* device = &fuzz::Audio();
    static Zephra::ResourceManager* resources = [] {
        auto* made = new Zephra::ResourceManager();
        FUZZ_CHECK(made->ParseResourcesFile(), made->GetErrorText());
        return made;
    }();
    fuzz::WriteGameFile("cfg/sounds.xml", data, size);
    std::vector<std::string> errors;
    SoundManager sounds(*device);
    MusicManager music(*device);
    music.SetFadeMs(0);
    int added = sounds.LoadTable(*resources, OfficeApp::kSoundTablePath, errors);
    music.LoadTable(*resources, OfficeApp::kSoundTablePath, errors);
    std::vector<std::string> names = Names("sounds/sound");
    FUZZ_CHECK(added <= static_cast<int>(names.size()), "more sounds than entries");
    for (const std::string& name : names) {
        sounds.Play(name);
        std::unique_ptr<SoundInstance> instance(sounds.CreateInstance(name));
        FUZZ_CHECK((instance != nullptr) == sounds.HasSound(name), "instance of " + name);
    }
    for (const std::string& group : {"game", "menu"}) {
        sounds.PauseGroup(group);
        sounds.ResumeGroup(group);
        sounds.StopGroup(group);
    }
    for (const std::string& name : Names("music/stream")) music.Play(name);
    music.Stop();
    return 0;
}
