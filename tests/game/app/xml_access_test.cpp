#include "game/app/xml_access.h"

#include <gtest/gtest.h>

#include <cstring>

#include "game/app/pak_file.h"
#include "tests/support/temp_dirs.h"

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

std::string Utf16(const std::u16string& s, bool le, bool bom) {
    std::string out;
    auto put = [&](char16_t c) {
        char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
        if (le) { out += lo; out += hi; } else { out += hi; out += lo; }
    };
    if (bom) put(0xFEFF);
    for (char16_t c : s) put(c);
    return out;
}

const char16_t* kDoc =
    u"<root>\n"
    u"  <item name=\"Zo\u00eb\" n=\"1\"/>\n"
    u"  <group><item name=\"O'Brien &quot;Q&quot;\" n=\"2\"/></group>\n"
    u"  <item name=\"c\" n=\"3\"/>\n"
    u"</root>\n";

class XmlFiles : public ::testing::Test {
protected:
    void SetUp() override { PakSetGameDir(dir_.Path()); }
    bool Load(const std::string& bytes) {
        WriteFile(dir_.File("cfg/doc.xml"), bytes);
        return XmlLoadDocument(doc_, "CFG\\Doc.XML");
    }
    TempDir dir_;
    std::unique_ptr<XmlDocument> doc_;
};

bool Collect(XmlNode node, void* a, void* limit) {
    auto* names = static_cast<std::vector<std::string>*>(a);
    names->push_back(node.attribute("n").value());
    return !limit || names->size() < *static_cast<size_t*>(limit);
}

} // namespace

