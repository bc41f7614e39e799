#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>
#include <pugixml.hpp>

// XML access for the game's configuration: documents are read through the
// game's file functions (UTF-16 with byte-order mark or UTF-8), queried with
// XPath. Names go into queries only as XPath variables, never as text.

using XmlDocument = pugi::xml_document;
using XmlNode = pugi::xml_node;
// Return false to stop the walk.
using XmlNodeCallback = bool (*)(XmlNode node, void* a, void* b);
// name -> string value, bound as $name in the query.
using XmlVars = std::vector<std::pair<std::string, std::string>>;

// Makes an empty document.
bool XmlCreateDocument(std::unique_ptr<XmlDocument>& doc);
// Loads a game file ("cfg\\effect.xml"): UTF-16 LE or BE with or without a
// byte-order mark, or UTF-8 with or without one. On failure the document is
// left empty (never null), false is returned and XmlLastError() says where the
// file failed: "path:line:column: message", or "path: cannot be opened (why)".
bool XmlLoadDocument(std::unique_ptr<XmlDocument>& doc, const std::string& path);
const std::string& XmlLastError();

// Calls cb for every node the relative path selects, in document order, until
// cb returns false. Returns the number of calls made. Every variable is a
// string; an invalid query, an unknown variable or a result that is not a node
// set selects nothing (XmlLastError() names the query). Selected attributes
// are skipped.
int XmlForEachNode(XmlNode node, const std::string& xpath, XmlNodeCallback cb, void* a, void* b,
                   const XmlVars* vars = nullptr);
// The first node the path selects, or an empty node.
XmlNode XmlSelectNode(XmlNode node, const std::string& xpath, const XmlVars* vars = nullptr);

// Attribute readers: false and the output untouched when absent (or not a number).
// Chars: the UTF-8 text, cut at capacity - 1 (never inside a character) and
// NUL-terminated. An absent attribute leaves the buffer unchanged, def
// included (callers fill the buffer with their default first). A null buffer
// or zero capacity gives false.
// Int/UInt: leading blanks, a sign, decimal digits (the first 127 characters
// are read, trailing text ignored); out of range values saturate, except that
// a negative UInt wraps as the C library's conversion does.
// Float: [sign] integer part [. fraction], the sign kept for "-0.5"; text
// without digits gives 0 (false only when absent). Bool: 1 for "true", else the integer value != 0 (text
// that is no number counts as 0); true whenever the attribute is present.
bool XmlGetAttrChars(XmlNode node, const char* name, char* buffer, size_t capacity,
                     const char* def = nullptr);
bool XmlGetAttrString(XmlNode node, const char* name, std::string& out);
bool XmlGetAttrWide(XmlNode node, const char* name, std::u16string& out);
bool XmlGetAttrInt(XmlNode node, const char* name, int32_t& out);
bool XmlGetAttrUInt(XmlNode node, const char* name, uint32_t& out);
// Base 16, "0x" optional, otherwise as Int and UInt ("10" is 16, "-1" is -1,
// "FF00FF00" and "0xFF00FF00" are the same colour); saturating.
bool XmlGetAttrHexInt(XmlNode node, const char* name, int32_t& out);
bool XmlGetAttrHexUInt(XmlNode node, const char* name, uint32_t& out);
bool XmlGetAttrFloat(XmlNode node, const char* name, float& out);

// Pixel places and sizes read from data stay within +-kMaxCoordinate (the
// largest picture side), so that sums of a few of them never overflow.
constexpr int32_t kMaxCoordinate = 16384;
int32_t ClampCoordinate(int64_t value);
// As XmlGetAttrInt, the value kept within +-kMaxCoordinate.
bool XmlGetAttrCoord(XmlNode node, const char* name, int32_t& out);
bool XmlGetAttrBool(XmlNode node, const char* name, uint8_t& out);

// Writers.
bool XmlSetAttrFormatted(XmlNode element, const char* name, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
XmlNode XmlAppendElement(XmlNode node, const char* name);
