#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "document/memory_stream.h"
#include "net/fetch_reply.h"
#include "net/update_logic.h"

// Update sources that are M3U playlists: an http(s) playlist address or a
// local playlist file, told apart from an update server by the address and
// the content. The playlist is turned into a catalogue here; the update run
// writes it like a downloaded one. Standard library only.
//
// Threads: any; nothing here keeps state.
namespace lumora {

enum class SourceKind {
    UpdateServer,     // the marker and catalogue protocol (or a playlist served at that address)
    PlaylistAddress,  // http(s) address ending in ".m3u"/".m3u8", or with a query
    PlaylistFile,     // anything that is not an http(s) address: a local file path
};
SourceKind KindOfSource(std::u16string_view address);

// True when the address's path ends in ".m3u" or ".m3u8" (any case).
bool HasPlaylistSuffix(std::u16string_view address);

// A playlist file or answer larger than this is refused.
inline constexpr std::size_t kMaxPlaylistBytes = 256u * 1024u * 1024u;

// The fetched playlist and what the check made of it.
struct PlaylistFetch {
    CheckAnswer answer = CheckAnswer::Unreachable;
    bool isPlaylist = false;  // the body is a playlist (a header, or a playlist path)
    // A provider account's: the body is the catalogue itself, built at the
    // check; `refusal` says why an account gave none (AccountRefused or
    // AccountExpired; None for none).
    bool prebuilt = false;
    UpdateOutcome refusal = UpdateOutcome::None;
    std::unique_ptr<MemoryStream> body;
    HttpValidators validators;
    std::string hash;  // of the body's bytes
};

// Fetches the source's playlist (asking with the validators stored on the
// catalogue in use when `conditional` and it came from the same source) and
// answers Newer when its content differs from the one the catalogue in use
// was built from; Unreachable when it cannot be fetched or read, or is not
// a playlist.
PlaylistFetch FetchPlaylist(const UpdateSource& source, bool conditional);

// The content hash stored on a playlist-built catalogue's root.
std::string PlaylistHash(std::string_view bytes);

// "YYYY.M.D.N" for a catalogue built on `today` (UTC): N is one more than
// the catalogue in use's when that has the same date, else 1.
std::string PlaylistCatalogueVersion(std::chrono::system_clock::time_point today,
                                     std::string_view versionInUse);

// The catalogue document for a fetched playlist, written into bytes: its
// channels (relative addresses resolved against the source address, refused
// ones left out), the version above and the origin attributes. Null when
// the playlist holds no playable channel.
std::unique_ptr<MemoryStream> BuildPlaylistCatalogue(const PlaylistFetch& fetched,
                                                     const UpdateSource& source,
                                                     std::chrono::system_clock::time_point today);

// Whether the source (or, for an address that looks like an update server,
// what it served) is a playlist, and the answer of the check.
struct SourceCheck {
    CheckAnswer answer = CheckAnswer::NotNewer;
    std::string markerVersion;                // for an update server
    std::unique_ptr<PlaylistFetch> playlist;  // for a playlist
};
SourceCheck CheckSource(const UpdateSource& source, bool conditional);

}  // namespace lumora
