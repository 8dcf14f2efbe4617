#include "playlist/channel_database.h"

#include "playlist/catalogue_builder.h"

#include <algorithm>
#include <fstream>
#include <optional>

namespace lumora {

namespace {

// The database is a few megabytes; anything far larger is not one.
constexpr std::uintmax_t kMaxDatabaseBytes = 256u * 1024 * 1024;

std::optional<std::size_t> ColumnOf(const std::vector<std::string>& header, std::string_view name) {
    auto found = std::find(header.begin(), header.end(), name);
    if (found == header.end())
        return std::nullopt;
    return std::size_t(found - header.begin());
}

}  // namespace

bool ReadCsvRecord(std::string_view& text, std::vector<std::string>& fields) {
    fields.clear();
    std::string field;
    std::size_t i = 0;
    bool quoted = false;
    while (i < text.size()) {
        char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                i += 2;
                continue;
            }
            if (c == '"')
                quoted = false;
            else
                field += c;
            ++i;
            continue;
        }
        if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.push_back(std::move(field));
            field.clear();
        } else if (c == '\n') {
            ++i;
            break;
        } else if (c != '\r') {
            field += c;
        }
        ++i;
    }
    if (quoted)
        return false;
    fields.push_back(std::move(field));
    text.remove_prefix(i);
    return true;
}

bool ChannelDatabase::Load(const std::string& path, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": cannot be opened";
        return false;
    }
    std::string text;
    char buffer[64 * 1024];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        text.append(buffer, std::size_t(file.gcount()));
        if (text.size() > kMaxDatabaseBytes) {
            error = path + ": too large for a channel database";
            return false;
        }
    }
    if (file.bad()) {
        error = path + ": cannot be read";
        return false;
    }
    if (!Parse(text, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool ChannelDatabase::Parse(std::string_view text, std::string& error) {
    records_.clear();
    std::vector<std::string> fields;
    if (!ReadCsvRecord(text, fields)) {
        error = "line 1: a quoted field never ends";
        return false;
    }
    std::optional<std::size_t> idColumn = ColumnOf(fields, "id");
    std::optional<std::size_t> categoriesColumn = ColumnOf(fields, "categories");
    std::optional<std::size_t> nsfwColumn = ColumnOf(fields, "is_nsfw");
    if (!idColumn || !categoriesColumn || !nsfwColumn) {
        error = "line 1: the header lacks one of the columns id, categories, is_nsfw";
        return false;
    }
    std::size_t needed = std::max({*idColumn, *categoriesColumn, *nsfwColumn}) + 1;
    std::size_t line = 1;
    while (!text.empty()) {
        ++line;
        if (!ReadCsvRecord(text, fields)) {
            error = "line " + std::to_string(line) + ": a quoted field never ends";
            return false;
        }
        for (const std::string& field : fields)
            line += std::size_t(std::count(field.begin(), field.end(), '\n'));
        if (fields.size() == 1 && fields[0].empty())
            continue;  // blank line
        if (fields.size() < needed) {
            error = "line " + std::to_string(line) + ": too few fields";
            return false;
        }
        ChannelRecord record;
        record.categories = SplitGroupTitle(fields[*categoriesColumn]);
        std::string_view nsfw = TrimBlanks(fields[*nsfwColumn]);
        record.nsfw = nsfw == "TRUE" || nsfw == "true" || nsfw == "1";
        records_.insert_or_assign(std::move(fields[*idColumn]), std::move(record));
    }
    return true;
}

const ChannelRecord* ChannelDatabase::Find(std::string_view id) const {
    auto found = records_.find(std::string(id));
    return found == records_.end() ? nullptr : &found->second;
}

}  // namespace lumora
