// POPULATEXMLTREE: the forgiving one-pass reader. A character-level state
// machine over UTF-16 text; runs of ordinary characters are copied in bulk.
#include <bit>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <new>

#include "core/text.h"
#include "feed/xml_tree.h"

namespace tavelin {
namespace {

// An object and its record, allocated together.
struct Element {
    XmlTreeObject object;
    XmlTreeData data;
};
// A feed has an element every few dozen units.
constexpr size_t kUnitsPerElement = 32;
// Blocks no larger than this come back from the heap's free lists on the next
// parse instead of costing fresh pages from the system.
constexpr size_t kLargestBlock = 1024 * 1024;

enum class State { Outside, TagOpen, TagName, Attributes, ContentStart, Text, CData };

constexpr std::u16string_view kCDataOpen = u"![CDATA[";

// Four units at a time: the lanes of w that are zero show in the result
// (exactly which lane may blur, whether any does never does).
constexpr uint64_t kLaneOnes = 0x0001000100010001ull;
constexpr uint64_t kLaneHighs = 0x8000800080008000ull;
inline uint64_t ZeroLanes(uint64_t w) { return (w - kLaneOnes) & ~w & kLaneHighs; }

// The first unit from p that is a or b, or end. Eight units a step where the
// processor has 128-bit vectors, four otherwise.
const char16_t* Find(const char16_t* p, const char16_t* end, char16_t a, char16_t b) {
#if defined(__SSE2__)
    const __m128i as = _mm_set1_epi16(static_cast<short>(a)), bs = _mm_set1_epi16(static_cast<short>(b));
    for (; end - p >= 8; p += 8) {
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned hits = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(w, as), _mm_cmpeq_epi16(w, bs))));
        if (hits != 0) return p + std::countr_zero(hits) / 2;
    }
#endif
    const uint64_t as4 = a * kLaneOnes, bs4 = b * kLaneOnes;
    for (; end - p >= 4; p += 4) {
        uint64_t w;
        std::memcpy(&w, p, sizeof w);
        if ((ZeroLanes(w ^ as4) | ZeroLanes(w ^ bs4)) != 0) break;
    }
    while (p != end && *p != a && *p != b) ++p;
    return p;
}

size_t BeforeNul(const char16_t* text, size_t length) {
    return static_cast<size_t>(Find(text, text + length, u'\0', u'\0') - text);
}

// A field read in place in the text. Its units stay where they are until a
// character reference shrinks the text, then the rest moves down over the
// room freed; the field never grows past the units it was read from. Units
// beyond its limit are dropped without notice.
template <size_t Limit>
struct Field {
    char16_t* units = nullptr;
    size_t length = 0;
    size_t seen = 0; // units offered, kept or not

    void Open(char16_t* at) {
        units = at;
        length = seen = 0;
    }
    // run lies in the text at or after units + length.
    void Push(const char16_t* run, size_t n) {
        const bool cutBefore = seen > Limit; // a cut field takes nothing more
        seen += n;
        if (cutBefore) return;
        if (n > Limit - length) n = Limit - length;
        if (run != units + length) std::memmove(units + length, run, n * sizeof(char16_t));
        length += n;
        if (seen > Limit) length = WholeLength(View());
    }
    std::u16string_view View() const { return {units, length}; }
};

class Reader {
public:
    Reader(XmlTree& tree, char16_t* text, size_t length) : tree_(tree), data_(text), text_(text, length) {}
    void Run();
    bool Limited() const { return limited_; }

private:
    void Outside();
    void TagOpen();
    void TagName();
    void Attributes();
    void ContentStart();
    void Text();
    void CData();
    void Reference();

    bool StartElement();
    void CloseCurrent();
    // The run of units from pos_ up to (not including) any of the stops.
    std::u16string_view RunUntil(char16_t a, char16_t b) const;
    bool At(size_t offset, std::u16string_view s) const { return text_.substr(offset, s.size()) == s; }

