#include "arena.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>

namespace bench::pe {

// Every block starts with this, 16 bytes; a free block keeps its list links in its first payload bytes.
struct Arena::Header {
    uint32_t size;           // the whole block, header included, a multiple of 16
    uint32_t previous_size;  // of the block just below, 0 for the first
    uint32_t tag;            // kLive or kFree
    uint32_t requested;
    Header* next_free() const { return *reinterpret_cast<Header* const*>(this + 1); }
    Header* previous_free() const { return *(reinterpret_cast<Header* const*>(this + 1) + 1); }
    void set_links(Header* next, Header* previous) {
        auto** links = reinterpret_cast<Header**>(this + 1);
        links[0] = next;
        links[1] = previous;
    }
};

namespace {

constexpr uint32_t kLive = 0x4C495645;
constexpr uint32_t kFree = 0x46524545;
constexpr size_t kHeader = 16;
constexpr size_t kSmallest = 32;  // a header and the two links of a free block

size_t block_size(size_t requested) { return (requested + kHeader + 15) & ~size_t{15}; }

}  // namespace

Arena::Arena(size_t reserve) : reserve_(reserve) {}

Arena::~Arena() {
    if (base_) munmap(base_, reserve_);
}

bool Arena::reserve_memory() {
    if (base_) return true;
    // Untouched pages cost nothing: the arena is reserved whole on first use and fills from the bottom.
    void* memory = mmap(nullptr, reserve_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (memory == MAP_FAILED) return false;
    base_ = static_cast<uint8_t*>(memory);
    return true;
}

bool Arena::holds(const void* address) const {
    const auto* p = static_cast<const uint8_t*>(address);
    return base_ && p >= base_ && p < base_ + top_;
}

Arena::Header* Arena::header_of(const void* block) {
    const auto* p = static_cast<const uint8_t*>(block);
    if (!holds(p) || (p - base_) % 16 != 0 || static_cast<size_t>(p - base_) < kHeader) return nullptr;
    auto* header = reinterpret_cast<Header*>(const_cast<uint8_t*>(p) - kHeader);
    if (header->tag != kLive || header->size < kSmallest || header->size > top_ - (p - kHeader - base_)) return nullptr;
    return header;
}

Arena::Header* Arena::next_of(Header* block) {
    const size_t end = reinterpret_cast<uint8_t*>(block) - base_ + block->size;
    return end < top_ ? reinterpret_cast<Header*>(base_ + end) : nullptr;
}

Arena::Header* Arena::previous_of(Header* block) {
    if (block->previous_size == 0) return nullptr;
    return reinterpret_cast<Header*>(reinterpret_cast<uint8_t*>(block) - block->previous_size);
}

void Arena::unlink(Header* block) {
    Header* next = block->next_free();
    Header* previous = block->previous_free();
    if (previous)
        previous->set_links(next, previous->previous_free());
    else
        free_ = next;
    if (next) next->set_links(next->next_free(), previous);
}

void Arena::push_free(Header* block) {
    block->tag = kFree;
    block->set_links(free_, nullptr);
    if (free_) free_->set_links(free_->next_free(), block);
    free_ = block;
}

// Merges a block being freed with free neighbours; one that reaches the top goes back to the untouched rest.
Arena::Header* Arena::coalesce(Header* block) {
    if (Header* next = next_of(block); next && next->tag == kFree) {
        unlink(next);
        block->size += next->size;
        next->tag = 0;  // a second free of a merged block must not find it live
    }
    if (Header* previous = previous_of(block); previous && previous->tag == kFree) {
        unlink(previous);
        previous->size += block->size;
        block->tag = 0;
        block = previous;
    }
    if (Header* next = next_of(block)) {
        next->previous_size = block->size;
        return block;
    }
    top_ = reinterpret_cast<uint8_t*>(block) - base_;
    last_size_ = block->previous_size;
    block->tag = 0;
    return nullptr;
}

void* Arena::take(size_t requested) {
    if (requested > reserve_ / 2) return nullptr;
    const size_t size = std::max(block_size(requested), kSmallest);
    for (Header* block = free_; block; block = block->next_free()) {
        if (block->size < size) continue;
        unlink(block);
        if (block->size - size >= kSmallest) {
            auto* rest = reinterpret_cast<Header*>(reinterpret_cast<uint8_t*>(block) + size);
            rest->size = static_cast<uint32_t>(block->size - size);
            rest->previous_size = static_cast<uint32_t>(size);
            if (Header* next = next_of(rest)) next->previous_size = rest->size;
            block->size = static_cast<uint32_t>(size);
            push_free(rest);
        }
        block->tag = kLive;
        block->requested = static_cast<uint32_t>(requested);
        return block + 1;
    }
    if (!reserve_memory() || reserve_ - top_ < size) return nullptr;
    auto* block = reinterpret_cast<Header*>(base_ + top_);
    block->size = static_cast<uint32_t>(size);
    block->previous_size = last_size_;
    last_size_ = block->size;
    block->tag = kLive;
    block->requested = static_cast<uint32_t>(requested);
    top_ += size;
    return block + 1;
}

void* Arena::allocate(size_t size, bool zero) {
    std::lock_guard<std::mutex> lock(mutex_);
    void* block = take(size);
    if (!block) return nullptr;
    ++allocations_;
    if (zero) std::memset(block, 0, size);
    return block;
}

bool Arena::release(void* pointer) {
    std::lock_guard<std::mutex> lock(mutex_);
    Header* block = header_of(pointer);
    if (!block) return false;
    if (Header* merged = coalesce(block)) push_free(merged);
    return true;
}

bool Arena::reallocate(void* pointer, size_t size, void** out) {
    *out = nullptr;
    if (!pointer) {
        *out = allocate(size, false);
        return true;
    }
    if (size == 0) return release(pointer);
    std::lock_guard<std::mutex> lock(mutex_);
    Header* block = header_of(pointer);
    if (!block) return false;
    if (block_size(size) <= block->size) {
        block->requested = static_cast<uint32_t>(size);
        *out = pointer;
        return true;
    }
    void* moved = take(size);
    if (!moved) return true;  // the old block stays, as C's realloc leaves it
    ++allocations_;
    std::memcpy(moved, pointer, block->requested);
    if (Header* merged = coalesce(header_of(pointer))) push_free(merged);
    *out = moved;
    return true;
}

size_t Arena::usable_size(const void* pointer) {
    std::lock_guard<std::mutex> lock(mutex_);
    Header* block = header_of(pointer);
    return block ? block->size - kHeader : 0;
}

}  // namespace bench::pe
