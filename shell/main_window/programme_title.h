#pragma once

// Shows the programme on the shown channel in the title bar once the player
// has reached "Playing" (other statuses keep their place), and keeps it
// current by itself: the next programme when one ends, the progress line,
// a guide that an update replaced. The programme is the one of the picture:
// an archived programme, or what was on as long ago as a paused or rewound
// stream is behind live.
//
// Threads: the UI thread only.

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <optional>

#include "guide/guide_store.h"

namespace lumora {

class PlayerView;
class ProgrammeGuide;

class ProgrammeTitle final : public QObject {
    Q_OBJECT
public:
    ProgrammeTitle(PlayerView& view, ProgrammeGuide& guide, QObject* parent = nullptr);

    // Looks again at the channel, the status and the clock.
    void Refresh();
    // The guide's id of the programme shown; 0 for none.
    std::int64_t ShownProgramme() const { return shown_ ? shown_->id : 0; }
    const std::optional<ProgrammeSummary>& Shown() const { return shown_; }

signals:
    // Another programme is shown, or none.
    void programmeChanged();

private:
    PlayerView& view_;
    ProgrammeGuide& guide_;
    QTimer clock_;
    std::optional<ProgrammeSummary> shown_;
};

}  // namespace lumora
