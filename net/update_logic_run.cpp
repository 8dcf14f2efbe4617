#include "net/update_logic_run.h"

#include <chrono>
#include <system_error>
#include <thread>

#include "net/playlist_source.h"

namespace lumora {

std::shared_ptr<UpdateRun> UpdateRun::Create(UpdateSource source,
                                             std::shared_ptr<UpdateState> state) {
    return std::shared_ptr<UpdateRun>(new UpdateRun(std::move(source), std::move(state)));
}

bool UpdateRun::Start(std::function<void()> changed) {
    state_->SetOutcome(UpdateOutcome::None);
    changed_ = std::move(changed);
    try {
        std::thread([run = shared_from_this()] { DownloadCatalogue(run); }).detach();
        return true;
    } catch (const std::system_error&) {
        Finish(UpdateOutcome::None);
        return false;
    }
}

UpdateOutcome UpdateRun::Conclude() {
    int phase = Running;
    if (phase_.compare_exchange_strong(phase, Abandoned))
        return UpdateOutcome::None;
    // The worker claimed the replacement just before the dialog ended; its
    // rename is about to finish and decides what the user is told.
    while (phase == Committing) {
        std::this_thread::yield();
        phase = phase_.load();
    }
    return phase == Finished ? outcome_.load() : UpdateOutcome::None;
}

void UpdateRun::SetStage(UpdateStage stage) {
    stage_ = stage;
    if (phase_.load() != Abandoned && changed_)
        changed_();
}

// The worker asks this just before renaming the new file over the old one.
// Once the dialog has been ended the catalogue file is left alone: the user
// has been told there was no update, and the catalogue in memory is not
// reloaded.
bool UpdateRun::ClaimCommit() {
    int phase = Running;
    return phase_.compare_exchange_strong(phase, Committing);
}

void UpdateRun::Finish(UpdateOutcome outcome) {
    outcome_ = outcome;
    int phase = phase_.load();
    bool finished = false;
    while (!finished && (phase == Running || phase == Committing))
        finished = phase_.compare_exchange_weak(phase, Finished);
    if (finished) {
        state_->SetOutcome(outcome);
        SetStage(UpdateStage::Finished);
    }
    workerDone_ = true;
}

namespace {

UpdateOutcome OutcomeOfStore(StoreResult result) {
    switch (result) {
    case StoreResult::Stored: return UpdateOutcome::Replaced;
    case StoreResult::NotACatalogue:
        // Whatever came back was not the catalogue: to the user this is the
        // same as an unreachable file.
        return UpdateOutcome::ConnectionError;
    case StoreResult::WriteFailed:
        // The new catalogue could not be put in place: the user must hear
        // that the update failed, not that there was none, and not blame
        // the connection for a full disk.
        return UpdateOutcome::SaveFailed;
    case StoreResult::Abandoned: break;
    }
    return UpdateOutcome::None;
}

}  // namespace

namespace {

// The playlist's catalogue, from the playlist the check fetched (this run's
// or the one at start), or fetched anew when no checked body is at hand.
UpdateOutcome StorePlaylistCatalogue(const UpdateSource& source,
                                     std::shared_ptr<const PlaylistFetch> fetched,
                                     const std::function<bool()>& claim) {
    if (!fetched) {
        fetched = std::make_shared<PlaylistFetch>(FetchPlaylist(source, false));
        if (fetched->answer != CheckAnswer::Newer)
            return fetched->answer == CheckAnswer::Unreachable ? UpdateOutcome::ConnectionError
                                                               : UpdateOutcome::None;
    }
    std::unique_ptr<MemoryStream> catalogue =
        BuildPlaylistCatalogue(*fetched, source, std::chrono::system_clock::now());
    fetched.reset();
    if (!catalogue)
        return UpdateOutcome::ConnectionError;  // nothing playable: the playlist is not a usable
                                                // source
    return OutcomeOfStore(
        WriteCatalogueFile(*catalogue, source.cataloguePath, claim, source.account.has_value()));
}

}  // namespace

void DownloadCatalogue(const std::shared_ptr<UpdateRun>& run) {
    const UpdateSource& source = run->source_;
    UpdateState& state = *run->state_;
    PendingUpdate pending = state.PendingUpdateFound();
    ExpectedCatalogue expected{pending.version, source.catalogueVersion};
    bool playlist = source.account || KindOfSource(source.server) != SourceKind::UpdateServer ||
                    pending.playlist;
    std::shared_ptr<const PlaylistFetch> fetched;
    if (state.Pending()) {
        // The playlist the check at start fetched, when it came from this
        // source: it crosses the network once.
        if (pending.playlistSource == source.server)
            fetched = std::move(pending.playlistFetch);
    } else {
        SourceCheck check = CheckSource(source, true);
        if (check.answer != CheckAnswer::Newer) {
            // An account that refused says why; the catalogue in use stays.
            if (check.playlist && check.playlist->refusal != UpdateOutcome::None)
                run->Finish(check.playlist->refusal);
            else
                run->Finish(check.answer == CheckAnswer::Unreachable
                                ? UpdateOutcome::ConnectionError
                                : UpdateOutcome::None);
            return;
        }
        expected.markerVersion = check.markerVersion;
        playlist = check.playlist != nullptr;
        fetched = std::move(check.playlist);
    }
    // A dialog ended during the check leaves the pending update for later.
    if (run->phase_.load() == UpdateRun::Abandoned) {
        run->Finish(UpdateOutcome::None);
        return;
    }
    state.SetPending(false);
    state.SetPendingUpdate({});

    run->SetStage(UpdateStage::Downloading);
    auto claim = [&run] { return run->ClaimCommit(); };
    if (playlist) {
        run->Finish(StorePlaylistCatalogue(source, std::move(fetched), claim));
        return;
    }
    std::unique_ptr<MemoryStream> body =
        Transfer(source, {CatalogueUrl(source.server), TransferKind::Catalogue, {}}).body;
    if (!body) {
        run->Finish(UpdateOutcome::ConnectionError);
        return;
    }
    StoreResult stored = StoreCatalogue(*body, source.cataloguePath, expected, claim);
    body.reset();
    run->Finish(OutcomeOfStore(stored));
}

UpdateOutcome RunCatalogueUpdate(UpdateSource source, std::shared_ptr<UpdateState> state,
                                 const UpdateUi& ui) {
    std::shared_ptr<UpdateRun> run = UpdateRun::Create(std::move(source), std::move(state));
    if (ui.runDialog)
        ui.runDialog(run);
    UpdateOutcome outcome = run->Conclude();
    auto show = [&ui](std::string_view key) {
        if (ui.showMessage)
            ui.showMessage(key);
    };
    switch (outcome) {
    case UpdateOutcome::ConnectionError: show(kMsgErrorConnection); break;
    case UpdateOutcome::SaveFailed: show(kMsgSaveFailed); break;
    case UpdateOutcome::AccountRefused: show(kMsgAccountRefused); break;
    case UpdateOutcome::AccountExpired: show(kMsgAccountExpired); break;
    case UpdateOutcome::Replaced:
        // The player may be playing from the old catalogue's records, which
        // the reload destroys: stop it first.
        if (ui.stopPlayback)
            ui.stopPlayback();
        if (ui.reloadCatalogue)
            ui.reloadCatalogue();
        show(kMsgCatalogueUpdated);
        break;
    case UpdateOutcome::None: show(kMsgNoUpdates); break;
    }
    return outcome;
}

}  // namespace lumora
