#include "net/update_logic_run.h"

#include <system_error>
#include <thread>

namespace lumora {

std::shared_ptr<UpdateRun> UpdateRun::Create(UpdateSource source)
{
    return std::shared_ptr<UpdateRun>(new UpdateRun(std::move(source)));
}

bool UpdateRun::Start(std::function<void()> changed)
{
    UpdateOutcome = kUpdateNone;
    changed_ = std::move(changed);
    try {
        std::thread([run = shared_from_this()] { DownloadCatalogue(run); }).detach();
        return true;
    } catch (const std::system_error&) {
        Finish(kUpdateNone);
        return false;
    }
}

int UpdateRun::Conclude()
{
    int phase = Running;
    if (phase_.compare_exchange_strong(phase, Abandoned))
        return kUpdateNone;
    // The worker claimed the replacement just before the dialog ended; its
    // rename is about to finish and decides what the user is told.
    while (phase == Committing) {
        std::this_thread::yield();
        phase = phase_.load();
    }
    return phase == Finished ? outcome_.load() : kUpdateNone;
}

void UpdateRun::SetStage(UpdateStage stage)
{
    stage_ = stage;
    if (phase_.load() != Abandoned && changed_)
        changed_();
}

// The worker asks this just before renaming the new file over the old one.
// Once the dialog has been ended the catalogue file is left alone: the user
// has been told there was no update, and the catalogue in memory is not
// reloaded.
bool UpdateRun::ClaimCommit()
{
    int phase = Running;
    return phase_.compare_exchange_strong(phase, Committing);
}

void UpdateRun::Finish(int outcome)
{
    outcome_ = outcome;
    int phase = phase_.load();
    bool finished = false;
    while (!finished && (phase == Running || phase == Committing))
        finished = phase_.compare_exchange_weak(phase, Finished);
    if (finished) {
        UpdateOutcome = outcome;
        SetStage(UpdateStage::Finished);
    }
    workerDone_ = true;
}

namespace {

int OutcomeOfStore(StoreResult result)
{
    switch (result) {
    case StoreResult::Stored:
        return kUpdateReplaced;
    case StoreResult::NotACatalogue:
        // Whatever came back was not the catalogue: to the user this is the
        // same as an unreachable file.
        return kUpdateConnectionError;
    case StoreResult::WriteFailed:
        // The new catalogue could not be put in place: the user must hear
        // that the update failed, not that there was none.
        return kUpdateConnectionError;
    case StoreResult::Abandoned:
        break;
    }
    return kUpdateNone;
}

}  // namespace

void DownloadCatalogue(const std::shared_ptr<UpdateRun>& run)
{
    const UpdateSource& source = run->source_;
    if (!updatePending.load()) {
        CheckAnswer answer = AskForNewerCatalogue(source);
        if (answer != CheckAnswer::Newer) {
            run->Finish(answer == CheckAnswer::Unreachable ? kUpdateConnectionError : kUpdateNone);
            return;
        }
    }
    // A dialog ended during the check leaves the pending update for later.
    if (run->phase_.load() == UpdateRun::Abandoned) {
        run->Finish(kUpdateNone);
        return;
    }
    updatePending = false;

    run->SetStage(UpdateStage::Downloading);
    std::unique_ptr<MemoryStream> body = source.fetch ? source.fetch(CatalogueUrl(source.server)) : nullptr;
    if (!body) {
        run->Finish(kUpdateConnectionError);
        return;
    }
    StoreResult stored = StoreCatalogue(*body, source.cataloguePath, [&run] { return run->ClaimCommit(); });
    body.reset();
    run->Finish(OutcomeOfStore(stored));
}

int RunCatalogueUpdate(UpdateSource source, const UpdateUi& ui)
{
    std::shared_ptr<UpdateRun> run = UpdateRun::Create(std::move(source));
    if (ui.runDialog)
        ui.runDialog(run);
    int outcome = run->Conclude();
    auto show = [&ui](std::string_view key) {
        if (ui.showMessage)
            ui.showMessage(key);
    };
    switch (outcome) {
    case kUpdateConnectionError:
        show(kMsgErrorConnection);
        break;
    case kUpdateReplaced:
        // The player may be playing from the old catalogue's records, which
        // the reload destroys: stop it first.
        if (ui.stopPlayback)
            ui.stopPlayback();
        if (ui.reloadCatalogue)
            ui.reloadCatalogue();
        show(kMsgCatalogueUpdated);
        break;
    case kUpdateNone:
        show(kMsgNoUpdates);
        break;
    default:
        break;
    }
    return outcome;
}

}  // namespace lumora
