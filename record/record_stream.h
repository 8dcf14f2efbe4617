#pragma once

#include <atomic>

#include "record/recording_request.h"

namespace lumora {

// Records one stream into an MPEG-TS file as it comes, without decoding:
// every audio, video and subtitle stream is copied, the channel, title and
// description go into the file's metadata. The file is written in small
// pieces as the stream arrives, so it plays when cut anywhere (a crash, a
// full disk).
//
// The address must pass lumora::IsPlayableAddress (else RefusedAddress,
// nothing opened); only network protocols are opened, also by playlists
// the stream points to. A stream that ends, fails or stalls is opened
// again for up to request.reconnectFor; each gap is in the outcome.
//
// Blocks until request.until, `stop`, a lost stream or a write failure;
// `stop` ends it within about a tenth of a second (a name lookup, which
// libavformat cannot cut short, may add to that). Any thread.
RecordingOutcome RecordStream(const RecordingRequest& request, const std::atomic<bool>& stop);

}  // namespace lumora
