#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lumora {

// One part of the store's packed timeline as the import writes it: a
// channel's programmes in time order, laid out as guide_store_schema.h
// describes. The import fills one part at a time, so its memory stays that
// of one part whatever the guide's size.
class TimelinePart {
public:
    void Add(std::int64_t start, std::int64_t stop, std::int64_t programme, std::string_view title);
    std::size_t Programmes() const { return programmes_; }
    std::size_t TitleBytes() const { return titles_.size(); }
    // Holds as much as a part may: the next programme starts another.
    bool Full() const;
    // The part's bytes, valid until the next Add or Clear.
    std::string_view Bytes();
    void Clear();

private:
    std::size_t programmes_ = 0;
    std::string entries_;  // the count's room, then the fixed-width entries
    std::string titles_;
    std::string bytes_;
};

}  // namespace lumora
