#include "game/app/sound_file.h"

#include <cstring>

namespace {

uint32_t Le16(const std::string& b, size_t at) {
    return static_cast<uint8_t>(b[at]) | (static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8);
}

uint32_t Le32(const std::string& b, size_t at) { return Le16(b, at) | (Le16(b, at + 2) << 16); }

// A chunk or page name fit for a message.
std::string Printable(const std::string& b, size_t at, size_t n) {
    std::string s = b.substr(at, n);
    for (char& c : s)
        if (c < 0x20 || c > 0x7E) c = '?';
    return s;
}

bool Channels(int channels, uint32_t rate, std::string& why) {
    if (channels < 1 || channels > kMaxSoundChannels) {
        why = std::to_string(channels) + " channels";
        return false;
    }
    if (rate < kMinSoundRate || rate > kMaxSoundRate) {
        why = "a rate of " + std::to_string(rate) + " Hz";
        return false;
    }
    return true;
}

bool InspectWave(const std::string& b, SoundFileInfo& info, std::string& why) {
    bool haveFormat = false, haveData = false;
    uint32_t bits = 0, dataBytes = 0;
    size_t pos = 12;
    while (b.size() - pos >= 8) {
        uint32_t length = Le32(b, pos + 4);
        size_t remaining = b.size() - pos - 8;
        if (length > remaining) {
            why = "chunk \"" + Printable(b, pos, 4) + "\" declares " + std::to_string(length) + " bytes, " +
                  std::to_string(remaining) + " remain";
            return false;
        }
        // Decoders read the first "fmt " and "data" chunks, this check would
        // read the last: a second of either is refused, so both see one file.
        if (std::memcmp(b.data() + pos, "fmt ", 4) == 0) {
            if (haveFormat) {
                why = "a second format chunk at byte " + std::to_string(pos);
                return false;
            }
            if (length < 16) {
                why = "a format chunk of " + std::to_string(length) + " bytes";
                return false;
            }
            info.channels = static_cast<int>(Le16(b, pos + 10));
            info.rate = Le32(b, pos + 12);
            bits = Le16(b, pos + 22);
            haveFormat = true;
        } else if (std::memcmp(b.data() + pos, "data", 4) == 0) {
            if (haveData) {
                why = "a second data chunk at byte " + std::to_string(pos);
                return false;
            }
            dataBytes = length;
            haveData = true;
        }
        // Chunks are padded to even lengths; the pad may be missing at the end.
        pos += 8 + size_t(length) + (length & 1);
        if (pos > b.size()) break;
    }
    if (!haveFormat || !haveData) {
        why = haveFormat ? "no data chunk" : "no format chunk";
        return false;
    }
    if (!Channels(info.channels, info.rate, why)) return false;
    // Compressed formats declare 4 bits; none packs a sample into fewer.
    if (bits < 4 || bits > 64) {
        why = std::to_string(bits) + " bits per sample";
        return false;
    }
    info.kind = SoundFileInfo::kWave;
    info.maxFrames = uint64_t(dataBytes) * 8 / (uint64_t(bits) * uint64_t(info.channels));
    return true;
}

// The pages must follow one another to the end of the file. A Vorbis packet
// decodes to at most half its long block, and a packet ends at every lacing
// value below 255, so the packets counted bound the sound.
bool InspectOgg(const std::string& b, SoundFileInfo& info, std::string& why) {
    uint64_t packets = 0;
    bool first = true;
    uint32_t longBlock = 0;
    size_t pos = 0;
    while (pos < b.size()) {
        if (b.size() - pos < 27 || std::memcmp(b.data() + pos, "OggS", 4) != 0) {
            why = "no Ogg page at byte " + std::to_string(pos);
            return false;
        }
        size_t segments = static_cast<uint8_t>(b[pos + 26]);
        size_t body = pos + 27 + segments;
        if (body > b.size()) {
            why = "Ogg page at byte " + std::to_string(pos) + " cut short";
            return false;
        }
        size_t length = 0;
        for (size_t i = 0; i < segments; ++i) {
            uint8_t lacing = static_cast<uint8_t>(b[pos + 27 + i]);
            length += lacing;
            if (lacing < 255) ++packets;
        }
        if (length > b.size() - body) {
            why = "Ogg page at byte " + std::to_string(pos) + " declares " + std::to_string(length) + " bytes, " +
                  std::to_string(b.size() - body) + " remain";
            return false;
        }
        if (first) {
            // The identification header: "\x01vorbis", version, channels, rate, bitrates, block sizes.
            if (length < 30 || std::memcmp(b.data() + body, "\x01vorbis", 7) != 0) {
                why = "an Ogg stream that is not Vorbis";
                return false;
            }
            info.channels = static_cast<uint8_t>(b[body + 11]);
            info.rate = Le32(b, body + 12);
            longBlock = 1u << (static_cast<uint8_t>(b[body + 28]) >> 4);
            first = false;
        }
        pos = body + length;
    }
    if (first) {
        why = "an empty Ogg file";
        return false;
    }
    if (!Channels(info.channels, info.rate, why)) return false;
    info.kind = SoundFileInfo::kOggVorbis;
    info.maxFrames = packets * (longBlock / 2);
    return true;
}

} // namespace

bool InspectSoundFile(const std::string& bytes, SoundFileInfo& info, std::string& why) {
    info = SoundFileInfo{};
    if (bytes.size() >= 12 && bytes.compare(0, 4, "RIFF") == 0 && bytes.compare(8, 4, "WAVE") == 0)
        return InspectWave(bytes, info, why);
    if (bytes.size() >= 4 && bytes.compare(0, 4, "OggS") == 0) return InspectOgg(bytes, info, why);
    why = "neither a WAVE nor an Ogg Vorbis file";
    return false;
}

uint64_t DecodedSoundBytes(const SoundFileInfo& info, uint32_t deviceRate, int deviceChannels,
                           int deviceSampleBytes) {
    if (info.rate == 0) return 0;
    const uint64_t perFrame = uint64_t(deviceChannels) * uint64_t(deviceSampleBytes);
    const uint64_t limit = UINT64_MAX / (uint64_t(deviceRate) + 1) / (perFrame + 1);
    if (info.maxFrames >= limit) return UINT64_MAX;
    return (info.maxFrames * deviceRate / info.rate + 1) * perFrame;
}
