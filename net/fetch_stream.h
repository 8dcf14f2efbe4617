#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "net/fetch_reply.h"
#include "net/fetch_url.h"

namespace lumora {

// Receives the body piece by piece as it arrives; answering false stops the
// transfer. Pieces are only valid during the call.
using ChunkSink = std::function<bool(std::string_view chunk)>;

struct StreamRequest {
    std::string url;            // UTF-8; only http:// and https:// addresses are fetched
    std::string userAgent;      // UTF-8; empty: the update code's agent
    std::string referrer;       // UTF-8; empty: none is sent
    HttpValidators conditions;  // of the copy the caller has, for a conditional request
    // The most raw body bytes the sink is given (before any unpacking);
    // 0: no limit. FetchOptions::maxBodyBytes does not apply here.
    std::uint64_t maxBodyBytes = 0;
    // When given and set (from any thread), the transfer ends as Aborted
    // within about a second, also while it waits for the server.
    const std::atomic<bool>* stop = nullptr;
};

enum class StreamStatus {
    Ok,              // the whole body went to the sink
    NotModified,     // 304: the copy the conditions describe is current; no body
    HttpError,       // an answer that is not a success (httpStatus tells which); no body
    TransferFailed,  // no connection, a time-out, a slow-transfer cut, a body broken off
    Aborted,         // the sink answered false, or the request's stop flag was set
    TooLarge,        // the body would pass maxBodyBytes
    Refused,         // not an http(s) address, or a redirect to one that is not
};

struct StreamResult {
    StreamStatus status = StreamStatus::TransferFailed;
    long httpStatus = 0;  // of the last answer; 0 when there was none
    // The answer's validators, for the next conditional request. After 304
    // without its own, the conditions that were sent.
    HttpValidators validators;
    std::uint64_t bodyBytes = 0;  // given to the sink
    std::string message;          // English, for reports and logs; empty on success

    bool Succeeded() const {
        return status == StreamStatus::Ok || status == StreamStatus::NotModified;
    }
};

// One HTTP(S) GET whose body goes to `sink` as it arrives, never held whole,
// with the catalogue update's rules (curl_transfer.h): the connection
// time-out, the slow-transfer cut and the redirect limit of `options`,
// certificate checks on, redirects only to http and https, no proxy. A
// body the sink has partly taken when the transfer fails is the caller's to
// throw away: only Ok means it was complete.
//
// Blocking; call it from a worker thread. The sink runs on that thread.
// Calls share nothing, so any number may run at once.
StreamResult FetchToSink(const StreamRequest& request, const ChunkSink& sink,
                         const FetchOptions& options = {});

}  // namespace lumora
