#include "player/buffering_poll.h"

#include "player/player_event_sink.h"

namespace lumora {

BufferingPoll::BufferingPoll(int periodMs, int maxCycles) : maxCycles_(maxCycles) {
    timer_.setInterval(periodMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (!Cycle())
            timer_.stop();
    });
}

void BufferingPoll::Start() {
    cycles_ = 0;
    timer_.stop();
    if (Cycle())
        timer_.start();
}

bool BufferingPoll::Cycle() {
    if (!buffering.load() || cycles_ >= maxCycles_)
        return false;
    ReportThroughGate(kStatusInformation);
    ++cycles_;
    return cycles_ < maxCycles_;
}

}  // namespace lumora
