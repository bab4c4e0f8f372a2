// A Windows module's heap: its malloc, calloc, realloc, free and HeapAlloc take memory from an arena of its own,
// a mapping apart from the bench's heap, so that a module that writes past its blocks or frees twice spoils
// only its own memory. First fit over an address-ordered free list, blocks with size tags on both sides so that
// freed neighbours merge; every block is 16-byte aligned.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

namespace bench::pe {

class Arena {
public:
    explicit Arena(size_t reserve);
    ~Arena();
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    void* allocate(size_t size, bool zero);
    // False when `block` is not a live block of this arena (a double free, an address it never gave out).
    bool release(void* block);
    // As C's realloc: null and size 0 frees. False, as release, for a block the arena does not know; then
    // `*out` is null.
    bool reallocate(void* block, size_t size, void** out);
    // The usable size of a live block, 0 for anything else.
    size_t usable_size(const void* block);

    bool holds(const void* address) const;
    // Blocks handed out since the arena was made (allocate, and reallocate when it moved or made a block).
    uint64_t allocations() const { return allocations_; }

private:
    struct Header;
    Header* header_of(const void* block);
    Header* next_of(Header* block);
    Header* previous_of(Header* block);
    void unlink(Header* block);
    void push_free(Header* block);
    Header* coalesce(Header* block);
    void* take(size_t size);
    bool reserve_memory();

    std::mutex mutex_;
    size_t reserve_;
    uint8_t* base_ = nullptr;
    size_t top_ = 0;          // the untouched rest starts here
    uint32_t last_size_ = 0;  // of the block just below the top
    Header* free_ = nullptr;
    uint64_t allocations_ = 0;
};

}  // namespace bench::pe
