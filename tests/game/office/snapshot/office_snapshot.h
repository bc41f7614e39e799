#pragma once
#include <string>
#include "framework/graphics/memory_image.h"

namespace officesnap {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr const char* kGroundPath = "images\\ground.png";

// Loads the office of the game folder and draws it as a day would show it:
// the floor, then every object shown with its "idle" animation, in draw
// order, into out (made 800 x 600). Objects whose class is not built yet are
// drawn as plain items. Needs the application (GetApp) for the
// pictures. False with the reason when the office does not load.
bool DrawOffice(const std::string& gameDir, Zephra::MemoryImage& out, std::string& error);

} // namespace officesnap
