#pragma once

#include <vector>

#include "catalogue/channel.h"
#include "catalogue/channel_views.h"

namespace lumora {

// Where the user left the channel list: the selected row of each list (-1
// for none) and the chosen entry of each chooser (0 for all). Kept between
// its openings in one run, never stored.
struct ChannelListPlace {
    int channelRow = 0;
    int favouriteRow = 0;
    int countryEntry = 0;
    int categoryEntry = 0;
};

// The order zapping steps through: the list the user last chose from in
// the channel list. That is the favourites, or the channels of the country
// and category the choosers were left on, by the tab in "sel_tab" (the
// search aside). The main window owns it and hands it to the channel list,
// which reads and writes its place here, and to the programme grid, which
// shows the same list.
//
// Threads: the UI thread only.
class ZapOrder {
public:
    ChannelListPlace& Place() { return place_; }
    const ChannelListPlace& Place() const { return place_; }

    // The channels of that list, its choosers' entries read as choosers
    // ordered by `ordering` (the interface language's) list them.
    std::vector<Channel*> Channels(const TextOrdering& ordering) const;
    // The channel before or after `current` in that list, wrapping at the
    // ends; without `current` in it, the first or the last. Null when the
    // list is empty.
    Channel* Neighbour(const Channel* current, ZapDirection direction,
                       const TextOrdering& ordering) const;

private:
    ChannelListPlace place_;
};

}  // namespace lumora
