#include "player/track_list.h"

#include <string_view>

namespace lumora {

namespace {

const mpv_node* Field(const mpv_node& map, std::string_view key) {
    if (map.format != MPV_FORMAT_NODE_MAP || map.u.list == nullptr)
        return nullptr;
    for (int i = 0; i < map.u.list->num; ++i) {
        if (map.u.list->keys[i] == key)
            return &map.u.list->values[i];
    }
    return nullptr;
}

std::string TextField(const mpv_node& map, std::string_view key) {
    const mpv_node* value = Field(map, key);
    if (value == nullptr || value->format != MPV_FORMAT_STRING || value->u.string == nullptr)
        return {};
    std::string text(value->u.string);
    if (text.size() > kMaxTrackText)
        text.resize(kMaxTrackText);
    return text;
}

bool FlagField(const mpv_node& map, std::string_view key) {
    const mpv_node* value = Field(map, key);
    return value != nullptr && value->format == MPV_FORMAT_FLAG && value->u.flag != 0;
}

void AddWish(std::vector<std::pair<std::string, std::string>>& options, const TrackWish& wish,
             const char* idOption, const char* languageOption) {
    if (wish.off) {
        options.emplace_back(idOption, "no");
        return;
    }
    if (wish.position > 0) {
        options.emplace_back(idOption, std::to_string(wish.position));
        return;
    }
    std::string languages;
    for (const std::string& tag : wish.languages) {
        // A tag is a word; anything else would split mpv's list.
        if (tag.empty() || tag.find_first_of(",%=\\\"' ") != std::string::npos)
            continue;
        if (!languages.empty())
            languages += ',';
        languages += tag;
    }
    if (!languages.empty())
        options.emplace_back(languageOption, languages);
}

}  // namespace

std::vector<MediaTrack> TracksFromNode(const mpv_node& list) {
    std::vector<MediaTrack> tracks;
    if (list.format != MPV_FORMAT_NODE_ARRAY || list.u.list == nullptr)
        return tracks;
    for (int i = 0; i < list.u.list->num && tracks.size() < kMaxTracks; ++i) {
        const mpv_node& entry = list.u.list->values[i];
        const std::string type = TextField(entry, "type");
        const mpv_node* id = Field(entry, "id");
        if ((type != "audio" && type != "sub") || id == nullptr || id->format != MPV_FORMAT_INT64)
            continue;
        MediaTrack track;
        track.id = id->u.int64;
        track.kind = type == "audio" ? TrackKind::Audio : TrackKind::Subtitle;
        track.language = TextField(entry, "lang");
        track.title = TextField(entry, "title");
        track.codec = TextField(entry, "codec");
        track.isDefault = FlagField(entry, "default");
        track.forced = FlagField(entry, "forced");
        track.selected = FlagField(entry, "selected");
        tracks.push_back(std::move(track));
    }
    return tracks;
}

std::vector<std::pair<std::string, std::string>> TrackOptions(const TrackPreference& preference) {
    std::vector<std::pair<std::string, std::string>> options;
    AddWish(options, preference.audio, kAudioTrackProperty, "alang");
    AddWish(options, preference.subtitle, kSubtitleTrackProperty, "slang");
    return options;
}

}  // namespace lumora
