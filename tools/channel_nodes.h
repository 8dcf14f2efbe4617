#pragma once

#include <optional>
#include <string>

#include "document/doc_view.h"

namespace lumora::tools {

// A catalogue channel's node and its first stream's (the stream the player
// plays unless the user chose another), in a view that must outlive them.
struct ChannelNodes {
    DocView::Node channel;
    DocView::Node stream;
};

// Reads the catalogue file into `view` and finds the channel `channelId`
// as the catalogue load does; none, with the reason in `problem`, when the
// file cannot be read, has no such channel or the channel no stream.
std::optional<ChannelNodes> ReadChannelNodes(DocView& view, const std::string& catalogue,
                                             const std::string& channelId, std::string& problem);

}  // namespace lumora::tools
