#include "player/mpv_handle.h"

#include <cstdlib>

namespace lumora {

std::string AudioOutputFor(const PlayerOptions& options) {
    if (!options.audioOutput.empty())
        return options.audioOutput;
    if (const char* fromEnvironment = std::getenv("LUMORA_MPV_AO");
        fromEnvironment && *fromEnvironment)
        return fromEnvironment;
    // No trailing comma: mpv would then try every other output as well.
    return "pipewire,pulse,alsa";
}

std::vector<std::pair<std::string, std::string>> MpvOptionList(const PlayerOptions& options) {
    // mpv's key=value lists split at commas unless the value is bracketed.
    const std::string whitelist = std::string("protocol_whitelist=[") + kProtocolWhitelist + "]";
    return {
        {"config", "no"},
        {"load-scripts", "no"},
        {"ytdl", "no"},
        {"osc", "no"},
        {"load-stats-overlay", "no"},
        {"input-default-bindings", "no"},
        {"input-vo-keyboard", "no"},
        {"input-cursor", "no"},
        {"terminal", "no"},
        {"osd-level", "0"},
        {"idle", "yes"},
        {"keep-open", "no"},
        {"vo", "libmpv"},
        {"network-timeout", "10"},
        {"ao", AudioOutputFor(options)},
        {"hwdec", "auto-safe"},
        // A live stream starts ~0.5 s sooner with a short probe.
        {"demuxer-lavf-analyzeduration", "0.2"},
        {"demuxer-lavf-o", whitelist},
        {"stream-lavf-o", whitelist},
        {"load-unsafe-playlists", "no"},
    };
}

MpvHandle CreateConfiguredMpv(const PlayerOptions& options) {
    MpvHandle handle(mpv_create());
    if (!handle)
        return handle;
    for (const auto& [name, value] : MpvOptionList(options))
        mpv_set_option_string(handle.get(), name.c_str(), value.c_str());
    if (mpv_initialize(handle.get()) < 0)
        handle.reset();
    return handle;
}

}  // namespace lumora
