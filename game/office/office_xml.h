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
