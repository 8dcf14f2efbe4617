#include "tools/catalogue_builder.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <unordered_set>

#include "document/text_encoding.h"
#include "tools/country_codes.h"

namespace lumora::tools {

namespace {

// Attribute and node names of the catalogue file.
constexpr std::string_view kNameAttribute = "n";
constexpr std::string_view kPTextAttribute = "p";
constexpr std::string_view kCategoryAttribute = "c";
constexpr std::string_view kBitRateAttribute = "b";
constexpr std::string_view kAddressAttribute = "u";

constexpr std::string_view kOtherCategory = "e";

// Playlist and database category names and the catalogue key each maps to.
struct CategoryMapping {
    std::string_view name;
    std::string_view key;
};
constexpr CategoryMapping kCategoryMappings[] = {
    {"news", "n"},       {"music", "mu"},    {"sports", "sp"},    {"outdoor", "sp"},
    {"religious", "r"},  {"movies", "mo"},   {"series", "mo"},    {"classic", "mo"},
    {"kids", "k"},       {"animation", "k"}, {"family", "k"},     {"shop", "ad"},
    {"lifestyle", "l"},  {"cooking", "l"},   {"travel", "l"},     {"relax", "l"},
    {"auto", "l"},       {"culture", "l"},
};

// Node names stay short enough to read in a settings file.
constexpr std::size_t kMaxNodeBaseLength = 48;

std::string LowerAscii(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return lower;
}

bool IsCatalogueCountry(std::string_view code)
{
    return IsCountryCode(code) || code == kInternationalCode;
}

bool IsAlphaNumeric(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string KeepAlphaNumeric(std::string_view text)
{
    std::string kept;
    for (char c : text) {
        if (IsAlphaNumeric(c) && kept.size() < kMaxNodeBaseLength)
            kept += c;
    }
    return kept;
}

// FNV-1a: a fixed hash, so the same key gets the same node name on every
// machine and in every catalogue version.
std::string KeyHash(std::string_view key)
{
    std::uint32_t hash = 2166136261u;
    for (unsigned char c : key) {
        hash ^= c;
        hash *= 16777619u;
    }
    char text[9];
    std::snprintf(text, sizeof text, "%08x", unsigned(hash));
    return text;
}

// The tvg-id "Name.hu@SD" names the channel "Name.hu" of the country "hu".
std::string_view WithoutFeed(std::string_view tvgId)
{
    return tvgId.substr(0, tvgId.find('@'));
}

std::string CountryOfKey(std::string_view key)
{
    std::size_t dot = key.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    std::string code = LowerAscii(key.substr(dot + 1));
    return IsCatalogueCountry(code) ? code : std::string();
}

// The key without a trailing ".country".
std::string_view NodeBaseOf(std::string_view key, std::string_view country)
{
    std::size_t dot = key.rfind('.');
    if (dot != std::string_view::npos && LowerAscii(key.substr(dot + 1)) == country)
        return key.substr(0, dot);
    return key;
}

}  // namespace

std::string_view CategoryKeyFor(const std::vector<std::string>& categoryNames)
{
    for (const std::string& name : categoryNames) {
        std::string lower = LowerAscii(TrimBlanks(name));
        for (const CategoryMapping& mapping : kCategoryMappings) {
            if (mapping.name == lower)
                return mapping.key;
        }
    }
    return kOtherCategory;
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string> SplitGroupTitle(std::string_view groupTitle)
{
    std::vector<std::string> names;
    while (!groupTitle.empty()) {
        std::size_t semicolon = groupTitle.find(';');
        std::string_view one = TrimBlanks(groupTitle.substr(0, semicolon));
        if (!one.empty())
            names.emplace_back(one);
        if (semicolon == std::string_view::npos)
            break;
        groupTitle.remove_prefix(semicolon + 1);
    }
    return names;
}

std::string CountryOfPlaylistName(std::string_view fileName)
{
    std::size_t slash = fileName.find_last_of('/');
    if (slash != std::string_view::npos)
        fileName.remove_prefix(slash + 1);
    if (fileName.size() < 2)
        return {};
    // "india.m3u" is not India's playlist; "in.m3u" and "in_tango.m3u" are.
    if (fileName.size() > 2) {
        char third = fileName[2];
        if ((third >= 'a' && third <= 'z') || (third >= 'A' && third <= 'Z'))
            return {};
    }
    std::string code = LowerAscii(fileName.substr(0, 2));
    return IsCountryCode(code) ? code : std::string();
}

void CatalogueBuilder::AddPlaylist(const M3uPlaylist& playlist, std::string_view playlistName)
{
    counts_.malformed += playlist.malformed;
    std::string playlistCountry = CountryOfPlaylistName(playlistName);
    if (playlistCountry.empty())
        playlistCountry = std::string(kInternationalCode);
    for (const M3uEntry& entry : playlist.entries)
        AddEntry(entry, playlistCountry);
}

void CatalogueBuilder::AddEntry(const M3uEntry& entry, const std::string& playlistCountry)
{
    CleanName clean = CleanDisplayName(entry.displayName);
    std::string key(WithoutFeed(entry.tvgId));
    std::string country;
    if (!key.empty())
        country = CountryOfKey(key);
    else
        key = clean.name;
    if (key.empty()) {
        ++counts_.malformed;  // neither a tvg-id nor a name to know the channel by
        return;
    }
    if (country.empty())
        country = playlistCountry;

    if (database_) {
        const ChannelRecord* record = database_->Find(key);
        if (record && record->nsfw) {
            leftOut_.emplace(country, key);
            return;
        }
    }

    Draft& draft = countries_[country][key];
    if (draft.streams.empty()) {
        draft.name = !clean.name.empty() ? clean.name : std::string(TrimBlanks(entry.displayName));
        draft.tvgId = entry.tvgId;
        draft.nodeBase = std::string(NodeBaseOf(key, country));
        if (draft.name.empty())
            draft.name = draft.nodeBase;
    }
    if (draft.groupCategories.empty())
        draft.groupCategories = SplitGroupTitle(entry.groupTitle);
    draft.streams.push_back(StreamSource{entry.address, clean.resolution, order_++});
}

std::map<std::string, CatalogueBuilder::NamedDraft> CatalogueBuilder::NameNodes(
    const CountryDrafts& drafts)
{
    // Keys grouped by the name they would like; the group decides who gets it.
    std::map<std::string, std::vector<const CountryDrafts::value_type*>> wishes;
    for (const auto& entry : drafts) {
        std::string base = KeepAlphaNumeric(entry.second.nodeBase);
        if (base.empty())
            base = "ch_" + KeyHash(entry.first);
        wishes[base].push_back(&entry);
    }

    std::map<std::string, NamedDraft> named;
    for (auto& [base, group] : wishes) {
        // Who keeps the plain name: a proper tvg-id ("Name.hu") whose name
        // needed no cleaning, else any key whose name needed none, else the
        // smallest key (the map walks keys in order). The others get the
        // hash of their key, which contains "_" and so never meets a plain
        // name.
        auto rank = [&](const CountryDrafts::value_type* entry) {
            const Draft& draft = entry->second;
            if (draft.nodeBase != base)
                return 2;
            return entry->first != draft.nodeBase ? 0 : 1;
        };
        auto keeper = std::min_element(group.begin(), group.end(), [&](const auto* a, const auto* b) {
            return rank(a) < rank(b);
        });
        for (auto it = group.begin(); it != group.end(); ++it) {
            const auto* entry = *it;
            std::string name = it == keeper ? base : base + "_" + KeyHash(entry->first);
            for (int extra = 2; named.count(name); ++extra)
                name = base + "_" + KeyHash(entry->first) + "_" + std::to_string(extra);
            named.emplace(std::move(name), NamedDraft{&entry->first, &entry->second});
        }
    }
    return named;
}

void CatalogueBuilder::WriteChannel(DocNode& node, const std::string& key, const Draft& draft)
{
    const std::vector<std::string>* categories = &draft.groupCategories;
    if (database_) {
        const ChannelRecord* record = database_->Find(key);
        if (record && !record->categories.empty())
            categories = &record->categories;
    }
    node.SetWString(kNameAttribute, FromUtf8(draft.name));
    node.SetString(kPTextAttribute, draft.tvgId);
    node.SetString(kCategoryAttribute, std::string(CategoryKeyFor(*categories)));

    std::vector<const StreamSource*> streams;
    for (const StreamSource& source : draft.streams)
        streams.push_back(&source);
    std::stable_sort(streams.begin(), streams.end(), [](const StreamSource* a, const StreamSource* b) {
        if (a->resolution != b->resolution)
            return a->resolution > b->resolution;
        return a->order < b->order;
    });

    std::unordered_set<std::string_view> seen;
    int number = 0;
    for (const StreamSource* source : streams) {
        if (!seen.insert(source->address).second) {
            ++counts_.repeated;
            continue;
        }
        DocNode* stream = node.AddChild(std::to_string(number++));
        // The playlists state no bit rate, and an invented one would be
        // shown to the user as fact.
        stream->SetInt(kBitRateAttribute, 0);
        stream->SetWString(kAddressAttribute, FromUtf8(source->address));
        ++counts_.streams;
    }
}

std::unique_ptr<DocNode> CatalogueBuilder::Build(const std::string& version)
{
    counts_.channels = counts_.streams = counts_.countries = counts_.repeated = 0;
    counts_.nsfw = leftOut_.size();
    auto root = std::make_unique<DocNode>(version);
    for (const auto& [code, drafts] : countries_) {
        DocNode* country = root->AddChild(code);
        for (const auto& [name, named] : NameNodes(drafts)) {
            WriteChannel(*country->AddChild(name), *named.key, *named.draft);
            ++counts_.channels;
        }
        ++counts_.countries;
    }
    return root;
}

}  // namespace lumora::tools
