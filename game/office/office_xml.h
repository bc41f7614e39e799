#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>
#include "game/app/xml_access.h"

// Attribute readers of the office files: texts are cut to the buffers the
// files were written for (260 characters unless said otherwise), missing
// numbers read as 0.
constexpr size_t kOfficeTextCapacity = 260;

inline std::string OfficeText(XmlNode node, const char* name, size_t capacity = kOfficeTextCapacity) {
    std::string buffer(capacity, '\0');
    XmlGetAttrChars(node, name, buffer.data(), capacity);
    buffer.resize(buffer.find('\0'));
    return buffer;
}

inline int OfficeInt(XmlNode node, const char* name) {
    int32_t value = 0;
    XmlGetAttrInt(node, name, value);
    return value;
}

// The "entry" children of every "list" child of node ("objects/object"), in
// document order.
inline std::vector<XmlNode> ChildrenOf(XmlNode node, const char* list, const char* entry) {
    std::vector<XmlNode> out;
    for (XmlNode l : node.children(list))
        for (XmlNode e : l.children(entry)) out.push_back(e);
    return out;
}

// What a list of an office or level file may hold; past the limit the rest is
// left out with one warning (docs/limits.md).
constexpr size_t kMaxOfficeObjects = 1024;      // "objects/object"
constexpr size_t kMaxOfficeDefinitions = 256;   // "clients/client", "workers/worker", "perses/pers" each
constexpr size_t kMaxObjectChildren = 64;       // an object's "part", "point", "select_block", "picks" each
constexpr size_t kMaxTimePoints = 4096;         // "time_point"s of one timeline kind
constexpr size_t kMaxLevelEntries = 256;        // stages, templates and entries of a level, each list
constexpr size_t kMaxLevelSubEntries = 64;      // orders of a time point, clients and objects of a stage ...

// At most limit of the nodes, in order; when there were more, one warning
// says that what (a list's name) holds more than limit entries.
std::vector<XmlNode> AtMost(std::vector<XmlNode> nodes, size_t limit, const std::string& what);
// The children of node named name, at most limit of them, as above.
std::vector<XmlNode> ChildrenAtMost(XmlNode node, const char* name, size_t limit, const std::string& what);
