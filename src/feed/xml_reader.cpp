// POPULATEXMLTREE: the forgiving one-pass reader. A character-level state
// machine over UTF-16 text; runs of ordinary characters are copied in bulk.
#include <bit>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <new>

#include "feed/xml_tree.h"

namespace tavelin {
namespace {

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

std::u16string_view BeforeNul(std::u16string_view text) {
    const char16_t* begin = text.data();
    return {begin, static_cast<size_t>(Find(begin, begin + text.size(), u'\0', u'\0') - begin)};
}

// A field being read, written straight into the open slot of the tree's
// arena; units beyond its limit are dropped without notice.
template <size_t Limit>
struct Collector {
    char16_t* units = nullptr;
    size_t length = 0;
    size_t seen = 0; // units offered, kept or not

    bool Open(Arena& arena) {
        units = static_cast<char16_t*>(arena.OpenSlot(Limit * sizeof(char16_t)));
        length = seen = 0;
        return units != nullptr;
    }
    void Push(char16_t c) {
        ++seen;
        if (length < Limit) units[length++] = c;
    }
    void Push(std::u16string_view run) {
        seen += run.size();
        const size_t n = run.size() < Limit - length ? run.size() : Limit - length;
        std::memcpy(units + length, run.data(), n * sizeof(char16_t));
        length += n;
    }
    std::u16string_view View() const { return {units, length}; }
    // Keeps the field in the arena; nothing may be allocated while it is open.
    std::u16string_view Take(Arena& arena) {
        arena.Take(length * sizeof(char16_t));
        return View();
    }
};

class Reader {
public:
    Reader(XmlTree& tree, std::u16string_view text) : tree_(tree), text_(text) {}
    void Run();

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
    // Opens a field's collector; false (and the parse ends) when memory is short.
    template <class C>
    bool Open(C& collector) {
        if (collector.Open(tree_.arena)) return true;
        exhausted_ = true;
        return false;
    }
    // The run of units from pos_ up to (not including) any of the stops.
    std::u16string_view RunUntil(char16_t a, char16_t b) const;
    bool At(size_t offset, std::u16string_view s) const { return text_.substr(offset, s.size()) == s; }

    XmlTree& tree_;
    std::u16string_view text_;
    size_t pos_ = 0;
    State state_ = State::Outside;
    bool exhausted_ = false;         // memory ran out: the tree stays as far as it got
    XmlTreeData* record_ = nullptr;  // the most recently started element's strings
    Collector<kNameLimit> name_;
    Collector<kAttributesLimit> attributes_;
    Collector<kValueLimit> value_;
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
    struct Element {
        XmlTreeObject object;
        XmlTreeData data;
    };
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
        object->pPrev = parent->pLastChild;
        if (parent->pLastChild != nullptr) parent->pLastChild->pNext = object;
        else parent->pFirstChild = object;
        parent->pLastChild = object;
        ++parent->iChildren;
        ++tree_.iObjects;
    }
    tree_.pCurrent = object;
    return true;
}

void Reader::CloseCurrent() {
    if (tree_.pCurrent != nullptr && tree_.pCurrent->pParent != nullptr) tree_.pCurrent = tree_.pCurrent->pParent;
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
        if (!Open(name_)) return;
        name_.Push(c);
        state_ = State::TagName;
    }
}

void Reader::TagName() {
    const std::u16string_view run = RunUntil(u' ', u'>');
    name_.Push(run);
    pos_ += run.size();
    if (pos_ >= text_.size()) return;
    const char16_t c = text_[pos_++];
    if (c == u' ') {
        record_->szName = name_.Take(tree_.arena);
        if (!Open(attributes_)) return;
        state_ = State::Attributes;
        return;
    }
    // '<b/>': closes at once, and the '/' is not part of the name.
    const bool selfClosed = text_[pos_ - 2] == u'/';
    if (selfClosed && name_.seen <= kNameLimit) --name_.length;
    record_->szName = name_.Take(tree_.arena);
    record_->szAttributes = {};
    if (selfClosed) CloseCurrent();
    state_ = State::ContentStart;
}

void Reader::Attributes() {
    const std::u16string_view run = RunUntil(u'>', u'>');
    attributes_.Push(run);
    pos_ += run.size();
    if (pos_ >= text_.size()) return;
    ++pos_;
    record_->szAttributes = attributes_.Take(tree_.arena);
    if (text_[pos_ - 2] == u'/') CloseCurrent();
    state_ = State::ContentStart;
}

void Reader::ContentStart() {
    if (text_[pos_] != u'<') {
        if (!Open(value_)) return;
        state_ = State::Text; // the character is read again as text
        return;
    }
    if (At(pos_ + 1, kCDataOpen)) {
        pos_ += 1 + kCDataOpen.size();
        if (!Open(value_)) return;
        state_ = State::CData;
    } else if (At(pos_ + 1, u"!")) {
        ++pos_; // the '<' is dropped; a comment becomes text beginning with '!'
    } else {
        ++pos_;
        record_->szValue = {};
        state_ = State::TagOpen;
    }
}

void Reader::Text() {
    const std::u16string_view run = RunUntil(u'<', u'&');
    value_.Push(run);
    pos_ += run.size();
    if (pos_ >= text_.size()) return;
    if (text_[pos_] == u'<') {
        ++pos_;
        record_->szValue = value_.Take(tree_.arena);
        state_ = State::TagOpen;
    } else if (At(pos_ + 1, u"lt;")) {
        // An escaped '<' ends the text; the rest up to the next tag is lost.
        pos_ += 4;
        record_->szValue = value_.Take(tree_.arena);
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
    if (pos_ < text_.size() && text_[pos_] == u';') ++pos_;
    DECODEENTITY(reference);
    value_.Push(reference.View());
}

void Reader::CData() {
    const std::u16string_view run = RunUntil(u']', u']');
    value_.Push(run);
    pos_ += run.size();
    if (pos_ >= text_.size()) return;
    if (At(pos_ + 1, u"]")) {
        pos_ += 2;
        record_->szValue = value_.Take(tree_.arena);
        state_ = State::Outside;
    } else {
        value_.Push(text_[pos_++]);
    }
}

} // namespace

void POPULATEXMLTREE(XmlTree& tree, std::u16string_view text, Log& log) {
    log.Write(u"POPULATEXMLTREE *** Starting ***");
    Reader reader(tree, BeforeNul(text));
    reader.Run();
}

} // namespace tavelin
