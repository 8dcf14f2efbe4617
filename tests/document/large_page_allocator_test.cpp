#include "document/large_page_allocator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace lumora;

namespace {

constexpr std::size_t kLargePage = std::size_t{2} << 20;

// A vector that grows from heap blocks into mapped large-page blocks and
// back keeps its elements; the mapped blocks start on a large page.
TEST(LargePageAllocatorTest, ElementsSurviveGrowthAcrossTheLargeBlockSize) {
    LargePageVector<std::uint32_t> numbers;
    const std::size_t count = 3 * kLargePage / sizeof(std::uint32_t) + 7;
    for (std::size_t i = 0; i < count; ++i)
        numbers.push_back(static_cast<std::uint32_t>(i * 2654435761u));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(numbers.data()) % kLargePage, 0u);
    for (std::size_t i = 0; i < count; i += 4099)
        ASSERT_EQ(numbers[i], static_cast<std::uint32_t>(i * 2654435761u)) << i;
    EXPECT_EQ(numbers.back(), static_cast<std::uint32_t>((count - 1) * 2654435761u));

    numbers.resize(10);
    numbers.shrink_to_fit();
    EXPECT_EQ(numbers[9], static_cast<std::uint32_t>(9 * 2654435761u));
}

// Records with their own initialisers still get them; objects that own
// memory are built and destroyed in a mapped block like anywhere else.
TEST(LargePageAllocatorTest, ElementsAreBuiltWithTheirInitialisers) {
    struct Record {
        int value = 42;
        std::string text = "text that does not fit in place";
    };
    LargePageVector<Record> records(kLargePage / sizeof(Record) + 1);
    EXPECT_EQ(records.front().value, 42);
    EXPECT_EQ(records.back().text, "text that does not fit in place");
}

}  // namespace
