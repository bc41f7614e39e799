#include "tools/anm_text.h"
#include <cstdio>
#include <sstream>

namespace {

bool ParseNumber(const std::string& word, long long& out) {
    if (word.empty()) return false;
    size_t used = 0;
    try {
        out = std::stoll(word, &used, 0);
    } catch (...) {
        return false;
    }
    return used == word.size();
}

const char* ModeWord(int mode) {
    switch (mode) {
    case kAnimLoop: return "loop";
    case kAnimOnce: return "once";
    case kAnimOnceBackward: return "backward";
    default: return nullptr;
    }
}

} // namespace

bool ParseAnmText(const std::string& text, AnimData& data, uint32_t& base, std::string& error) {
    AnimData result;
    uint32_t resultBase = 0;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(number) + ": " + why;
        return false;
    };
    while (std::getline(in, line)) {
        ++number;
        const size_t hash = line.find('#');
        if (hash != std::string::npos) line.resize(hash);
        std::istringstream words(line);
        std::string key;
        if (!(words >> key)) continue;
        std::vector<std::string> args;
        for (std::string w; words >> w;) args.push_back(w);
        auto numbers = [&](size_t count, long long* out) {
            if (args.size() != count) return false;
            for (size_t i = 0; i < count; ++i) {
                if (!ParseNumber(args[i], out[i])) return false;
            }
            return true;
        };
        long long v[6] = {};
        if (key == "base") {
            if (!numbers(1, v) || v[0] < 0 || v[0] > 0xFFFFFFFFLL) return fail("base needs one unsigned 32-bit number");
            resultBase = static_cast<uint32_t>(v[0]);
            continue;
        }
        if (key == "anim") {
            if (args.size() != 1) return fail("anim needs one name");
            if (args[0].size() >= kAnmNameSize) return fail("animation name longer than 63 bytes");
            result.records.emplace_back();
            result.records.back().animName = args[0];
            continue;
        }
        if (result.records.empty()) return fail("'" + key + "' before the first anim");
        AnimRecord& record = result.records.back();
        AnimBlock& block = record.block;
        if (key == "image") {
            if (args.size() != 1) return fail("image needs one name");
            if (args[0].size() >= kAnmNameSize) return fail("image name longer than 63 bytes");
            record.imageName = args[0];
        } else if (key == "box") {
            if (!numbers(1, v)) return fail("box needs one number");
            record.boxWidth = static_cast<int>(v[0]);
        } else if (key == "mode") {
            if (args.size() != 1) return fail("mode needs one word");
            if (args[0] == "loop") block.mode = kAnimLoop;
            else if (args[0] == "once") block.mode = kAnimOnce;
            else if (args[0] == "backward") block.mode = kAnimOnceBackward;
            else if (ParseNumber(args[0], v[0])) block.mode = static_cast<int>(v[0]);
            else return fail("unknown mode '" + args[0] + "'");
        } else if (key == "fps") {
            if (!numbers(1, v) || v[0] < 0) return fail("fps needs one number, not negative");
            block.fps = static_cast<int>(v[0]);
        } else if (key == "unused") {
            if (!numbers(2, v)) return fail("unused needs two numbers");
            block.unused[0] = static_cast<uint32_t>(v[0]);
            block.unused[1] = static_cast<uint32_t>(v[1]);
        } else if (key == "frame") {
            if (!numbers(6, v)) return fail("frame needs x y width height offset-x offset-y");
            block.frames.push_back({static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]),
                                    static_cast<int>(v[3]), static_cast<int>(v[4]), static_cast<int>(v[5])});
            block.frameCount = static_cast<int>(block.frames.size());
        } else {
            return fail("unknown word '" + key + "'");
        }
    }
    data = std::move(result);
    base = resultBase;
    error.clear();
    return true;
}

std::string FormatAnmText(const AnimData& data, uint32_t base) {
    std::string out;
    char line[160];
    std::snprintf(line, sizeof line, "base 0x%08X\n", base);
    out += line;
    for (const AnimRecord& record : data.records) {
        const AnimBlock& block = record.block;
        out += "\nanim " + record.animName + "\n";
        out += "  image " + record.imageName + "\n";
        out += "  box " + std::to_string(record.boxWidth) + "\n";
        const char* mode = ModeWord(block.mode);
        out += "  mode " + (mode ? std::string(mode) : std::to_string(block.mode)) + "\n";
        out += "  fps " + std::to_string(block.fps) + "\n";
        if (block.unused[0] || block.unused[1])
            out += "  unused " + std::to_string(block.unused[0]) + " " + std::to_string(block.unused[1]) + "\n";
        for (const AnimFrame& f : block.frames) {
            std::snprintf(line, sizeof line, "  frame %d %d %d %d %d %d\n", f.x, f.y, f.width, f.height, f.offsX,
                          f.offsY);
            out += line;
        }
    }
    return out;
}
