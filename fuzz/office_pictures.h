#pragma once
#include <filesystem>
#include <string>
#include <vector>
#include "framework/graphics/image.h"
#include "fuzz/fuzz_support.h"
#include "game/app/office_app.h"
#include "game/office/anim_file.h"

namespace fuzz {

// Every picture the animation files of the game folder name, held so that
// it is decoded once: the office's skins give their pictures back when a
// level is cleared or the office goes, and would decode them again for the
// next input.
inline std::vector<Zephra::ImageRef> KeepOfficePictures(OfficeApp& app) {
    std::vector<Zephra::ImageRef> kept;
    std::error_code ec;
    for (const auto& file : std::filesystem::directory_iterator(GamePath("anm"), ec)) {
        AnimData data;
        std::string error;
        if (!ParseAnmFile(ReadFile(file.path().string()), data, error)) continue;
        for (const AnimRecord& record : data.records) kept.push_back(app.GetSharedImage(record.imageName));
    }
    return kept;
}

} // namespace fuzz
