#include "game/app/prefs_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace prefs {
namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int OpenFolder(const std::string& file) {
    return open(FolderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// "<name>.tmp-" and the six letters or digits that mkstemp puts in.
bool IsTempOf(const char* entry, const std::string& name) {
    const std::string prefix = name + ".tmp-";
    if (std::strncmp(entry, prefix.c_str(), prefix.size()) != 0) return false;
    const char* tail = entry + prefix.size();
    size_t n = 0;
    for (; tail[n] != '\0'; ++n) {
        const char c = tail[n];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
    }
    return n == 6;
}

int RemoveTempsOf(const std::string& file) {
    const int folder = OpenFolder(file);
    if (folder < 0) return 0;
    int removed = 0;
    // A save in progress holds the lock shared: its temporary file is not stale.
    if (flock(folder, LOCK_EX | LOCK_NB) == 0) {
        const int listing = dup(folder);
        DIR* d = listing >= 0 ? fdopendir(listing) : nullptr;
        if (d == nullptr && listing >= 0) close(listing);
        const std::string name = NameOf(file);
        while (d != nullptr) {
            dirent* e = readdir(d);
            if (e == nullptr) break;
            struct stat st;
            if (!IsTempOf(e->d_name, name) || fstatat(folder, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (S_ISREG(st.st_mode) && st.st_uid == geteuid() && unlinkat(folder, e->d_name, 0) == 0) ++removed;
        }
        if (d != nullptr) closedir(d);
        flock(folder, LOCK_UN);
    }
    close(folder);
    return removed;
}

} // namespace

std::string SaveTarget(const std::string& path, std::string& why) {
    std::string at = path;
    for (int hops = 0; hops <= 40; ++hops) {
        struct stat st;
        if (lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
        char link[PATH_MAX];
        const ssize_t n = readlink(at.c_str(), link, sizeof link);
        if (n < 0 || static_cast<size_t>(n) >= sizeof link) {
            why = n < 0 ? std::strerror(errno) : "a link too long";
            return {};
        }
        at = link[0] == '/' ? std::string(link, static_cast<size_t>(n))
                            : FolderOf(at) + "/" + std::string(link, static_cast<size_t>(n));
    }
    why = std::strerror(ELOOP);
    return {};
}

SaveLock::SaveLock(const std::string& file) : fd_(OpenFolder(file)) {
    // Without a lock the save still goes ahead: a clean-up may then miss it.
    while (fd_ >= 0 && flock(fd_, LOCK_SH) != 0 && errno == EINTR) {
    }
}

SaveLock::~SaveLock() {
    if (fd_ >= 0) close(fd_);
}

int RemoveStaleTemps(const std::string& path) {
    int removed = RemoveTempsOf(path);
    std::string why;
    const std::string target = SaveTarget(path, why);
    if (!target.empty() && target != path) removed += RemoveTempsOf(target);
    return removed;
}

} // namespace prefs
