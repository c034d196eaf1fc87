// A bump allocator for the objects of one XML tree: one pointer bump per
// allocation, everything released at once.
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
    // The size of every block from the next one on, so that a tree whose
    // size is roughly known takes one or a few blocks.
    void SetBlockSize(size_t size) noexcept { blockSize_ = size < kSmallestBlock ? kSmallestBlock : size; }
    void Release() noexcept;

private:
    // Enough for the tree's pointers and integers.
    static constexpr size_t kAlign = alignof(void*);
    static constexpr size_t kSmallestBlock = 16 * 1024;
    struct Block {
        Block* previous;
    };

    void* Grow(size_t size) noexcept;

    Block* blocks_ = nullptr;
    char* next_ = nullptr;
    char* end_ = nullptr;
    size_t blockSize_ = kSmallestBlock;
};

} // namespace tavelin
