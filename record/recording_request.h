#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace lumora {

// What one recording takes: a stream with the headers its channel needs,
// the file it goes to, the words written into the file, and when it ends.
struct RecordingRequest {
    std::string address;    // checked by the address rule before it is opened
    std::string userAgent;  // empty: libavformat's own
    std::string referrer;   // empty: none
    std::string file;       // the recording; made or overwritten
    std::string channel;    // the file's service name
    std::string title;      // the programme
    std::string description;
    // The recording ends at this time of day, or earlier when stopped.
    std::chrono::system_clock::time_point until;
    // A lost stream is tried again for this long before the recording gives
    // up (keeping what it has).
    std::chrono::milliseconds reconnectFor = std::chrono::minutes(2);
    // No data for this long counts as a lost stream.
    std::chrono::milliseconds stallLimit = std::chrono::seconds(10);
};

// A time the stream was gone: where in the recording (media seconds) and
// for how long (wall seconds).
struct RecordingGap {
    double atSeconds = 0;
    double lengthSeconds = 0;
};

enum class RecordingStatus {
    Completed,       // recorded until the end time
    Stopped,         // stopped before it
    StreamLost,      // the stream did not come back in time; what came is kept
    WriteFailed,     // the file could not take more (a full disk); what was written is kept
    OpenFailed,      // the stream never opened, or has nothing to record; no file
    RefusedAddress,  // the address rule refused the address; nothing opened
    FileFailed,      // the file could not be made
    EngineMissing,   // the recording engine could not be loaded
};

// How a recording ended. `error` says why, in English, when it did not end
// as asked.
struct RecordingOutcome {
    RecordingStatus status = RecordingStatus::OpenFailed;
    std::int64_t bytes = 0;
    double seconds = 0;  // media time recorded
    std::vector<RecordingGap> gaps;
    std::string error;

    // A file with something recorded in it is left behind.
    bool KeptFile() const {
        return bytes > 0 &&
               (status == RecordingStatus::Completed || status == RecordingStatus::Stopped ||
                status == RecordingStatus::StreamLost || status == RecordingStatus::WriteFailed);
    }
};

// "completed", "stopped", "stream lost", ...
const char* RecordingStatusName(RecordingStatus status);

}  // namespace lumora
