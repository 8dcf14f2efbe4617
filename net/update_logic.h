#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <string_view>

#include "catalogue/catalogue_origin.h"
#include "document/doc_node.h"
#include "document/memory_stream.h"
#include "net/fetch_reply.h"
#include "net/update_state.h"
#include "playlist/provider_account.h"

// The catalogue update: the check against the update server's marker, the
// download that replaces "Channels.lmch", and the decisions around them. This
// part knows nothing of windows or of the HTTP library: the transfer is a
// function handed in (FetchUrl in the program, anything in tests), and the
// catalogue's version and path are copied into an UpdateSource on the UI
// thread before any worker starts.
namespace lumora {

// Text keys of the update's dialog heading, wait text and messages.
inline constexpr std::string_view kTextCheckUpdates = "str_check_updates";
inline constexpr std::string_view kTextWait = "str_wait";
inline constexpr std::string_view kTextDownChannels = "str_down_channels";
inline constexpr std::string_view kMsgErrorConnection = "msg_error_connection";
inline constexpr std::string_view kMsgCatalogueUpdated = "msg_cupdated";
inline constexpr std::string_view kMsgNoUpdates = "msg_noupdates";
inline constexpr std::string_view kMsgSaveFailed = "msg_error_save";
inline constexpr std::string_view kMsgAccountRefused = "msg_account_refused";
inline constexpr std::string_view kMsgAccountExpired = "msg_account_expired";

// Fetches one URL; null when the transfer failed. Called on worker threads.
using FetchFunction = std::function<std::unique_ptr<MemoryStream>(const std::u16string& url)>;

// What is being transferred, so the transfer can set its limits (the marker
// has an overall time limit, a catalogue or playlist has none).
enum class TransferKind { Marker, Catalogue, Playlist };
struct TransferRequest {
    std::u16string url;
    TransferKind kind = TransferKind::Catalogue;
    HttpValidators conditions;  // sent as If-None-Match / If-Modified-Since
};
using TransferFunction = std::function<FetchReply(const TransferRequest& request)>;

// A provider account's password, read on the worker: the desktop's secret
// store may keep the caller waiting. Empty when none is kept.
using AccountPasswordReader = std::function<std::string(const ProviderAccount& account)>;

// Everything a check or a download needs, copied on the UI thread so that
// workers never read the live catalogue.
struct UpdateSource {
    std::u16string server;            // e.g. u"http://updates.example.org:8080"
    std::string catalogueVersion;     // version text of the catalogue in use
    std::u16string cataloguePath;     // full path of the catalogue file in use
    CatalogueOrigin catalogueOrigin;  // the playlist the catalogue in use was built from
    // The source is this provider account (`server` is then its name,
    // AccountSourceName); its catalogue is written for the user alone.
    std::optional<ProviderAccount> account;
    // Reads the account's password when `account` holds none.
    AccountPasswordReader accountPassword;
    // The account's adult channels are in its catalogue.
    bool accountShowsAdult = false;
    FetchFunction fetch;
    // Preferred over `fetch` when set: gives the status and validators too.
    TransferFunction transfer;
};

// One transfer through the source's transfer function, or its fetch
// function when it has none (no status, no validators then).
FetchReply Transfer(const UpdateSource& source, const TransferRequest& request);

// Addresses on the update server: the server followed by the fixed paths
// (trailing slashes of the server are dropped so the path is not doubled).
std::u16string MarkerUrl(std::u16string_view server);
std::u16string CatalogueUrl(std::u16string_view server);

// Version texts: decimal numbers separated by dots, such as "1.0.12.3".
using VersionNumbers = std::array<std::int32_t, 4>;

// The first four dot-separated pieces as numbers (empty pieces skipped; each
// piece's leading decimal integer, blanks and a sign allowed; 0 without
// digits). Never fails: any text gives four numbers.
VersionNumbers ParseVersion(std::string_view text);

// 0 when equal; i + 1 when a's number i is the first greater one, -(i + 1)
// when it is the first smaller one. "1.2" equals "1.2.0.0"; "1.10" > "1.9".
int CompareVersions(std::string_view a, std::string_view b);

// True for a well-formed version text: one or more runs of decimal digits
// separated by single dots (what lumora-data publish insists on).
bool IsVersionText(std::string_view text);

// Result of asking the server whether a newer catalogue exists.
enum class CheckAnswer {
    Newer,        // the marker names a newer version
    NotNewer,     // equal, older, not a document, or no usable version
    Unreachable,  // the marker could not be fetched
};
struct CheckResult {
    CheckAnswer answer = CheckAnswer::NotNewer;
    bool markerRead = false;  // the marker came and read as a document
    std::string version;      // the marker's version text when it was read
};
CheckResult AskServerForNewerCatalogue(const UpdateSource& source);
CheckAnswer AskForNewerCatalogue(const UpdateSource& source);

// True when the marker names a newer version than the catalogue in use;
// sets the state's outcome to ConnectionError when the marker cannot be
// fetched. Blocking; worker threads only.
bool CheckCatalogueUpdate(const UpdateSource& source, UpdateState& state);

// What a downloaded catalogue must be before it may replace the one in use:
// the version the marker announced (compared as version texts), or, when
// no marker version is known, newer than `versionInUse`.
struct ExpectedCatalogue {
    std::string markerVersion;
    std::string versionInUse;
};

// True when the document has at least one channel whose stream address may
// be played (IsPlayableAddress).
bool HasPlayableChannel(const DocNode& root);

// Checks that `body` reads as a document that is the expected catalogue
// and holds a playable channel, then writes it over `path`: to "PATH.tmp"
// first, flushed, then renamed over the old file. The old file is untouched
// on every failure. `beforeReplace` (may be empty) is asked just before the
// rename; false abandons the replacement.
enum class StoreResult { Stored, NotACatalogue, WriteFailed, Abandoned };
StoreResult StoreCatalogue(MemoryStream& body, const std::u16string& path,
                           const ExpectedCatalogue& expected,
                           const std::function<bool()>& beforeReplace = {});
// Writes bytes that are known to be a catalogue over `path` the same way.
// `userOnly`: the file is readable by its owner alone (a provider account's
// catalogue holds the password in its stream addresses), from its creation.
StoreResult WriteCatalogueFile(const MemoryStream& body, const std::u16string& path,
                               const std::function<bool()>& beforeReplace = {},
                               bool userOnly = false);

// The check at start: when `enabled` (the "AutoCU" setting), starts a
// detached worker that sets the state's pending update to the answer of
// the source's check (CheckCatalogueUpdate for an update server). The
// future (invalid when nothing was started) is ready when the worker is
// done; the program does not wait for it, tests do.
std::shared_future<void> StartAutomaticUpdateCheck(bool enabled, UpdateSource source,
                                                   std::shared_ptr<UpdateState> state);

// The timer's half of the automatic update, called on every tick on the UI
// thread: true (once per process run) when a pending update should be
// started now because the main window is the active window. The caller then
// sends ID_CHANNEL_UPDATE to the main window.
bool ShouldStartAutomaticUpdate(UpdateState& state, bool mainWindowActive);

// The check at start found the provider account refused or expired
// (UpdateOutcome::AccountRefused or AccountExpired), so the catalogue in use
// stays: the message key to tell the user, once per run, when the main
// window is active; empty otherwise. UI thread.
std::string_view TakeAccountRefusalAtStart(UpdateState& state, bool mainWindowActive);

}  // namespace lumora
