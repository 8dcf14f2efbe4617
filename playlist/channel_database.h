#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lumora {

// Used by the single thread of lumora-data.

// What the importer needs to know of a channel of the public channel
// database ("channels.csv": id,name,...,categories,is_nsfw,...).
struct ChannelRecord {
    std::vector<std::string> categories;  // in the database's order, as written
    bool nsfw = false;
};

// The channel database, keyed by channel id (a tvg-id without its "@feed").
class ChannelDatabase {
public:
    // Reads the CSV file; false, with a message naming the file and the
    // line, when it cannot be read or lacks the columns "id", "categories"
    // and "is_nsfw". The columns may come in any order.
    bool Load(const std::string& path, std::string& error);
    bool Parse(std::string_view text, std::string& error);

    const ChannelRecord* Find(std::string_view id) const;
    std::size_t Size() const { return records_.size(); }

private:
    std::unordered_map<std::string, ChannelRecord> records_;
};

// Splits one CSV record at `text`, honouring quoted fields with "" escapes
// and line breaks inside quotes. Advances `text` past the record; false when
// a quoted field never ends.
bool ReadCsvRecord(std::string_view& text, std::vector<std::string>& fields);

}  // namespace lumora
