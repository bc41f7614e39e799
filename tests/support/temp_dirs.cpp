#include "tests/support/temp_dirs.h"
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "pemberly-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

static void SaveEnv(const char* name, std::string& old, bool& had) {
    const char* v = std::getenv(name);
    had = v != nullptr;
    if (had) old = v;
}

static void RestoreEnv(const char* name, const std::string& old, bool had) {
    if (had) setenv(name, old.c_str(), 1);
    else unsetenv(name);
}

TempUserDirs::TempUserDirs() {
    SaveEnv("XDG_CONFIG_HOME", oldConfig_, hadConfig_);
    SaveEnv("XDG_DATA_HOME", oldData_, hadData_);
    setenv("XDG_CONFIG_HOME", config_.Path().c_str(), 1);
    setenv("XDG_DATA_HOME", data_.Path().c_str(), 1);
}

TempUserDirs::~TempUserDirs() {
    RestoreEnv("XDG_CONFIG_HOME", oldConfig_, hadConfig_);
    RestoreEnv("XDG_DATA_HOME", oldData_, hadData_);
}

std::string SourceDir() {
    const char* v = std::getenv("PEMBERLY_SOURCE_DIR");
    return v ? v : PEMBERLY_SOURCE_DIR;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream f(path, std::ios::binary);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

} // namespace testsupport
