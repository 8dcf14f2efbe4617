#pragma once

#include <atomic>
#include <string>

#include "probe/probe_result.h"

namespace lumora {

// The probing engine is the module "lumora-probe-engine.so" (libav_probe.cpp),
// loaded on first use: libavformat brings some 200 libraries with it, which
// the data tool's other verbs should not have to load at every start.
//
// The module is looked for next to the running program, then in the build
// tree, then under <libdir>/lumora.

// The module's entry: probes an address that has passed the address rule.
// Blocks as ProbeStream says; any thread.
using ProbeEntry = void (*)(const ProbeRequest& request, const std::atomic<bool>& stop,
                            ProbeResult& result);
inline constexpr const char* kProbeEntryName = "LumoraProbeWithLibavformat";

// Loads the engine once per process and returns its entry; null, with
// `problem` saying why (when given), when it cannot be loaded. Any thread.
ProbeEntry LoadProbeEngine(std::string* problem = nullptr);

}  // namespace lumora

extern "C" void LumoraProbeWithLibavformat(const lumora::ProbeRequest& request,
                                           const std::atomic<bool>& stop,
                                           lumora::ProbeResult& result);
