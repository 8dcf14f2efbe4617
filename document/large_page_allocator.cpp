#include "document/large_page_allocator.h"

#include <sys/mman.h>

#include <cstdint>

namespace lumora {

namespace {

constexpr std::size_t kLargePage = std::size_t{2} << 20;

std::size_t RoundUpToLargePages(std::size_t bytes) {
    return (bytes + kLargePage - 1) & ~(kLargePage - 1);
}

}  // namespace

void* AllocateLargePageBlock(std::size_t bytes) {
    if (bytes < kLargePage)
        return ::operator new(bytes);
    const std::size_t size = RoundUpToLargePages(bytes);
    if (size < bytes || size + kLargePage < size)
        throw std::bad_alloc();
    // One large page more than needed, so an aligned run fits; the rest is
    // given back at once.
    void* mapped = ::mmap(nullptr, size + kLargePage, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const auto first = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (first + kLargePage - 1) & ~std::uintptr_t{kLargePage - 1};
    if (aligned > first)
        ::munmap(mapped, aligned - first);
    const std::uintptr_t tail = aligned + size;
    const std::uintptr_t mappedEnd = first + size + kLargePage;
    if (mappedEnd > tail)
        ::munmap(reinterpret_cast<void*>(tail), mappedEnd - tail);
#ifdef MADV_HUGEPAGE
    // Only advice: without large pages the block works the same.
    ::madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<void*>(aligned);
}

void FreeLargePageBlock(void* block, std::size_t bytes) noexcept {
    if (block == nullptr)
        return;
    if (bytes < kLargePage) {
        ::operator delete(block);
        return;
    }
    ::munmap(block, RoundUpToLargePages(bytes));
}

}  // namespace lumora
