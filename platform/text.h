#pragma once
#include <string>

namespace platform {
// UTF-8 <-> UTF-16. Invalid input becomes U+FFFD; never throws.
std::u16string Utf8ToUtf16(const std::string& s);
std::string Utf16ToUtf8(const std::u16string& s);
// printf-style into a std::string.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
} // namespace platform
