#include "platform/settings.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "platform/guarded_file.h"

namespace platform {
namespace {

// Plain value names live in this section; a name "Key\\Value" in [Key].
constexpr const char* kMainSection = "Pemberly";

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

// A name must read back as itself: no line breaks, no '=', nothing that the
// reader would take for a section, a comment or padding.
bool ValidPart(const std::string& part) {
    if (part.empty() || part != Trim(part)) return false;
    if (part[0] == '[' || part[0] == ';' || part[0] == '#') return false;
    for (char c : part)
        if (c == '=' || c == '\n' || c == '\r' || c == '\0' || c == ']') return false;
    return true;
}

bool ValidName(const std::string& name) {
    const size_t slash = name.rfind('\\');
    if (slash == std::string::npos) return ValidPart(name);
    return ValidPart(name.substr(0, slash)) && ValidPart(name.substr(slash + 1));
}

std::string Escape(const std::string& v) {
    std::string out;
    out.reserve(v.size());
    for (char c : v) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\0': out += "\\0"; break;
        default: out += c;
        }
    }
    return out;
}

std::string Unescape(const std::string& v) {
    std::string out;
    out.reserve(v.size());
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] != '\\' || i + 1 == v.size()) {
            out += v[i];
            continue;
        }
        const char n = v[++i];
        switch (n) {
        case '\\': out += '\\'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case '0': out += '\0'; break;
        default: out += '\\'; out += n;  // not ours: kept as written
        }
    }
    return out;
}

} // namespace

Settings::Settings(std::string path) : path_(std::move(path)) {}

bool Settings::Load() {
    values_.clear();
    lastError_.clear();
    saveBlocked_ = false;
    RemoveStaleTemps(path_);
    std::string bytes, why;
    const GuardedRead read = ReadGuarded(path_, kMaxFileSize, bytes, why);
    if (read == GuardedRead::kMissing) return true;
    if (read == GuardedRead::kUnreadable) {
        saveBlocked_ = true;
        lastError_ = path_ + " cannot be read (" + why + "); the default settings are used and it is left as it is.";
        return false;
    }
    // Saving escapes every NUL: a file holding one was not written as text.
    if (read == GuardedRead::kRead && bytes.find('\0') != std::string::npos) why = "not a text file";
    if (!why.empty()) {
        lastError_ = SetAsideDamaged(path_, why, saveBlocked_);
        return false;
    }
    std::istringstream in(bytes);
    std::string section;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string t = Trim(line);
        if (t.empty() || t[0] == ';' || t[0] == '#') continue;
        if (t[0] == '[') {
            if (t.back() != ']') continue;
            section = Trim(t.substr(1, t.size() - 2));
            if (section == kMainSection) section.clear();
            continue;
        }
        const size_t eq = t.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = Trim(t.substr(0, eq));
        if (key.empty() || key.find('\\') != std::string::npos) continue;
        // The value keeps its inner spaces; only what follows '=' directly is the value.
        const std::string value = Unescape(line.substr(line.find('=') + 1));
        const std::string name = section.empty() ? key : section + "\\" + key;
        values_[name] = value;
    }
    return true;
}

bool Settings::Save() const {
    // Plain names first, under the application's section, then each sub-key.
    std::map<std::string, std::map<std::string, std::string>> sections;
    for (const auto& [name, value] : values_) {
        const size_t slash = name.rfind('\\');
        if (slash == std::string::npos) sections[""][name] = value;
        else sections[name.substr(0, slash)][name.substr(slash + 1)] = value;
    }
    std::ostringstream text;
    bool first = true;
    for (const auto& [section, entries] : sections) {
        if (!first) text << '\n';
        first = false;
        text << '[' << (section.empty() ? kMainSection : section) << "]\n";
        for (const auto& [key, value] : entries) text << key << '=' << Escape(value) << '\n';
    }

    if (saveBlocked_) return false;
    std::string why;
    return ReplaceFile(path_, text.str(), why);
}

bool Settings::Has(const std::string& name) const { return values_.count(name) != 0; }

std::string Settings::GetString(const std::string& name, const std::string& def) const {
    const auto it = values_.find(name);
    return it == values_.end() ? def : it->second;
}

int Settings::GetInt(const std::string& name, int def) const {
    const auto it = values_.find(name);
    if (it == values_.end()) return def;
    const std::string t = Trim(it->second);
    if (t.empty()) return def;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(t.c_str(), &end, 10);
    if (errno != 0 || end != t.c_str() + t.size() || v < INT_MIN || v > INT_MAX) return def;
    return static_cast<int>(v);
}

bool Settings::GetBool(const std::string& name, bool def) const {
    const auto it = values_.find(name);
    if (it == values_.end()) return def;
    const std::string t = Trim(it->second);
    if (t == "true") return true;
    if (t == "false") return false;
    const int probe = GetInt(name, INT_MIN);
    if (probe == INT_MIN && t != std::to_string(INT_MIN)) return def;
    return probe != 0;
}

void Settings::SetString(const std::string& name, const std::string& value) {
    if (!ValidName(name)) return;
    values_[name] = value;
}

void Settings::SetInt(const std::string& name, int value) { SetString(name, std::to_string(value)); }

void Settings::SetBool(const std::string& name, bool value) { SetString(name, value ? "1" : "0"); }

void Settings::Remove(const std::string& name) { values_.erase(name); }

} // namespace platform
