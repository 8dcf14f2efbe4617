#include "record/recording.h"

#include <utility>

#include "record/record_stream.h"

namespace lumora {

Recording::Recording(RecordingRequest request)
    : request_(std::move(request)), thread_([this] { Run(); }) {}

Recording::~Recording() {
    Stop();
    if (thread_.joinable())
        thread_.join();
}

void Recording::Run() {
    outcome_ = RecordStream(request_, stop_);
    finished_.store(true);
}

const RecordingOutcome& Recording::Wait() {
    if (thread_.joinable())
        thread_.join();
    return outcome_;
}

std::optional<RecordingOutcome> Recording::Outcome() const {
    if (!finished_.load())
        return std::nullopt;
    return outcome_;
}

}  // namespace lumora
