#pragma once

// Shows the programme on the shown channel in the title bar once the player
// has reached "Playing" (other statuses keep their place), and keeps it
// current by itself: the next programme when one ends, the progress line,
// a guide that an update replaced.
//
// Threads: the UI thread only.

#include <QObject>
#include <QTimer>
#include <cstdint>

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
    std::int64_t ShownProgramme() const { return shown_; }

signals:
    // Another programme is shown, or none.
    void programmeChanged();

private:
    PlayerView& view_;
    ProgrammeGuide& guide_;
    QTimer clock_;
    std::int64_t shown_ = 0;
};

}  // namespace lumora
