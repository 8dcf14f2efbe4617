#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lumora {

// Which guide channel each catalogue channel shows. Standard library only;
// a built matcher may be read from any thread.

// A catalogue channel as matching sees it (from the catalogue's channel
// attributes "tvg-id", "tvg-name", "tvg-shift" and its name).
struct CatalogueChannel {
    std::string lumoraId;
    std::string tvgId;
    std::string tvgName;
    std::string name;
    int shiftMinutes = 0;  // shows programmes this much later
};

// A guide channel: its handle (a store row), its id and display names.
struct GuideChannelNames {
    std::int64_t channel = 0;
    std::string id;
    std::vector<std::string> displayNames;
};

enum class MatchRule { Id, TvgName, Name };

// "id", "tvg-name", "name": as the data tool prints and the store keeps.
std::string_view MatchRuleName(MatchRule rule);

struct ChannelMatch {
    std::int64_t channel = 0;
    MatchRule rule = MatchRule::Id;
};

// A name in the form matching compares: lower case, accents removed (the
// channel search's fold), blanks, '_' and '-' all one blank, runs of them
// one, none at either end.
std::string FoldChannelName(std::string_view name);

// A guide channel id in the form ids compare: ASCII letters in lower case.
std::string GuideIdKey(std::string_view id);
// The same into `key`, which keeps its memory: for look-ups by the many.
void AssignGuideIdKey(std::string& key, std::string_view id);

class ChannelMatcher {
public:
    // Of two guide channels with one id or one display name, the first
    // counts.
    explicit ChannelMatcher(const std::vector<GuideChannelNames>& guideChannels);
    // The first rule that holds: (a) the tvg-id is a guide channel's id
    // ignoring case, (b) the tvg-name is one of its display names, (c) the
    // channel's name is; names compared folded. Nothing when none holds.
    std::optional<ChannelMatch> Match(const CatalogueChannel& channel) const;

    // The same with names already folded (the store keeps them so).
    void AddFolded(std::int64_t channel, std::string idKey, const std::string& foldedName);
    ChannelMatcher() = default;

private:
    std::unordered_map<std::string, std::int64_t> byId_;
    std::unordered_map<std::string, std::int64_t> byName_;
};

}  // namespace lumora
