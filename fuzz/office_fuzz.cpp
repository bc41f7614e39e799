// "cfg\office.xml" as the level loads it: the office with its objects, path
// graphs, definitions and tuning values, its draw order built and drawn,
// every person walking from each point to the next; then unloaded, with
// nothing left behind. A load starts with the same unload, so loading the
// file again would only repeat what the first load did.
#include <cmath>
#include <memory>
#include <string>
#include <vector>
#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"
#include "fuzz/fuzz_support.h"
#include "game/office/item.h"
#include "game/office/office.h"
#include "game/office/office_globals.h"
#include "game/office/office_objects.h"

namespace {

// Walks the merged graph of a set from each point to the next, a bounded
// number of steps each.
void Walk(PathGraphSet& set) {
    set.AddObjectPoints(set.GetName());
    set.LoadLevelGraphs(XmlNode());
    std::vector<std::string> names;
    for (const auto& [name, point] : set.MergedGraph().Points()) {
        if (names.size() == 12) break;
        names.push_back(name);
    }
    for (size_t i = 0; i + 1 < names.size(); ++i) {
        if (!set.SetCurrentPoint(names[i]) || !set.StartWalk(names[i + 1], 200.0f)) continue;
        int x = 0, y = 0, dx = 0, dy = 0;
        for (int step = 0; step < 50 && set.Advance(0.1f, x, y, dx, dy); ++step) {
        }
    }
    set.ClearLevel();
}

void CheckEmpty(const std::string& when) {
    FUZZ_CHECK(gObjects.empty() && gPickables.empty() && gWorkers.empty(), when + ": objects left");
    FUZZ_CHECK(gOfficeDoc == nullptr, when + ": the document left");
    FUZZ_CHECK(gClientDefs.empty() && gWorkerDefs.empty() && gPersDefs.empty(), when + ": definitions left");
    FUZZ_CHECK(gBoss == nullptr && gSecretary == nullptr && gEngineer == nullptr && gPhone == nullptr &&
                   gMiniBar == nullptr && gSafe == nullptr && gBonusObject == nullptr,
               when + ": named objects left");
}

} // namespace

void fuzz::WriteSeeds(Seeds&) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::WriteGameFile("cfg/office.xml", data, size);
    {
        Office office;
        bool loaded;
        {
            fuzz::QuietStderr quiet;
            loaded = office.Load();
        }
        FUZZ_CHECK(loaded == office.IsLoaded() && loaded == office.LastError().empty(), office.LastError());
        if (!loaded) {
            CheckEmpty("refused");
            return 0;
        }
        FUZZ_CHECK(gOfficeDoc != nullptr && GetOffice() == &office, "not published");
        for (const GameParams::Key& key : GameParams::kKeys) {
            const float* value = gGameParams.Find(key.name);
            FUZZ_CHECK(value != nullptr, key.name);
        }
        for (const char* person : Office::kPersonNames) {
            PathGraphSet* set = office.FindPathGraphSet(person);
            FUZZ_CHECK(set != nullptr, person);
            Walk(*set);
        }
        office.BuildDrawOrder();
        Zephra::MemoryImage canvas(nullptr);
        canvas.Create(64, 48);
        Zephra::Graphics g(&canvas);
        office.Draw(g);
        office.Unload();
        CheckEmpty("unloaded");
    }
    CheckEmpty("destroyed");
    FUZZ_CHECK(GetOffice() == nullptr, "the office outlived itself");
    return 0;
}
