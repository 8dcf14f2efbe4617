#include "catalogue/channel_search.h"

#include "catalogue/text_fold.h"

namespace lumora {

namespace {

// The record's folded name and subtitle, made the first time it is needed.
// A line break between them keeps a query from matching across the two.
const std::u16string& SearchTextOf(Channel& channel) {
    if (channel.searchText.empty() && !(channel.name.empty() && channel.subtitle.empty())) {
        std::u16string joined = channel.name;
        joined.append(1, u'\n').append(channel.subtitle);
        channel.searchText = FoldText(joined);
    }
    return channel.searchText;
}

std::u16string_view Trimmed(std::u16string_view text) {
    auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == 0xA0 || c == 0x3000; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

}  // namespace

std::vector<Channel*> SearchChannels(const std::vector<Channel*>& channels,
                                     std::u16string_view query) {
    const std::u16string folded = FoldText(Trimmed(query));
    if (folded.empty())
        return channels;
    std::vector<Channel*> matching;
    for (Channel* channel : channels) {
        if (SearchTextOf(*channel).find(folded) != std::u16string::npos)
            matching.push_back(channel);
    }
    return matching;
}

}  // namespace lumora

namespace lumora {

bool SearchNarrows(std::u16string_view previous, std::u16string_view next) {
    const std::u16string before = FoldText(Trimmed(previous));
    return !before.empty() && FoldText(Trimmed(next)).find(before) != std::u16string::npos;
}

}  // namespace lumora
