#include "game/app/xml_access.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "game/app/pak_file.h"
#include "platform/text.h"

namespace {

thread_local std::string tLastError;

// The file's text as UTF-8 without a byte-order mark.
std::string DecodeXmlBytes(const std::string& bytes) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    bool le = false, be = false;
    size_t start = 0;
    if (bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
        le = true;
        start = 2;
    } else if (bytes.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
        be = true;
        start = 2;
    } else if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
        return bytes.substr(3);
    } else if (bytes.size() >= 2 && byte(0) == '<' && byte(1) == 0) {
        le = true;  // UTF-16 without a mark still starts with '<'
    } else if (bytes.size() >= 2 && byte(0) == 0 && byte(1) == '<') {
        be = true;
    }
    if (!le && !be) return bytes;
    std::u16string wide;
    wide.reserve((bytes.size() - start) / 2);
    for (size_t i = start; i + 1 < bytes.size(); i += 2)
        wide.push_back(le ? static_cast<char16_t>(byte(i) | (byte(i + 1) << 8))
                          : static_cast<char16_t>((byte(i) << 8) | byte(i + 1)));
    return platform::Utf16ToUtf8(wide);
}

// 1-based line and column (in characters) of a byte offset into UTF-8 text.
void LineAndColumn(const std::string& text, ptrdiff_t offset, int& line, int& column) {
    line = 1;
    column = 1;
    size_t end = offset < 0 ? 0 : std::min(static_cast<size_t>(offset), text.size());
    for (size_t i = 0; i < end; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++line;
            column = 1;
        } else if ((c & 0xC0) != 0x80) {
            ++column;
        }
    }
}

// Compiles and runs the query; an invalid query or a result that is not a
// node set selects nothing.
bool SelectNodes(XmlNode node, const std::string& xpath, const XmlVars* vars, pugi::xpath_node_set& out) {
    if (!node) return false;
    try {
        pugi::xpath_variable_set set;
        if (vars) {
            for (const auto& [name, value] : *vars)
                if (!set.set(name.c_str(), value.c_str())) return false;
        }
        pugi::xpath_query query(xpath.c_str(), vars ? &set : nullptr);
        if (query.return_type() != pugi::xpath_type_node_set) return false;
        out = query.evaluate_node_set(node);
        out.sort();
        return true;
    } catch (const pugi::xpath_exception& e) {
        tLastError = xpath + ": " + e.what();
        return false;
    } catch (const std::bad_alloc&) {
        tLastError = xpath + ": out of memory";
        return false;
    }
}

// The attribute's value, or none when the node lacks it.
const char* AttrText(XmlNode node, const char* name) {
    if (!node || !name) return nullptr;
    pugi::xml_attribute attr = node.attribute(name);
    return attr ? attr.value() : nullptr;
}

// The first 127 characters, leading blanks skipped, as the original's
// fixed-size conversion buffer saw them.
std::string NumberText(const char* text) {
    std::string s(text, strnlen(text, 127));
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n')) ++i;
    return s.substr(i);
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

// Sign and digits of the base (10 or 16; base 16 takes an optional "0x") at
// the start of s; false when there are no digits. The magnitude stops growing
// far beyond 32 bits, so callers saturate.
bool ParseDigits(const std::string& s, int base, bool& negative, unsigned long long& magnitude) {
    size_t i = 0;
    negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    // "0x" counts only when a digit follows ("0x" alone is the number 0).
    if (base == 16 && i + 2 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') &&
        DigitValue(s[i + 2]) < 16)
        i += 2;
    if (i >= s.size() || DigitValue(s[i]) >= base) return false;
    magnitude = 0;
    for (; i < s.size() && DigitValue(s[i]) < base; ++i) {
        if (magnitude < (1ULL << 40))
            magnitude = magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(DigitValue(s[i]));
    }
    return true;
}

bool ParseInt(const char* text, int32_t& out, int base = 10) {
    bool negative;
    unsigned long long m;
    if (!ParseDigits(NumberText(text), base, negative, m)) return false;
    long long v = negative ? -static_cast<long long>(m) : static_cast<long long>(m);
    out = static_cast<int32_t>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
    return true;
}

bool ParseUInt(const char* text, uint32_t& out, int base) {
    bool negative;
    unsigned long long m;
    if (!ParseDigits(NumberText(text), base, negative, m)) return false;
    uint32_t v = static_cast<uint32_t>(std::min<unsigned long long>(m, UINT32_MAX));
    out = negative ? 0u - v : v;  // "-1" wraps as the C library's conversion does
    return true;
}

} // namespace

bool XmlCreateDocument(std::unique_ptr<XmlDocument>& doc) {
    doc = std::make_unique<XmlDocument>();
    return true;
}

bool XmlLoadDocument(std::unique_ptr<XmlDocument>& doc, const std::string& path) {
    if (!doc) doc = std::make_unique<XmlDocument>();
    doc->reset();
    std::string bytes;
    if (!PakReadAll(path, bytes)) {
        tLastError = path + ": cannot be opened (" + PakLastError() + ")";
        return false;
    }
    std::string text = DecodeXmlBytes(bytes);
    pugi::xml_parse_result result =
        doc->load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!result) {
        doc->reset();
        int line, column;
        LineAndColumn(text, result.offset, line, column);
        tLastError = platform::Format("%s:%d:%d: %s", path.c_str(), line, column, result.description());
        return false;
    }
    tLastError.clear();
    return true;
}

