#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string_view>

#include "net/update_logic.h"

namespace lumora {

// What the wait dialog shows while an update runs.
enum class UpdateStage {
    Checking,     // heading "str_check_updates"
    Downloading,  // heading "str_down_channels"
    Finished,     // the dialog ends with 1
};

// One update run, shared between the wait dialog (UI thread) and its worker
// thread. The worker never touches the dialog: it writes this object and
// calls the `changed` callback; the dialog reads the object. Both hold a
// shared_ptr, so a dialog ended early leaves the run alive for the worker.
class UpdateRun : public std::enable_shared_from_this<UpdateRun> {
public:
    // The run reports its outcome to `state` and takes its pending update.
    static std::shared_ptr<UpdateRun> Create(UpdateSource source,
                                             std::shared_ptr<UpdateState> state);

    UpdateRun(const UpdateRun&) = delete;
    UpdateRun& operator=(const UpdateRun&) = delete;

    // UI thread, from the dialog's initialisation: sets the state's outcome
    // to None and starts the detached worker (DownloadCatalogue). `changed` is
    // called on the worker thread whenever Stage() changes, never once
    // Conclude() has abandoned the run, and possibly just after a Conclude()
    // that found the run finished; so it must only hand the news over to the
    // UI thread, where the receiver checks that it still exists.
    // False when no thread could be started (the run then ends as "no update").
    bool Start(std::function<void()> changed);

    // Any thread.
    UpdateStage Stage() const { return stage_.load(); }
    bool WorkerDone() const { return workerDone_.load(); }

    // UI thread, once the dialog has ended: the outcome to report. A worker
    // still running is told to leave the catalogue file alone and the answer
    // is None; a worker that is just renaming the new file over the old one is
    // waited for (the rename is a single system call).
    UpdateOutcome Conclude();

private:
    UpdateRun(UpdateSource source, std::shared_ptr<UpdateState> state)
        : source_(std::move(source)), state_(std::move(state)) {}
    friend void DownloadCatalogue(const std::shared_ptr<UpdateRun>& run);

    enum Phase : int { Running, Committing, Finished, Abandoned };

    void SetStage(UpdateStage stage);
    bool ClaimCommit();
    void Finish(UpdateOutcome outcome);

    const UpdateSource source_;
    const std::shared_ptr<UpdateState> state_;
    std::function<void()> changed_;  // set before the worker starts, then only read
    std::atomic<UpdateStage> stage_{UpdateStage::Checking};
    std::atomic<int> phase_{Running};
    std::atomic<UpdateOutcome> outcome_{UpdateOutcome::None};
    std::atomic<bool> workerDone_{false};
};

// The worker routine of the wait dialog: checks (unless the state's pending
// update says a newer catalogue is known), downloads, checks the body and replaces the
// catalogue file, then finishes the run. Runs on its own thread.
void DownloadCatalogue(const std::shared_ptr<UpdateRun>& run);

// What the user interface supplies to an update run. All are called on the
// UI thread, in RunCatalogueUpdate.
struct UpdateUi {
    // Shows the wait dialog for `run` modally and returns once it has ended.
    // The dialog's initialisation calls run->Start().
    std::function<void(const std::shared_ptr<UpdateRun>& run)> runDialog;
    std::function<void()> stopPlayback;                     // UM_STOP to the player view
    std::function<void()> reloadCatalogue;                  // rebuilds the catalogue from its file
    std::function<void(std::string_view key)> showMessage;  // message box with that text key
};

// The main window's handler of ID_CHANNEL_UPDATE: runs the dialog, then by
// the outcome shows "msg_error_connection" (ConnectionError), or stops
// playback, reloads the catalogue and shows "msg_cupdated" (Replaced), or
// shows "msg_noupdates" (None). Returns the outcome it reported. UI thread.
UpdateOutcome RunCatalogueUpdate(UpdateSource source, std::shared_ptr<UpdateState> state,
                                 const UpdateUi& ui);

}  // namespace lumora
