// The resource manifest as start-up reads it, with each group it defines
// loaded (pictures and fonts from the sample game folder) and unloaded.
#include <memory>
#include <string>
#include <vector>
#include <pugixml.hpp>
#include "framework/resources/resource_manager.h"
#include "fuzz/fuzz_support.h"

using Zephra::ResourceManager;

void fuzz::WriteSeeds(Seeds&) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::WriteGameFile("properties/resources.xml", data, size);
    // The group ids as written, found without the manager.
    std::vector<std::string> written;
    pugi::xml_document doc;
    if (doc.load_buffer(data, size))
        for (pugi::xml_node g : doc.document_element().children("group")) written.push_back(g.attribute("id").value());

    ResourceManager resources;
    if (!resources.ParseResourcesFile()) {
        FUZZ_CHECK(!resources.GetErrorText().empty(), "refused without a reason");
        for (const std::string& id : written) FUZZ_CHECK(!resources.HasGroup(id), "half a manifest added: " + id);
        return 0;
    }
    for (const std::string& group : written) {
        FUZZ_CHECK(resources.HasGroup(group), "group lost: " + group);
        std::vector<std::string> images = resources.GetGroupIds(group, ResourceManager::RES_IMAGE);
        std::vector<std::string> fonts = resources.GetGroupIds(group, ResourceManager::RES_FONT);
        if (!resources.LoadResourceGroup(group)) {
            FUZZ_CHECK(!resources.GetErrorText().empty(), "failure without a reason");
            FUZZ_CHECK(!resources.IsGroupLoaded(group), "failed group marked loaded");
            resources.UnloadGroup(group);
            continue;
        }
        FUZZ_CHECK(resources.IsGroupLoaded(group), group);
        for (const std::string& id : images) FUZZ_CHECK(resources.GetImage(id), "image missing: " + id);
        for (const std::string& id : fonts) FUZZ_CHECK(resources.GetFont(id), "font missing: " + id);
        for (const std::string& id : resources.GetGroupIds(group, ResourceManager::RES_SOUND))
            FUZZ_CHECK(!resources.GetSoundPath(id).empty(), "sound without a path: " + id);
        for (const std::string& id : resources.GetGroupIds(group, ResourceManager::RES_MUSIC))
            FUZZ_CHECK(!resources.GetMusicPath(id).empty(), "music without a path: " + id);
    }
    for (const std::string& group : written) {
        resources.UnloadGroup(group);
        FUZZ_CHECK(!resources.IsGroupLoaded(group), group);
        for (const std::string& id : resources.GetGroupIds(group, ResourceManager::RES_IMAGE))
            FUZZ_CHECK(!resources.GetImage(id), "image kept: " + id);
    }
    return 0;
}
