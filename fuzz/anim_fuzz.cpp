// An ".anm" file as the office reads it: parsed, then loaded by a player that
// already plays a sample file, every record played and updated through its
// sweep, paused, stopped at a frame and stopped. A refused file leaves the
// player as it was; an accepted one writes back to bytes that read the same.
#include <filesystem>
#include <string>
#include "fuzz/fuzz_support.h"
#include "game/office/anim_file.h"
#include "game/office/anim_player.h"
#include "game/office/office_objects.h"
#include "tools/anm_text.h"

namespace {

bool SameRecords(const AnimData& a, const AnimData& b) {
    if (a.records.size() != b.records.size()) return false;
    for (size_t i = 0; i < a.records.size(); ++i) {
        const AnimRecord& x = a.records[i];
        const AnimRecord& y = b.records[i];
        if (x.imageName != y.imageName || x.animName != y.animName || x.boxWidth != y.boxWidth) return false;
        const AnimBlock& p = x.block;
        const AnimBlock& q = y.block;
        if (p.unused[0] != q.unused[0] || p.unused[1] != q.unused[1] || p.mode != q.mode || p.fps != q.fps ||
            p.frameCount != q.frameCount || p.frames.size() != q.frames.size())
            return false;
        for (size_t f = 0; f < p.frames.size(); ++f) {
            const AnimFrame& m = p.frames[f];
            const AnimFrame& n = q.frames[f];
            if (m.x != n.x || m.y != n.y || m.width != n.width || m.height != n.height || m.offsX != n.offsX ||
                m.offsY != n.offsY)
                return false;
        }
    }
    return true;
}

void CheckFrame(const AnimPlayer& player, const std::string& where) {
    const AnimRecord* record = player.GetRecordAt(player.GetCurrentIndex());
    const int frame = player.GetCurrentFrame();
    if (!record) return;
    const int count = static_cast<int>(record->block.frames.size());
    FUZZ_CHECK(frame >= 0 && (frame < count || (count == 0 && frame == 0)),
               where + ": frame " + std::to_string(frame) + " of " + std::to_string(count));
    const AnimFrame* shown = player.GetFrame();
    FUZZ_CHECK(shown == nullptr || count > 0, where + ": a frame of a record without frames");
}

} // namespace

// The text descriptions anm_tool writes the sample files from.
void fuzz::WriteSeeds(Seeds& seeds) {
    namespace fs = std::filesystem;
    for (const fs::directory_entry& e : fs::directory_iterator(PEMBERLY_SOURCE_DIR "/tools/anm")) {
        AnimData data;
        uint32_t base = 0;
        std::string error;
        FUZZ_CHECK(ParseAnmText(fuzz::ReadFile(e.path().string()), data, base, error), e.path().string() + error);
        seeds.Add(e.path().stem().string() + ".anm", WriteAnmFile(data, base));
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const AnimData sample = [] {
        AnimData out;
        std::string error;
        FUZZ_CHECK(ParseAnmFile(fuzz::SampleFile("anm/boss.anm"), out, error), error);
        return out;
    }();
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // The parser alone: refusal leaves out untouched, acceptance round-trips.
    AnimData parsed = sample;
    std::string error;
    uint32_t base = 0;
    if (ParseAnmFile(bytes, parsed, error, &base)) {
        const std::string written = WriteAnmFile(parsed, base);
        AnimData again;
        uint32_t base2 = 0;
        FUZZ_CHECK(ParseAnmFile(written, again, error, &base2), "the written file is refused: " + error);
        FUZZ_CHECK(base2 == base, "base");
        FUZZ_CHECK(SameRecords(parsed, again), "the written file reads differently");
        FUZZ_CHECK(WriteAnmFile(again, base2) == written, "a second write differs");
    } else {
        FUZZ_CHECK(!error.empty(), "refused without a message");
        FUZZ_CHECK(SameRecords(parsed, sample), "a refused file changed the records");
    }

    // The player, as a skin loads it while another file plays.
    gFrameTime = 0.04f;
    fuzz::WriteGameFile("anm/fuzz.anm", data, size);
    AnimPlayer player(nullptr);
    player.SetData(sample);
    player.Play(sample.records.back().animName, false);
    const int oldIndex = player.GetCurrentIndex();
    const bool loaded = player.Load("fuzz");
    if (!loaded) {
        FUZZ_CHECK(!player.LastError().empty(), "refused without a message");
        FUZZ_CHECK(player.GetRecordCount() == static_cast<int>(sample.records.size()) &&
                       player.GetCurrentIndex() == oldIndex && player.IsPlaying(),
                   "a refused file changed the player");
        return 0;
    }
    CheckFrame(player, "after load");
    const int count = player.GetRecordCount();
    for (int i = 0; i < count && i < 64; ++i) {
        const AnimRecord* record = player.GetRecordAt(i);
        const std::string where = "record " + std::to_string(i);
        if (!record->animName.empty()) player.Play(record->animName, i % 2 == 1);
        else player.PlayIndex(i, false);
        CheckFrame(player, where + " played");
        for (int step = 0; step < 40; ++step) {
            bool done = false;
            player.Update(done);
            CheckFrame(player, where + " updated");
            if (step == 10) player.SetStopFrame(record->block.frameCount / 2);
            if (step == 20) player.Pause();
            if (step == 25) player.Resume();
        }
        player.Rewind(i);
        CheckFrame(player, where + " rewound");
        player.Stop();
        CheckFrame(player, where + " stopped");
    }
    return 0;
}
