#include "probe/engine_module.h"

#include <dlfcn.h>

#include <filesystem>
#include <vector>

namespace lumora {
namespace {

std::vector<std::filesystem::path> ModuleFolders() {
    std::vector<std::filesystem::path> folders;
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        folders.push_back(self.parent_path());
        folders.push_back(self.parent_path() / LUMORA_ENGINE_RELATIVE_DIR);
    }
    // LUMORA_ENGINE_DIRS: the configured install folders, separated by ':'.
    std::string known = LUMORA_ENGINE_DIRS;
    for (std::size_t start = 0; start <= known.size();) {
        std::size_t colon = std::min(known.find(':', start), known.size());
        if (colon > start)
            folders.emplace_back(known.substr(start, colon - start));
        start = colon + 1;
    }
    return folders;
}

}  // namespace

EngineModule LoadEngineModule(const char* moduleName, const char* entryName, const char* what) {
    EngineModule loaded;
    for (const std::filesystem::path& folder : ModuleFolders()) {
        std::filesystem::path module = folder / moduleName;
        if (!std::filesystem::exists(module))
            continue;
        void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* why = dlerror();
            loaded.problem = module.string() + ": " + (why ? why : "cannot be loaded");
            continue;
        }
        loaded.entry = dlsym(handle, entryName);
        if (loaded.entry != nullptr)
            return loaded;
        loaded.problem = module.string() + ": has no " + entryName;
        dlclose(handle);
    }
    if (loaded.problem.empty())
        loaded.problem = std::string(what) + " " + moduleName + " was not found";
    return loaded;
}

}  // namespace lumora
