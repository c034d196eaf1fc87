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

// The strings of one element; they point into the tree's text.
struct XmlTreeData {
    std::u16string_view szName;       // as written, case kept, at most 255 units
    std::u16string_view szValue;      // text up to the first '<' of the content, at most 1023 units
    std::u16string_view szAttributes; // raw text after the name's space, at most 255 units
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
