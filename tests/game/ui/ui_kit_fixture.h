#pragma once
#include <memory>
#include <string>
#include <pugixml.hpp>
#include "tests/game/ui/ui_fixture.h"

namespace uitest {

// Solid 128x128 pictures the input-control tests draw with, named by colour.
struct Swatch {
    const char* name;   // texture name, a game path
    uint32_t argb;
};
inline constexpr Swatch kSwatches[] = {
    {"images\\red.png", 0xFFFF0000},    {"images\\green.png", 0xFF00FF00},
    {"images\\blue.png", 0xFF0000FF},   {"images\\yellow.png", 0xFFFFFF00},
    {"images\\cyan.png", 0xFF00FFFF},   {"images\\magenta.png", 0xFFFF00FF},
    {"images\\white.png", 0xFFFFFFFF},  {"images\\gray.png", 0xFF808080},
};
// A 16x16 green icon.
inline constexpr const char* kCheckIcon = "images\\check.png";

// The kit test fixture with the swatch pictures and a parser for control
// elements; controls made by a test go into the widget manager's tree.
class UiKitTest : public UiTest {
protected:
    void WriteExtraFiles() override {
        for (const Swatch& s : kSwatches) {
            std::string path = std::string(s.name);
            for (char& c : path)
                if (c == '\\') c = '/';
            folder.Write(path, gametest::MakePng(128, 128, s.argb));
        }
        folder.Write("images/check.png", gametest::MakePng(16, 16, 0xFF00FF00));
    }
    // The document element of xml; the document lives as long as the test.
    XmlNode Parse(const std::string& xml) {
        docs.push_back(std::make_unique<pugi::xml_document>());
        EXPECT_TRUE(docs.back()->load_string(xml.c_str())) << xml;
        return docs.back()->document_element();
    }
    // Puts the control into the tree and lays it out.
    template <class T>
    T* Place(T* control) {
        wm()->AddWidget(control);
        Step();
        return control;
    }
    // Takes a control out of the tree and deletes it.
    void Drop(UiControl* control) {
        wm()->RemoveWidget(control);
        delete control;
    }
    void Click(int x, int y, int count = 1) {
        wm()->MouseMove(x, y);
        wm()->MouseDown(x, y, count);
        wm()->MouseUp(x, y, count);
    }

    std::vector<std::unique_ptr<pugi::xml_document>> docs;
};

} // namespace uitest
