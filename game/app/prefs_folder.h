#pragma once
#include <string>

// The folder pref.dat lives in, as saving meets it. A save writes a temporary
// file beside the file it replaces ("<name>.tmp-" and six letters or digits)
// and renames it over that file; a save killed half way leaves its temporary
// file behind.

namespace prefs {

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

// Removes the temporary files that saves of path (and of its save target)
// left behind: regular files of this user with exactly that name pattern,
// and only while no save of any instance runs. The number removed.
int RemoveStaleTemps(const std::string& path);

} // namespace prefs
