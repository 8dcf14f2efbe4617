#include "probe/probe_engine.h"

#include <mutex>

#include "probe/engine_module.h"

namespace lumora {

ProbeEntry LoadProbeEngine(std::string* problem) {
    // Loaded once; probes may run on any thread until the process ends.
    static std::once_flag once;
    static EngineModule engine;
    std::call_once(once, [] {
        engine = LoadEngineModule("lumora-probe-engine.so", kProbeEntryName, "the probing engine");
    });
    if (engine.entry == nullptr && problem != nullptr)
        *problem = engine.problem;
    return reinterpret_cast<ProbeEntry>(engine.entry);
}

}  // namespace lumora
