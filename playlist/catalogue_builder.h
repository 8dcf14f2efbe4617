#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalogue/catalogue_format.h"
#include "document/doc_node.h"
#include "playlist/channel_database.h"
#include "playlist/m3u_playlist.h"

namespace lumora {

// Used by lumora-data and by the program's playlist updates; one builder
// belongs to one thread.

struct ImportCounts {
    std::size_t channels = 0;
    std::size_t streams = 0;
    std::size_t countries = 0;
    std::size_t malformed = 0;  // entries of the playlists that could not be used
    std::size_t refused = 0;    // addresses that may not be opened
    std::size_t nsfw = 0;       // channels left out because the database marks them
    std::size_t repeated = 0;   // addresses a channel already had
};

// The country of channels that name none, in catalogues the program builds
// from the user's own playlist ("c_own", "My channels"). Not "my": that is
// Malaysia's code.
inline constexpr std::string_view kOwnPlaylistCode = "own";

// The catalogue category key ("n", "mu", ...) of the first name in the list
// with a word that names a category (in any shipped language, any case,
// accents ignored: "Sports", "Noticias", "Cinéma", "Детские"); "e" when
// none has.
std::string_view CategoryKeyFor(const std::vector<std::string>& categoryNames);

// "News;Music" -> {"News", "Music"}.
// Blanks and tabs off both ends.
std::string_view TrimBlanks(std::string_view text);
// A ";"-separated list of names (a group-title or the database's
// categories), each trimmed, empty ones left out.
std::vector<std::string> SplitGroupTitle(std::string_view groupTitle);

// The country a playlist's file name stands for ("hu.m3u", "us_pluto.m3u"),
// or the empty string when its first two letters are not a country code
// followed by the end of the name or a non-letter.
std::string CountryOfPlaylistName(std::string_view fileName);

// Turns M3U entries into the catalogue document. Entries with the same
// channel key in one country become one channel whose streams come highest
// stated resolution first, then in the order they were added.
class CatalogueBuilder {
public:
    // The database may be null; it must outlive the builder.
    explicit CatalogueBuilder(const ChannelDatabase* database) : database_(database) {}

    // `playlistName` is the playlist's file name, for entries that name no
    // country of their own.
    void AddPlaylist(const M3uPlaylist& playlist, std::string_view playlistName);
    // The same, with the country for entries that name none given outright.
    void AddPlaylistWithCountry(const M3uPlaylist& playlist, const std::string& country);

    // The document: root named `version` with the playlists' guide addresses,
    // one child per country code, one channel node per channel. Also fills
    // the counts.
    std::unique_ptr<DocNode> Build(const std::string& version);

    const ImportCounts& Counts() const { return counts_; }

private:
    struct StreamSource {
        std::string address;
        std::string userAgent;
        std::string referrer;
        int resolution = 0;
        std::size_t order = 0;
    };
    struct Draft {
        std::string name;                          // display name of the first entry, cleaned
        std::string tvgId;                         // tvg-id of the first entry, as written
        std::string tvgName;                       // tvg-name of the first entry
        std::int32_t tvgShiftMinutes = 0;          // of the first entry
        CatchupAttributes catchup;                 // of the first entry
        std::string nodeBase;                      // the key without its country suffix
        std::vector<std::string> groupCategories;  // of the first entry that has any
        std::vector<StreamSource> streams;
    };
    using CountryDrafts = std::map<std::string, Draft>;  // channel key -> draft

    void AddEntry(const M3uEntry& entry, const std::string& playlistCountry);
    struct NamedDraft {
        const std::string* key;
        const Draft* draft;
    };
    // Node names unique within the country, derived from the keys alone, so
    // a channel keeps its id (and the user's favourite mark) from one
    // catalogue version to the next.
    static std::map<std::string, NamedDraft> NameNodes(const CountryDrafts& drafts);
    void WriteChannel(DocNode& node, const std::string& key, const Draft& draft);
    static void WriteGuideAttributes(DocNode& node, const Draft& draft);

    const ChannelDatabase* database_;
    std::map<std::string, CountryDrafts> countries_;
    std::set<std::pair<std::string, std::string>> leftOut_;  // NSFW (country, key)
    std::vector<std::string> guideAddresses_;                // of every playlist, each once
    std::size_t order_ = 0;
    ImportCounts counts_;
};

}  // namespace lumora