    XmlTree& tree_;
    char16_t* data_; // text_, writable
    std::u16string_view text_;
    size_t pos_ = 0;
    State state_ = State::Outside;
    bool exhausted_ = false;         // memory ran out: the tree stays as far as it got
    bool limited_ = false;           // so did the element limit
    XmlTreeData* record_ = nullptr;  // the most recently started element's strings
    // The last child of pCurrent: children are only ever added to pCurrent,
    // so it is the element most recently closed back to it.
    XmlTreeObject* lastChild_ = nullptr;
    Field<kNameLimit> name_;
    Field<kAttributesLimit> attributes_;
    Field<kValueLimit> value_;
};

void Reader::Run() {
    while (pos_ < text_.size() && !exhausted_) {
        switch (state_) {
        case State::Outside: Outside(); break;
        case State::TagOpen: TagOpen(); break;
        case State::TagName: TagName(); break;
        case State::Attributes: Attributes(); break;
        case State::ContentStart: ContentStart(); break;
        case State::Text: Text(); break;
        case State::CData: CData(); break;
        }
    }
}

std::u16string_view Reader::RunUntil(char16_t a, char16_t b) const {
    const char16_t* p = text_.data() + pos_;
    return {p, static_cast<size_t>(Find(p, text_.data() + text_.size(), a, b) - p)};
}

// Links a new element as the last child of pCurrent (or as the root).
bool Reader::StartElement() {
    if (tree_.iObjects >= kElementLimit) {
        limited_ = true;
        return false;
    }
    void* memory = tree_.arena.Allocate(sizeof(Element));
    if (memory == nullptr) return false;
    Element* element = new (memory) Element;
    XmlTreeObject* object = &element->object;
    record_ = &element->data;
    object->pData = record_;
    if (tree_.pRoot == nullptr) {
        object->iDepth = 1;
        tree_.pRoot = object;
        tree_.iObjects = 1;
    } else {
        XmlTreeObject* parent = tree_.pCurrent;
        object->pParent = parent;
        object->iDepth = parent->iDepth + 1;
        object->pPrev = lastChild_;
        if (lastChild_ != nullptr) lastChild_->pNext = object;
        else parent->pFirstChild = object;
        ++parent->iChildren;
        ++tree_.iObjects;
    }
    tree_.pCurrent = object;
    lastChild_ = nullptr;
    return true;
}

void Reader::CloseCurrent() {
    XmlTreeObject* current = tree_.pCurrent;
    if (current == nullptr || current->pParent == nullptr) return;
    lastChild_ = current;
    tree_.pCurrent = current->pParent;
}

void Reader::Outside() {
    const std::u16string_view skipped = RunUntil(u'<', u'<');
    pos_ += skipped.size();
    if (pos_ < text_.size()) {
        ++pos_;
        state_ = State::TagOpen;
    }
}

void Reader::TagOpen() {
    const char16_t c = text_[pos_++];
    if (c == u'/') {
        // End tag: its name is neither read nor compared.
        CloseCurrent();
        state_ = State::Outside;
    } else if (c == u'?') {
        state_ = State::Outside;
    } else {
        if (!StartElement()) {
            exhausted_ = true;
            return;
        }
        name_.Open(data_ + pos_ - 1);
        name_.Push(data_ + pos_ - 1, 1);
        state_ = State::TagName;
    }
}

void Reader::TagName() {
    const std::u16string_view run = RunUntil(u' ', u'>');
    name_.Push(run.data(), run.size());
    pos_ += run.size();
    if (pos_ >= text_.size()) return;
    const char16_t c = text_[pos_++];
    if (c == u' ') {
        record_->SetName(name_.View());
        attributes_.Open(data_ + pos_);
        state_ = State::Attributes;
        return;
    }
    // '<b/>': closes at once, and the '/' is not part of the name.
    const bool selfClosed = text_[pos_ - 2] == u'/';
    if (selfClosed && name_.seen <= kNameLimit) --name_.length;
    record_->SetName(name_.View());
    record_->SetAttributes({});
    if (selfClosed) CloseCurrent();
    state_ = State::ContentStart;
}

