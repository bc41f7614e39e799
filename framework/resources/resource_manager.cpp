#include "framework/resources/resource_manager.h"
#include <algorithm>
#include <charconv>
#include <pugixml.hpp>
#include "framework/graphics/memory_image.h"
#include "framework/resources/file_access.h"
#include "framework/resources/image_lib.h"

namespace Zephra {

namespace {

bool ValidId(const std::string& id) {
    if (id.empty()) return false;
    for (char c : id)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
    return true;
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// What one manifest file adds, gathered before anything is committed.
struct Parsed {
    std::map<std::string, std::vector<std::pair<ResourceManager::ResType, std::string>>> groups;
    std::vector<ResourceManager::ImageRes> images;
    std::vector<ResourceManager::FontRes> fonts;
    std::vector<ResourceManager::BaseRes> sounds;
    std::vector<ResourceManager::BaseRes> music;
};

class ManifestReader {
public:
    explicit ManifestReader(const std::string& file) : mFile(file) {}
    std::string mError;

    bool Bool(const pugi::xml_node& node, const char* name, bool& value) {
        pugi::xml_attribute attr = node.attribute(name);
        if (!attr) return true;
        std::string text = Lower(attr.value());
        if (text == "true" || text == "1" || text == "yes") value = true;
        else if (text == "false" || text == "0" || text == "no") value = false;
        else return Bad(node, std::string("attribute ") + name + " is not true or false");
        return true;
    }

    bool Int(const pugi::xml_node& node, const char* name, int& value) {
        pugi::xml_attribute attr = node.attribute(name);
        if (!attr) return true;
        const char* text = attr.value();
        const char* end = text + std::char_traits<char>::length(text);
        auto [ptr, ec] = std::from_chars(text, end, value);
        if (ec != std::errc() || ptr != end || ptr == text)
            return Bad(node, std::string("attribute ") + name + " is not a whole number");
        return true;
    }

    bool Bad(const pugi::xml_node& node, const std::string& what) {
        std::string id = node.attribute("id").value();
        mError = mFile + ": <" + node.name() + (id.empty() ? "" : " id=\"" + id + "\"") + ">: " + what;
        return false;
    }

private:
    std::string mFile;
};

} // namespace

ResourceManager::ResourceManager(ImageHost* app) : mApp(app) {}

ResourceManager::~ResourceManager() = default;

bool ResourceManager::Fail(const std::string& text) {
    mError = text;
    return false;
}

bool ResourceManager::ParseResourcesFile(const std::string& path) {
    std::string bytes;
    if (!GetFileAccess().ReadFile(path, bytes)) return Fail("Failed to read " + path + ReadFailureReason());
    pugi::xml_document doc;
    pugi::xml_parse_result parsed = doc.load_buffer(bytes.data(), bytes.size());
    if (!parsed)
        return Fail("Failed to parse " + path + ": " + parsed.description() + " at offset " +
                    std::to_string(parsed.offset));
    pugi::xml_node root = doc.document_element();
    if (std::string(root.name()) != "resources") return Fail(path + ": the root element is not <resources>");

    ManifestReader reader(path);
    Parsed out;
    auto taken = [&](const std::string& id) {
        if (mImages.count(id) || mFonts.count(id) || mSounds.count(id) || mMusic.count(id)) return true;
        for (const auto& [name, entries] : out.groups)
            for (const auto& entry : entries)
                if (entry.second == id) return true;
        return false;
    };

    for (pugi::xml_node group : root.children()) {
        if (group.type() != pugi::node_element) continue;
        if (std::string(group.name()) != "group") return Fail(path + ": unknown element <" + group.name() + ">");
        std::string groupId = group.attribute("id").value();
        if (groupId.empty()) return Fail(path + ": <group> without id");
        if (mGroups.count(groupId) || out.groups.count(groupId))
            return Fail(path + ": group \"" + groupId + "\" is defined twice");
        auto& entries = out.groups[groupId];
        std::string pathPrefix, idPrefix;
        for (pugi::xml_node node : group.children()) {
            if (node.type() != pugi::node_element) continue;
            std::string kind = node.name();
            if (kind == "defaults") {
                pathPrefix = node.attribute("path").value();
                idPrefix = node.attribute("idprefix").value();
                continue;
            }
            ResType type;
            if (kind == "image") type = RES_IMAGE;
            else if (kind == "font") type = RES_FONT;
            else if (kind == "sound") type = RES_SOUND;
            else if (kind == "music") type = RES_MUSIC;
            else return Fail(path + ": unknown element <" + kind + "> in group \"" + groupId + "\"");

            BaseRes base;
            base.mType = type;
            base.mGroup = groupId;
            if (!node.attribute("id")) {
                reader.Bad(node, "no id");
                return Fail(reader.mError);
            }
            base.mId = idPrefix + node.attribute("id").value();
            if (!ValidId(base.mId)) {
                reader.Bad(node, "id \"" + base.mId + "\" is not upper-case letters, digits and _");
                return Fail(reader.mError);
            }
            if (taken(base.mId)) {
                reader.Bad(node, "id \"" + base.mId + "\" is used twice");
                return Fail(reader.mError);
            }
            std::string file = node.attribute("path").value();
            if (file.empty()) {
                reader.Bad(node, "no path");
                return Fail(reader.mError);
            }
            base.mPath = pathPrefix + file;
            entries.emplace_back(type, base.mId);

            if (type == RES_IMAGE) {
                ImageRes res;
                static_cast<BaseRes&>(res) = base;
                if (!reader.Bool(node, "surface", res.mSurface) || !reader.Bool(node, "palette", res.mPalletize))
                    return Fail(reader.mError);
                out.images.push_back(std::move(res));
            } else if (type == RES_FONT) {
                FontRes res;
                static_cast<BaseRes&>(res) = base;
                SysFontDesc& d = res.mDesc;
                if (!node.attribute("size")) {
                    reader.Bad(node, "no size");
                    return Fail(reader.mError);
                }
                if (!reader.Int(node, "size", d.mSize) || !reader.Bool(node, "bold", d.mBold) ||
                    !reader.Bool(node, "italic", d.mItalic) || !reader.Int(node, "stroke", d.mStroke) ||
                    !reader.Int(node, "offsetx", d.mOffsetX) || !reader.Int(node, "offsety", d.mOffsetY))
                    return Fail(reader.mError);
                if (d.mSize < 1 || d.mSize > SysFontDesc::kMaxSize || d.mStroke < 0 ||
                    d.mStroke > SysFontDesc::kMaxStroke || d.mOffsetX < -SysFontDesc::kMaxOffset ||
                    d.mOffsetX > SysFontDesc::kMaxOffset || d.mOffsetY < -SysFontDesc::kMaxOffset ||
                    d.mOffsetY > SysFontDesc::kMaxOffset) {
                    reader.Bad(node, "size, stroke or offset out of range");
                    return Fail(reader.mError);
                }
                out.fonts.push_back(std::move(res));
            } else if (type == RES_SOUND) {
                out.sounds.push_back(base);
            } else {
                out.music.push_back(base);
            }
        }
    }

    for (auto& [name, entries] : out.groups) {
        Group& group = mGroups[name];
        for (auto& [type, id] : entries) group.entries.push_back({type, id});
    }
    for (ImageRes& res : out.images) mImages.emplace(res.mId, std::move(res));
    for (FontRes& res : out.fonts) mFonts.emplace(res.mId, std::move(res));
    for (BaseRes& res : out.sounds) mSounds.emplace(res.mId, res);
    for (BaseRes& res : out.music) mMusic.emplace(res.mId, res);
    mError.clear();
    return true;
}

bool ResourceManager::HasGroup(const std::string& group) const { return mGroups.count(group) != 0; }

bool ResourceManager::IsGroupLoaded(const std::string& group) const {
    auto it = mGroups.find(group);
    return it != mGroups.end() && it->second.loaded;
}

MemoryImage* ResourceManager::CreateImage() { return mApp ? mApp->CreateImage() : new MemoryImage(nullptr); }

bool ResourceManager::LoadImage(ImageRes& res) {
    std::unique_ptr<MemoryImage> image(CreateImage());
    std::string error;
    if (!ImageLib::LoadImage(res.mPath, *image, error, mPixelBytesLeft)) {
        if (mPixelBytesLeft < ImageLib::kMaxPixelBytes && error.find("image size") == 0)
            error += " (the group's pictures may take " + std::to_string(mPictureBudget >> 20) + " MB, " +
                     std::to_string(mPixelBytesLeft >> 20) + " MB are left)";
        return Fail("Failed to load image " + res.mId + " from " + res.mPath + ": " + error);
    }
    image->AnalyzeAlpha();
    res.mWantsSurface = false;
    if (res.mSurface && !image->mHasAlpha) {
        res.mWantsSurface = true;
        image->mPurgeBits = true;
    }
    if (res.mPalletize) {
        if (ImageHasSurface(image.get())) image->mWantPal = true;
        else image->Palletize();
    }
    res.mImage = std::move(image);
    return true;
}

bool ResourceManager::LoadFont(FontRes& res) {
    auto font = std::make_unique<SysFont>();
    std::string error;
    if (!font->Open(res.mPath, res.mDesc, error))
        return Fail("Failed to load font " + res.mId + " from " + res.mPath + ": " + error);
    res.mFont = std::move(font);
    return true;
}

bool ResourceManager::LoadResourceGroup(const std::string& name) {
    auto it = mGroups.find(name);
    if (it == mGroups.end()) return Fail("Unknown resource group \"" + name + "\"");
    Group& group = it->second;
    if (group.loaded) return true;
    size_t spent = 0;
    for (const GroupEntry& entry : group.entries) {
        if (entry.type == RES_IMAGE) {
            ImageRes& res = mImages.at(entry.id);
            mPixelBytesLeft = mPictureBudget - std::min(spent, mPictureBudget);
            if (!res.mImage && !LoadImage(res)) return false;
            spent += size_t(res.mImage->mWidth) * size_t(res.mImage->mHeight) * 4;
        } else if (entry.type == RES_FONT) {
            FontRes& res = mFonts.at(entry.id);
            if (!res.mFont && !LoadFont(res)) return false;
        }
    }
    group.loaded = true;
    return true;
}

void ResourceManager::UnloadGroup(const std::string& name) {
    auto it = mGroups.find(name);
    if (it == mGroups.end()) return;
    for (const GroupEntry& entry : it->second.entries) {
        if (entry.type == RES_IMAGE) {
            ImageRes& res = mImages.at(entry.id);
            res.mImage.reset();
            res.mWantsSurface = false;
        } else if (entry.type == RES_FONT) {
            mFonts.at(entry.id).mFont.reset();
        }
    }
    it->second.loaded = false;
}

MemoryImage* ResourceManager::GetImage(const std::string& id) const {
    auto it = mImages.find(id);
    return it != mImages.end() ? it->second.mImage.get() : nullptr;
}

Font* ResourceManager::GetFont(const std::string& id) const {
    auto it = mFonts.find(id);
    return it != mFonts.end() ? it->second.mFont.get() : nullptr;
}

std::string ResourceManager::GetSoundPath(const std::string& id) const {
    auto it = mSounds.find(id);
    return it != mSounds.end() ? it->second.mPath : std::string();
}

std::string ResourceManager::GetMusicPath(const std::string& id) const {
    auto it = mMusic.find(id);
    return it != mMusic.end() ? it->second.mPath : std::string();
}

std::vector<std::string> ResourceManager::GetGroupIds(const std::string& group, ResType type) const {
    std::vector<std::string> ids;
    auto it = mGroups.find(group);
    if (it == mGroups.end()) return ids;
    for (const GroupEntry& entry : it->second.entries)
        if (entry.type == type) ids.push_back(entry.id);
    return ids;
}

bool ResourceManager::ImageWantsSurface(const std::string& id) const {
    auto it = mImages.find(id);
    return it != mImages.end() && it->second.mImage && it->second.mWantsSurface;
}

} // namespace Zephra
