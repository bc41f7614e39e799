#include "framework/app/output_debug.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include "platform/text.h"

namespace Zephra {

bool DebugOutputEnabled() { return std::getenv("PEMBERLY_DEBUG") != nullptr; }

void OutputDebug(const char* fmt, ...) {
    if (fmt == nullptr || !DebugOutputEnabled()) return;
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    int needed = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (needed > 0) {
        std::vector<char> buf(static_cast<size_t>(needed) + 1);
        std::vsnprintf(buf.data(), buf.size(), fmt, args);
        std::fputs(buf.data(), stderr);
    }
    va_end(args);
}

void OutputDebug(const std::u16string& text) {
    if (!DebugOutputEnabled()) return;
    std::fputs(platform::Utf16ToUtf8(text).c_str(), stderr);
}

} // namespace Zephra
