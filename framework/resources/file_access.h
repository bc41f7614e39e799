#pragma once
#include <cstddef>
#include <string>

namespace Zephra {

// Where the framework reads its files (manifest, pictures, fonts). The game routes
// reads through its own file functions by installing an implementation of its own.
class FileAccess {
public:
    virtual ~FileAccess() = default;
    // The whole file at path (a game path: backslashes allowed) into bytes;
    // false when it cannot be opened or read.
    virtual bool ReadFile(const std::string& path, std::string& bytes) = 0;
    // Why the last ReadFile of this thread failed; empty when not known.
    virtual std::string LastError() const { return {}; }
};

// Plain files, relative paths resolved against root (the current folder when
// empty); backslashes become slashes.
class PlainFileAccess : public FileAccess {
public:
    // Larger files are refused rather than read into memory.
    static constexpr size_t kMaxFileSize = size_t(1) << 30;

    explicit PlainFileAccess(std::string root = {});
    bool ReadFile(const std::string& path, std::string& bytes) override;
    // The file-system path a game path stands for.
    std::string Resolve(const std::string& path) const;

private:
    std::string mRoot;
};

// The installed file access; plain files when none is installed.
FileAccess& GetFileAccess();
// " (why)" for the last failed read when the file access knows why, else empty.
std::string ReadFailureReason();
// Installs access (not owned; it must outlive its use); nullptr restores plain files.
void SetFileAccess(FileAccess* access);

} // namespace Zephra
