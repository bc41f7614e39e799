#include "framework/graphics/color.h"

namespace Zephra {
const Color Color::White(255, 255, 255, 255);
const Color Color::Black(0, 0, 0, 255);
} // namespace Zephra
