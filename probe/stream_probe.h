#pragma once

#include <atomic>

#include "probe/probe_result.h"

namespace lumora {

// Opens one stream address with libavformat, reads its first packets and
// then up to the request's media span of media, and says whether it works,
// why not, and at what bit rate, picture height and codecs. Nothing is
// decoded beyond what the container needs to name its streams.
//
// An address that lumora::IsPlayableAddress refuses is reported as
// RefusedAddress and never opened. Only network protocols may be opened,
// also by playlists the stream points to, so a hostile stream cannot make
// the probe read local files.
//
// Blocks for at most the request's deadline plus its media span and a
// short margin; a name lookup, which libavformat cannot cut short, may add
// to that. Setting `stop` ends the probe within about a tenth of a second
// with the outcome Interrupted.
//
// Any thread; concurrent calls share nothing but libavformat's process-wide
// set-up, which the first call makes.
ProbeResult ProbeStream(const ProbeRequest& request, const std::atomic<bool>& stop);

}  // namespace lumora
