#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "document/doc_node.h"
#include "net/fetch_url.h"
#include "playlist/provider_account.h"

// A provider account as a channel source: its three answers fetched
// (account, live categories, live streams) and turned into a catalogue
// with the account's guide and archive. Standard library and libcurl.
//
// Threads: any; blocking, for workers and the data tool.
namespace lumora {

struct AccountImportOptions {
    bool showAdult = false;
    // The catalogue's version ("YYYY.M.D.N", PlaylistCatalogueVersion) is
    // made from these.
    std::chrono::system_clock::time_point today = std::chrono::system_clock::now();
    std::string versionInUse;
    FetchOptions fetch;
};

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
    // The catalogue (Built only): root "url-tvg" is the account's guide, the
    // origin's "src" the server and user (never the password).
    std::unique_ptr<DocNode> catalogue;
};

AccountImport ImportAccount(const ProviderAccount& account, const AccountImportOptions& options);

// What the catalogue's origin names as its source: "SERVER#USER".
std::u16string AccountSourceName(const ProviderAccount& account);

}  // namespace lumora
