#include "player/buffering_poll.h"

namespace lumora {

BufferingPoll::BufferingPoll(std::function<bool()> stillBuffering, std::function<void()> report,
                             BufferingPollTiming timing)
    : stillBuffering_(std::move(stillBuffering)),
      report_(std::move(report)),
      maxCycles_(timing.maxCycles) {
    timer_.setInterval(timing.periodMs);
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
    if (!stillBuffering_() || cycles_ >= maxCycles_)
        return false;
    report_();
    ++cycles_;
    return cycles_ < maxCycles_;
}

}  // namespace lumora
