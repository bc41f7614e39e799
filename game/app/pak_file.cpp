#include "game/app/pak_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/paths.h"

struct PakHandle {
    FILE* file = nullptr;
};

namespace {

thread_local std::string tPakError;

std::mutex gGameDirMutex;
std::string gGameDir;
bool gGameDirSet = false;

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameNameIgnoringCase(const char* a, const std::string& b) {
    size_t i = 0;
    for (; a[i] && i < b.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return a[i] == '\0' && i == b.size();
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The entry of dir whose name equals name ignoring ASCII case; the exact
// spelling wins, otherwise the first in byte order, so the choice is stable.
// A folder that cannot be searched or listed says so in the error, not "no such file".
bool FindEntry(const std::string& dir, const std::string& name, std::string& found) {
    struct stat st;
    if (stat((dir + "/" + name).c_str(), &st) == 0) {
        found = name;
        return true;
    }
    if (errno != ENOENT) {
        tPakError = std::string(std::strerror(errno)) + ": " + dir + "/" + name;
        return false;
    }
    DIR* d = opendir(dir.c_str());
    if (!d) {
        tPakError = "folder " + dir + " cannot be read (" + std::strerror(errno) + ")";
        return false;
    }
    bool any = false;
    while (dirent* e = readdir(d)) {
        if (!SameNameIgnoringCase(e->d_name, name)) continue;
        if (!any || std::strcmp(e->d_name, found.c_str()) < 0) found = e->d_name;
        any = true;
    }
    closedir(d);
    return any;
}

// Splits a game path into its components. False for paths that could leave
// the game folder: absolute paths, drive letters and ".." components.
bool SplitGamePath(const std::string& gamePath, std::vector<std::string>& parts) {
    std::string path = gamePath;
    for (char& c : path)
        if (c == '\\') c = '/';
    if (path.empty() || path[0] == '/') return false;
    if (path.size() >= 2 && path[1] == ':') return false;
    if (path.find('\0') != std::string::npos) return false;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        if (part == "..") return false;
        if (!part.empty() && part != ".") parts.push_back(part);
        start = end + 1;
    }
    return !parts.empty();
}

// Walks the folders of parts[0 .. count) case-insensitively; the real folder or empty.
std::string ResolveFolders(const std::vector<std::string>& parts, size_t count) {
    const std::string gameDir = PakGetGameDir();
    std::string dir = gameDir.empty() ? std::string(1, '.') : gameDir;
    for (size_t i = 0; i < count; ++i) {
        std::string entry;
        if (!FindEntry(dir, parts[i], entry)) return {};
        dir += '/';
        dir += entry;
        if (!IsDirectory(dir)) {
            tPakError = dir + " is not a folder";
            return {};
        }
    }
    return dir;
}

bool IsWriteMode(const char* mode) { return std::strchr(mode, 'w') || std::strchr(mode, 'a'); }

// The file opened as fopen would, kept only when it is a regular file. The
// open itself does not block: a named pipe without a writer would hold it.
FILE* OpenRegular(const std::string& real, const char* mode) {
    const bool both = std::strchr(mode, '+') != nullptr;
    int flags = O_CLOEXEC | O_NONBLOCK;
    switch (mode[0]) {
    case 'r': flags |= both ? O_RDWR : O_RDONLY; break;
    case 'w': flags |= (both ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC; break;
    case 'a': flags |= (both ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND; break;
    default: tPakError = "unknown mode"; return nullptr;
    }
    int fd = open(real.c_str(), flags, 0666);
    if (fd < 0) {
        tPakError = std::strerror(errno);
        return nullptr;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        tPakError = "not a regular file";
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FILE* f = fdopen(fd, mode);
    if (!f) {
        tPakError = std::strerror(errno);
        close(fd);
    }
    return f;
}

} // namespace

void PakSetGameDir(const std::string& dir) {
    std::lock_guard<std::mutex> lock(gGameDirMutex);
    gGameDir = dir;
    while (gGameDir.size() > 1 && gGameDir.back() == '/') gGameDir.pop_back();
    gGameDirSet = true;
}

std::string PakGetGameDir() {
    std::lock_guard<std::mutex> lock(gGameDirMutex);
    if (!gGameDirSet) {
        const char* env = std::getenv("PEMBERLY_DATA");
        gGameDir = (env && *env) ? env : platform::ExecutableDir();
        while (gGameDir.size() > 1 && gGameDir.back() == '/') gGameDir.pop_back();
        gGameDirSet = true;
    }
    return gGameDir;
}

std::string PakResolvePath(const std::string& gamePath) {
    std::vector<std::string> parts;
    if (!SplitGamePath(gamePath, parts)) return {};
    std::string dir = ResolveFolders(parts, parts.size() - 1);
    if (dir.empty()) return {};
    std::string entry;
    if (!FindEntry(dir, parts.back(), entry)) return {};
    return dir + "/" + entry;
}

PakHandle* PakOpen(const std::string& path, const char* mode) {
    tPakError = "no such file";
    if (!mode || !*mode) return nullptr;
    std::string real = PakResolvePath(path);
    if (real.empty() && IsWriteMode(mode)) {
        // A new file keeps the spelling of its name inside an existing folder.
        std::vector<std::string> parts;
        if (!SplitGamePath(path, parts)) return nullptr;
        std::string dir = ResolveFolders(parts, parts.size() - 1);
        if (dir.empty()) return nullptr;
        real = dir + "/" + parts.back();
    }
    if (real.empty()) return nullptr;
    FILE* f = OpenRegular(real, mode);
    if (!f) return nullptr;
    tPakError.clear();
    return new PakHandle{f};
}

size_t PakRead(void* buffer, size_t size, size_t count, PakHandle* handle) {
    if (!handle || !buffer || size == 0 || count == 0) return 0;
    return std::fread(buffer, size, count, handle->file);
}

int PakSeek(PakHandle* handle, long offset, int origin) {
    if (!handle) return -1;
    if (origin != SEEK_SET && origin != SEEK_CUR && origin != SEEK_END) return -1;
    return std::fseek(handle->file, offset, origin) == 0 ? 0 : -1;
}

long PakTell(PakHandle* handle) {
    if (!handle) return -1;
    return std::ftell(handle->file);
}

int PakClose(PakHandle* handle) {
    if (!handle) return EOF;
    int rc = std::fclose(handle->file);
    delete handle;
    return rc;
}

bool PakReadAll(const std::string& path, std::string& out) {
    PakHandle* h = PakOpen(path, "rb");
    if (!h) return false;
    const std::string tooLarge = "larger than " + std::to_string(kMaxGameFileBytes >> 20) + " MB";
    struct stat st {};
    if (fstat(fileno(h->file), &st) == 0 && static_cast<uint64_t>(st.st_size) > kMaxGameFileBytes) {
        PakClose(h);
        tPakError = tooLarge;
        return false;
    }
    std::string data;
    data.reserve(static_cast<size_t>(st.st_size));
    char chunk[65536];
    size_t n;
    // The file may grow while it is read.
    while (data.size() <= kMaxGameFileBytes && (n = std::fread(chunk, 1, sizeof chunk, h->file)) > 0)
        data.append(chunk, n);
    bool ok = !std::ferror(h->file);
    PakClose(h);
    if (!ok) tPakError = "read error";
    if (ok && data.size() > kMaxGameFileBytes) {
        ok = false;
        tPakError = tooLarge;
    }
    if (ok) out.swap(data);
    return ok;
}

const std::string& PakLastError() { return tPakError; }
