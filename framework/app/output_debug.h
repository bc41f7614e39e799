#pragma once
#include <string>

namespace Zephra {

// Trace output for developers: written to stderr only while the environment
// variable PEMBERLY_DEBUG is set, otherwise dropped.
void OutputDebug(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// Wide text is formatted by the caller (no wide printf on this platform).
void OutputDebug(const std::u16string& text);

bool DebugOutputEnabled();

} // namespace Zephra
