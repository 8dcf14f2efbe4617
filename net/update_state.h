#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

// What the catalogue update remembers between its runs: the outcome of the
// last one, a newer catalogue the check at start found, whether the
// automatic update has been started and an account's refusal at start. One
// object per program run, made by its owner and handed to every check and
// run; the workers hold it by shared_ptr, so a detached one may outlive the
// window that started it.
//
// Threads: any. Worker threads write it while the UI thread reads it, hence
// the atomics and the lock.
namespace lumora {

// Outcome of one update run (the values are those stored and compared
// since the first catalogue updates).
enum class UpdateOutcome : int {
    ConnectionError = -1,  // the marker or the catalogue could not be fetched or used
    None = 0,              // no newer catalogue (or the dialog was ended first)
    Replaced = 1,          // "Channels.lmch" was replaced
    SaveFailed = -2,       // a new catalogue came but could not be written
    AccountRefused = -3,   // the provider account's user name or password is wrong
    AccountExpired = -4,   // the provider account has expired or is disabled
};

struct PlaylistFetch;

// What the background check found with a pending update: the marker
// version, so the download that follows can tell the announced catalogue
// from anything else, or that the source served a playlist. For a playlist
// the checked body is kept with the address it came from, so the update
// that follows builds from it instead of fetching the playlist a second time.
struct PendingUpdate {
    std::string version;
    bool playlist = false;
    std::shared_ptr<const PlaylistFetch> playlistFetch;
    std::u16string playlistSource;  // the source address the body came from
};

class UpdateState {
public:
    UpdateState() = default;
    UpdateState(const UpdateState&) = delete;
    UpdateState& operator=(const UpdateState&) = delete;

    // The result of the last check or update run.
    UpdateOutcome Outcome() const { return outcome_.load(); }
    void SetOutcome(UpdateOutcome outcome) { outcome_ = outcome; }

    // The background check found a newer catalogue that has not been
    // downloaded yet. Set the finding (SetPendingUpdate) first: whoever sees
    // the flag then sees it too.
    bool Pending() const { return pending_.load(); }
    void SetPending(bool pending) { pending_ = pending; }
    void SetPendingUpdate(const PendingUpdate& pending);
    PendingUpdate PendingUpdateFound() const;
    // The version part alone.
    void SetPendingVersion(const std::string& version);
    std::string PendingVersion() const;

    // True the first time only: the automatic update is started at most
    // once per program run.
    bool MarkAutomaticUpdateStarted();
    bool AutomaticUpdateStarted() const { return autoUpdateStarted_.load(); }

    // The check at start found the provider account refused or expired
    // (UpdateOutcome::AccountRefused or AccountExpired); taken once.
    void SetAccountRefusalAtStart(UpdateOutcome refusal) { accountRefusalAtStart_ = refusal; }
    UpdateOutcome TakeAccountRefusalAtStart() {
        return accountRefusalAtStart_.exchange(UpdateOutcome::None);
    }

private:
    std::atomic<UpdateOutcome> outcome_{UpdateOutcome::None};
    std::atomic<bool> pending_{false};
    std::atomic<bool> autoUpdateStarted_{false};
    std::atomic<UpdateOutcome> accountRefusalAtStart_{UpdateOutcome::None};
    // A text cannot be atomic; the check thread and the update run meet here.
    mutable std::mutex pendingMutex_;
    PendingUpdate pendingUpdate_;
};

}  // namespace lumora
