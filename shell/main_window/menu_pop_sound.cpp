#include "shell/main_window/menu_pop_sound.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <system_error>
#include <thread>

#include <dlfcn.h>

#if __has_include(<canberra.h>)
#include <canberra.h>
#define LUMORA_HAVE_CANBERRA_HEADER 1
#endif

namespace lumora {
namespace {

int requests = 0;
// True while a worker plays the sound; only that worker touches the
// library's context.
std::atomic<bool> playing{false};

#ifdef LUMORA_HAVE_CANBERRA_HEADER

// The library is looked up at run time: a system without libcanberra runs
// the player without sound instead of refusing to start.
struct Canberra {
    decltype(&ca_context_create) create = nullptr;
    decltype(&ca_context_change_props) changeProps = nullptr;
    decltype(&ca_context_play) play = nullptr;
    ca_context* context = nullptr;
};

// Opened once and kept for the life of the process (plain pointers, so
// nothing is torn down under a worker that is still running at exit).
Canberra* OpenCanberra() {
    void* library = dlopen("libcanberra.so.0", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        return nullptr;
    auto* canberra = new Canberra;
    canberra->create =
        reinterpret_cast<decltype(&ca_context_create)>(dlsym(library, "ca_context_create"));
    canberra->changeProps = reinterpret_cast<decltype(&ca_context_change_props)>(
        dlsym(library, "ca_context_change_props"));
    canberra->play =
        reinterpret_cast<decltype(&ca_context_play)>(dlsym(library, "ca_context_play"));
    if (canberra->create == nullptr || canberra->play == nullptr ||
        canberra->create(&canberra->context) != CA_SUCCESS) {
        canberra->context = nullptr;
        return canberra;
    }
    if (canberra->changeProps != nullptr)
        canberra->changeProps(canberra->context, CA_PROP_APPLICATION_NAME, "Lumora", nullptr);
    return canberra;
}

void PlayOnWorker() {
    static Canberra* const canberra = OpenCanberra();
    if (canberra != nullptr && canberra->context != nullptr) {
        // Errors (no sound server, no sound theme) mean silence.
        canberra->play(canberra->context, 0, CA_PROP_EVENT_ID, "menu-popup",
                       CA_PROP_EVENT_DESCRIPTION, "Tab changed", nullptr);
    }
    playing.store(false);
}

#else

void PlayOnWorker() {
    playing.store(false);
}

#endif

// At exit, a sound still being started gets a moment to finish, so that the
// worker is not inside the library while the process tears it down.
void WaitForWorkerAtExit() {
    for (int waited = 0; playing.load() && waited < 1000; waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

}  // namespace

void PlayMenuPopSound() {
    ++requests;
    if (playing.exchange(true))
        return;
    static const bool waitRegistered = std::atexit(&WaitForWorkerAtExit) == 0;
    (void)waitRegistered;
    try {
        std::thread(&PlayOnWorker).detach();
    } catch (const std::system_error&) {
        // No thread to spare: no sound this time.
        playing.store(false);
    }
}

int MenuPopSoundRequests() {
    return requests;
}

}  // namespace lumora
