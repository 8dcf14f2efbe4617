#include "record/record_stream.h"

#include <string>

#include "catalogue/stream_address.h"
#include "record/record_engine.h"

namespace lumora {

const char* RecordingStatusName(RecordingStatus status) {
    switch (status) {
    case RecordingStatus::Completed: return "completed";
    case RecordingStatus::Stopped: return "stopped";
    case RecordingStatus::StreamLost: return "stream lost";
    case RecordingStatus::WriteFailed: return "write failed";
    case RecordingStatus::OpenFailed: return "open failed";
    case RecordingStatus::RefusedAddress: return "refused address";
    case RecordingStatus::FileFailed: return "file failed";
    case RecordingStatus::EngineMissing: return "engine missing";
    }
    return "unknown";
}

RecordingOutcome RecordStream(const RecordingRequest& request, const std::atomic<bool>& stop) {
    RecordingOutcome outcome;
    if (!IsPlayableAddress(request.address)) {
        outcome.status = RecordingStatus::RefusedAddress;
        outcome.error = "the address is not a stream address the player opens";
        return outcome;
    }
    std::string problem;
    RecordEntry entry = LoadRecordEngine(&problem);
    if (entry == nullptr) {
        outcome.status = RecordingStatus::EngineMissing;
        outcome.error = problem;
        return outcome;
    }
    entry(request, stop, outcome);
    return outcome;
}

}  // namespace lumora
