#include "shell/main_window/channel_tracks.h"

#include <QString>

#include "catalogue/channel.h"
#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "player/language_spellings.h"

namespace lumora {

namespace {

std::string SettingCode(std::string_view name, const std::u16string& fallback) {
    return QString::fromStdU16String(FindStringSetting(name).value_or(fallback))
        .trimmed()
        .toStdString();
}

TrackChoice RememberedChoice(const Channel* channel) {
    if (channel == nullptr)
        return {};
    return DecodeTrackChoice(channel->trackChoice).value_or(TrackChoice{});
}

}  // namespace

TrackPreference TrackPreferenceFor(const Channel* channel) {
    return MakeTrackPreference(RememberedChoice(channel), SettingCode(kAudioLanguage, u""),
                               SettingCode(kSubtitleLanguage, u""), SettingCode(kLanguage, u"en"),
                               &LanguageSpellingsOf);
}

void RememberTrackPick(Channel& channel, const std::vector<MediaTrack>& tracks, TrackKind kind,
                       std::optional<std::int64_t> id) {
    const TrackPick pick = PickFor(tracks, kind, id);
    if (id && pick.by == TrackPick::By::Nothing)
        return;  // not a track of this stream: keep what was remembered
    channel.trackChoice = EncodeTrackChoice(WithPick(RememberedChoice(&channel), kind, pick));
}

}  // namespace lumora
