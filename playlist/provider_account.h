#pragma once

// Provider accounts of the "player API" kind (a server address, a user name
// and a password, as many paid providers hand out instead of a playlist):
// the addresses of the API, what its untrusted JSON answers say, and the
// live streams turned into the playlist entries the catalogue builder
// takes, with each stream's guide id and archive. Standard library and
// nlohmann/json; no state; any thread.
//
// The provider's stream addresses carry the user name and password by the
// API's design. Nothing meant for people (reports, errors, logs) may show
// them: MaskSecret.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "playlist/m3u_playlist.h"

namespace lumora {

struct ProviderAccount {
    std::string server;  // "http(s)://host[:port][/path]", no trailing slash
    std::string user;
    std::string password;
};

// An account's channel is known by its stream id ("xc1477"), not by its
// name, so a favourite stays when the provider renames the channel.
inline constexpr char kAccountChannelKeyPrefix[] = "xc";

// Every answer of the API is refused beyond this size.
inline constexpr std::size_t kMaxAccountAnswerBytes = 64u * 1024u * 1024u;
// Streams read at most from one answer.
inline constexpr std::size_t kMaxAccountStreams = 500000;

// The server as kept: http(s) only, no blanks, query or fragment, without
// a trailing "/" and without a "player_api.php" the user pasted with it;
// nothing for anything else.
std::optional<std::string> NormaliseAccountServer(std::string_view server);

// "SERVER/player_api.php?username=U&password=P[&action=ACTION]" and the
// account's guide "SERVER/xmltv.php?username=U&password=P", the user name
// and password percent-encoded.
std::string AccountApiAddress(const ProviderAccount& account, std::string_view action = {});
std::string AccountGuideAddress(const ProviderAccount& account);

enum class AccountStatus {
    Active,
    Expired,
    Refused,   // wrong user name or password
    Disabled,  // banned, disabled or any other state the server names
};

struct AccountInfo {
    AccountStatus status = AccountStatus::Refused;
    std::string statusText;               // as the server words it, bounded
    std::optional<std::int64_t> expires;  // Unix seconds; none: never
    int maxConnections = 0;
    int activeConnections = 0;
    // The output formats the account may use; a list without "ts" but with
    // "m3u8" gets HLS addresses.
    bool transportStream = true;
    bool hls = true;
    // The server's local time less UTC, in seconds, from its clock; its
    // archive addresses are written in its local time.
    std::int32_t serverUtcOffset = 0;
};

// The account answer ("player_api.php" without an action); nothing when the
// text is not that answer (an HTML page, another JSON).
std::optional<AccountInfo> ParseAccountInfo(std::string_view json);

// What a streams answer made of the account.
struct AccountStreams {
    M3uPlaylist playlist;
    std::size_t hiddenAdult = 0;
    // Entries left out, by reason ("not an object", "no stream id", ...).
    std::map<std::string, std::size_t> skipped;
    bool readable = true;  // false: the answer is not a JSON list at all
};

// The live streams of "get_live_streams" with the category names of
// "get_live_categories" (either may be unreadable: then streams have no
// category). Each stream becomes an entry: its name without a country
// prefix ("UK: ", "DE | "), the country of that prefix (or of its category's
// name), the category name as its group, "epg_channel_id" as its guide id,
// the account's address of the stream ("SERVER/live/U/P/ID.ts", ".m3u8"
// when only HLS is allowed), and for "tv_archive" = 1 the archive style
// "xc" for "tv_archive_duration" days, its times moved to the server's
// clock. Adult streams are left out unless `showAdult`.
AccountStreams ParseAccountStreams(std::string_view streamsJson, std::string_view categoriesJson,
                                   const ProviderAccount& account, const AccountInfo& info,
                                   bool showAdult, std::int32_t localUtcOffset);

// The country a channel name's prefix names ("UK: News" -> "GB", "DE | x"
// -> "DE", "|FR| x" -> "FR"), and the name without it; no country when the
// name has no such prefix.
struct NamePrefix {
    std::string country;
    std::string rest;
};
NamePrefix SplitCountryPrefix(std::string_view name);

// `text` with the account's password, wherever it stands (also
// percent-encoded), replaced by "***".
std::string MaskSecret(std::string_view text, std::string_view password);
// `text` with the value of every "password=" query parameter replaced by
// "***": for messages that may name an account's address (its guide's)
// where the password itself is not at hand.
std::string MaskPasswordParameters(std::string_view text);

}  // namespace lumora
