#pragma once

// The one owner of an mpv core, and the options every core of the program
// starts with. No Qt here: the bare-libmpv benchmark uses the same list.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <mpv/client.h>

namespace lumora {

struct MpvHandleDeleter {
    void operator()(mpv_handle* handle) const { mpv_terminate_destroy(handle); }
};
using MpvHandle = std::unique_ptr<mpv_handle, MpvHandleDeleter>;

struct PlayerOptions {
    // mpv's audio output list. Empty: the environment variable
    // LUMORA_MPV_AO when set (tests use "null"), else "pipewire,pulse,alsa".
    std::string audioOutput;
};

// The audio output the options name, after the fallbacks above.
std::string AudioOutputFor(const PlayerOptions& options);

// Options set before mpv_initialize: mpv runs isolated from the user's mpv
// set-up (no config files, scripts, ytdl, on-screen controls or key
// bindings), idle between streams, drawing through the render API.
std::vector<std::pair<std::string, std::string>> MpvOptionList(const PlayerOptions& options);

// Creates, configures and initialises a core. Null when mpv refuses (for
// instance under a non-C LC_NUMERIC locale, see MediaPlayerHost).
// Threads: any; the handle then belongs to the calling side.
MpvHandle CreateConfiguredMpv(const PlayerOptions& options);

}  // namespace lumora
