// Group operations. Positions are unsigned and clamp at the end.
#include "core/group.h"

#include <new>

namespace tavelin {

Group::~Group() {
    // Tail first, head last; items belong to whoever added them.
    Node* node = pTail;
    while (node != nullptr) {
        Node* prev = node->pPrev;
        delete node;
        node = prev;
    }
    pHead = pTail = nullptr;
    dwCount = 0;
}

// Walks to position (< dwCount) from the nearest known node: the head, the
// remembered cursor when it lies at or before position, or the tail.
Group::Node* Group::NodeAt(uint32_t position) {
    Node* node = pHead;
    uint32_t at = 0;
    if (cursor_ != nullptr && cursorPos_ <= position) {
        node = cursor_;
        at = cursorPos_;
    }
    const uint32_t last = dwCount - 1;
    if (last - position < position - at) {
        node = pTail;
        for (uint32_t i = last; i > position; --i) node = node->pPrev;
    } else {
        for (; at < position; ++at) node = node->pNext;
    }
    cursor_ = node;
    cursorPos_ = position;
    return node;
}

bool Group::Add(void* item, uint32_t position) {
    if (allocGate_ != nullptr && !allocGate_(allocContext_)) return false;
    Node* node = new (std::nothrow) Node;
    if (node == nullptr) return false;
    node->pItem = item;
    if (position > dwCount) position = dwCount;

    std::lock_guard<std::mutex> lock(csAdd);
    if (dwCount == 0) {
        pHead = pTail = node;
    } else if (position == 0) {
        node->pNext = pHead;
        pHead->pPrev = node;
        pHead = node;
    } else if (position == dwCount) {
        node->pPrev = pTail;
        pTail->pNext = node;
        pTail = node;
    } else {
        Node* before = NodeAt(position - 1);
        node->pPrev = before;
        node->pNext = before->pNext;
        before->pNext->pPrev = node;
        before->pNext = node;
    }
    ++dwCount;
    Forget();
    return true;
}

void* Group::RemoveAt(uint32_t position) {
    if (pHead == nullptr) return nullptr;
    std::lock_guard<std::mutex> lock(csRemove);
    if (position >= dwCount) position = dwCount - 1;

    Node* node = nullptr;
    if (position == 0) {
        node = pHead;
        pHead = node->pNext;
        if (pHead == nullptr) pTail = nullptr;
        else pHead->pPrev = nullptr;
    } else if (position == dwCount - 1) {
        node = pTail;
        pTail = node->pPrev;
        pTail->pNext = nullptr;
    } else {
        Node* before = NodeAt(position - 1);
        node = before->pNext;
        before->pNext = node->pNext;
        node->pNext->pPrev = before;
    }
    --dwCount;
    Forget();

    void* item = node->pItem;
    delete node;
    return item;
}

void* Group::GetAt(uint32_t position) {
    if (pHead == nullptr) return nullptr;
    std::lock_guard<std::mutex> lock(csGet);
    if (position >= dwCount) position = dwCount - 1;
    return NodeAt(position)->pItem;
}

} // namespace tavelin
