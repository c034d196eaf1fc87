// POPULATEXMLTREE: the forgiving one-pass reader. A character-level state
// machine over UTF-16 text; runs of ordinary characters are copied in bulk.
#include <cstring>
#include <new>

#include "core/text.h"
#include "feed/xml_tree.h"

namespace tavelin {
namespace {

enum class State { Outside, TagOpen, TagName, Attributes, ContentStart, Text, CData };

constexpr std::u16string_view kCDataOpen = u"![CDATA[";

// A fixed buffer whose excess units are dropped without notice.
template <size_t Limit>
struct Collector {
    char16_t units[Limit];
    size_t length = 0;
    size_t seen = 0; // units offered, kept or not

    void Clear() { length = seen = 0; }
    void Push(char16_t c) {
        ++seen;
        if (length < Limit) units[length++] = c;
    }
    void Push(std::u16string_view run) {
        seen += run.size();
        const size_t room = Limit - length;
        const size_t n = run.size() < room ? run.size() : room;
        std::memcpy(units + length, run.data(), n * sizeof(char16_t));
        length += n;
    }
    std::u16string_view View() const { return {units, length}; }
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
    std::u16string_view Store(std::u16string_view s);
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
    const char16_t* end = text_.data() + text_.size();
    const char16_t* q = p;
    while (q != end && *q != a && *q != b) ++q;
    return {p, static_cast<size_t>(q - p)};
}

std::u16string_view Reader::Store(std::u16string_view s) {
    if (s.empty()) return {};
    void* p = tree_.arena.Allocate(s.size() * sizeof(char16_t));
    if (p == nullptr) return {};
    std::memcpy(p, s.data(), s.size() * sizeof(char16_t));
    return {static_cast<const char16_t*>(p), s.size()};
}

// Links a new element as the last child of pCurrent (or as the root).
bool Reader::StartElement() {
    void* objectMemory = tree_.arena.Allocate(sizeof(XmlTreeObject));
    void* dataMemory = tree_.arena.Allocate(sizeof(XmlTreeData));
    if (objectMemory == nullptr || dataMemory == nullptr) return false;
    XmlTreeObject* object = new (objectMemory) XmlTreeObject;
    record_ = new (dataMemory) XmlTreeData;
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
        name_.Clear();
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
        record_->szName = Store(name_.View());
        attributes_.Clear();
        state_ = State::Attributes;
        return;
    }
    // '<b/>': closes at once, and the '/' is not part of the name.
    const bool selfClosed = text_[pos_ - 2] == u'/';
    std::u16string_view name = name_.View();
    if (selfClosed && name_.seen <= kNameLimit) name.remove_suffix(1);
    record_->szName = Store(name);
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
    record_->szAttributes = Store(attributes_.View());
    if (text_[pos_ - 2] == u'/') CloseCurrent();
    state_ = State::ContentStart;
}

void Reader::ContentStart() {
    if (text_[pos_] != u'<') {
        value_.Clear();
        state_ = State::Text; // the character is read again as text
        return;
    }
    if (At(pos_ + 1, kCDataOpen)) {
        pos_ += 1 + kCDataOpen.size();
        value_.Clear();
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
        record_->szValue = Store(value_.View());
        state_ = State::TagOpen;
    } else if (At(pos_ + 1, u"lt;")) {
        // An escaped '<' ends the text; the rest up to the next tag is lost.
        pos_ += 4;
        record_->szValue = Store(value_.View());
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
        record_->szValue = Store(value_.View());
        state_ = State::Outside;
    } else {
        value_.Push(text_[pos_++]);
    }
}

} // namespace

void POPULATEXMLTREE(XmlTree& tree, std::u16string_view text, Log& log) {
    log.Write(u"POPULATEXMLTREE *** Starting ***");
    Reader reader(tree, UpToNul(text));
    reader.Run();
}

} // namespace tavelin
