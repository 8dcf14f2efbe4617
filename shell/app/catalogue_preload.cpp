#include "shell/app/catalogue_preload.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

namespace lumora {
namespace {

// The room a load's small allocations take (names, subtitles, lists) at
// 100,000 channels, with some to spare.
constexpr std::size_t kLoadHeapBytes = std::size_t{16} << 20;

// The C library grows the heap of a thread other than the first a page at a
// time, with a system call for each that takes the process's address-space
// lock, which the UI thread's and libmpv's loader's mappings need as well,
// and a page fault for each page: some 2,000 of both for the strings of
// 100,000 channels. Taking the room first in pieces just under the size
// that is mapped on its own (128 KiB) grows the heap in a hundred or so
// steps, and asking for large pages on that room lets the load fill it with
// a few faults; freed, the pieces stay the thread's heap for the load.
void GrowThreadHeap(std::size_t bytes) {
    constexpr std::size_t kPiece = 120 * 1024;
    std::vector<void*> pieces;
    pieces.reserve(bytes / kPiece + 1);
    for (std::size_t taken = 0; taken < bytes; taken += kPiece) {
        void* piece = std::malloc(kPiece);
        if (piece == nullptr)
            break;
        pieces.push_back(piece);
    }
    if (!pieces.empty()) {
        // The run of the heap the pieces lie in, this thread's while they are.
        const auto [lowest, highest] = std::minmax_element(pieces.begin(), pieces.end());
        const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
        const std::uintptr_t from =
            (reinterpret_cast<std::uintptr_t>(*lowest) + page - 1) & ~(page - 1);
        const std::uintptr_t to =
            (reinterpret_cast<std::uintptr_t>(*highest) + kPiece) & ~(page - 1);
        // Pieces spread further than they take (not one run of the heap)
        // are left as they are.
        if (to > from && to - from <= 2 * bytes)
            madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
    }
    for (void* piece : pieces)
        std::free(piece);
}

}  // namespace

CataloguePreload::~CataloguePreload() {
    if (!stateGiven_)
        GiveState(SavedChannelStates());
    if (worker_.joinable())
        worker_.join();
}

void CataloguePreload::Start(const std::u16string& path, std::size_t maxMessages,
                             std::function<void()> loaded) {
    if (pending_) {
        // One load at a time; whoever waits for this one is told at once.
        if (loaded)
            loaded();
        return;
    }
    Launch(path, maxMessages, std::move(loaded));
    GiveState(SavedChannelStates());
}

void CataloguePreload::StartBeforeState(const std::u16string& path, std::size_t maxMessages,
                                        std::function<void()> loaded) {
    if (pending_) {
        if (loaded)
            loaded();
        return;
    }
    Launch(path, maxMessages, std::move(loaded));
}

void CataloguePreload::GiveState(std::shared_ptr<const ChannelStateTable> saved) {
    if (stateGiven_)
        return;
    stateGiven_ = true;
    state_.set_value(std::move(saved));
}

void CataloguePreload::Launch(const std::u16string& path, std::size_t maxMessages,
                              std::function<void()> loaded) {
    pending_ = true;
    result_ = {};
    result_.catalogue = std::make_unique<Catalogue>();
    state_ = {};
    stateGiven_ = false;
    // The settings belong to the UI thread: the worker gets its state from
    // GiveState.
    worker_ = std::thread([this, path, maxMessages, state = state_.get_future(),
                           loaded = std::move(loaded)]() mutable {
        GrowThreadHeap(kLoadHeapBytes);
        PreloadedCatalogue& result = result_;
        const CatalogueMessageSink collect = [&result, maxMessages](const std::u16string& text) {
            if (result.messages.size() < maxMessages)
                result.messages.push_back(text);
            else
                ++result.withheld;
        };
        result.read = result.catalogue->LoadDetachedAwaiting(
            path, [&state] { return state.get(); }, collect);
        if (loaded)
            loaded();
    });
}

PreloadedCatalogue CataloguePreload::Take() {
    if (!stateGiven_)
        GiveState(SavedChannelStates());
    if (worker_.joinable())
        worker_.join();
    pending_ = false;
    return std::exchange(result_, {});
}

}  // namespace lumora
