#pragma once
#include <string>

namespace platform {
// Opens an http or https address in the user's browser; refuses anything else.
bool IsOpenableUrl(const std::string& url);
bool OpenUrl(const std::string& url);
} // namespace platform
