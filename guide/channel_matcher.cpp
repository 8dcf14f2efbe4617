#include "guide/channel_matcher.h"

#include "catalogue/channel_search.h"
#include "document/text_encoding.h"

namespace lumora {

namespace {

bool IsSeparator(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'_' || c == u'-' || c == 0xA0 || c == 0x3000;
}

}  // namespace

std::string_view MatchRuleName(MatchRule rule) {
    switch (rule) {
    case MatchRule::Id: return "id";
    case MatchRule::TvgName: return "tvg-name";
    case MatchRule::Name: return "name";
    }
    return "id";
}

std::string FoldChannelName(std::string_view name) {
    const std::u16string folded = FoldText(FromUtf8(name));
    std::u16string joined;
    joined.reserve(folded.size());
    bool pendingBlank = false;
    for (char16_t c : folded) {
        if (IsSeparator(c)) {
            pendingBlank = !joined.empty();
            continue;
        }
        if (pendingBlank)
            joined.push_back(u' ');
        pendingBlank = false;
        joined.push_back(c);
    }
    return ToUtf8(joined);
}

std::string GuideIdKey(std::string_view id) {
    std::string key;
    AssignGuideIdKey(key, id);
    return key;
}

void AssignGuideIdKey(std::string& key, std::string_view id) {
    key.assign(id);
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    }
}

ChannelMatcher::ChannelMatcher(const std::vector<GuideChannelNames>& guideChannels) {
    for (const GuideChannelNames& guide : guideChannels) {
        byId_.try_emplace(GuideIdKey(guide.id), guide.channel);
        for (const std::string& name : guide.displayNames) {
            std::string folded = FoldChannelName(name);
            if (!folded.empty())
                byName_.try_emplace(std::move(folded), guide.channel);
        }
    }
}

void ChannelMatcher::AddFolded(std::int64_t channel, std::string idKey,
                               const std::string& foldedName) {
    if (!idKey.empty())
        byId_.try_emplace(std::move(idKey), channel);
    if (!foldedName.empty())
        byName_.try_emplace(foldedName, channel);
}

std::optional<ChannelMatch> ChannelMatcher::Match(const CatalogueChannel& channel) const {
    if (!channel.tvgId.empty()) {
        if (auto found = byId_.find(GuideIdKey(channel.tvgId)); found != byId_.end())
            return ChannelMatch{found->second, MatchRule::Id};
    }
    const std::pair<const std::string*, MatchRule> names[] = {
        {&channel.tvgName, MatchRule::TvgName},
        {&channel.name, MatchRule::Name},
    };
    for (const auto& [name, rule] : names) {
        const std::string folded = FoldChannelName(*name);
        if (folded.empty())
            continue;
        if (auto found = byName_.find(folded); found != byName_.end())
            return ChannelMatch{found->second, rule};
    }
    return std::nullopt;
}

}  // namespace lumora
