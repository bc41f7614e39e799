#pragma once
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "framework/resources/sys_font.h"

namespace Zephra {

class Font;
class ImageHost;
class MemoryImage;

// The media of the resource manifest (docs/resources.md), by group and id.
// Images and fonts of a loaded group are owned here and freed when the group
// is unloaded or the manager goes; sounds and music are only recorded (id to
// path) for the game's sound code. Ids are case-sensitive. A failed call
// leaves the reason in GetErrorText.
class ResourceManager {
public:
    enum ResType { RES_IMAGE, RES_FONT, RES_SOUND, RES_MUSIC };

    struct BaseRes {
        ResType mType = RES_IMAGE;
        std::string mId;
        std::string mPath;      // game path
        std::string mGroup;
    };
    struct ImageRes : BaseRes {
        bool mSurface = false;          // asks for a display surface
        bool mPalletize = false;        // asks for the 256-colour form
        bool mWantsSurface = false;     // loaded without partial alpha while asking for a surface
        std::unique_ptr<MemoryImage> mImage;
    };
    struct FontRes : BaseRes {
        SysFontDesc mDesc;
        std::unique_ptr<SysFont> mFont;
    };

    static constexpr const char* kManifestPath = "properties\\resources.xml";

    // Images are made for app (registered with it); app must outlive the manager.
    explicit ResourceManager(ImageHost* app = nullptr);
    virtual ~ResourceManager();
    ResourceManager(const ResourceManager&) = delete;
    ResourceManager& operator=(const ResourceManager&) = delete;

    // Adds the groups of the manifest at path (read through the file access
    // hook). All or nothing: on failure no resource of the file is added.
    bool ParseResourcesFile(const std::string& path = kManifestPath);
    // Loads the images and fonts of a group; true at once when it is loaded.
    // A failure names the resource; what loaded before it stays loaded. The
    // group's pictures together take at most the picture budget once decoded:
    // the picture past it is refused from its header, as one over the limit
    // of a single picture is.
    bool LoadResourceGroup(const std::string& group);
    static constexpr size_t kPictureBudget = size_t(512) << 20;
    void SetPictureBudget(size_t bytes) { mPictureBudget = bytes; }
    void UnloadGroup(const std::string& group);
    bool HasGroup(const std::string& group) const;
    bool IsGroupLoaded(const std::string& group) const;

    const std::string& GetErrorText() const { return mError; }

    // The image or font of a loaded group, else none. The game's global image
    // "GFX_GAME_GROUND" is GetImage("GFX_GAME_GROUND") once "Init" is loaded.
    MemoryImage* GetImage(const std::string& id) const;
    Font* GetFont(const std::string& id) const;
    // The game path of a sound or music id, empty when there is none.
    std::string GetSoundPath(const std::string& id) const;
    std::string GetMusicPath(const std::string& id) const;
    // The ids of one kind in a group, in manifest order (the game's sound code
    // preloads a group's sounds with them).
    std::vector<std::string> GetGroupIds(const std::string& group, ResType type) const;
    // The loaded image asked for a surface and has no partial alpha.
    bool ImageWantsSurface(const std::string& id) const;

protected:
    // The image a picture loads into; the display supplies its surface images.
    virtual MemoryImage* CreateImage();
    // A palettized resource waits for the surface when the image has one.
    virtual bool ImageHasSurface(MemoryImage* image) { (void)image; return false; }
    virtual bool LoadImage(ImageRes& res);
    virtual bool LoadFont(FontRes& res);
    bool Fail(const std::string& text);

    ImageHost* mApp;
    std::string mError;
    // What the picture LoadImage decodes may take of the group's budget.
    size_t mPixelBytesLeft = kPictureBudget;

private:
    struct GroupEntry {
        ResType type;
        std::string id;
    };
    struct Group {
        std::vector<GroupEntry> entries;
        bool loaded = false;
    };
    size_t mPictureBudget = kPictureBudget;
    std::map<std::string, Group> mGroups;
    std::map<std::string, ImageRes> mImages;
    std::map<std::string, FontRes> mFonts;
    std::map<std::string, BaseRes> mSounds;
    std::map<std::string, BaseRes> mMusic;
};

} // namespace Zephra
