#pragma once
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

// The game's name-keyed tables (docs/tables.md): textures, fonts, localised
// texts and text variables.

namespace Zephra {
class Font;
class Image;
class ImageHost;
class MemoryImage;
class ResourceManager;
} // namespace Zephra

// Pictures shared by name and counted: the first Acquire loads the picture,
// the last Release deletes it. A name is a texture of the table
// ("cfg\textures.xml") or, failing that, a game path with an extension
// ("images\button.png").
class TextureTable {
public:
    static constexpr const char* kTablePath = "cfg\\textures.xml";

    // Images are made for host (registered with it); host must outlive the table.
    explicit TextureTable(Zephra::ImageHost* host = nullptr);
    ~TextureTable();
    TextureTable(const TextureTable&) = delete;
    TextureTable& operator=(const TextureTable&) = delete;

    // Adds the "texture" entries (name, path) of the table file; a name already
    // defined keeps its first path. False with the reason when the file cannot
    // be read; entries without name or path are skipped and named in errors.
    bool LoadTable(const std::string& path, std::vector<std::string>& errors);
    void Define(const std::string& name, const std::string& path);
    bool IsDefined(const std::string& name) const { return entries_.count(name) != 0; }

    // The picture with its use count raised, or null when the name is unknown
    // or its file does not load (LastError says why).
    Zephra::MemoryImage* Acquire(const std::string& name);
    // Lower the use count; the picture is deleted when it reaches 0. Releasing
    // what is not held does nothing.
    void Release(const std::string& name);
    void ReleaseImage(const Zephra::Image* image);

    int UseCount(const std::string& name) const;
    // Pictures held at the moment.
    size_t LoadedCount() const;
    const std::string& LastError() const { return error_; }
    // Where failures go (with LastError's text), each name's once; none by default.
    void SetWarning(std::function<void(const std::string&)> warn) { warn_ = std::move(warn); }

private:
    struct Entry {
        std::string path;
        std::unique_ptr<Zephra::MemoryImage> image;
        int count = 0;
    };
    void Drop(Entry& entry);

    Zephra::ImageHost* host_;
    // Records error_ and passes it on, once for each name.
    void Fail(const std::string& name, std::string error);

    std::map<std::string, Entry> entries_;
    std::string error_;
    std::function<void(const std::string&)> warn_;
    std::set<std::string> warned_;
};

// Fonts by game name. A table entry ("cfg\fonts.xml") names a font of the
// resource manifest; a name the table lacks is tried as a manifest font id.
// The text passes of a control (shadow, stroke, normal) are separate entries
// whose manifest fonts carry the offset and the stroke; the colours come from
// the control.
class FontTable {
public:
    static constexpr const char* kTablePath = "cfg\\fonts.xml";

    // resources must outlive the table.
    explicit FontTable(const Zephra::ResourceManager* resources) : resources_(resources) {}

    bool LoadTable(const std::string& path, std::vector<std::string>& errors);
    void Define(const std::string& name, const std::string& fontId) { ids_.emplace(name, fontId); }
    // The font, or null when the name is unknown or its group is not loaded.
    Zephra::Font* Get(const std::string& name) const;

private:
    const Zephra::ResourceManager* resources_;
    std::map<std::string, std::string> ids_;
};

// Wide texts by narrow key: the localisation table ("cfg\loc.xml") and the
// text variables that text controls display.
class TextTable {
public:
    static constexpr const char* kLocPath = "cfg\\loc.xml";
    // Characters (UTF-16 units) of one text of the file; no screen shows more.
    static constexpr size_t kMaxTextLength = 4096;

    // Replaces the contents with the "text" entries (key, value) of a
    // localisation file; the first entry of a key wins, a text longer than
    // kMaxTextLength is left out (named in errors). False with the reason
    // (contents unchanged) when the file cannot be read.
    bool Load(const std::string& path, std::vector<std::string>& errors);

    // The text of the key; an empty text when absent.
    const std::u16string& Lookup(const std::string& key) const;
    bool Has(const std::string& key) const { return texts_.count(key) != 0; }
    void Set(const std::string& key, const std::u16string& value) { texts_[key] = value; }
    // The number as decimal text.
    void SetNumber(const std::string& key, int value);
    // The current value; a key it lacks is added with an empty text.
    const std::u16string& Get(const std::string& key) { return texts_[key]; }
    // The same by a UTF-16 key (text controls keep their variable names wide).
    const std::u16string& Lookup(const std::u16string& key) const;
    const std::u16string& Get(const std::u16string& key);
    size_t Size() const { return texts_.size(); }
    void Clear() { texts_.clear(); }

private:
    std::map<std::string, std::u16string> texts_;
};
