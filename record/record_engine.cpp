#include "record/record_engine.h"

#include <mutex>

#include "probe/engine_module.h"

namespace lumora {

RecordEntry LoadRecordEngine(std::string* problem) {
    // Loaded once; recordings may run on any thread until the process ends.
    static std::once_flag once;
    static EngineModule engine;
    std::call_once(once, [] {
        engine =
            LoadEngineModule("lumora-record-engine.so", kRecordEntryName, "the recording engine");
    });
    if (engine.entry == nullptr && problem != nullptr)
        *problem = engine.problem;
    return reinterpret_cast<RecordEntry>(engine.entry);
}

}  // namespace lumora
