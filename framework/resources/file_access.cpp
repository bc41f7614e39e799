#include "framework/resources/file_access.h"
#include <atomic>
#include <cstdio>

namespace Zephra {

PlainFileAccess::PlainFileAccess(std::string root) : mRoot(std::move(root)) {}

std::string PlainFileAccess::Resolve(const std::string& path) const {
    std::string p = path;
    for (char& c : p)
        if (c == '\\') c = '/';
    if (mRoot.empty() || (!p.empty() && p[0] == '/')) return p;
    if (mRoot.back() == '/') return mRoot + p;
    return mRoot + "/" + p;
}

bool PlainFileAccess::ReadFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    if (path.empty()) return false;
    FILE* f = std::fopen(Resolve(path).c_str(), "rb");
    if (f == nullptr) return false;
    bool ok = false;
    if (std::fseek(f, 0, SEEK_END) == 0) {
        long size = std::ftell(f);
        if (size >= 0 && static_cast<unsigned long>(size) <= kMaxFileSize && std::fseek(f, 0, SEEK_SET) == 0) {
            bytes.resize(static_cast<size_t>(size));
            ok = std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
        }
    }
    std::fclose(f);
    if (!ok) bytes.clear();
    return ok;
}

namespace {
std::atomic<FileAccess*> gFileAccess{nullptr};
} // namespace

FileAccess& GetFileAccess() {
    static PlainFileAccess plainFiles;   // safe to reach from other static initialisers
    FileAccess* access = gFileAccess.load(std::memory_order_acquire);
    return access != nullptr ? *access : plainFiles;
}

std::string ReadFailureReason() {
    const std::string why = GetFileAccess().LastError();
    return why.empty() ? why : " (" + why + ")";
}

void SetFileAccess(FileAccess* access) { gFileAccess.store(access, std::memory_order_release); }

} // namespace Zephra