TEST_F(XmlFiles, LoadsEveryEncoding) {
    struct Case { const char* what; std::string bytes; } cases[] = {
        {"utf16le bom", Utf16(kDoc, true, true)},
        {"utf16be bom", Utf16(kDoc, false, true)},
        {"utf16le", Utf16(kDoc, true, false)},
        {"utf8 bom", "\xEF\xBB\xBF<root><item name=\"Zo\xC3\xAB\" n=\"1\"/></root>"},
        {"utf8", "<root><item name=\"Zo\xC3\xAB\" n=\"1\"/></root>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(Load(c.bytes)) << XmlLastError();
        XmlNode item = XmlSelectNode(doc_->document_element(), "item");
        std::u16string name;
        ASSERT_TRUE(XmlGetAttrWide(item, "name", name));
        EXPECT_EQ(name, u"Zo\u00eb");
        std::string narrow;
        ASSERT_TRUE(XmlGetAttrString(item, "name", narrow));
        EXPECT_EQ(narrow, "Zo\xC3\xAB");
    }
}

TEST_F(XmlFiles, WalksInDocumentOrderUntilTheCallbackStops) {
    ASSERT_TRUE(Load(Utf16(kDoc, true, true)));
    XmlNode root = doc_->document_element();
    std::vector<std::string> seen;
    EXPECT_EQ(XmlForEachNode(root, ".//item", Collect, &seen, nullptr), 3);
    EXPECT_EQ(seen, (std::vector<std::string>{"1", "2", "3"}));
    seen.clear();
    size_t limit = 2;
    EXPECT_EQ(XmlForEachNode(root, ".//item", Collect, &seen, &limit), 2);
    EXPECT_EQ(seen, (std::vector<std::string>{"1", "2"}));
    // Nothing selected, a bad query and an empty node all make no call.
    EXPECT_EQ(XmlForEachNode(root, "none", Collect, &seen, nullptr), 0);
    EXPECT_EQ(XmlForEachNode(root, "item[", Collect, &seen, nullptr), 0);
    EXPECT_EQ(XmlForEachNode(root, "count(item)", Collect, &seen, nullptr), 0);
    EXPECT_EQ(XmlForEachNode(XmlNode(), "item", Collect, &seen, nullptr), 0);
    EXPECT_EQ(seen.size(), 2u);
}

TEST_F(XmlFiles, NamesWithQuotesReachQueriesAsVariables) {
    ASSERT_TRUE(Load(Utf16(kDoc, true, true)));
    XmlNode root = doc_->document_element();
    XmlVars vars{{"name", "O'Brien \"Q\""}};
    XmlNode hit = XmlSelectNode(root, ".//item[@name=$name]", &vars);
    EXPECT_STREQ(hit.attribute("n").value(), "2");
    std::vector<std::string> seen;
    EXPECT_EQ(XmlForEachNode(root, ".//item[@name=$name]", Collect, &seen, nullptr, &vars), 1);
    XmlVars other{{"name", "nobody'"}};
    EXPECT_FALSE(XmlSelectNode(root, ".//item[@name=$name]", &other));
    // An unbound variable selects nothing rather than throwing.
    EXPECT_FALSE(XmlSelectNode(root, ".//item[@name=$missing]", &vars));
}

TEST_F(XmlFiles, MalformedFileNamesLineAndColumnAndLeavesAnEmptyDocument) {
    EXPECT_FALSE(Load(Utf16(u"<root>\n  <a>\n  </b>\n</root>\n", true, true)));
    ASSERT_TRUE(doc_);
    EXPECT_FALSE(doc_->document_element());
    EXPECT_EQ(XmlLastError().rfind("CFG\\Doc.XML:3:", 0), 0u) << XmlLastError();

    EXPECT_FALSE(XmlLoadDocument(doc_, "cfg\\missing.xml"));
    EXPECT_NE(XmlLastError().find("missing.xml"), std::string::npos);
    ASSERT_TRUE(Load("<ok/>"));
    EXPECT_TRUE(XmlLastError().empty());
}

TEST(XmlAttrs, GettersLeaveOutputsAloneWhenAbsentOrNotANumber) {
    XmlDocument doc;
    ASSERT_TRUE(doc.load_string(
        "<e i='-42' big='99999999999' junk='abc' lead=' 12px' u='-1' f='-0.5' g='3.25' h='.5'"
        " t='true' zero='0' seven='7' word='yes' long='abcdef' utf='\xC3\xA9\xC3\xA9'/>"));
    XmlNode e = doc.document_element();

    int32_t i = 5;
    EXPECT_FALSE(XmlGetAttrInt(e, "absent", i));
    EXPECT_FALSE(XmlGetAttrInt(e, "junk", i));
    EXPECT_EQ(i, 5);
    EXPECT_TRUE(XmlGetAttrInt(e, "i", i));
    EXPECT_EQ(i, -42);
    EXPECT_TRUE(XmlGetAttrInt(e, "lead", i));
    EXPECT_EQ(i, 12);
    EXPECT_TRUE(XmlGetAttrInt(e, "big", i));
    EXPECT_EQ(i, INT32_MAX);

    uint32_t u = 9;
    EXPECT_FALSE(XmlGetAttrUInt(e, "absent", u));
    EXPECT_FALSE(XmlGetAttrUInt(e, "junk", u));
    EXPECT_EQ(u, 9u);
    EXPECT_TRUE(XmlGetAttrUInt(e, "u", u));
    EXPECT_EQ(u, 0xFFFFFFFFu);

    float f = 1.5f;
    EXPECT_FALSE(XmlGetAttrFloat(e, "absent", f));
    EXPECT_EQ(f, 1.5f);
    EXPECT_TRUE(XmlGetAttrFloat(e, "junk", f));  // no digits: integer part and fraction 0
    EXPECT_EQ(f, 0.0f);
    EXPECT_TRUE(XmlGetAttrFloat(e, "f", f));
    EXPECT_EQ(f, -0.5f);
    EXPECT_TRUE(XmlGetAttrFloat(e, "g", f));
    EXPECT_EQ(f, 3.25f);
    EXPECT_TRUE(XmlGetAttrFloat(e, "h", f));
    EXPECT_EQ(f, 0.5f);

    uint8_t b = 9;
    EXPECT_FALSE(XmlGetAttrBool(e, "absent", b));
    EXPECT_EQ(b, 9);
    EXPECT_TRUE(XmlGetAttrBool(e, "t", b));
    EXPECT_EQ(b, 1);
    EXPECT_TRUE(XmlGetAttrBool(e, "zero", b));
    EXPECT_EQ(b, 0);
    EXPECT_TRUE(XmlGetAttrBool(e, "seven", b));
    EXPECT_EQ(b, 1);
    EXPECT_TRUE(XmlGetAttrBool(e, "word", b));
    EXPECT_EQ(b, 0);

    std::string s = "keep";
    std::u16string w = u"keep";
    EXPECT_FALSE(XmlGetAttrString(e, "absent", s));
    EXPECT_FALSE(XmlGetAttrWide(e, "absent", w));
    EXPECT_EQ(s, "keep");
    EXPECT_EQ(w, u"keep");
    EXPECT_FALSE(XmlGetAttrInt(XmlNode(), "i", i));

    char buf[5];
    std::strcpy(buf, "xyz");
    EXPECT_FALSE(XmlGetAttrChars(e, "absent", buf, sizeof buf));
    EXPECT_STREQ(buf, "xyz");
    EXPECT_FALSE(XmlGetAttrChars(e, "absent", buf, sizeof buf, "default"));
    EXPECT_STREQ(buf, "xyz");
    EXPECT_TRUE(XmlGetAttrChars(e, "long", buf, sizeof buf));
    EXPECT_STREQ(buf, "abcd");
    EXPECT_TRUE(XmlGetAttrChars(e, "utf", buf, 4));  // two 2-byte characters do not fit in 3
    EXPECT_STREQ(buf, "\xC3\xA9");
    EXPECT_FALSE(XmlGetAttrChars(e, "long", buf, 0));
}

TEST(XmlAttrs, HexReadersTakeOptionalPrefixAndSaturate) {
    struct Case {
        const char* text;
        bool ok;
        int32_t asInt;
        uint32_t asUInt;
    } cases[] = {
        {"10", true, 16, 16},
        {"-1", true, -1, 0xFFFFFFFFu},
        {"FF00ff00", true, INT32_MAX, 0xFF00FF00u},
        {"0xFF00FF00", true, INT32_MAX, 0xFF00FF00u},
        {" 0X7f", true, 127, 127},
        {"-0x10", true, -16, 0xFFFFFFF0u},
        {"1FFFFFFFFFFFF", true, INT32_MAX, 0xFFFFFFFFu},
        {"-1FFFFFFFFFF", true, INT32_MIN, 1},
        {"0x", true, 0, 0},
        {"c0lour", true, 0xC0, 0xC0},
        {"xyz", false, 5, 9},
        {"", false, 5, 9},
    };
    for (const Case& c : cases) {
        XmlDocument doc;
        XmlNode e = doc.append_child("e");
        e.append_attribute("v") = c.text;
        int32_t i = 5;
        uint32_t u = 9;
        EXPECT_EQ(XmlGetAttrHexInt(e, "v", i), c.ok) << c.text;
        EXPECT_EQ(XmlGetAttrHexUInt(e, "v", u), c.ok) << c.text;
        EXPECT_EQ(i, c.asInt) << c.text;
        EXPECT_EQ(u, c.asUInt) << c.text;
        EXPECT_FALSE(XmlGetAttrHexInt(e, "absent", i)) << c.text;
    }
}

TEST(XmlAttrs, WritersCreateAndReplace) {
    std::unique_ptr<XmlDocument> doc;
    ASSERT_TRUE(XmlCreateDocument(doc));
    XmlNode root = XmlAppendElement(*doc, "root");
    XmlNode child = XmlAppendElement(root, "child");
    ASSERT_TRUE(child);
    EXPECT_TRUE(XmlSetAttrFormatted(child, "v", "%d-%s", 7, "x"));
    EXPECT_TRUE(XmlSetAttrFormatted(child, "v", "%d", 12));
    int32_t v = 0;
    EXPECT_TRUE(XmlGetAttrInt(XmlSelectNode(root, "child"), "v", v));
    EXPECT_EQ(v, 12);
    EXPECT_EQ(std::distance(child.attributes_begin(), child.attributes_end()), 1);
    EXPECT_FALSE(XmlSetAttrFormatted(XmlNode(), "v", "%d", 1));
    EXPECT_FALSE(XmlAppendElement(XmlNode(), "x"));
}
