#pragma once

// Big arrays that are filled once from start to end (a document's records,
// a catalogue's channels) in blocks of large pages: the system then takes
// one page fault for every 2 MiB filled instead of one for every 4 KiB, which
// on a virtual machine is most of the cost of building a large catalogue.
//
// Blocks of 2 MiB and more are mapped on their own, aligned to a large page
// and advised for large pages; smaller ones come from the ordinary heap.
// Elements made without a value are default-initialised, not zeroed, so a
// buffer resized to be read into is not written twice.
//
// Threads: any; a block belongs to whoever allocated it.

#include <cstddef>
#include <new>
#include <utility>
#include <vector>

namespace lumora {

// A block of at least `bytes` bytes, aligned for any type; throws
// std::bad_alloc when the system refuses it.
void* AllocateLargePageBlock(std::size_t bytes);
// Returns a block; `bytes` as it was allocated with.
void FreeLargePageBlock(void* block, std::size_t bytes) noexcept;

template <typename T>
class LargePageAllocator {
public:
    using value_type = T;

    LargePageAllocator() = default;
    template <typename U>
    LargePageAllocator(const LargePageAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T))
            throw std::bad_alloc();
        return static_cast<T*>(AllocateLargePageBlock(n * sizeof(T)));
    }
    void deallocate(T* block, std::size_t n) noexcept { FreeLargePageBlock(block, n * sizeof(T)); }

    // Default-initialised, not value-initialised (no zeroing of plain data).
    template <typename U>
    void construct(U* at) noexcept(noexcept(::new (static_cast<void*>(at)) U)) {
        ::new (static_cast<void*>(at)) U;
    }
    template <typename U, typename... Args>
    void construct(U* at, Args&&... args) {
        ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
    }

    template <typename U>
    bool operator==(const LargePageAllocator<U>&) const noexcept {
        return true;
    }
};

template <typename T>
using LargePageVector = std::vector<T, LargePageAllocator<T>>;

}  // namespace lumora
