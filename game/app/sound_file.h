#pragma once
#include <cstdint>
#include <string>

// The header of a sound or music file, read before any decoder sees it. The
// game's sounds are RIFF WAVE and Ogg Vorbis files; anything else is refused,
// and so is a file whose chunks or pages run past its end, a WAVE file with
// more than one format or data chunk, or one whose header cannot describe real
// sound.
struct SoundFileInfo {
    enum Kind { kWave, kOggVorbis };
    Kind kind = kWave;
    int channels = 0;
    uint32_t rate = 0;         // sample frames per second
    uint64_t maxFrames = 0;    // the most sample frames the file can decode to
};

constexpr uint32_t kMinSoundRate = 1000;
constexpr uint32_t kMaxSoundRate = 384000;
constexpr int kMaxSoundChannels = 8;

bool InspectSoundFile(const std::string& bytes, SoundFileInfo& info, std::string& why);

// Bytes the file decodes to at most on a device of the given rate, channels
// and bytes per sample.
uint64_t DecodedSoundBytes(const SoundFileInfo& info, uint32_t deviceRate, int deviceChannels,
                           int deviceSampleBytes);
