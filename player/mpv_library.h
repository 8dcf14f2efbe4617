#pragma once

// libmpv, opened at run time instead of by the dynamic loader at process
// start. Loading libmpv pulls in some 250 libraries, which costs a fifth of
// a second before main() could run; opened on a worker thread started
// first thing in main(), that work overlaps the rest of start-up and is
// waited for only when the first mpv function is called (when the player
// is created).
//
// The program does not link libmpv: player/mpv_functions.cpp defines the
// mpv_* functions of the client and render API as forwarders to the
// functions found here. Where libmpv is missing, mpv_create() returns null
// and the player reports that it cannot start.
//
// The dynamic loader holds one lock for a whole dlopen, so a plugin that Qt
// opens meanwhile (the platform plugin in the QApplication, image plugins)
// would wait until libmpv and all its libraries are in; the worker opens
// them one at a time (needed_libraries.h), so such a wait ends after one.
//
// Threads: any. StartLoading and Symbol may be called from several threads
// at once; the library is opened exactly once.

namespace lumora {

class MpvLibrary {
public:
    // The file name of libmpv with the client API 2.x.
    static constexpr const char* kFileName = "libmpv.so.2";

    // Starts opening `fileName` (a string that lives as long as the process)
    // on a worker thread and returns at once. Only the first call counts,
    // whether it came from here or from Symbol().
    static void StartLoading(const char* fileName = kFileName);
    // Asks the worker to wait before its next library until as many
    // ReleaseLoading calls came (from any thread), so that work the main
    // window waits for (the catalogue's load) gets the processor first;
    // libmpv is needed only once the window is on screen. Anything that
    // waits for the library (Available, Symbol, FinishLoading) ends the
    // waiting at once.
    static void HoldLoading();
    static void ReleaseLoading();
    // Waits for the worker (or opens kFileName on the calling thread when
    // nothing was started); true when libmpv is there.
    static bool Available();
    // Waits for a worker that StartLoading started, if any, and starts
    // nothing. A process calls it before it ends: a library still being
    // opened while the process's statics are destroyed can bring the exit
    // down.
    static void FinishLoading();
    // The address of libmpv's function `name`, after waiting as Available()
    // does; null when libmpv or that function is missing.
    static void* Symbol(const char* name);
};

}  // namespace lumora
