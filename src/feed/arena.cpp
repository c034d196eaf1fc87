// Block management of the tree's bump allocator: blocks of the size the
// reader asked for, larger only for an allocation that would not fit.
#include "feed/arena.h"

#include <new>

namespace tavelin {

void* Arena::Grow(size_t size) noexcept {
    const size_t header = (sizeof(Block) + kAlign - 1) & ~(kAlign - 1);
    size_t blockSize = blockSize_;
    if (blockSize < size + header) blockSize = size + header;
    char* raw = static_cast<char*>(::operator new(blockSize, std::nothrow));
    if (raw == nullptr) return nullptr;
    Block* block = reinterpret_cast<Block*>(raw);
    block->previous = blocks_;
    blocks_ = block;
    next_ = raw + header + size;
    end_ = raw + blockSize;
    return raw + header;
}

void Arena::Release() noexcept {
    while (blocks_ != nullptr) {
        Block* previous = blocks_->previous;
        ::operator delete(static_cast<void*>(blocks_));
        blocks_ = previous;
    }
    next_ = end_ = nullptr;
    blockSize_ = kSmallestBlock;
}

} // namespace tavelin
