#pragma once

#include <string>

namespace lumora {

// The program's engines that need libavformat (the probing and the
// recording engine) are modules loaded by their first use, so programs and
// verbs that never use them do not load libavformat and the libraries
// behind it. A module is looked for next to the running program, beside it
// as installed (../lib/lumora), then in the configured install folder; no
// build-tree path is compiled in.

struct EngineModule {
    void* entry = nullptr;  // the address of the entry; null when not loaded
    std::string problem;    // why, when it is not
};

// Loads `moduleName` and looks up `entryName` in it; `what` names the
// engine in the problem ("the probing engine"). A loaded module stays
// loaded until the process ends. Any thread; each engine loads once and
// keeps the answer.
EngineModule LoadEngineModule(const char* moduleName, const char* entryName, const char* what);

}  // namespace lumora
