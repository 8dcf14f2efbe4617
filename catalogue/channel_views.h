#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/channel.h"

namespace lumora {

// The ways the channel list presents the catalogue. Every view is computed
// from AllChannels on demand and keeps its order.
//
// Threads: the UI thread only.

// Orders AllChannels by full title, comparing UTF-16 code units (no locale
// rules, upper case before lower case). Channels with equal titles end up in
// no particular order.
void SortAllChannels();
// The same order for a list of its own; on any thread, as it reads only the
// channels of that list (a catalogue built on a worker thread).
void SortChannels(std::vector<Channel*>& channels);
// "country name" + " " + "channel name": what AllChannels is ordered by.
std::u16string FullTitle(const Channel& channel);
// The order of two full titles, "country" + " " + "name", compared code unit
// by code unit without joining them: negative, 0 or positive.
int CompareJoinedTitles(std::u16string_view countryA, std::u16string_view nameA,
                        std::u16string_view countryB, std::u16string_view nameB);

// The channels of AllChannels whose country is `country` and whose category
// is `category`; null stands for "all". A channel without a category only
// matches "all".
std::vector<Channel*> FilterChannels(const Country* country, const Category* category);
// The favourites, in AllChannels order; the filters do not apply.
std::vector<Channel*> FavouriteChannels();

void AddFavourite(Channel& channel);
void RemoveFavourite(Channel& channel);

// Makes the channel the catalogue's current one and stores its id in the
// setting "cur_channel". Called whenever playback of a channel starts.
void SetCurrentChannel(Channel& channel);

// The previous or the next channel of a list (zapping).
enum class ZapDirection { Previous, Next };
// The channel before or after `current` in `channels`, wrapping at the ends.
// When `current` is not in the list, Next gives the first channel and
// Previous the last; an empty list gives null.
Channel* ZapNeighbour(const std::vector<Channel*>& channels, const Channel* current,
                      ZapDirection direction);

// An order of display texts: true when `a` goes before `b`. The shell gives
// the collation of the interface language; without one, texts are compared
// by UTF-16 code unit.
using TextOrdering = std::function<bool(const std::u16string& a, const std::u16string& b)>;

// One entry of a filter chooser: the text shown and the record it stands
// for (null for the "all" entry).
template <typename Record>
struct FilterOption {
    std::u16string text;
    const Record* record = nullptr;
};
using CountryOption = FilterOption<Country>;
using CategoryOption = FilterOption<Category>;
// "All countries" first, then the countries ordered by display name.
std::vector<CountryOption> CountryOptions(const TextOrdering& ordering = {});
// "All channels" first, then the categories ordered by display name.
std::vector<CategoryOption> CategoryOptions(const TextOrdering& ordering = {});

// A tab caption: the text of `key` formatted with "%s (%d)" and the count.
std::u16string TabCaption(std::string_view key, std::size_t count);

}  // namespace lumora
