#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "document/memory_stream.h"
#include "net/fetch_reply.h"

namespace lumora {

// Limits of one transfer. The defaults suit the update server; tests shorten
// the time-outs so a dead server is noticed quickly.
struct FetchOptions {
    // Time allowed to set up the connection (name lookup and TCP/TLS).
    std::chrono::milliseconds connectTimeout{15000};
    // A transfer that stays below lowSpeedBytes per second for this long is
    // given up, so a server that stops answering, or sends a byte now and
    // then, cannot hang an update for ever.
    std::chrono::seconds stallTimeout{30};
    std::uint32_t lowSpeedBytes = 1024;
    // The whole transfer may take at most this long; 0 sets no limit (a
    // large catalogue on a slow line may take minutes).
    std::chrono::seconds totalTimeout{0};
    // Redirects are followed up to this count; a longer chain fails.
    long maxRedirects = 8;
    // The body is held in memory (a MemoryStream counts in 32 bits); a larger
    // body is refused instead of exhausting memory.
    std::uint32_t maxBodyBytes = 256u * 1024u * 1024u;
    // Tests only: a file of certificate authorities trusted instead of the
    // system's, for a local TLS server. Empty: the system's store. Peer and
    // host name verification stay on whatever is set here.
    std::string caFile;
};

// The overall limit of the update marker's transfer: the marker is a few
// bytes, so a minute means the server is not really answering.
inline constexpr std::chrono::seconds kMarkerTotalTimeout{60};

// The agent text the update code sends with every request.
inline constexpr char16_t kUpdateAgent[] = u"Agent";

// Fetches URL with one HTTP(S) GET and returns the whole body in a new stream
// positioned at 0, or null when the transfer did not succeed (no connection,
// refused, host not found, a body cut short or broken off, a stall, too many
// redirects, a body over the size limit). The HTTP status is not examined:
// an error page is returned like any other body and the caller's parsing
// decides what it is. The request goes directly to the server (no proxy) and
// asks every cache on the way to fetch anew.
//
// Blocking; call it from worker threads. Calls share nothing, so any number
// may run at once on different threads.
std::unique_ptr<MemoryStream> FetchUrl(const std::u16string& agent, const std::u16string& url,
                                       const FetchOptions& options = {});

// The same GET, sending `conditions` as "If-None-Match" / "If-Modified-Since"
// when they are set, and giving back the status and the answer's
// validators. A "304 Not Modified" answer is a success with an empty body.
FetchReply FetchUrlReply(const std::u16string& agent, const std::u16string& url,
                         const HttpValidators& conditions, const FetchOptions& options = {});

// The same with the update code's agent text "Agent" and the default limits.
std::unique_ptr<MemoryStream> FetchUrl(const std::u16string& url);

}  // namespace lumora
