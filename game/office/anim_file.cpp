#include "game/office/anim_file.h"
#include "game/app/xml_access.h"
#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

uint32_t ReadU32(std::string_view b, size_t at) {
    const auto* p = reinterpret_cast<const uint8_t*>(b.data() + at);
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

int32_t ReadI32(std::string_view b, size_t at) { return static_cast<int32_t>(ReadU32(b, at)); }

void PutU32(std::string& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Text up to the first NUL within the field. A name that fills it keeps the
// 63 bytes the writer stores: the file saved again reads the same.
std::string ReadName(std::string_view b, size_t at) {
    const char* p = b.data() + at;
    return std::string(p, strnlen(p, kAnmNameSize - 1));
}

void PutName(std::string& b, size_t at, const std::string& name) {
    const size_t n = std::min(name.size(), static_cast<size_t>(kAnmNameSize - 1));
    std::memcpy(&b[at], name.data(), n);
}

// An address turned into an offset of a span of size bytes inside the image;
// false when any of it lies outside.
bool ToOffset(uint32_t address, uint32_t base, uint64_t size, uint64_t imageSize, size_t& offset) {
    const uint64_t off = static_cast<uint32_t>(address - base);
    if (off > imageSize || size > imageSize - off) return false;
    offset = static_cast<size_t>(off);
    return true;
}

// Frames place pictures on the screen: no value needs more than the largest
// picture side, and larger ones would overflow where they are added up.
bool IsCoordinate(int32_t v) { return v >= -kMaxCoordinate && v <= kMaxCoordinate; }

} // namespace

bool ParseAnmFile(const std::string& bytes, AnimData& out, std::string& error, uint32_t* storedBase) {
    constexpr size_t kHeader = 12;
    if (bytes.size() < kHeader) {
        error = "truncated header";
        return false;
    }
    if (ReadU32(bytes, 0) != kAnmMagic) {
        error = "not an animation file (bad magic)";
        return false;
    }
    const uint32_t base = ReadU32(bytes, 4);
    const uint64_t size = ReadU32(bytes, 8);
    if (bytes.size() - kHeader < size) {
        error = "truncated image: " + std::to_string(bytes.size() - kHeader) + " of " + std::to_string(size) +
                " bytes";
        return false;
    }
    const std::string_view image = std::string_view(bytes).substr(kHeader, static_cast<size_t>(size));
    if (size < 8) {
        error = "image too small for its header";
        return false;
    }
    const int32_t count = ReadI32(image, 0);
    if (count < 0) {
        error = "negative animation count";
        return false;
    }
    if (count > kMaxAnmRecords) {
        error = std::to_string(count) + " animations, more than " + std::to_string(kMaxAnmRecords);
        return false;
    }
    size_t recordsAt = 0;
    if (!ToOffset(ReadU32(image, 4), base, static_cast<uint64_t>(count) * kAnmRecordSize, size, recordsAt)) {
        error = "animation records lie outside the image";
        return false;
    }
    AnimData data;
    data.records.reserve(static_cast<size_t>(count));
    int64_t framesRead = 0;
    for (int32_t i = 0; i < count; ++i) {
        const size_t r = recordsAt + static_cast<size_t>(i) * kAnmRecordSize;
        AnimRecord record;
        record.imageName = ReadName(image, r);
        record.animName = ReadName(image, r + 68);
        record.boxWidth = ReadI32(image, r + 132);
        // Named only when refused: most files have none to refuse.
        auto which = [&] { return "animation " + std::to_string(i) + " (" + record.animName + ")"; };
        if (!IsCoordinate(record.boxWidth)) {
            error = which() + ": a box width beyond " + std::to_string(kMaxCoordinate) + " pixels";
            return false;
        }
        size_t blockAt = 0;
        if (!ToOffset(ReadU32(image, r + 136), base, kAnmBlockSize, size, blockAt)) {
            error = which() + ": playback block lies outside the image";
            return false;
        }
        AnimBlock& block = record.block;
        block.unused[0] = ReadU32(image, blockAt);
        block.unused[1] = ReadU32(image, blockAt + 4);
        block.mode = ReadI32(image, blockAt + 8);
        block.fps = ReadI32(image, blockAt + 12);
        block.frameCount = ReadI32(image, blockAt + 16);
        if (block.frameCount < 0 || block.fps < 0) {
            error = which() + ": negative frame count or frames per second";
            return false;
        }
        // Frames that never follow one another: a one-shot would never end.
        if (block.fps == 0 && block.frameCount > 1) {
            error = which() + ": 0 frames per second for " + std::to_string(block.frameCount) + " frames";
            return false;
        }
        framesRead += block.frameCount;
        if (framesRead > kMaxAnmFrames) {
            error = which() + ": more than " + std::to_string(kMaxAnmFrames) + " frames in the file";
            return false;
        }
        size_t framesAt = 0;
        const uint64_t framesSize = static_cast<uint64_t>(block.frameCount) * kAnmFrameSize;
        if (block.frameCount > 0 && !ToOffset(ReadU32(image, blockAt + 20), base, framesSize, size, framesAt)) {
            error = which() + ": frames lie outside the image";
            return false;
        }
        block.frames.resize(static_cast<size_t>(block.frameCount));
        for (int32_t f = 0; f < block.frameCount; ++f) {
            const size_t at = framesAt + static_cast<size_t>(f) * kAnmFrameSize;
            AnimFrame& frame = block.frames[static_cast<size_t>(f)];
            frame.x = ReadI32(image, at);
            frame.y = ReadI32(image, at + 4);
            frame.width = ReadI32(image, at + 8);
            frame.height = ReadI32(image, at + 12);
            frame.offsX = ReadI32(image, at + 16);
            frame.offsY = ReadI32(image, at + 20);
            for (int v : {frame.x, frame.y, frame.width, frame.height, frame.offsX, frame.offsY}) {
                if (!IsCoordinate(v)) {
                    error = which() + ": frame " + std::to_string(f) + " lies beyond " + std::to_string(kMaxCoordinate) +
                            " pixels";
                    return false;
                }
            }
        }
        data.records.push_back(std::move(record));
    }
    out = std::move(data);
    if (storedBase) *storedBase = base;
    error.clear();
    return true;
}

std::string WriteAnmFile(const AnimData& data, uint32_t base) {
    const size_t count = data.records.size();
    size_t size = 8 + count * kAnmRecordSize;
    for (const AnimRecord& r : data.records) size += kAnmBlockSize + r.block.frames.size() * kAnmFrameSize;
    std::string image(size, '\0');
    PutU32(image, 0, static_cast<uint32_t>(count));
    PutU32(image, 4, base + 8);
    size_t next = 8 + count * kAnmRecordSize;
    for (size_t i = 0; i < count; ++i) {
        const AnimRecord& record = data.records[i];
        const size_t r = 8 + i * kAnmRecordSize;
        PutName(image, r, record.imageName);
        PutName(image, r + 68, record.animName);
        PutU32(image, r + 132, static_cast<uint32_t>(record.boxWidth));
        PutU32(image, r + 136, base + static_cast<uint32_t>(next));
        const AnimBlock& block = record.block;
        const size_t b = next;
        PutU32(image, b, block.unused[0]);
        PutU32(image, b + 4, block.unused[1]);
        PutU32(image, b + 8, static_cast<uint32_t>(block.mode));
        PutU32(image, b + 12, static_cast<uint32_t>(block.fps));
        // The count written is the frames present, so the file always reads back.
        PutU32(image, b + 16, static_cast<uint32_t>(block.frames.size()));
        PutU32(image, b + 20, base + static_cast<uint32_t>(b + kAnmBlockSize));
        next = b + kAnmBlockSize;
        for (const AnimFrame& f : block.frames) {
            const int32_t v[6] = {f.x, f.y, f.width, f.height, f.offsX, f.offsY};
            for (int k = 0; k < 6; ++k) PutU32(image, next + static_cast<size_t>(k) * 4, static_cast<uint32_t>(v[k]));
            next += kAnmFrameSize;
        }
    }
    std::string file(12, '\0');
    PutU32(file, 0, kAnmMagic);
    PutU32(file, 4, base);
    PutU32(file, 8, static_cast<uint32_t>(size));
    return file + image;
}
