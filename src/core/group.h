// Group: the one list type of the saver. An ordered, doubly linked sequence of
// untyped item pointers addressed by zero-based position; it never owns its items.
#pragma once

#include <cstdint>
#include <mutex>

namespace tavelin {

class Group {
public:
    static constexpr uint32_t kAppend = 0xFFFFFFFFu;

    // Decides whether the next node allocation may succeed; lets tests make Add fail.
    using AllocationGate = bool (*)(void* context);

    Group() = default;
    ~Group();
    Group(const Group&) = delete;
    Group& operator=(const Group&) = delete;

    // Links item in at position (clamped to the count, so the default appends).
    // False when no node could be allocated; the Group is then unchanged.
    bool Add(void* item, uint32_t position = kAppend);
    // Unlinks and returns the item at position (past the end: the last); null when empty.
    void* RemoveAt(uint32_t position);
    // The item at position (past the end: the last); null when empty.
    void* GetAt(uint32_t position);
    uint32_t GetCount() const { return dwCount; }

    void SetAllocationGate(AllocationGate gate, void* context) {
        allocGate_ = gate;
        allocContext_ = context;
    }

private:
    struct Node {
        void* pItem = nullptr;
        Node* pNext = nullptr;
        Node* pPrev = nullptr;
    };

    Node* NodeAt(uint32_t position);
    void Forget() { cursor_ = nullptr; }

    std::mutex csAdd;    // held by Add only, for one call
    std::mutex csRemove; // held by RemoveAt only
    std::mutex csGet;    // held by GetAt only
    Node* pHead = nullptr;
    Node* pTail = nullptr;
    uint32_t dwCount = 0;

    // Last node reached by position; makes an ascending walk O(n) in all.
    // Forgotten on every change of the chain.
    Node* cursor_ = nullptr;
    uint32_t cursorPos_ = 0;

    AllocationGate allocGate_ = nullptr;
    void* allocContext_ = nullptr;
};

} // namespace tavelin
