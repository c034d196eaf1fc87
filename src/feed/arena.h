// A bump allocator for the nodes and strings of one XML tree: one pointer bump
// per allocation, everything released at once.
#pragma once

#include <cstddef>

namespace tavelin {

class Arena {
public:
    Arena() = default;
    ~Arena() { Release(); }
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    // size bytes aligned for any object, or null when memory is short.
    void* Allocate(size_t size) noexcept {
        size = (size + kAlign - 1) & ~(kAlign - 1);
        if (static_cast<size_t>(end_ - next_) < size) return Grow(size);
        void* p = next_;
        next_ += size;
        return p;
    }
    // Room for up to size bytes at the end of the arena, not yet taken: a
    // string can be written in place and then kept with Take (or dropped by
    // opening another slot). Null when memory is short.
    void* OpenSlot(size_t size) noexcept {
        size = (size + kAlign - 1) & ~(kAlign - 1);
        if (static_cast<size_t>(end_ - next_) < size) {
            if (Grow(size) == nullptr) return nullptr;
            next_ -= size; // Grow took the room; give it back until Take
        }
        return next_;
    }
    // Keeps the first size bytes of the open slot.
    void Take(size_t size) noexcept { next_ += (size + kAlign - 1) & ~(kAlign - 1); }
    void Release() noexcept;

private:
    // Enough for the tree's pointers and integers; strings need only 2.
    static constexpr size_t kAlign = alignof(void*);
    struct Block {
        Block* previous;
    };

    void* Grow(size_t size) noexcept;

    Block* blocks_ = nullptr;
    char* next_ = nullptr;
    char* end_ = nullptr;
    size_t nextBlockSize_ = 16 * 1024;
};

} // namespace tavelin
