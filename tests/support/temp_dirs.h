#pragma once
#include <string>

namespace testsupport {
// A fresh temporary folder, removed with its contents when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
private:
    std::string path_;
};

// Points XDG_CONFIG_HOME and XDG_DATA_HOME at temporary folders for its lifetime.
class TempUserDirs {
public:
    TempUserDirs();
    ~TempUserDirs();
    std::string ConfigHome() const { return config_.Path(); }
    std::string DataHome() const { return data_.Path(); }
private:
    TempDir config_;
    TempDir data_;
    std::string oldConfig_, oldData_;
    bool hadConfig_ = false, hadData_ = false;
};

// The source tree (for data/ and tests/data/).
std::string SourceDir();
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
} // namespace testsupport