void Reader::Attributes() {
    const std::u16string_view run = RunUntil(u'>', u'>');
    attributes_.Push(run.data(), run.size());
    pos_ += run.size();
    if (pos_ >= text_.size()) return;
    ++pos_;
    record_->SetAttributes(attributes_.View());
    if (text_[pos_ - 2] == u'/') CloseCurrent();
    state_ = State::ContentStart;
}

void Reader::ContentStart() {
    if (text_[pos_] != u'<') {
        value_.Open(data_ + pos_);
        state_ = State::Text; // the character is read again as text
        return;
    }
    if (At(pos_ + 1, kCDataOpen)) {
        pos_ += 1 + kCDataOpen.size();
        value_.Open(data_ + pos_);
        state_ = State::CData;
    } else if (At(pos_ + 1, u"!")) {
        ++pos_; // the '<' is dropped; a comment becomes text beginning with '!'
    } else {
        ++pos_;
        record_->SetValue({});
        state_ = State::TagOpen;
    }
}

void Reader::Text() {
    const std::u16string_view run = RunUntil(u'<', u'&');
    value_.Push(run.data(), run.size());
    pos_ += run.size();
    if (pos_ >= text_.size()) return;
    if (text_[pos_] == u'<') {
        ++pos_;
        record_->SetValue(value_.View());
        state_ = State::TagOpen;
    } else if (At(pos_ + 1, u"lt;")) {
        // An escaped '<' ends the text; the rest up to the next tag is lost.
        pos_ += 4;
        record_->SetValue(value_.View());
        state_ = State::Outside;
    } else {
        Reference();
    }
}

void Reader::Reference() {
    ReferenceBuffer reference;
    reference.units[reference.length++] = text_[pos_++];
    while (pos_ < text_.size() && text_[pos_] != u';' && reference.length < kReferenceLimit) {
        reference.units[reference.length++] = text_[pos_++];
    }
    // Only a ';' that ended the collection belongs to it; after 16 units it is text.
    if (reference.length < kReferenceLimit && pos_ < text_.size() && text_[pos_] == u';') ++pos_;
    DECODEENTITY(reference);
    // Never longer than the units it was collected from, which the value has
    // not reached yet.
    value_.Push(reference.units, reference.length);
}

void Reader::CData() {
    const std::u16string_view run = RunUntil(u']', u']');
    value_.Push(run.data(), run.size());
    pos_ += run.size();
    if (pos_ >= text_.size()) return;
    if (At(pos_ + 1, u"]")) {
        pos_ += 2;
        record_->SetValue(value_.View());
        state_ = State::Outside;
    } else {
        value_.Push(data_ + pos_++, 1);
    }
}

} // namespace

void POPULATEXMLTREE(XmlTree& tree, std::unique_ptr<char16_t[]> text, size_t length, Log& log) {
    log.Write(u"POPULATEXMLTREE *** Starting ***");
    tree.text = std::move(text);
    if (!tree.text) return;
    // The records keep 32-bit offsets; a download never holds more units.
    if (length > UINT32_MAX) length = UINT32_MAX;
    length = BeforeNul(tree.text.get(), length);
    // A small feed takes one block; a large one whole blocks of the largest size.
    const size_t estimate = length / kUnitsPerElement * sizeof(Element);
    tree.arena.SetBlockSize(estimate < kLargestBlock ? estimate : kLargestBlock);
    Reader reader(tree, tree.text.get(), length);
    reader.Run();
    if (reader.Limited()) {
        log.Write(u"POPULATEXMLTREE Element limit of %d reached, the rest of the document is ignored.", kElementLimit);
    }
}

void POPULATEXMLTREE(XmlTree& tree, std::u16string_view text, Log& log) {
    std::unique_ptr<char16_t[]> copy(new (std::nothrow) char16_t[text.size() + 1]);
    if (copy) {
        std::memcpy(copy.get(), text.data(), text.size() * sizeof(char16_t));
        copy[text.size()] = u'\0';
    }
    POPULATEXMLTREE(tree, std::move(copy), text.size(), log);
}

} // namespace tavelin
