#include "game/office/office_xml.h"

#include "game/app/office_app.h"

std::vector<XmlNode> AtMost(std::vector<XmlNode> nodes, size_t limit, const std::string& what) {
    if (nodes.size() <= limit) return nodes;
    nodes.resize(limit);
    if (OfficeApp* app = GetApp())
        app->Warn(what + " holds more than " + std::to_string(limit) + " entries; the rest are left out");
    return nodes;
}

std::vector<XmlNode> ChildrenAtMost(XmlNode node, const char* name, size_t limit, const std::string& what) {
    std::vector<XmlNode> out;
    for (XmlNode child : node.children(name)) {
        // One more than the limit tells that some were left out.
        if (out.size() > limit) break;
        out.push_back(child);
    }
    return AtMost(std::move(out), limit, what);
}
