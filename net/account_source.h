#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "document/doc_node.h"
#include "playlist/provider_account.h"

// A provider account as a channel source: its three answers fetched
// (account, live categories, live streams) and turned into a catalogue
// with the account's guide and archive. Standard library only: the
// answers come through a fetch function (FetchUrl in the program, see
// account_fetch.h).
//
// Threads: any; blocking, for workers and the data tool.
namespace lumora {

struct AccountImportOptions {
    bool showAdult = false;
    // The catalogue's version ("YYYY.M.D.N", PlaylistCatalogueVersion) is
    // made from these.
    std::chrono::system_clock::time_point today = std::chrono::system_clock::now();
    std::string versionInUse;
};

// The body of one answer of the API, or nothing when it could not be had.
using AccountFetch = std::function<std::optional<std::string>(const std::string& address)>;

struct AccountImport {
    enum class Outcome {
        Built,
        Unreachable,   // no answer at all
        NotAnAccount,  // an answer that is not the API's (an HTML page)
        Refused,       // wrong user name or password
        Expired,
        Disabled,
        NoChannels,  // the account answered, but no stream could be used
    };
    Outcome outcome = Outcome::Unreachable;
    AccountInfo info;
    AccountStreams streams;  // the entries' counts; the entries are in the catalogue
    std::size_t channels = 0;
    // Of the categories' and streams' answers: the catalogue is new when
    // this differs from the one the catalogue in use was built from.
    std::string answersHash;
    // The catalogue (Built only): root "url-tvg" is the account's guide, the
    // origin's "src" the server and user (never the password).
    std::unique_ptr<DocNode> catalogue;
};

AccountImport ImportAccount(const ProviderAccount& account, const AccountImportOptions& options,
                            const AccountFetch& fetch);

// The account's answer alone: its outcome (Built for an active account) and
// what it says.
struct AccountCheck {
    AccountImport::Outcome outcome = AccountImport::Outcome::Unreachable;
    AccountInfo info;
};
AccountCheck CheckAccount(const ProviderAccount& account, const AccountFetch& fetch);

// What a check shows the user: a text key, and for an active account with
// an end its last day ("2027-03-01", local time) for the key's "%s".
struct AccountStatusLine {
    std::string_view key;
    std::string date;
};
AccountStatusLine AccountStatusOf(const AccountCheck& check);

// Text keys of the account's status.
inline constexpr std::string_view kTextAccountActive = "str_account_active";
inline constexpr std::string_view kTextAccountActiveUntil = "str_account_active_until";
inline constexpr std::string_view kTextAccountExpired = "str_account_expired";
inline constexpr std::string_view kTextAccountDisabled = "str_account_disabled";
inline constexpr std::string_view kTextAccountRefused = "str_account_refused";
inline constexpr std::string_view kTextAccountUnreachable = "str_account_unreachable";
inline constexpr std::string_view kTextAccountNotProvider = "str_account_not_provider";

// What the catalogue's origin names as its source: "SERVER#USER".
std::u16string AccountSourceName(const ProviderAccount& account);
// True for such a name: the catalogue came from a provider account.
bool IsAccountSourceName(std::u16string_view source);

}  // namespace lumora
