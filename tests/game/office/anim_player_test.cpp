#include <gtest/gtest.h>

#include "game/app/pak_file.h"
#include "game/office/anim_player.h"
#include "tests/game/office/office_test_util.h"
#include "tests/support/temp_dirs.h"

using officetest::FrameTime;
using officetest::MakeRecord;

namespace {

AnimData MakeData(std::vector<AnimRecord> records) {
    AnimData data;
    data.records = std::move(records);
    return data;
}

void PutU32(std::string& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Updates n times; returns how many of them reported done.
int UpdateTimes(AnimPlayer& player, int n) {
    int doneCount = 0;
    for (int i = 0; i < n; ++i) {
        bool done = false;
        player.Update(done);
        doneCount += done ? 1 : 0;
    }
    return doneCount;
}

} // namespace

// Every truncation, and every count or address that leaves the image, is
// refused with a message, and a player keeps what it had.
TEST(AnimFile, RefusesTruncatedAndHostileFiles) {
    const uint32_t base = 0x00400000;
    const std::string good = WriteAnmFile(MakeData({MakeRecord("idle", kAnimLoop, 10, 2)}), base);
    // Layout of that file: header 12, image: count 0, records address 4,
    // record at 8 (block address at 8 + 136), block at 148 (frames address at 168).
    const size_t image = 12;
    const size_t blockAddress = image + 8 + 136;
    const size_t frameAddress = image + 148 + 20;
    const size_t frameCount = image + 148 + 16;
    struct Case {
        const char* what;
        size_t at; // where value is written
        uint32_t value;
        const char* error;
    };
    const Case cases[] = {
        {"bad magic", 0, 0x12345678, "bad magic"},
        {"records below the base", image + 4, base - 4, "records lie outside"},
        {"records past the end", image + 4, base + 200, "records lie outside"},
        {"huge count", image, kMaxAnmRecords, "records lie outside"},
        {"negative count", image, 0xFFFFFFFF, "negative animation count"},
        {"block past the end", blockAddress, base + 200, "animation 0 (idle): playback block lies outside"},
        {"block at a wrapped address", blockAddress, 0xFFFFFFF0, "playback block lies outside"},
        {"frames past the end", frameAddress, base + 190, "frames lie outside"},
        {"too many frames", frameCount, 3, "frames lie outside"},
        {"negative frame count", frameCount, 0xFFFFFFFE, "negative frame count"},
        {"no frames per second", frameCount - 4, 0, "animation 0 (idle): 0 frames per second for 2 frames"},
        {"image size larger than the file", 8, 10000, "truncated image"},
        {"a box width far off", image + 8 + 132, 0x80000000, "a box width beyond 16384 pixels"},
        {"a frame far off", image + 148 + 24, 0x7FFFFFFF, "frame 0 lies beyond 16384 pixels"},
        {"a frame offset far off", image + 148 + 24 + 20 + 24, 0xFFFF0000, "frame 1 lies beyond 16384 pixels"},
    };
    for (const Case& c : cases) {
        std::string bytes = good;
        PutU32(bytes, c.at, c.value);
        AnimData data = MakeData({MakeRecord("old", kAnimLoop, 1, 1)});
        std::string error;
        EXPECT_FALSE(ParseAnmFile(bytes, data, error)) << c.what;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
        EXPECT_EQ(data.records.at(0).animName, "old") << c.what;
    }
    for (size_t keep = 0; keep < good.size(); ++keep) {
        AnimData data;
        std::string error;
        EXPECT_FALSE(ParseAnmFile(good.substr(0, keep), data, error)) << keep << " bytes";
    }

    // A name that fills its field, NUL and all, never runs on: it keeps the
    // 63 bytes the writer stores, so the file saved again reads the same.
    std::string full = good;
    for (size_t i = 0; i < kAnmNameSize; ++i) full[image + 8 + 68 + i] = 'n';
    AnimData data;
    std::string error;
    ASSERT_TRUE(ParseAnmFile(full, data, error)) << error;
    EXPECT_EQ(data.records[0].animName, std::string(kAnmNameSize - 1, 'n'));
    AnimData again;
    ASSERT_TRUE(ParseAnmFile(WriteAnmFile(data, base), again, error)) << error;
    EXPECT_EQ(again.records[0].animName, data.records[0].animName);

    // A player refuses the broken file and keeps playing its old records.
    testsupport::TempDir dir;
    const std::string oldDir = PakGetGameDir();
    PakSetGameDir(dir.Path());
    testsupport::WriteFile(dir.File("anm/desk.anm"), good);
    testsupport::WriteFile(dir.File("anm/broken.anm"), good.substr(0, 100));
    AnimPlayer player(nullptr);
    ASSERT_TRUE(player.Load("desk")) << player.LastError();
    ASSERT_TRUE(player.Play("idle", false));
    EXPECT_FALSE(player.Load("broken"));
    EXPECT_NE(player.LastError().find("anm\\broken.anm: truncated"), std::string::npos) << player.LastError();
    EXPECT_FALSE(player.Load("missing"));
    EXPECT_TRUE(player.IsPlaying());
    EXPECT_EQ(player.GetRecordCount(), 1);
    EXPECT_EQ(player.FindIndex("idle"), 0);
    PakSetGameDir(oldDir);
}

// Counts that a file of a few megabytes could claim: records are refused past
// kMaxAnmRecords, frames past kMaxAnmFrames, records sharing one block counted
// once each.
TEST(AnimFile, RefusesMoreRecordsOrFramesThanAFileHolds) {
    const uint32_t base = 0x00400000;
    auto records = [](int n, int frames) {
        std::vector<AnimRecord> list;
        for (int i = 0; i < n; ++i) {
            list.push_back(MakeRecord("a" + std::to_string(i), kAnimLoop, 10, frames));
            for (AnimFrame& frame : list.back().block.frames) frame.x = 0;
        }
        return MakeData(list);
    };
    // Every record's block address made the first one's: one block of many frames read again and again.
    auto shared = [&](int n, int frames) {
        std::string bytes = WriteAnmFile(records(n, 0), base);
        PutU32(bytes, 12 + 8 + n * kAnmRecordSize + 16, static_cast<uint32_t>(frames));
        bytes += WriteAnmFile(records(1, frames), base).substr(12 + 8 + kAnmRecordSize + kAnmBlockSize);
        PutU32(bytes, 12 + 8 + n * kAnmRecordSize + 20, base + 8 + n * kAnmRecordSize + n * kAnmBlockSize);
        PutU32(bytes, 8, static_cast<uint32_t>(bytes.size() - 12));
        for (int i = 1; i < n; ++i)
            PutU32(bytes, 12 + 8 + i * kAnmRecordSize + 136, base + 8 + n * kAnmRecordSize);
        return bytes;
    };
    struct Case {
        const char* what;
        std::string file;
        const char* error;  // empty: read
    } cases[] = {
        {"as many records as a file holds", WriteAnmFile(records(kMaxAnmRecords, 1), base), ""},
        {"one record more", WriteAnmFile(records(kMaxAnmRecords + 1, 0), base), "4097 animations, more than 4096"},
        {"as many frames as a file holds", WriteAnmFile(records(2, kMaxAnmFrames / 2), base), ""},
        {"one frame more", WriteAnmFile(records(1, kMaxAnmFrames + 1), base), "more than 65536 frames"},
        {"one block of 1,000 frames", shared(1, 1000), ""},
        {"the same block in 100 records", shared(100, 1000), "animation 65 (a65): more than 65536 frames"},
    };
    for (const Case& c : cases) {
        AnimData data;
        std::string error;
        EXPECT_EQ(ParseAnmFile(c.file, data, error), *c.error == 0) << c.what << ": " << error;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
    }
}

TEST(AnimPlayer, FindsTheFirstRecordContainingTheText) {
    AnimPlayer player(nullptr);
    EXPECT_FALSE(player.Play("idle", false)); // no data
    player.SetData(MakeData({MakeRecord("deskmanbridle_long", kAnimLoop, 10, 2),
                             MakeRecord("deskmanbridle", kAnimLoop, 10, 2),
                             MakeRecord("deskmantrwalk", kAnimLoop, 10, 2)}));
    struct Case {
        const char* text;
        int index;
    };
    const Case cases[] = {
        {"idle", 0},            // two names contain it: the earlier
        {"deskmanbridle", 0},   // equals a later name but lies inside an earlier one
        {"trwalk", 2},
        {"sleep", -1},
        {"", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(player.FindIndex(c.text), c.index) << c.text;
    EXPECT_FALSE(player.Play("", false));
    ASSERT_TRUE(player.Play("trwalk", false));
    EXPECT_FALSE(player.Play("sleep", false));
    EXPECT_EQ(player.GetCurrentIndex(), 2) << "an unknown name changes nothing";
    EXPECT_TRUE(player.IsPlaying());
}

// The numbers of the player at 10 frames per second, stepped 0.1 s at a time.
TEST(AnimPlayer, PlaysLoopsOneShotsAndStopFrames) {
    FrameTime step(0.1f);
    AnimPlayer player(nullptr);
    player.SetData(MakeData({MakeRecord("loop", kAnimLoop, 10, 8), MakeRecord("once", kAnimOnce, 10, 8),
                             MakeRecord("back", kAnimOnceBackward, 10, 8), MakeRecord("single", kAnimOnce, 10, 1),
                             MakeRecord("short", kAnimLoop, 10, 2), MakeRecord("still", kAnimLoop, 0, 4)}));

    // An 8-frame loop lasts 0.8 s, shows frame 3 at 0.4 s and never ends.
    ASSERT_TRUE(player.Play("loop", false));
    EXPECT_FLOAT_EQ(player.GetDuration(), 0.8f);
    EXPECT_EQ(UpdateTimes(player, 4), 0);
    EXPECT_EQ(player.GetCurrentFrame(), 3);
    EXPECT_EQ(player.GetFrame()->x, 30);
    EXPECT_EQ(UpdateTimes(player, 40), 0);

    // A one-shot ends once, at 0.8 s, on its last frame.
    ASSERT_TRUE(player.Play("once", false));
    EXPECT_EQ(UpdateTimes(player, 7), 0);
    EXPECT_EQ(UpdateTimes(player, 1), 1);
    EXPECT_EQ(player.GetCurrentFrame(), 7);
    EXPECT_EQ(UpdateTimes(player, 20), 0);
    EXPECT_EQ(player.GetCurrentFrame(), 7);

    // A loop played after a one-shot still never ends.
    ASSERT_TRUE(player.Play("loop", false));
    EXPECT_EQ(UpdateTimes(player, 40), 0);

    // Backward: runs from the last frame down and ends at its end, not its start.
    ASSERT_TRUE(player.Play("back", false));
    EXPECT_EQ(UpdateTimes(player, 1), 0);
    EXPECT_EQ(player.GetCurrentFrame(), 6);
    EXPECT_EQ(UpdateTimes(player, 6), 0);
    EXPECT_EQ(UpdateTimes(player, 3), 1);
    EXPECT_EQ(player.GetCurrentFrame(), 0);

    // A one-frame one-shot has no end to report; no frames per second, no time.
    ASSERT_TRUE(player.Play("single", false));
    EXPECT_EQ(UpdateTimes(player, 20), 0);
    ASSERT_TRUE(player.Play("still", false));
    EXPECT_EQ(player.GetDuration(), 0.0f);
    EXPECT_EQ(UpdateTimes(player, 5), 0);
    EXPECT_EQ(player.GetCurrentFrame(), 0);
    EXPECT_EQ(player.GetTime(), 0.0) << "no duration: the timer does not run";

    // Stop frame 3: the update passing 0.3 s reports done on frame 3 and
    // pauses at 0.4 s; resuming goes on from there.
    ASSERT_TRUE(player.Play("loop", false));
    player.SetStopFrame(3);
    EXPECT_EQ(player.GetStopFrame(), 3);
    EXPECT_EQ(UpdateTimes(player, 2), 0);
    EXPECT_EQ(UpdateTimes(player, 1), 1);
    EXPECT_EQ(player.GetCurrentFrame(), 3);
    EXPECT_EQ(player.GetState(), AnimPlayer::kStatePaused);
    EXPECT_NEAR(player.GetTime(), 0.4, 1e-6);
    EXPECT_EQ(player.GetStopFrame(), -1);
    EXPECT_EQ(UpdateTimes(player, 5), 0) << "paused: nothing moves";
    EXPECT_EQ(player.GetCurrentFrame(), 3);
    ASSERT_TRUE(player.Resume());
    EXPECT_EQ(UpdateTimes(player, 1), 0);
    EXPECT_EQ(player.GetCurrentFrame(), 4);
    // A stop frame past the frame count is ignored.
    player.SetStopFrame(9);
    EXPECT_EQ(player.GetStopFrame(), -1);

    // Keep: a longer record goes on at the old time, a shorter one restarts.
    ASSERT_TRUE(player.Play("short", false));
    EXPECT_EQ(UpdateTimes(player, 1), 0);
    ASSERT_TRUE(player.Play("loop", true));
    EXPECT_NEAR(player.GetTime(), 0.1, 1e-6);
    EXPECT_EQ(UpdateTimes(player, 3), 0);
    ASSERT_TRUE(player.Play("short", true));
    EXPECT_EQ(player.GetTime(), 0.0);
}

// Frames stay within the record whatever the caller or a reload asks.
TEST(AnimPlayer, KeepsFrameIndexesInRange) {
    FrameTime step(0.1f);
    AnimPlayer player(nullptr);
    player.SetData(MakeData({MakeRecord("a", kAnimLoop, 10, 2), MakeRecord("b", kAnimOnce, 100, 4),
                             MakeRecord("empty", kAnimOnce, 10, 0)}));
    player.PlayIndex(7, false);
    player.PlayIndex(-1, false);
    EXPECT_EQ(player.GetCurrentIndex(), -1);

    // The stop point reads frames per second x time: 100 x 0.04 is frame 4 of 0..3.
    ASSERT_TRUE(player.Play("b", false));
    player.SetStopFrame(4);
    EXPECT_EQ(UpdateTimes(player, 1), 1);
    EXPECT_EQ(player.GetCurrentFrame(), 3);

    ASSERT_TRUE(player.Play("empty", false));
    EXPECT_EQ(player.GetFrame(), nullptr) << "no frame entry for 0 frames";
    EXPECT_EQ(UpdateTimes(player, 3), 0);

    // A reload with fewer records than the one playing forgets it.
    ASSERT_TRUE(player.Play("b", false));
    player.SetData(MakeData({MakeRecord("a", kAnimLoop, 10, 2)}));
    EXPECT_EQ(player.GetCurrentIndex(), -1);
    EXPECT_EQ(player.GetRecord(), nullptr);
    EXPECT_EQ(player.GetFrame(), nullptr);
}
