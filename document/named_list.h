#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lumora {

// Owned entries with unique names, kept in the order they were filed.
// Small lists are searched linearly; past a handful of entries a hash index
// keeps lookups and duplicate checks constant-time, so a node with tens of
// thousands of children reads in linear time.
template <typename T>
class NamedList {
public:
    using Entries = std::vector<std::unique_ptr<T>>;

    const Entries& entries() const { return entries_; }
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

    T* Find(std::string_view name) const
    {
        if (entries_.size() <= kLinearLimit) {
            for (const auto& entry : entries_) {
                if (entry->Name() == name)
                    return entry.get();
            }
            return nullptr;
        }
        EnsureIndex();
        auto found = index_.find(name);
        return found == index_.end() ? nullptr : entries_[found->second].get();
    }

    // Files the entry unless its name is taken; returns the filed entry or null.
    T* Insert(std::unique_ptr<T> entry)
    {
        if (Find(entry->Name()) != nullptr)
            return nullptr;
        return Append(std::move(entry));
    }

    // Files the entry, replacing one of the same name in its place.
    T* Replace(std::unique_ptr<T> entry)
    {
        if (T* old = Find(entry->Name())) {
            for (auto& slot : entries_) {
                if (slot.get() == old) {
                    // The key view points into the entry's name, so re-key it.
                    if (indexed_)
                        index_.erase(old->Name());
                    slot = std::move(entry);
                    if (indexed_)
                        index_.emplace(slot->Name(), &slot - entries_.data());
                    return slot.get();
                }
            }
        }
        return Append(std::move(entry));
    }

    void Clear()
    {
        entries_.clear();
        index_.clear();
        indexed_ = false;
    }

private:
    static constexpr std::size_t kLinearLimit = 8;

    T* Append(std::unique_ptr<T> entry)
    {
        entries_.push_back(std::move(entry));
        T* added = entries_.back().get();
        if (indexed_)
            index_.emplace(added->Name(), entries_.size() - 1);
        return added;
    }

    void EnsureIndex() const
    {
        if (indexed_)
            return;
        index_.reserve(entries_.size() * 2);
        for (std::size_t i = 0; i < entries_.size(); ++i)
            index_.emplace(entries_[i]->Name(), i);
        indexed_ = true;
    }

    Entries entries_;
    // Keys view the names of the entries themselves; an entry's name does not
    // change while it is filed.
    mutable std::unordered_map<std::string_view, std::size_t> index_;
    mutable bool indexed_ = false;
};

}  // namespace lumora
