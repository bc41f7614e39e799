#pragma once
#include <cstdint>
#include <string>
#include "framework/resources/image_lib.h"
#include "game/app/pak_file.h"
#include "game/app/startup.h"
#include "tests/support/temp_dirs.h"

namespace gametest {

// 16-bit mono PCM at 22050 Hz, a square wave of the given length.
inline std::string MakeWav(int millis) {
    const uint32_t rate = 22050;
    const uint32_t samples = rate * static_cast<uint32_t>(millis) / 1000;
    std::string b;
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF)); };
    auto u16 = [&](uint16_t v) { b.push_back(static_cast<char>(v & 0xFF)); b.push_back(static_cast<char>(v >> 8)); };
    b += "RIFF";
    u32(36 + samples * 2);
    b += "WAVEfmt ";
    u32(16); u16(1); u16(1); u32(rate); u32(rate * 2); u16(2); u16(16);
    b += "data";
    u32(samples * 2);
    for (uint32_t i = 0; i < samples; ++i) u16(static_cast<uint16_t>((i / 50) % 2 ? 3000 : -3000));
    return b;
}

inline std::string MakePng(int w, int h, uint32_t argb) {
    std::vector<uint32_t> bits(static_cast<size_t>(w) * h, argb);
    std::string bytes, error;
    Zephra::ImageLib::EncodePng(bits.data(), w, h, bytes, error);
    return bytes;
}

// A temporary game folder that the game's file functions and the framework's
// file access read from while the object lives.
class GameFolder {
public:
    GameFolder() {
        PakSetGameDir(dir_.Path());
        InstallGameFileAccess(true);
    }
    ~GameFolder() { InstallGameFileAccess(false); }
    GameFolder(const GameFolder&) = delete;
    GameFolder& operator=(const GameFolder&) = delete;
    // name with '/' separators, relative to the folder.
    void Write(const std::string& name, const std::string& bytes) { testsupport::WriteFile(dir_.File(name), bytes); }
    const std::string& Path() const { return dir_.Path(); }
private:
    testsupport::TempDir dir_;
};

} // namespace gametest
