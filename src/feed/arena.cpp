// Block management of the tree's bump allocator: blocks double up to 1 MB,
// so the number of blocks stays small and the waste stays bounded.
#include "feed/arena.h"

#include <new>

namespace tavelin {
namespace {

constexpr size_t kLargestBlock = 1024 * 1024;

} // namespace

void* Arena::Grow(size_t size) noexcept {
    const size_t header = (sizeof(Block) + kAlign - 1) & ~(kAlign - 1);
    size_t blockSize = nextBlockSize_;
    if (blockSize < size + header) blockSize = size + header;
    char* raw = static_cast<char*>(::operator new(blockSize, std::nothrow));
    if (raw == nullptr) return nullptr;
    Block* block = reinterpret_cast<Block*>(raw);
    block->previous = blocks_;
    blocks_ = block;
    if (nextBlockSize_ < kLargestBlock) nextBlockSize_ *= 2;
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
    nextBlockSize_ = 16 * 1024;
}

} // namespace tavelin
