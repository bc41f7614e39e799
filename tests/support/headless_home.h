#pragma once
// A home of its own for a headless run of the whole game (the soak, the
// balance runs, the benchmarks): HOME and the XDG folders inside a fresh
// temporary folder, SDL's offscreen video and dummy audio unless chosen.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace testsupport {

// The folder, named after the program and its process; the caller removes it.
inline std::filesystem::path MakeHeadlessHome(const std::string& program) {
    namespace fs = std::filesystem;
    const fs::path home = fs::temp_directory_path() / ("pemberly-" + program + "-" + std::to_string(getpid()));
    fs::create_directories(home);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    return home;
}

} // namespace testsupport
