#include "record/record_engine.h"

#include <dlfcn.h>

#include <filesystem>
#include <mutex>
#include <vector>

namespace lumora {
namespace {

constexpr const char* kModuleName = "lumora-record-engine.so";

std::vector<std::filesystem::path> ModuleFolders() {
    std::vector<std::filesystem::path> folders;
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        folders.push_back(self.parent_path());
        folders.push_back(self.parent_path() / LUMORA_RECORD_ENGINE_RELATIVE_DIR);
    }
    // LUMORA_RECORD_ENGINE_DIRS: the configured install folders, separated
    // by ':'.
    std::string known = LUMORA_RECORD_ENGINE_DIRS;
    for (std::size_t start = 0; start <= known.size();) {
        std::size_t colon = std::min(known.find(':', start), known.size());
        if (colon > start)
            folders.emplace_back(known.substr(start, colon - start));
        start = colon + 1;
    }
    return folders;
}

struct LoadedEngine {
    RecordEntry entry = nullptr;
    std::string problem;
};

// The module stays loaded until the process ends: recordings may run on
// any thread until then.
LoadedEngine Load() {
    LoadedEngine loaded;
    for (const std::filesystem::path& folder : ModuleFolders()) {
        std::filesystem::path module = folder / kModuleName;
        if (!std::filesystem::exists(module))
            continue;
        void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* why = dlerror();
            loaded.problem = module.string() + ": " + (why ? why : "cannot be loaded");
            continue;
        }
        loaded.entry = reinterpret_cast<RecordEntry>(dlsym(handle, kRecordEntryName));
        if (loaded.entry != nullptr)
            return loaded;
        loaded.problem = module.string() + ": has no " + kRecordEntryName;
        dlclose(handle);
    }
    if (loaded.problem.empty())
        loaded.problem = std::string("the recording engine ") + kModuleName + " was not found";
    return loaded;
}

}  // namespace

RecordEntry LoadRecordEngine(std::string* problem) {
    static std::once_flag once;
    static LoadedEngine engine;
    std::call_once(once, [] { engine = Load(); });
    if (engine.entry == nullptr && problem != nullptr)
        *problem = engine.problem;
    return engine.entry;
}

}  // namespace lumora
