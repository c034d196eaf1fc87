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
    void Release() noexcept;

private:
    static constexpr size_t kAlign = alignof(std::max_align_t);
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
