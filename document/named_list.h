#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace lumora {

// Owned entries with unique names, kept in the order they were filed.
// Small lists are searched linearly; past a handful of entries a hash index
// keeps lookups and duplicate checks constant-time, so a node with tens of
// thousands of children reads in linear time. The index is an open-addressing
// table of entry positions: it allocates nothing per entry.
template <typename T>
class NamedList {
public:
    using Entries = std::vector<std::unique_ptr<T>>;

    const Entries& entries() const { return entries_; }
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

    // Room for `count` entries without reallocating.
    void Reserve(std::size_t count) { entries_.reserve(count); }

    T* Find(std::string_view name) const {
        if (entries_.size() <= kLinearLimit) {
            for (const auto& entry : entries_) {
                if (entry->Name() == name)
                    return entry.get();
            }
            return nullptr;
        }
        EnsureIndex();
        std::size_t slot = SlotOf(name);
        return slots_[slot] == kEmpty ? nullptr : entries_[slots_[slot]].get();
    }

    // Files the entry unless its name is taken; returns the filed entry or null.
    T* Insert(std::unique_ptr<T> entry) {
        if (Find(entry->Name()) != nullptr)
            return nullptr;
        return Append(std::move(entry));
    }

    // Files the entry, replacing one of the same name in its place.
    T* Replace(std::unique_ptr<T> entry) {
        if (T* old = Find(entry->Name())) {
            for (auto& slot : entries_) {
                if (slot.get() == old) {
                    // Same name, same position: the index stays right.
                    slot = std::move(entry);
                    return slot.get();
                }
            }
        }
        return Append(std::move(entry));
    }

    void Clear() {
        entries_.clear();
        std::vector<std::uint32_t>().swap(slots_);
    }

private:
    static constexpr std::size_t kLinearLimit = 8;
    static constexpr std::uint32_t kEmpty = UINT32_MAX;

    T* Append(std::unique_ptr<T> entry) {
        entries_.push_back(std::move(entry));
        if (!slots_.empty()) {
            if (entries_.size() * 2 > slots_.size())
                Rebuild();
            else
                slots_[SlotOf(entries_.back()->Name())] =
                    static_cast<std::uint32_t>(entries_.size() - 1);
        }
        return entries_.back().get();
    }

    // The slot that holds `name`, or the empty slot where it would go.
    std::size_t SlotOf(std::string_view name) const {
        std::size_t mask = slots_.size() - 1;
        std::size_t slot = std::hash<std::string_view>{}(name)&mask;
        while (slots_[slot] != kEmpty && entries_[slots_[slot]]->Name() != name)
            slot = (slot + 1) & mask;
        return slot;
    }

    void EnsureIndex() const {
        if (slots_.empty())
            Rebuild();
    }

    // At most half full, so probes stay short.
    void Rebuild() const {
        std::size_t capacity = 16;
        while (capacity < entries_.size() * 4)
            capacity *= 2;
        slots_.assign(capacity, kEmpty);
        for (std::size_t i = 0; i < entries_.size(); ++i)
            slots_[SlotOf(entries_[i]->Name())] = static_cast<std::uint32_t>(i);
    }

    Entries entries_;
    // Positions in entries_, kEmpty for a free slot; empty until the list
    // outgrows the linear search. Names do not change while filed.
    mutable std::vector<std::uint32_t> slots_;
};

}  // namespace lumora
