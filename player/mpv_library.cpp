#include "player/mpv_library.h"

#include <dlfcn.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "player/needed_libraries.h"

namespace lumora {
namespace {

struct Loader {
    std::once_flag started;
    std::once_flag joined;
    // Joined by the first user, or by FinishLoading before the process ends.
    std::jthread worker;
    // Written by the worker before it ends; read after the join.
    void* handle = nullptr;
    // Holds ask the worker to wait before its next library; once a caller
    // needs the library (`needed`), it no longer waits.
    std::mutex mutex;
    std::condition_variable changed;
    int holds = 0;
    bool needed = false;
};

Loader& TheLoader() {
    static Loader loader;
    return loader;
}

void WaitWhileHeld(Loader& loader) {
    std::unique_lock lock(loader.mutex);
    loader.changed.wait(lock, [&loader] { return loader.holds == 0 || loader.needed; });
}

void* Open(const char* fileName) {
    Loader& loader = TheLoader();
    // One library at a time first, so that a plugin the UI thread opens
    // meanwhile waits for one library, not for all of them.
    OpenNeededLibrariesFirst(fileName, [&loader] { WaitWhileHeld(loader); });
    WaitWhileHeld(loader);
    // RTLD_NOW: every relocation is done on the worker, none later on the
    // UI thread. The library stays open until the process ends: mpv's
    // threads may outlive any point where closing it would be safe.
    return dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
}

void* WaitForHandle() {
    Loader& loader = TheLoader();
    MpvLibrary::StartLoading();
    MpvLibrary::FinishLoading();
    return loader.handle;
}

}  // namespace

void MpvLibrary::StartLoading(const char* fileName) {
    Loader& loader = TheLoader();
    std::call_once(loader.started, [&loader, fileName] {
        loader.worker = std::jthread([&loader, fileName] { loader.handle = Open(fileName); });
    });
}

void MpvLibrary::HoldLoading() {
    Loader& loader = TheLoader();
    std::lock_guard lock(loader.mutex);
    ++loader.holds;
}

void MpvLibrary::ReleaseLoading() {
    Loader& loader = TheLoader();
    {
        std::lock_guard lock(loader.mutex);
        if (loader.holds > 0)
            --loader.holds;
    }
    loader.changed.notify_all();
}

void MpvLibrary::FinishLoading() {
    Loader& loader = TheLoader();
    {
        std::lock_guard lock(loader.mutex);
        loader.needed = true;
    }
    loader.changed.notify_all();
    std::call_once(loader.joined, [&loader] {
        if (loader.worker.joinable())
            loader.worker.join();
    });
}

bool MpvLibrary::Available() {
    return WaitForHandle() != nullptr;
}

void* MpvLibrary::Symbol(const char* name) {
    void* handle = WaitForHandle();
    return handle != nullptr ? dlsym(handle, name) : nullptr;
}

}  // namespace lumora
