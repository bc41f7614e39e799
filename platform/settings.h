#pragma once
#include <map>
#include <string>

namespace platform {

// Stand-in for the registry key of the application: an INI file. A value name
// with a backslash ("Test3D\\RuntimeError") lives in the section before it.
class Settings {
public:
    explicit Settings(std::string path);
    // Reads the file; a missing file gives an empty store (true).
    bool Load();
    // Writes atomically (temporary file, then rename).
    bool Save() const;

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
    std::map<std::string, std::string> values_;
};

} // namespace platform
