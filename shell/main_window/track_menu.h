#pragma once

// The "Tracks" popup of the main window: the audio tracks of the stream
// that plays, then "Off" and its subtitle tracks, each by language name and
// codec, the current ones checked. Choosing one selects it at once and,
// for a catalogue channel, remembers it for the channel.
//
// Threads: the UI thread only.

#include <cstdint>
#include <optional>

#include <QMenu>

#include "catalogue/track_choice.h"

namespace lumora {

class PlayerView;

class TrackMenu : public QMenu {
    Q_OBJECT
public:
    TrackMenu(PlayerView& view, QWidget* parent);

    // Builds the entries from the player's tracks now; false (and no
    // entries) when the stream offers nothing to choose.
    bool Rebuild();
    // Whether the stream that plays offers a choice.
    bool HasChoice() const;

private:
    void AddKind(TrackKind kind, const std::vector<MediaTrack>& tracks);
    void Choose(TrackKind kind, std::optional<std::int64_t> id);

    PlayerView& view_;
};

}  // namespace lumora
