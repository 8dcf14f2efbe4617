#include "shell/main_window/track_menu.h"

#include <QActionGroup>

#include "catalogue/catalogue.h"
#include "player/media_output.h"
#include "shell/app/localise.h"
#include "shell/main_window/channel_tracks.h"
#include "shell/main_window/player_view.h"
#include "shell/main_window/track_labels.h"

namespace lumora {

namespace {

constexpr const char* kAudioKey = "str_tracks_audio";
constexpr const char* kSubtitlesKey = "str_tracks_subtitles";
constexpr const char* kOffKey = "str_tracks_off";

}  // namespace

TrackMenu::TrackMenu(PlayerView& view, QWidget* parent) : QMenu(parent), view_(view) {}

bool TrackMenu::HasChoice() const {
    const MediaOutput* player = view_.Player();
    return player != nullptr && HasTrackChoice(player->Tracks());
}

bool TrackMenu::Rebuild() {
    clear();
    if (!HasChoice())
        return false;
    const std::vector<MediaTrack> tracks = view_.Player()->Tracks();
    AddKind(TrackKind::Audio, tracks);
    AddKind(TrackKind::Subtitle, tracks);
    return true;
}

void TrackMenu::AddKind(TrackKind kind, const std::vector<MediaTrack>& tracks) {
    const bool audio = kind == TrackKind::Audio;
    addSection(Text(audio ? kAudioKey : kSubtitlesKey));
    auto* group = new QActionGroup(this);
    auto add = [&](const QString& text, bool checked, std::optional<std::int64_t> id) {
        QAction* action = addAction(text);
        action->setCheckable(true);
        action->setChecked(checked);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, kind, id] { Choose(kind, id); });
    };
    const std::optional<std::int64_t> selected = SelectedTrack(tracks, kind);
    if (!audio)
        add(Text(kOffKey), !selected, std::nullopt);
    int position = 0;
    for (const MediaTrack& track : tracks) {
        if (track.kind != kind)
            continue;
        ++position;
        add(TrackLabel(track, position), selected == track.id, track.id);
    }
}

void TrackMenu::Choose(TrackKind kind, std::optional<std::int64_t> id) {
    MediaOutput* player = view_.Player();
    if (player == nullptr)
        return;
    if (kind == TrackKind::Audio && id)
        player->SelectAudioTrack(*id);
    else if (kind == TrackKind::Subtitle)
        player->SelectSubtitleTrack(id);
    // Only a catalogue channel that is the one playing keeps the choice.
    const Catalogue* catalogue = TheCatalogue();
    Channel* channel = catalogue != nullptr ? catalogue->CurrentChannel() : nullptr;
    if (channel != nullptr && channel == view_.ShownChannel())
        RememberTrackPick(*channel, player->Tracks(), kind, id);
}

}  // namespace lumora
