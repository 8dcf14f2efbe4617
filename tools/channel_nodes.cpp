#include "tools/channel_nodes.h"

#include "catalogue/catchup_attributes.h"
#include "document/text_encoding.h"

namespace lumora::tools {

std::optional<ChannelNodes> ReadChannelNodes(DocView& view, const std::string& catalogue,
                                             const std::string& channelId, std::string& problem) {
    if (!view.LoadFromFile(FromUtf8(catalogue))) {
        problem = "cannot read the catalogue " + catalogue;
        return std::nullopt;
    }
    const std::optional<DocView::Node> channel = FindCatalogueChannel(view.Root(), channelId);
    if (!channel) {
        problem = "no channel " + channelId + " in " + catalogue;
        return std::nullopt;
    }
    DocView::Node stream = *channel;
    if (!channel->FindChild("0", stream)) {
        problem = "the channel " + channelId + " has no stream";
        return std::nullopt;
    }
    return ChannelNodes{*channel, stream};
}

}  // namespace lumora::tools
