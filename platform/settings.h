#pragma once
#include <cstddef>
#include <map>
#include <string>

namespace platform {

// Stand-in for the registry key of the application: an INI file. A value name
// with a backslash ("Test3D\\RuntimeError") lives in the section before it.
//
// Read as the user's other files are (platform/guarded_file.h): a file that is
// not text or is larger than kMaxFileSize is set aside as
// "settings.ini.bad-<UTC time>"; one that cannot be read (no permission, not a
// regular file) is left as it is and never saved over.
class Settings {
public:
    static constexpr size_t kMaxFileSize = size_t(1) << 20;

    explicit Settings(std::string path);
    // Reads the file, first removing what killed saves left behind. A missing
    // file gives an empty store (true); a file that could not be used gives an
    // empty store and false, LastError() saying why and what became of it.
    bool Load();
    // Writes atomically (temporary file, then rename); false, and nothing
    // written, when the file there could not be read nor set aside.
    bool Save() const;
    const std::string& LastError() const { return lastError_; }

    bool Has(const std::string& name) const;
    std::string GetString(const std::string& name, const std::string& def = "") const;
    int GetInt(const std::string& name, int def = 0) const;
    bool GetBool(const std::string& name, bool def = false) const;
    void SetString(const std::string& name, const std::string& value);
    void SetInt(const std::string& name, int value);
    void SetBool(const std::string& name, bool value);
    void Remove(const std::string& name);

    const std::string& Path() const { return path_; }

private:
    std::string path_;
    std::string lastError_;
    bool saveBlocked_ = false;
    std::map<std::string, std::string> values_;
};

} // namespace platform
