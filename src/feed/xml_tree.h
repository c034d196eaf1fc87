// The feed reader's document tree: elements with their name, text and raw
// attribute text, built by POPULATEXMLTREE, walked in document order by
// successor, dumped to the log and emptied in two passes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "core/log.h"
#include "feed/arena.h"

namespace tavelin {

inline constexpr size_t kNameLimit = 255;
inline constexpr size_t kAttributesLimit = 255;
inline constexpr size_t kValueLimit = 1023;
inline constexpr size_t kReferenceLimit = 16;
inline constexpr size_t kDumpLineLimit = 1000;
// The shortest well-formed element, "<a/>", takes four bytes, so no feed of
// up to 8 MiB that a writer could mean holds more elements; past this the
// reader stops, which bounds the tree of a malformed one.
inline constexpr int32_t kElementLimit = 2 * 1024 * 1024;

// The strings of one element, in the tree's text. A feed has an element every
// few dozen units, so the record is kept small: one pointer, and the value and
// attributes as 32-bit offsets from the name, which they always follow.
class XmlTreeData {
public:
    std::u16string_view szName() const { return {name_, nameLength_}; }             // as written, at most 255 units
    std::u16string_view szValue() const { return {name_ + valueOffset_, valueLength_}; } // at most 1023 units
    std::u16string_view szAttributes() const { return {name_ + attributesOffset_, attributesLength_}; } // at most 255

    // The name first; a value or attributes set later must lie after it, less
    // than 2^32 units on, and within their limits.
    void SetName(std::u16string_view name) {
        name_ = name.data();
        nameLength_ = static_cast<uint16_t>(name.size());
    }
    void SetValue(std::u16string_view value) { valueLength_ = Place(value, valueOffset_); }
    void SetAttributes(std::u16string_view attributes) { attributesLength_ = Place(attributes, attributesOffset_); }
    void Clear() { nameLength_ = valueLength_ = attributesLength_ = 0; }

private:
    uint16_t Place(std::u16string_view s, uint32_t& offset) const {
        offset = s.empty() ? 0 : static_cast<uint32_t>(s.data() - name_);
        return static_cast<uint16_t>(s.size());
    }

    const char16_t* name_ = nullptr;
    uint32_t valueOffset_ = 0;
    uint32_t attributesOffset_ = 0;
    uint16_t nameLength_ = 0;
    uint16_t valueLength_ = 0;
    uint16_t attributesLength_ = 0;
};

struct XmlTreeObject {
    XmlTreeData* pData = nullptr;
    XmlTreeObject* pFirstChild = nullptr;
    XmlTreeObject* pParent = nullptr;
    XmlTreeObject* pNext = nullptr;
    XmlTreeObject* pPrev = nullptr;
    int32_t iChildren = 0;
    int32_t iDepth = 0; // 1 for the root
};

struct XmlTree {
    XmlTree() = default;
    XmlTree(const XmlTree&) = delete;
    XmlTree& operator=(const XmlTree&) = delete;

    XmlTreeObject* pRoot = nullptr;
    XmlTreeObject* pCurrent = nullptr; // the open element during parsing
    int32_t iObjects = 0;
    // The parsed text: the strings are read in place, character references
    // decoded over the units they came from, so no field is copied.
    std::unique_ptr<char16_t[]> text;
    Arena arena; // the objects with their records
};

// A collected character reference: '&' and what followed it, without the ';'.
struct ReferenceBuffer {
    char16_t units[kReferenceLimit] = {};
    size_t length = 0;
    std::u16string_view View() const { return {units, length}; }
};

// Parses text (up to its first NUL) into an empty tree. Never fails: any input
// gives a tree by the reader's rules. The tree takes the text, which holds
// length units and a NUL, and keeps its strings in it.
void POPULATEXMLTREE(XmlTree& tree, std::unique_ptr<char16_t[]> text, size_t length, Log& log);
// The same over a copy of text; the tree stays empty when memory is short.
void POPULATEXMLTREE(XmlTree& tree, std::u16string_view text, Log& log);

// Rewrites a collected reference in place: a numeric one becomes its unit (or
// nothing for 0), a known name its character; an unknown name stays as it is.
void DECODEENTITY(ReferenceBuffer& reference);

// The next element in document order, or null at the end.
const XmlTreeObject* successor(const XmlTreeObject* object);
XmlTreeObject* successor(XmlTreeObject* object);

// One log line per element after the root: depth spaces, name, ':', value.
void DumpXmlTree(const XmlTree& tree, Log& log);
// The dump line of one element (exposed for tests).
std::u16string DumpLine(const XmlTreeObject& object);

// The two deletion passes: every element's strings, then every object (and
// the text the strings lived in).
void DeleteXmlTreeData(XmlTree& tree);
void DeleteXmlTreeObjects(XmlTree& tree);

} // namespace tavelin
