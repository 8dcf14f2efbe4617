#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace lumora {

// What the stream checker asks of one stream address.
struct ProbeRequest {
    std::string address;    // UTF-8, as the catalogue holds it
    std::string userAgent;  // sent when not empty
    std::string referrer;   // sent when not empty
    // Bounds connecting and the first packets; past it the stream is
    // reported as timed out.
    std::chrono::milliseconds deadline{15000};
    // How much media is read after the first packet to measure the bit rate.
    std::chrono::milliseconds mediaSpan{5000};
};

// Why a stream is or is not working; each has its own result text.
enum class ProbeOutcome {
    Working,
    Refused,         // the server refused the connection
    TimedOut,        // no media before the deadline
    HttpError,       // the server answered with an HTTP error status
    NotMedia,        // an answer came, but no audio or video in it
    RefusedAddress,  // the address rule refused it; it was never opened
    Failed,          // any other failure (name lookup, reset, redirect loop ...)
    Interrupted,     // the run was stopped before the probe ended
};

// The result text of an outcome: "working", "refused", "timed out",
// "http error", "not media", "refused address", "failed", "interrupted".
std::string_view OutcomeText(ProbeOutcome outcome);

struct ProbeResult {
    ProbeOutcome outcome = ProbeOutcome::Failed;
    // For people: "HTTP 404", "connection refused", "no media within 15 s",
    // the container's name for a working stream ...
    std::string reason;
    int httpStatus = 0;      // the status of an HTTP error, when known
    int kbps = 0;            // measured bit rate, 0 when unknown
    int height = 0;          // picture height, 0 for sound only or unknown
    std::string codecs;      // "h264+aac"
    int firstPacketMs = -1;  // milliseconds from the start to the first packet, -1 for none

    bool Working() const { return outcome == ProbeOutcome::Working; }
};

}  // namespace lumora
