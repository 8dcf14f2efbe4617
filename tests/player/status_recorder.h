#pragma once

// A status listener that records every report, for the player's tests.

#include <string>
#include <vector>

#include "player/status_listener.h"

namespace lumora::test {

struct Report {
    PlayerStatus status;
    std::u16string text;
    PlaybackEnd end;
    bool onUiThread;
};

// Given to the player or sink it listens to (PlayerOptions::listener).
class StatusRecorder : public StatusListener {
public:
    void OnPlayerStatus(const PlayerReport& report) override;

    std::vector<Report> reports;
    // True once a report with this text arrived.
    bool Saw(const std::u16string& text) const;
    // Index of the first report with this text, -1 if none.
    int IndexOf(const std::u16string& text) const;
    const Report* Last() const { return reports.empty() ? nullptr : &reports.back(); }
};

}  // namespace lumora::test
