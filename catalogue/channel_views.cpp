#include "catalogue/channel_views.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <utility>

#include "catalogue/catalogue.h"
#include "catalogue/languages.h"
#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "catalogue/text_format.h"
#include "document/large_page_allocator.h"
#include "document/text_encoding.h"

namespace lumora {

namespace {

constexpr std::string_view kAllCountriesKey = "str_all_countries";
constexpr std::string_view kAllChannelsKey = "str_all_channels";
constexpr char16_t kTabCaptionFormat[] = u"%s (%d)";

// The chooser lists its records by display text; the "all" entry stays on top.
template <typename Record, typename Map>
std::vector<FilterOption<Record>> Options(std::string_view allKey, const Map* records,
                                          const TextOrdering& ordering) {
    using Option = FilterOption<Record>;
    std::vector<Option> options;
    options.push_back({LookupText(allKey), nullptr});
    if (records == nullptr)
        return options;
    options.reserve(records->size() + 1);
    for (const auto& [key, record] : *records)
        options.push_back({record->displayName, record.get()});
    if (ordering) {
        std::stable_sort(
            options.begin() + 1, options.end(),
            [&ordering](const Option& a, const Option& b) { return ordering(a.text, b.text); });
    } else {
        std::stable_sort(options.begin() + 1, options.end(),
                         [](const Option& a, const Option& b) { return a.text < b.text; });
    }
    return options;
}

}  // namespace

void SortAllChannels() {
    SortChannels(AllChannels());
}

namespace {

std::u16string_view CountryNameOf(const Channel& channel) {
    return channel.country ? std::u16string_view(channel.country->displayName)
                           : std::u16string_view();
}

// A rank for each country of `channels` such that the channels of two
// countries of different ranks are in the order of their ranks, whatever
// their names. Countries go by name + " " (the start of their titles);
// where one such start begins another ("Congo " and "Congo Republic "),
// or two countries share a name, the names decide and both get one rank.
std::unordered_map<const Country*, std::uint32_t> RankCountries(
    const std::vector<Channel*>& channels) {
    std::vector<std::pair<std::u16string_view, const Country*>> countries;
    const Country* last = nullptr;
    for (const Channel* channel : channels) {
        if (countries.empty() || channel->country != last)
            countries.emplace_back(CountryNameOf(*channel), channel->country);
        last = channel->country;
    }
    std::sort(countries.begin(), countries.end(), [](const auto& a, const auto& b) {
        const int order = CompareJoinedTitles(a.first, u"", b.first, u"");
        return order != 0 ? order < 0 : std::less<const Country*>()(a.second, b.second);
    });
    std::unordered_map<const Country*, std::uint32_t> ranks;
    ranks.reserve(countries.size());
    std::uint32_t rank = 0;
    std::u16string_view bucket;  // the start that opened the current rank
    for (std::size_t i = 0; i < countries.size(); ++i) {
        const std::u16string_view name = countries[i].first;
        const bool startsWithBucket = i > 0 && name.size() >= bucket.size() &&
                                      name.substr(0, bucket.size()) == bucket &&
                                      (name.size() == bucket.size() || name[bucket.size()] == u' ');
        if (i > 0 && !startsWithBucket) {
            ++rank;
            bucket = name;
        } else if (i == 0) {
            bucket = name;
        }
        ranks.emplace(countries[i].second, rank);
    }
    return ranks;
}

// Four code units from `at` on, packed so that the numbers compare as the
// units do (a missing unit is 0, below every unit but U+0000, where the
// names then decide).
std::uint64_t PackUnits(std::u16string_view name, std::size_t at) {
    std::uint64_t packed = 0;
    for (std::size_t i = at; i < at + 4; ++i)
        packed = (packed << 16) | (i < name.size() ? name[i] : 0u);
    return packed;
}

// How the names of a country are compared in a sort: its rank, the length
// of the start its names all share, and whether it has its rank to itself.
struct NameStart {
    std::uint32_t rank = 0;
    std::u16string_view first;
    std::size_t shared = 0;
    bool alone = true;
};

std::unordered_map<const Country*, NameStart> NameStarts(
    const std::vector<Channel*>& channels,
    const std::unordered_map<const Country*, std::uint32_t>& ranks) {
    std::unordered_map<const Country*, NameStart> starts;
    std::unordered_map<std::uint32_t, const Country*> rankOwners;
    for (const Channel* channel : channels) {
        auto [at, added] = starts.try_emplace(channel->country);
        NameStart& start = at->second;
        const std::u16string_view name = channel->name;
        if (added) {
            start.rank = ranks.at(channel->country);
            start.first = name;
            start.shared = name.size();
            auto [owner, first] = rankOwners.try_emplace(start.rank, channel->country);
            if (!first)
                start.alone = starts[owner->second].alone = false;
            continue;
        }
        std::size_t shared = 0;
        const std::size_t most = std::min(start.shared, name.size());
        while (shared < most && start.first[shared] == name[shared])
            ++shared;
        start.shared = shared;
    }
    return starts;
}

}  // namespace

void SortChannels(std::vector<Channel*>& channels) {
    // Channels go by their full titles, "country name" + " " + "channel
    // name", compared code unit by code unit (char16_t is unsigned). The
    // title is compared in its parts, so no title is ever built; the
    // country part is mostly decided by a rank of the country, so most
    // comparisons only look at two names. Within a country most are decided
    // by four units of the name packed into a number: the four after the
    // start all of the country's names share ("Channel " in "Channel 1",
    // "Channel 2", ...), so long common starts cost nothing. The keys are
    // small, and the scattered Channel records are only read where the
    // packed units tie.
    struct SortKey {
        // Four units of the name after the start its country's names share;
        // 0 in a rank of several countries, whose titles decide.
        std::uint64_t units;
        Channel* channel;
        std::uint32_t rank;
        std::uint32_t index;  // the place it came in
    };
    const std::unordered_map<const Country*, std::uint32_t> ranks = RankCountries(channels);
    const std::unordered_map<const Country*, NameStart> starts = NameStarts(channels, ranks);
    LargePageVector<SortKey> keys;
    keys.reserve(channels.size());
    for (std::size_t i = 0; i < channels.size(); ++i) {
        Channel* channel = channels[i];
        const NameStart& start = starts.at(channel->country);
        keys.push_back({start.alone ? PackUnits(channel->name, start.shared) : 0, channel,
                        start.rank, static_cast<std::uint32_t>(i)});
    }
    auto before = [](const SortKey& a, const SortKey& b) {
        if (a.rank != b.rank)
            return a.rank < b.rank;
        if (a.units != b.units)
            return a.units < b.units;
        const Channel& channelA = *a.channel;
        const Channel& channelB = *b.channel;
        const std::u16string_view countryA = CountryNameOf(channelA);
        const std::u16string_view countryB = CountryNameOf(channelB);
        int order = 0;
        if (countryA.data() == countryB.data() && countryA.size() == countryB.size())
            order = std::u16string_view(channelA.name).compare(channelB.name);
        else
            order = CompareJoinedTitles(countryA, channelA.name, countryB, channelB.name);
        // Equal titles keep the order they came in.
        return order != 0 ? order < 0 : a.index < b.index;
    };
    // A list in order already (a file written sorted) is only checked.
    if (std::is_sorted(keys.begin(), keys.end(), before))
        return;
    std::sort(keys.begin(), keys.end(), before);
    for (std::size_t i = 0; i < keys.size(); ++i)
        channels[i] = keys[i].channel;
}

std::u16string FullTitle(const Channel& channel) {
    std::u16string title = channel.country ? channel.country->displayName : std::u16string();
    return title.append(1, u' ').append(channel.name);
}

int CompareJoinedTitles(std::u16string_view countryA, std::u16string_view nameA,
                        std::u16string_view countryB, std::u16string_view nameB) {
    // One country: the same first part and space.
    if (countryA == countryB)
        return nameA.compare(nameB);
    // Two countries that differ before either name ends decide alone.
    const std::size_t common = std::min(countryA.size(), countryB.size());
    const auto [atA, atB] =
        std::mismatch(countryA.begin(), countryA.begin() + common, countryB.begin());
    if (atA != countryA.begin() + common)
        return *atA < *atB ? -1 : 1;
    // One country name begins the other: compare the joined texts.
    const std::size_t sizeA = countryA.size() + 1 + nameA.size();
    const std::size_t sizeB = countryB.size() + 1 + nameB.size();
    auto unitAt = [](std::u16string_view country, std::u16string_view name, std::size_t i) {
        if (i < country.size())
            return country[i];
        return i == country.size() ? u' ' : name[i - country.size() - 1];
    };
    for (std::size_t i = 0; i < sizeA && i < sizeB; ++i) {
        const char16_t a = unitAt(countryA, nameA, i);
        const char16_t b = unitAt(countryB, nameB, i);
        if (a != b)
            return a < b ? -1 : 1;
    }
    return sizeA < sizeB ? -1 : sizeA > sizeB ? 1 : 0;
}

std::vector<Channel*> FilterChannels(const Country* country, const Category* category) {
    const std::vector<Channel*>& channels = AllChannels();
    if (country == nullptr && category == nullptr)
        return channels;
    std::vector<Channel*> matching;
    for (Channel* channel : channels) {
        if ((country == nullptr || channel->country == country) &&
            (category == nullptr || channel->category == category))
            matching.push_back(channel);
    }
    return matching;
}

std::vector<Channel*> FavouriteChannels() {
    std::vector<Channel*> favourites;
    for (Channel* channel : AllChannels()) {
        if (channel->favourite)
            favourites.push_back(channel);
    }
    return favourites;
}

void AddFavourite(Channel& channel) {
    channel.favourite = true;
}

void RemoveFavourite(Channel& channel) {
    channel.favourite = false;
}

void SetCurrentChannel(Channel& channel) {
    if (Catalogue* catalogue = TheCatalogue())
        catalogue->MakeCurrent(&channel);
    SetStringSetting(kCurChannel, WidenName(channel.id));
}

Channel* ZapNeighbour(const std::vector<Channel*>& channels, const Channel* current,
                      ZapDirection direction) {
    if (channels.empty())
        return nullptr;
    const auto found = std::find(channels.begin(), channels.end(), current);
    const bool next = direction == ZapDirection::Next;
    if (found == channels.end())
        return next ? channels.front() : channels.back();
    const std::size_t count = channels.size();
    const std::size_t at = static_cast<std::size_t>(found - channels.begin());
    return channels[next ? (at + 1) % count : (at + count - 1) % count];
}

std::vector<CountryOption> CountryOptions(const TextOrdering& ordering) {
    const Catalogue* catalogue = TheCatalogue();
    return Options<Country>(kAllCountriesKey, catalogue ? &catalogue->Countries() : nullptr,
                            ordering);
}

std::vector<CategoryOption> CategoryOptions(const TextOrdering& ordering) {
    const Catalogue* catalogue = TheCatalogue();
    return Options<Category>(kAllChannelsKey, catalogue ? &catalogue->Categories() : nullptr,
                             ordering);
}

std::u16string TabCaption(std::string_view key, std::size_t count) {
    return FormatText(kTabCaptionFormat, {LookupText(key), count});
}

}  // namespace lumora
