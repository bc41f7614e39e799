#include "platform/paths.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

namespace platform {
namespace {

constexpr const char* kAppFolder = "Corvane Games/Pemberly";

std::string HomeDir() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/tmp";
}

// An XDG variable counts only when it holds an absolute path.
std::string XdgBase(const char* variable, const char* fallback) {
    if (const char* v = std::getenv(variable); v && v[0] == '/') return v;
    return JoinPath(HomeDir(), fallback);
}

std::string AppDir(const char* variable, const char* fallback) {
    std::string dir = JoinPath(XdgBase(variable, fallback), kAppFolder);
    MakeDirs(dir);
    return dir;
}

} // namespace

std::string ExecutableDir() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) {
        std::filesystem::path cwd = std::filesystem::current_path(ec);
        return ec ? std::string(".") : cwd.string();
    }
    std::string dir = exe.parent_path().string();
    return dir.empty() ? std::string("/") : dir;
}

std::string ConfigDir() { return AppDir("XDG_CONFIG_HOME", ".config"); }

std::string DataDir() { return AppDir("XDG_DATA_HOME", ".local/share"); }

bool MakeDirs(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

std::string JoinPath(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    const bool aSlash = a.back() == '/';
    const bool bSlash = b.front() == '/';
    if (aSlash && bSlash) return a + b.substr(1);
    if (aSlash || bSlash) return a + b;
    return a + "/" + b;
}

} // namespace platform
