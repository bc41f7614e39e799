#pragma once
#include <cstddef>
#include <string>

// The user's own files (settings, profiles) as the game reads and replaces
// them. A read opens nothing but a regular file and never blocks; a save
// writes a temporary file beside the file it replaces ("<name>.tmp-" and six
// letters or digits) and renames it over that file, so a crash leaves the old
// file or the new one; a save killed half way leaves its temporary file behind.

namespace platform {

enum class GuardedRead {
    kRead,        // bytes hold the whole file
    kMissing,     // no file there
    kTooLarge,    // larger than the limit; nothing is kept
    kUnreadable,  // not a regular file, or the system refused (why says which)
};

// Reads the whole file at path, at most maxBytes of it. A named pipe, a device
// or a folder is never read from, so nothing blocks and nothing endless is read.
GuardedRead ReadGuarded(const std::string& path, size_t maxBytes, std::string& bytes, std::string& why);

// Moves a damaged file (where path's links lead, so a link stays a link) to
// "<name>.bad-YYYYMMDD-HHMMSS" beside it (UTC; "-1", "-2" ... when taken),
// never replacing a file. The new name, or empty with errno telling why.
std::string SetAside(const std::string& path);

// Sets the damaged file at path aside (why: what is wrong with it) and returns
// the warning to give. blocked is set when it could not be moved: the file
// then stays and must not be saved over.
std::string SetAsideDamaged(const std::string& path, const std::string& why, bool& blocked);

// The file a save replaces: path itself, or where its symbolic links lead
// (a link's missing target is created), so that a link stays a link. Empty,
// with the reason in why, when the links loop.
std::string SaveTarget(const std::string& path, std::string& why);

// Held by every save while its temporary file exists, shared: saves of
// several instances never wait for one another, only for a clean-up.
class SaveLock {
public:
    explicit SaveLock(const std::string& file);
    ~SaveLock();
    SaveLock(const SaveLock&) = delete;
    SaveLock& operator=(const SaveLock&) = delete;

private:
    int fd_ = -1;
};

// Replaces the file at path (through its links) with bytes: the folder is made
// when missing, a temporary file written, synced and renamed over it. False
// with the reason when the file was left as it was.
bool ReplaceFile(const std::string& path, const std::string& bytes, std::string& why);

// Removes the temporary files that saves of path (and of its save target)
// left behind: regular files of this user with exactly that name pattern,
// and only while no save of any instance runs. The number removed.
int RemoveStaleTemps(const std::string& path);

} // namespace platform
