#include "platform/guarded_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include "platform/paths.h"

namespace platform {
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

std::string ErrnoText() { return std::strerror(errno); }

std::string UtcStamp() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &tm);
    return buf;
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
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

GuardedRead ReadGuarded(const std::string& path, size_t maxBytes, std::string& bytes, std::string& why) {
    // Not blocking: a named pipe would hold the start for ever.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        why = ErrnoText();
        return errno == ENOENT ? GuardedRead::kMissing : GuardedRead::kUnreadable;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        why = "not a regular file";
        return GuardedRead::kUnreadable;
    }
    std::string data;
    char buf[65536];
    GuardedRead result = GuardedRead::kRead;
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            why = ErrnoText();
            result = GuardedRead::kUnreadable;
            break;
        }
        if (n == 0) break;
        // Checked as it is read: the file may grow meanwhile.
        if (data.size() + static_cast<size_t>(n) > maxBytes) {
            why = "larger than " + std::to_string(maxBytes) + " bytes";
            result = GuardedRead::kTooLarge;
            break;
        }
        data.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    if (result == GuardedRead::kRead) bytes.swap(data);
    return result;
}

std::string SetAside(const std::string& file) {
    // Through links, as saving goes: the link stays and points at a fresh file.
    std::string why;
    const std::string path = SaveTarget(file, why);
    if (path.empty()) return {};
    const std::string base = path + ".bad-" + UtcStamp();
    for (int i = 0; i < 1000; ++i) {
        const std::string target = i == 0 ? base : base + "-" + std::to_string(i);
        // A hard link never replaces an existing file.
        if (link(path.c_str(), target.c_str()) == 0) {
            if (unlink(path.c_str()) == 0) return target;
            unlink(target.c_str());
            return {};
        }
        if (errno == EEXIST) continue;
        // Folders without hard links: check, then rename.
        struct stat st;
        if (stat(target.c_str(), &st) == 0) continue;
        if (rename(path.c_str(), target.c_str()) == 0) return target;
        return {};
    }
    return {};
}

std::string SetAsideDamaged(const std::string& path, const std::string& why, bool& blocked) {
    const std::string aside = SetAside(path);
    blocked = aside.empty();
    if (blocked)
        return path + " is damaged (" + why + ") and could not be set aside (" + ErrnoText() +
               "); the default settings are used and it will not be overwritten.";
    return path + " is damaged (" + why + "); it was moved to " + aside + " and the default settings are used.";
}

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
    errno = ELOOP;
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

bool ReplaceFile(const std::string& path, const std::string& bytes, std::string& why) {
    MakeDirs(FolderOf(path));
    const std::string target = SaveTarget(path, why);
    if (target.empty()) return false;
    SaveLock lock(target);
    std::string tmp = target + ".tmp-XXXXXX";
    const int fd = mkstemp(tmp.data());
    if (fd < 0) {
        why = ErrnoText();
        return false;
    }
    bool ok = WriteAll(fd, bytes) && fsync(fd) == 0;
    if (!ok) why = ErrnoText();
    if (close(fd) != 0 && ok) {
        ok = false;
        why = ErrnoText();
    }
    if (ok && rename(tmp.c_str(), target.c_str()) != 0) {
        ok = false;
        why = ErrnoText();
    }
    if (!ok) {
        unlink(tmp.c_str());
        return false;
    }
    // The rename itself lasts once the folder is synced.
    const int dir = OpenFolder(target);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

int RemoveStaleTemps(const std::string& path) {
    int removed = RemoveTempsOf(path);
    std::string why;
    const std::string target = SaveTarget(path, why);
    if (!target.empty() && target != path) removed += RemoveTempsOf(target);
    return removed;
}

} // namespace platform
