#pragma once

// The one owner of an mpv core, and the options every core of the program
// starts with. No Qt here: the bare-libmpv benchmark uses the same list.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <mpv/client.h>

#include "player/buffering_poll_timing.h"

namespace lumora {

struct MpvHandleDeleter {
    void operator()(mpv_handle* handle) const { mpv_terminate_destroy(handle); }
};
using MpvHandle = std::unique_ptr<mpv_handle, MpvHandleDeleter>;

class StatusListener;

struct PlayerOptions {
    // mpv's audio output list. Empty: the environment variable
    // LUMORA_MPV_AO when set (tests use "null"), else "pipewire,pulse,alsa".
    std::string audioOutput;
    // A play request that has shown neither picture nor sound this long
    // after Play ends as "cannot connect". mpv's network timeout does not
    // cover servers that accept and then stay silent (rtsp, rtmp, mms).
    int connectDeadlineMs = 20000;
    // The render API the picture is drawn through (mpv's software
    // renderer). Tests name one mpv lacks to see a player without picture.
    std::string renderApi = "sw";
    // How the status line is kept fresh while the player buffers.
    BufferingPollTiming bufferingPoll{};
    // Where the player's reports go (null: they are formed and dropped).
    // It must outlive the player.
    StatusListener* listener = nullptr;
};

// What FFmpeg may open below mpv: the network protocols of the playable
// addresses and what HLS, TLS and encrypted segments need. No "file", so a
// playlist or HLS segment list cannot point the player at a local file.
inline constexpr const char* kProtocolWhitelist =
    "http,https,tls,tcp,crypto,rtmp,rtmps,rtmpt,rtp,srtp,udp,srt,mmsh,mmst";

// The audio output the options name, after the fallbacks above.
std::string AudioOutputFor(const PlayerOptions& options);

// Options set before mpv_initialize: mpv runs isolated from the user's mpv
// set-up (no config files, scripts, ytdl, on-screen controls or key
// bindings), idle between streams, drawing through the render API, with
// FFmpeg held to kProtocolWhitelist and mpv's refusal of unsafe playlist
// entries (local files, descriptors, devices from a network playlist) on.
std::vector<std::pair<std::string, std::string>> MpvOptionList(const PlayerOptions& options);

// Creates, configures and initialises a core. Null when mpv refuses (for
// instance under a non-C LC_NUMERIC locale, see MediaPlayerHost).
// Threads: any; the handle then belongs to the calling side.
MpvHandle CreateConfiguredMpv(const PlayerOptions& options);

}  // namespace lumora
