#include "catalogue/track_choice.h"

#include <algorithm>

namespace lumora {

namespace {

constexpr char kPartSeparator = '/';
constexpr char kPositionMark = '#';
constexpr std::string_view kOffMark = "-";

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool SameTag(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

bool IsTagCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

bool IsLanguageTag(std::string_view tag) {
    return !tag.empty() && tag.size() <= kMaxLanguageTag &&
           std::all_of(tag.begin(), tag.end(), IsTagCharacter) && tag != kOffMark;
}

std::string EncodePick(const TrackPick& pick) {
    switch (pick.by) {
    case TrackPick::By::Nothing: return {};
    case TrackPick::By::Language: return pick.language;
    case TrackPick::By::Position: return kPositionMark + std::to_string(pick.position);
    case TrackPick::By::Off: return std::string(kOffMark);
    }
    return {};
}

std::optional<TrackPick> DecodePick(std::string_view part, TrackKind kind) {
    if (part.empty())
        return TrackPick{};
    if (part == kOffMark) {
        if (kind != TrackKind::Subtitle)
            return std::nullopt;
        return TrackPick{TrackPick::By::Off, {}, 0};
    }
    if (part.front() == kPositionMark) {
        const std::string_view digits = part.substr(1);
        if (digits.empty() || digits.size() > 3 || digits.front() == '0' ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        return TrackPick{TrackPick::By::Position, {}, std::stoi(std::string(digits))};
    }
    if (!IsLanguageTag(part))
        return std::nullopt;
    return TrackPick{TrackPick::By::Language, std::string(part), 0};
}

bool Speaks(const MediaTrack& track, const std::vector<std::string>& spellings) {
    return std::any_of(spellings.begin(), spellings.end(),
                       [&](const std::string& tag) { return SameTag(track.language, tag); });
}

std::vector<const MediaTrack*> TracksOf(const std::vector<MediaTrack>& tracks, TrackKind kind) {
    std::vector<const MediaTrack*> found;
    for (const MediaTrack& track : tracks) {
        if (track.kind == kind)
            found.push_back(&track);
    }
    return found;
}

// The first wished language the tracks have, the default one among the
// tracks of that language if any (as players rank them).
const MediaTrack* ByLanguages(const std::vector<const MediaTrack*>& tracks,
                              const std::vector<std::string>& languages) {
    for (const std::string& language : languages) {
        const MediaTrack* first = nullptr;
        for (const MediaTrack* track : tracks) {
            if (!SameTag(track->language, language))
                continue;
            if (track->isDefault)
                return track;
            if (first == nullptr)
                first = track;
        }
        if (first != nullptr)
            return first;
    }
    return nullptr;
}

const MediaTrack* ByWish(const std::vector<const MediaTrack*>& tracks, const TrackWish& wish) {
    if (wish.position > 0 && static_cast<std::size_t>(wish.position) <= tracks.size())
        return tracks[wish.position - 1];
    return ByLanguages(tracks, wish.languages);
}

const MediaTrack* FindId(const std::vector<const MediaTrack*>& tracks, std::int64_t id) {
    for (const MediaTrack* track : tracks) {
        if (track->id == id)
            return track;
    }
    return nullptr;
}

const MediaTrack* ResolveAudio(const std::vector<const MediaTrack*>& audio,
                               const TrackPreference& preference) {
    if (audio.empty())
        return nullptr;
    if (const MediaTrack* wished = ByWish(audio, preference.audio))
        return wished;
    for (const MediaTrack* track : audio) {
        if (track->isDefault)
            return track;
    }
    return audio.front();
}

const MediaTrack* ResolveSubtitle(const std::vector<MediaTrack>& tracks,
                                  const std::vector<const MediaTrack*>& subtitles,
                                  const TrackPreference& preference) {
    if (subtitles.empty() || preference.subtitle.off)
        return nullptr;
    if (const MediaTrack* wished = ByWish(subtitles, preference.subtitle))
        return wished;
    for (const MediaTrack* track : subtitles) {
        if (track->isDefault || track->forced)
            return track;
    }
    // Subtitles help where the audio is in a language the user did not ask
    // for and may not speak; an untagged audio track says nothing about
    // that, and audio the user chose is understood.
    const std::vector<const MediaTrack*> audioTracks = TracksOf(tracks, TrackKind::Audio);
    const MediaTrack* audio = ResolveAudio(audioTracks, preference);
    if (audio == nullptr || audio->language.empty() ||
        audio == ByWish(audioTracks, preference.audio) ||
        Speaks(*audio, preference.interfaceLanguages))
        return nullptr;
    return ByLanguages(subtitles, preference.interfaceLanguages);
}

void Append(std::vector<std::string>& to, const std::vector<std::string>& more) {
    for (const std::string& tag : more) {
        if (std::none_of(to.begin(), to.end(),
                         [&](const std::string& have) { return SameTag(have, tag); }))
            to.push_back(tag);
    }
}

TrackWish WishFor(const TrackPick& remembered, std::string_view preferred,
                  const LanguageSpellings& spellings) {
    TrackWish wish;
    switch (remembered.by) {
    case TrackPick::By::Language: Append(wish.languages, spellings(remembered.language)); break;
    case TrackPick::By::Position: wish.position = remembered.position; break;
    case TrackPick::By::Off: wish.off = true; break;
    case TrackPick::By::Nothing: break;
    }
    if (!preferred.empty())
        Append(wish.languages, spellings(preferred));
    return wish;
}

}  // namespace

std::string EncodeTrackChoice(const TrackChoice& choice) {
    if (choice.audio.by == TrackPick::By::Nothing && choice.subtitle.by == TrackPick::By::Nothing)
        return {};
    return EncodePick(choice.audio) + kPartSeparator + EncodePick(choice.subtitle);
}

std::optional<TrackChoice> DecodeTrackChoice(std::string_view text) {
    if (text.empty())
        return TrackChoice{};
    const std::size_t separator = text.find(kPartSeparator);
    if (separator == std::string_view::npos)
        return std::nullopt;
    auto audio = DecodePick(text.substr(0, separator), TrackKind::Audio);
    auto subtitle = DecodePick(text.substr(separator + 1), TrackKind::Subtitle);
    if (!audio || !subtitle)
        return std::nullopt;
    return TrackChoice{std::move(*audio), std::move(*subtitle)};
}

TrackPick PickFor(const std::vector<MediaTrack>& tracks, TrackKind kind,
                  std::optional<std::int64_t> id) {
    if (!id)
        return kind == TrackKind::Subtitle ? TrackPick{TrackPick::By::Off, {}, 0} : TrackPick{};
    const std::vector<const MediaTrack*> ofKind = TracksOf(tracks, kind);
    const MediaTrack* chosen = FindId(ofKind, *id);
    if (chosen == nullptr)
        return {};
    if (IsLanguageTag(chosen->language)) {
        const auto firstOfLanguage = std::find_if(ofKind.begin(), ofKind.end(), [&](auto* track) {
            return SameTag(track->language, chosen->language);
        });
        if (*firstOfLanguage == chosen)
            return {TrackPick::By::Language, chosen->language, 0};
    }
    const auto at = std::find(ofKind.begin(), ofKind.end(), chosen) - ofKind.begin();
    if (at + 1 > kMaxTrackPosition)
        return {};
    return {TrackPick::By::Position, {}, static_cast<int>(at + 1)};
}

TrackChoice WithPick(TrackChoice choice, TrackKind kind, TrackPick pick) {
    (kind == TrackKind::Audio ? choice.audio : choice.subtitle) = std::move(pick);
    return choice;
}

TrackPreference MakeTrackPreference(const TrackChoice& remembered, std::string_view audioLanguage,
                                    std::string_view subtitleLanguage,
                                    std::string_view interfaceLanguage,
                                    const LanguageSpellings& spellings) {
    TrackPreference preference;
    preference.audio = WishFor(
        remembered.audio, audioLanguage.empty() ? interfaceLanguage : audioLanguage, spellings);
    preference.subtitle = WishFor(remembered.subtitle, subtitleLanguage, spellings);
    if (!interfaceLanguage.empty())
        preference.interfaceLanguages = spellings(interfaceLanguage);
    return preference;
}

std::optional<std::int64_t> ResolveTrack(const std::vector<MediaTrack>& tracks, TrackKind kind,
                                         const TrackPreference& preference) {
    const std::vector<const MediaTrack*> ofKind = TracksOf(tracks, kind);
    const MediaTrack* track = kind == TrackKind::Audio
                                  ? ResolveAudio(ofKind, preference)
                                  : ResolveSubtitle(tracks, ofKind, preference);
    if (track == nullptr)
        return std::nullopt;
    return track->id;
}

bool HasTrackChoice(const std::vector<MediaTrack>& tracks) {
    return TracksOf(tracks, TrackKind::Audio).size() > 1 ||
           !TracksOf(tracks, TrackKind::Subtitle).empty();
}

std::optional<std::int64_t> SelectedTrack(const std::vector<MediaTrack>& tracks, TrackKind kind) {
    for (const MediaTrack& track : tracks) {
        if (track.kind == kind && track.selected)
            return track.id;
    }
    return std::nullopt;
}

}  // namespace lumora
