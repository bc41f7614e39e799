#include "game/app/tables.h"

#include "framework/graphics/memory_image.h"
#include "framework/resources/image_lib.h"
#include "framework/resources/resource_manager.h"
#include "game/app/xml_access.h"
#include "platform/text.h"

namespace {

// Reads (name, value) pairs of the elements at xpath below the root of the file.
bool ReadPairs(const std::string& path, const char* xpath, const char* keyAttr, const char* valueAttr,
               std::vector<std::pair<std::string, XmlNode>>& out, std::unique_ptr<XmlDocument>& doc,
               std::vector<std::string>& errors) {
    if (!XmlLoadDocument(doc, path)) {
        errors.push_back(XmlLastError());
        return false;
    }
    struct Ctx {
        const char* keyAttr;
        const char* valueAttr;
        const std::string* path;
        std::vector<std::pair<std::string, XmlNode>>* out;
        std::vector<std::string>* errors;
    } ctx{keyAttr, valueAttr, &path, &out, &errors};
    XmlForEachNode(
        doc->document_element(), xpath,
        [](XmlNode node, void* a, void*) {
            auto* c = static_cast<Ctx*>(a);
            std::string key;
            if (!XmlGetAttrString(node, c->keyAttr, key) || key.empty() || !node.attribute(c->valueAttr)) {
                c->errors->push_back(*c->path + ": <" + node.name() + "> without " + c->keyAttr + " or " +
                                     c->valueAttr);
                return true;
            }
            c->out->emplace_back(std::move(key), node);
            return true;
        },
        &ctx, nullptr);
    return true;
}

} // namespace

// ---------------------------------------------------------------------------

TextureTable::TextureTable(Zephra::ImageHost* host) : host_(host) {}

TextureTable::~TextureTable() = default;

bool TextureTable::LoadTable(const std::string& path, std::vector<std::string>& errors) {
    std::unique_ptr<XmlDocument> doc;
    std::vector<std::pair<std::string, XmlNode>> pairs;
    if (!ReadPairs(path, "texture", "name", "path", pairs, doc, errors)) return false;
    for (auto& [name, node] : pairs) {
        std::string file;
        XmlGetAttrString(node, "path", file);
        if (file.empty()) {
            errors.push_back(path + ": texture " + name + " has an empty path");
            continue;
        }
        Define(name, file);
    }
    return true;
}

void TextureTable::Define(const std::string& name, const std::string& path) {
    entries_.emplace(name, Entry{path, nullptr, 0});
}

Zephra::MemoryImage* TextureTable::Acquire(const std::string& name) {
    auto it = entries_.find(name);
    if (it == entries_.end()) {
        // Only what looks like a file name is tried as a path.
        if (name.find('.') == std::string::npos) {
            Fail(name, "Unknown texture " + name);
            return nullptr;
        }
        it = entries_.emplace(name, Entry{name, nullptr, 0}).first;
    }
    Entry& entry = it->second;
    if (!entry.image) {
        std::unique_ptr<Zephra::MemoryImage> image(host_ ? host_->CreateImage() : new Zephra::MemoryImage(nullptr));
        std::string error;
        if (!Zephra::ImageLib::LoadImage(entry.path, *image, error)) {
            const std::string path = entry.path;
            if (entry.path == name) entries_.erase(it);
            Fail(name, "Failed to load texture " + name + " from " + path + ": " + error);
            return nullptr;
        }
        image->AnalyzeAlpha();
        entry.image = std::move(image);
        entry.count = 0;
    }
    ++entry.count;
    return entry.image.get();
}

void TextureTable::Fail(const std::string& name, std::string error) {
    error_ = std::move(error);
    if (warn_ && warned_.insert(name).second) warn_(error_);
}

void TextureTable::Drop(Entry& entry) {
    if (entry.count <= 0) return;
    if (--entry.count == 0) entry.image.reset();
}

void TextureTable::Release(const std::string& name) {
    auto it = entries_.find(name);
    if (it != entries_.end()) Drop(it->second);
}

void TextureTable::ReleaseImage(const Zephra::Image* image) {
    if (!image) return;
    for (auto& [name, entry] : entries_) {
        if (entry.image.get() == image) {
            Drop(entry);
            return;
        }
    }
}

int TextureTable::UseCount(const std::string& name) const {
    auto it = entries_.find(name);
    return it != entries_.end() ? it->second.count : 0;
}

size_t TextureTable::LoadedCount() const {
    size_t n = 0;
    for (const auto& [name, entry] : entries_)
        if (entry.image) ++n;
    return n;
}

// ---------------------------------------------------------------------------

bool FontTable::LoadTable(const std::string& path, std::vector<std::string>& errors) {
    std::unique_ptr<XmlDocument> doc;
    std::vector<std::pair<std::string, XmlNode>> pairs;
    if (!ReadPairs(path, "font", "name", "res", pairs, doc, errors)) return false;
    for (auto& [name, node] : pairs) {
        std::string id;
        XmlGetAttrString(node, "res", id);
        Define(name, id);
    }
    return true;
}

Zephra::Font* FontTable::Get(const std::string& name) const {
    if (!resources_) return nullptr;
    auto it = ids_.find(name);
    return resources_->GetFont(it != ids_.end() ? it->second : name);
}

// ---------------------------------------------------------------------------

bool TextTable::Load(const std::string& path, std::vector<std::string>& errors) {
    std::unique_ptr<XmlDocument> doc;
    std::vector<std::pair<std::string, XmlNode>> pairs;
    if (!ReadPairs(path, "text", "key", "value", pairs, doc, errors)) return false;
    std::map<std::string, std::u16string> texts;
    for (auto& [key, node] : pairs) {
        std::u16string value;
        XmlGetAttrWide(node, "value", value);
        if (value.size() > kMaxTextLength) {
            errors.push_back(path + ": text " + key + " is longer than " + std::to_string(kMaxTextLength) +
                             " characters; left out");
            continue;
        }
        texts.emplace(key, std::move(value));
    }
    texts_ = std::move(texts);
    return true;
}

const std::u16string& TextTable::Lookup(const std::string& key) const {
    static const std::u16string kEmpty;
    auto it = texts_.find(key);
    return it != texts_.end() ? it->second : kEmpty;
}

const std::u16string& TextTable::Lookup(const std::u16string& key) const {
    return Lookup(platform::Utf16ToUtf8(key));
}

const std::u16string& TextTable::Get(const std::u16string& key) { return Get(platform::Utf16ToUtf8(key)); }

void TextTable::SetNumber(const std::string& key, int value) {
    texts_[key] = platform::Utf8ToUtf16(std::to_string(value));
}
