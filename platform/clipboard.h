#pragma once
#include <string>

namespace platform {
// Narrow text on the system clipboard; empty when there is none.
std::string GetClipboardText();
bool SetClipboardText(const std::string& text);
} // namespace platform
