// Walking, dumping and emptying the feed reader's tree. Every walk is a loop
// over successor, so no depth of nesting can exhaust the stack.
#include "feed/xml_tree.h"

#include <string>

namespace tavelin {
namespace {

constexpr std::u16string_view kTooLong = u"STRING TOO LONG TO PRINT";

template <class Object>
Object* Next(Object* object) {
    if (object->pFirstChild != nullptr) return object->pFirstChild;
    for (Object* up = object; up != nullptr; up = up->pParent) {
        if (up->pNext != nullptr) return up->pNext;
    }
    return nullptr;
}

} // namespace

const XmlTreeObject* successor(const XmlTreeObject* object) { return Next(object); }
XmlTreeObject* successor(XmlTreeObject* object) { return Next(object); }

std::u16string DumpLine(const XmlTreeObject& object) {
    const XmlTreeData& data = *object.pData;
    const size_t depth = object.iDepth > 0 ? static_cast<size_t>(object.iDepth) : 0;
    const bool tooLong = depth + data.szName().size() + 1 + data.szValue().size() > kDumpLineLimit;
    // The log cuts every message at kMessageLimit, so deeper indentation is never seen.
    std::u16string line(depth < kMessageLimit ? depth : kMessageLimit, u' ');
    line += data.szName();
    line += u':';
    line += tooLong ? kTooLong : data.szValue();
    if (line.size() > kMessageLimit) line.resize(kMessageLimit);
    return line;
}

void DumpXmlTree(const XmlTree& tree, Log& log) {
    // Nothing would be written: skip the walk rather than compose every line.
    if (!log.Writing() || tree.pRoot == nullptr) return;
    for (const XmlTreeObject* o = successor(tree.pRoot); o != nullptr && log.Writing(); o = successor(o)) {
        log.WriteMessage(DumpLine(*o));
    }
}

void DeleteXmlTreeData(XmlTree& tree) {
    for (XmlTreeObject* o = tree.pRoot; o != nullptr; o = successor(o)) {
        o->pData->Clear(); // attributes, value and name: the text they lie in goes with the objects
    }
}

void DeleteXmlTreeObjects(XmlTree& tree) {
    // Objects and records share the arena: one release frees them all; the
    // strings go with the text they lie in.
    tree.arena.Release();
    tree.text.reset();
    tree.pRoot = nullptr;
    tree.pCurrent = nullptr;
    tree.iObjects = 0;
}

} // namespace tavelin