const std::string& XmlLastError() { return tLastError; }

int XmlForEachNode(XmlNode node, const std::string& xpath, XmlNodeCallback cb, void* a, void* b,
                   const XmlVars* vars) {
    pugi::xpath_node_set nodes;
    if (!cb || !SelectNodes(node, xpath, vars, nodes)) return 0;
    int calls = 0;
    for (const pugi::xpath_node& n : nodes) {
        if (!n.node()) continue;  // attributes are not nodes to the callbacks
        ++calls;
        if (!cb(n.node(), a, b)) break;
    }
    return calls;
}

XmlNode XmlSelectNode(XmlNode node, const std::string& xpath, const XmlVars* vars) {
    pugi::xpath_node_set nodes;
    if (!SelectNodes(node, xpath, vars, nodes)) return {};
    for (const pugi::xpath_node& n : nodes)
        if (n.node()) return n.node();
    return {};
}

bool XmlGetAttrChars(XmlNode node, const char* name, char* buffer, size_t capacity, const char*) {
    if (!buffer || capacity == 0) return false;
    const char* text = AttrText(node, name);
    if (!text) return false;
    size_t n = std::strlen(text);
    if (n > capacity - 1) {
        n = capacity - 1;
        // Never leave half a UTF-8 character at the cut.
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    }
    std::memmove(buffer, text, n);
    buffer[n] = '\0';
    return true;
}

bool XmlGetAttrString(XmlNode node, const char* name, std::string& out) {
    const char* text = AttrText(node, name);
    if (!text) return false;
    out = text;
    return true;
}

bool XmlGetAttrWide(XmlNode node, const char* name, std::u16string& out) {
    const char* text = AttrText(node, name);
    if (!text) return false;
    out = platform::Utf8ToUtf16(text);
    return true;
}

bool XmlGetAttrInt(XmlNode node, const char* name, int32_t& out) {
    const char* text = AttrText(node, name);
    return text && ParseInt(text, out);
}

bool XmlGetAttrUInt(XmlNode node, const char* name, uint32_t& out) {
    const char* text = AttrText(node, name);
    return text && ParseUInt(text, out, 10);
}

bool XmlGetAttrHexInt(XmlNode node, const char* name, int32_t& out) {
    const char* text = AttrText(node, name);
    return text && ParseInt(text, out, 16);
}

bool XmlGetAttrHexUInt(XmlNode node, const char* name, uint32_t& out) {
    const char* text = AttrText(node, name);
    return text && ParseUInt(text, out, 16);
}

bool XmlGetAttrFloat(XmlNode node, const char* name, float& out) {
    const char* text = AttrText(node, name);
    if (!text) return false;
    std::string s = NumberText(text);
    // [sign] digits [. digits]: an exponent or other trailing text is ignored.
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    size_t digitsStart = i;
    bool anyDigit = false;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') { ++i; anyDigit = true; }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') { ++i; anyDigit = true; }
    }
    if (!anyDigit) {
        out = negative ? -0.0f : 0.0f;
        return true;
    }
    std::string digits = s.substr(digitsStart, i - digitsStart);
    if (digits.front() == '.') digits.insert(digits.begin(), '0');
    if (digits.back() == '.') digits.pop_back();
    double value = 0;
    auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                     std::chars_format::fixed);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) value = HUGE_VAL;
    else if (ec != std::errc()) return false;
    out = static_cast<float>(negative ? -value : value);
    return true;
}

int32_t ClampCoordinate(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, -kMaxCoordinate, kMaxCoordinate));
}

bool XmlGetAttrCoord(XmlNode node, const char* name, int32_t& out) {
    if (!XmlGetAttrInt(node, name, out)) return false;
    out = ClampCoordinate(out);
    return true;
}

bool XmlGetAttrBool(XmlNode node, const char* name, uint8_t& out) {
    const char* text = AttrText(node, name);
    if (!text) return false;
    if (std::strcmp(text, "true") == 0) {
        out = 1;
        return true;
    }
    int32_t v = 0;
    ParseInt(text, v);
    out = v != 0 ? 1 : 0;
    return true;
}

bool XmlSetAttrFormatted(XmlNode element, const char* name, const char* format, ...) {
    if (element.type() != pugi::node_element || !name || !*name || !format) return false;
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string value;
    if (n > 0) {
        value.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(value.data(), value.size(), format, args);
        value.resize(static_cast<size_t>(n));
    }
    va_end(args);
    if (n < 0) return false;
    pugi::xml_attribute attr = element.attribute(name);
    if (!attr) attr = element.append_attribute(name);
    return attr && attr.set_value(value.c_str());
}

XmlNode XmlAppendElement(XmlNode node, const char* name) {
    if (!node || !name || !*name) return {};
    return node.append_child(name);
}
