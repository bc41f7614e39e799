#pragma once
#include <cstdint>
#include <string>
#include "framework/resources/file_access.h"

namespace restest {

// Plain files under root for the lifetime of the object.
class ScopedFiles {
public:
    explicit ScopedFiles(const std::string& root) : mAccess(root) { Zephra::SetFileAccess(&mAccess); }
    ~ScopedFiles() { Zephra::SetFileAccess(nullptr); }
    ScopedFiles(const ScopedFiles&) = delete;
    ScopedFiles& operator=(const ScopedFiles&) = delete;

private:
    Zephra::PlainFileAccess mAccess;
};

inline const char* kDejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

} // namespace restest
