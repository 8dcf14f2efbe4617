#include "catalogue/zap_order.h"

#include "catalogue/channel_tab.h"

namespace lumora {
namespace {

// The record behind a remembered entry of a chooser, as the chooser would
// list it now; null (all) when the entry no longer exists.
template <typename Record>
const Record* RememberedRecord(const std::vector<FilterOption<Record>>& options, int entry) {
    if (entry <= 0 || static_cast<std::size_t>(entry) >= options.size())
        return nullptr;
    return options[static_cast<std::size_t>(entry)].record;
}

}  // namespace

std::vector<Channel*> ZapOrder::Channels(const TextOrdering& ordering) const {
    if (StoredChannelTab() == ChannelTab::Favourites)
        return FavouriteChannels();
    return FilterChannels(
        RememberedRecord<Country>(CountryOptions(ordering), place_.countryEntry),
        RememberedRecord<Category>(CategoryOptions(ordering), place_.categoryEntry));
}

Channel* ZapOrder::Neighbour(const Channel* current, ZapDirection direction,
                             const TextOrdering& ordering) const {
    return ZapNeighbour(Channels(ordering), current, direction);
}

}  // namespace lumora
