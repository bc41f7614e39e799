#pragma once
#include <array>
#include <memory>
#include <string>
#include <vector>
#include "game/app/xml_access.h"
#include "game/office/path_graph.h"

namespace Zephra {
class Graphics;
} // namespace Zephra

class Item;
class ZOrder;

// Everything that lives as long as the office: "cfg\office.xml" and what it
// makes (the objects, definitions, tuning values), the draw order and the
// persons' path-graph sets. It publishes them in the globals of
// office_globals.h and office_objects.h, installs the effects' view of the
// office, and needs no level screen: the level owns one, and tests and tools
// load an office with it alone. One at a time.
class Office {
public:
    static constexpr const char* kConfigPath = "cfg\\office.xml";
    static constexpr int kPersonCount = 3;
    // The persons that walk, each on its own path-graph set.
    static constexpr const char* kPersonNames[kPersonCount] = {"boss", "secretary", "engineer"};

    Office();
    ~Office();
    Office(const Office&) = delete;
    Office& operator=(const Office&) = delete;

    // Unloads, then reads the office file into the globals. False, with the
    // office left empty and the reason in LastError, when the file does not
    // load or has no "office" element.
    bool Load(const std::string& path = kConfigPath);
    // Deletes the objects it made and forgets the definitions, tuning values, office
    // graphs, named objects, draw order and document.
    void Unload();
    bool IsLoaded() const { return mDoc != nullptr; }
    const std::string& LastError() const { return mError; }

    // The set of "boss", "secretary" or "engineer"; null for another name.
    PathGraphSet* FindPathGraphSet(const std::string& personName);
    ZOrder& GetZOrder() { return *mZOrder; }

    // Registers every object's parts with a reset draw order and builds it.
    void BuildDrawOrder();
    // Draws the skins in draw order (each skin skips itself when hidden).
    void Draw(Zephra::Graphics& g);
    size_t ObjectCount() const { return mObjects.size(); }

private:
    class EffectLink;

    std::unique_ptr<XmlDocument> mDoc;
    std::vector<Item*> mObjects;            // made by the office, in creation order
    std::unique_ptr<ZOrder> mZOrder;
    std::array<std::unique_ptr<PathGraphSet>, kPersonCount> mGraphSets;
    std::unique_ptr<EffectLink> mEffectLink;
    std::string mError;
};

// The running office, or null.
Office* GetOffice();
// The running office's set for a person; null without an office or set.
PathGraphSet* FindPathGraphSet(const std::string& personName);
