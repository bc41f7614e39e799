#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "framework/graphics/image.h"

// The ".anm" animation file: "ANM!", the base address the image was saved at,
// the image size, then the image. Every address inside the image is the base
// plus an offset into the image; reading checks each one against the image.
// docs/anm.md describes the layout.

constexpr uint32_t kAnmMagic = 0x214D4E41; // "ANM!"
constexpr int kAnmNameSize = 64;           // image and animation names, NUL included
constexpr int kAnmRecordSize = 140;
constexpr int kAnmBlockSize = 24;
constexpr int kAnmFrameSize = 24;
// A file holds at most this many records, and this many frames over all of
// them: records may share one block, so the frames read could otherwise
// outgrow the file many times over.
constexpr int kMaxAnmRecords = 4096;
constexpr int kMaxAnmFrames = 65536;

// Playback mode of an animation (the block's "mode" word).
enum AnimMode : int {
    kAnimLoop = 0,
    kAnimOnce = 1,
    kAnimOnceBackward = 2,
};

// One frame: where it lies in the picture and where in the frame box.
struct AnimFrame {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int offsX = 0; // inside the frame box
    int offsY = 0;
};

// The playback block of one animation.
struct AnimBlock {
    uint32_t unused[2] = {0, 0}; // two words kept as read
    int mode = kAnimLoop;        // AnimMode; any value but 0 plays once
    int fps = 0;
    int frameCount = 0;
    std::vector<AnimFrame> frames; // frameCount entries
};

struct AnimRecord {
    std::string imageName; // the picture that holds the frames
    std::string animName;
    int boxWidth = 0;      // the frame box width frames mirror about
    AnimBlock block;
    Zephra::ImageRef image; // filled at run time by the skin
};

struct AnimData {
    std::vector<AnimRecord> records;
};

// Reads a whole ".anm" file. False with a message in error, and out untouched,
// when the magic is wrong, the file is short, or any count, size or address
// does not fit the image. base, when given, receives the stored base.
bool ParseAnmFile(const std::string& bytes, AnimData& out, std::string& error, uint32_t* base = nullptr);
// Writes the records as an ".anm" image saved at base: the records first,
// then each record's block followed by its frames. Names longer than 63 bytes
// are cut.
std::string WriteAnmFile(const AnimData& data, uint32_t base);
