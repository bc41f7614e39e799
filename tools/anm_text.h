#pragma once
#include <cstdint>
#include <string>
#include "game/office/anim_file.h"

// The readable form of an ".anm" file that anm_tool writes from and dumps to:
//
//   base 0x00400000
//   anim bossmanbridle
//     image images\office\boss_man.png
//     box 64
//     mode loop            (loop, once, backward or a number)
//     fps 10
//     frame 0 0 64 96 0 0  (x y width height, x and y offset in the box)
//
// '#' starts a comment; blank lines are ignored. "unused a b" keeps the two
// words of a block that are not read.

// False with "line N: ..." in error when the text is malformed.
bool ParseAnmText(const std::string& text, AnimData& data, uint32_t& base, std::string& error);
std::string FormatAnmText(const AnimData& data, uint32_t base);
