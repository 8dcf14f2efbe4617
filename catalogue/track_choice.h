#pragma once

// Audio and subtitle tracks: what a stream offers, what the user chose on a
// channel (kept in the settings beside the channel's other state), and
// which track a play request ends up with. A channel's remembered choice
// comes first, then the user's preferred languages, then what the stream
// itself marks as default.
//
// Standard library only: the player adapter fills MediaTrack from the
// player's track list and spells languages the way the player compares
// them (LanguageSpellings).
//
// Threads: plain values and functions; any thread.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

enum class TrackKind : std::uint8_t { Audio, Subtitle };

// One audio or subtitle track of the stream that plays.
struct MediaTrack {
    std::int64_t id = 0;  // the player's id, unique among the tracks of a kind
    TrackKind kind = TrackKind::Audio;
    std::string language;  // the stream's tag ("deu", "ger", "en"); may be empty
    std::string title;
    std::string codec;  // the decoder's short name ("aac", "ac3", "dvb_subtitle")
    bool isDefault = false;
    bool forced = false;
    bool selected = false;

    bool operator==(const MediaTrack&) const = default;
};

// What the user picked for one kind of track.
struct TrackPick {
    enum class By : std::uint8_t { Nothing, Language, Position, Off };
    By by = By::Nothing;
    std::string language;  // By::Language: the tag as the stream gave it
    int position = 0;      // By::Position: 1-based among the tracks of its kind

    bool operator==(const TrackPick&) const = default;
};

// A channel's remembered choice. Stored as one short text ("deu/-",
// "#2/", "/eng"): audio part, "/", subtitle part; a part is empty (no
// choice), a language tag, "#N" (the N-th track) or "-" (subtitles off).
// Most channels have none: the text is then empty.
struct TrackChoice {
    TrackPick audio;
    TrackPick subtitle;

    bool operator==(const TrackChoice&) const = default;
};

inline constexpr std::size_t kMaxLanguageTag = 15;
inline constexpr int kMaxTrackPosition = 999;

std::string EncodeTrackChoice(const TrackChoice& choice);
// None for a text that is not one EncodeTrackChoice makes (a damaged or
// foreign settings file): such a choice is dropped, nothing else.
std::optional<TrackChoice> DecodeTrackChoice(std::string_view text);

// The pick that brings back `id` among `tracks` of that kind next time: its
// language when it is the first track of that language, else its position.
// No id (subtitles only): off. A missing id picks nothing.
TrackPick PickFor(const std::vector<MediaTrack>& tracks, TrackKind kind,
                  std::optional<std::int64_t> id);
// `choice` with the pick of that kind replaced.
TrackChoice WithPick(TrackChoice choice, TrackKind kind, TrackPick pick);

// Every spelling of the language of `tag` a stream may use ("de", "deu",
// "ger"); the tag itself first. Made by the adapter that knows the codes.
using LanguageSpellings = std::function<std::vector<std::string>(std::string_view tag)>;

// What one play request asks for one kind of track.
struct TrackWish {
    int position = 0;  // 1-based; 0 for none
    bool off = false;  // subtitles only
    // Every spelling, most wanted first.
    std::vector<std::string> languages;

    bool operator==(const TrackWish&) const = default;
};

struct TrackPreference {
    TrackWish audio;
    TrackWish subtitle;
    // The interface language in every spelling: where the audio is in
    // another language, a subtitle track in this one is shown.
    std::vector<std::string> interfaceLanguages;

    bool operator==(const TrackPreference&) const = default;
};

// The preference of a play request: the channel's remembered choice, then
// the preferred languages of the settings (empty: audio in the interface
// language, subtitles only as described at ResolveTrack).
TrackPreference MakeTrackPreference(const TrackChoice& remembered, std::string_view audioLanguage,
                                    std::string_view subtitleLanguage,
                                    std::string_view interfaceLanguage,
                                    const LanguageSpellings& spellings);

// The id of the track of `kind` the request plays; none for no track.
// Audio: the wished position when the stream has it, else the first
// wished language it has, else its default track, else its first.
// Subtitles: none when turned off; else the wished position or languages;
// else a track the stream marks default or forced; else, when the audio
// is in a known language neither wished (remembered or preferred) nor the
// interface language, a subtitle track in the interface language; else
// none.
std::optional<std::int64_t> ResolveTrack(const std::vector<MediaTrack>& tracks, TrackKind kind,
                                         const TrackPreference& preference);

// True when the stream offers something to choose: more than one audio
// track, or any subtitle track.
bool HasTrackChoice(const std::vector<MediaTrack>& tracks);

// The id of the selected track of that kind, if any.
std::optional<std::int64_t> SelectedTrack(const std::vector<MediaTrack>& tracks, TrackKind kind);

}  // namespace lumora
