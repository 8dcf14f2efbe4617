#pragma once

#include <atomic>
#include <string>

#include "record/recording_request.h"

namespace lumora {

// The recording engine is the module "lumora-record-engine.so"
// (libav_recorder.cpp), loaded by the first recording, so the programs that
// never record do not load libavformat and the libraries behind it.
// Looked for next to the running program, then under <libdir>/lumora.

// The module's entry: records an address that has passed the address rule.
// Blocks as RecordStream says; any thread.
using RecordEntry = void (*)(const RecordingRequest& request, const std::atomic<bool>& stop,
                             RecordingOutcome& outcome);
inline constexpr const char* kRecordEntryName = "LumoraRecordWithLibavformat";

// Loads the engine once per process and returns its entry; null, with
// `problem` saying why (when given), when it cannot be loaded. Any thread.
RecordEntry LoadRecordEngine(std::string* problem = nullptr);

}  // namespace lumora

extern "C" void LumoraRecordWithLibavformat(const lumora::RecordingRequest& request,
                                            const std::atomic<bool>& stop,
                                            lumora::RecordingOutcome& outcome);
