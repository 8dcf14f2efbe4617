#include "playlist/catalogue_builder.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <unordered_set>

#include "catalogue/catalogue_format.h"
#include "catalogue/catchup_attributes.h"
#include "catalogue/guide_attributes.h"
#include "catalogue/stable_hash.h"
#include "catalogue/text_fold.h"
#include "document/text_encoding.h"
#include "playlist/country_codes.h"

namespace lumora {

namespace {

// Words of group titles and database categories and the catalogue key each
// names: the categories' display texts in every shipped language and their
// common synonyms, folded (lower case, no accents).
struct CategoryMapping {
    std::string_view word;
    std::string_view key;
};
constexpr CategoryMapping kCategoryMappings[] = {
    // News.
    {"news", "n"},
    {"nachrichten", "n"},
    {"noticias", "n"},
    {"noticia", "n"},
    {"actualites", "n"},
    {"actualite", "n"},
    {"info", "n"},
    {"infos", "n"},
    {"information", "n"},
    {"informations", "n"},
    {"notizie", "n"},
    {"informazione", "n"},
    {"wiadomosci", "n"},
    {"informacje", "n"},
    {"новости", "n"},
    {"информация", "n"},
    // Sports.
    {"sport", "sp"},
    {"sports", "sp"},
    {"outdoor", "sp"},
    {"deportes", "sp"},
    {"deporte", "sp"},
    {"deportivo", "sp"},
    {"esporte", "sp"},
    {"esportes", "sp"},
    {"sportivo", "sp"},
    {"sportive", "sp"},
    {"sportif", "sp"},
    {"football", "sp"},
    {"soccer", "sp"},
    {"futbol", "sp"},
    {"fussball", "sp"},
    {"fußball", "sp"},
    {"calcio", "sp"},
    {"sporty", "sp"},
    {"спорт", "sp"},
    {"спортивные", "sp"},
    {"desporto", "sp"},
    // Music.
    {"music", "mu"},
    {"musik", "mu"},
    {"musica", "mu"},
    {"musique", "mu"},
    {"muzyka", "mu"},
    {"muzyczne", "mu"},
    {"musicale", "mu"},
    {"музыка", "mu"},
    {"музыкальные", "mu"},
    // Kids.
    {"kids", "k"},
    {"kid", "k"},
    {"children", "k"},
    {"childrens", "k"},
    {"cartoons", "k"},
    {"cartoon", "k"},
    {"animation", "k"},
    {"family", "k"},
    {"kinder", "k"},
    {"kinderprogramm", "k"},
    {"ninos", "k"},
    {"infantil", "k"},
    {"infantiles", "k"},
    {"dibujos", "k"},
    {"enfants", "k"},
    {"jeunesse", "k"},
    {"dessins", "k"},
    {"bambini", "k"},
    {"ragazzi", "k"},
    {"cartoni", "k"},
    {"dzieci", "k"},
    {"dzieciece", "k"},
    {"bajki", "k"},
    {"criancas", "k"},
    {"desenhos", "k"},
    {"детские", "k"},
    {"детям", "k"},
    {"дети", "k"},
    {"детское", "k"},
    {"мультфильмы", "k"},
    {"мультики", "k"},
    // Movies.
    {"movies", "mo"},
    {"movie", "mo"},
    {"series", "mo"},
    {"classic", "mo"},
    {"film", "mo"},
    {"films", "mo"},
    {"filme", "mo"},
    {"filmes", "mo"},
    {"filmy", "mo"},
    {"cinema", "mo"},
    {"cine", "mo"},
    {"kino", "mo"},
    {"peliculas", "mo"},
    {"pelicula", "mo"},
    {"serien", "mo"},
    {"seriale", "mo"},
    {"кино", "mo"},
    {"фильмы", "mo"},
    {"сериалы", "mo"},
    // Religion.
    {"religion", "r"},
    {"religious", "r"},
    {"religiao", "r"},
    {"religione", "r"},
    {"religia", "r"},
    {"religijne", "r"},
    {"religieux", "r"},
    {"religieuse", "r"},
    {"religiose", "r"},
    {"religioso", "r"},
    {"religiosa", "r"},
    {"religiosas", "r"},
    {"christian", "r"},
    {"church", "r"},
    {"faith", "r"},
    {"islamic", "r"},
    {"религия", "r"},
    {"религиозные", "r"},
    // Lifestyle.
    {"lifestyle", "l"},
    {"cooking", "l"},
    {"travel", "l"},
    {"relax", "l"},
    {"auto", "l"},
    {"culture", "l"},
    {"food", "l"},
    {"cuisine", "l"},
    {"kochen", "l"},
    {"reisen", "l"},
    {"lebensstil", "l"},
    {"cocina", "l"},
    {"viajes", "l"},
    {"estilo", "l"},
    {"voyage", "l"},
    {"voyages", "l"},
    {"cucina", "l"},
    {"viaggi", "l"},
    {"gotowanie", "l"},
    {"podroze", "l"},
    {"styl", "l"},
    {"culinaria", "l"},
    {"viagens", "l"},
    {"кулинария", "l"},
    {"путешествия", "l"},
    {"стиль", "l"},
    {"образ", "l"},
    {"vivre", "l"},
    {"stile", "l"},
    // Shopping.
    {"shop", "ad"},
    {"shopping", "ad"},
    {"teleshopping", "ad"},
    {"einkaufen", "ad"},
    {"compras", "ad"},
    {"achats", "ad"},
    {"acquisti", "ad"},
    {"zakupy", "ad"},
    {"telezakupy", "ad"},
    {"покупки", "ad"},
    {"шопинг", "ad"},
    {"телемагазин", "ad"},
    {"магазин", "ad"},
    {"teletienda", "ad"},
    {"televendas", "ad"},
    {"televendite", "ad"},
    {"teleachat", "ad"},
    // Entertainment.
    {"entertainment", "e"},
    {"unterhaltung", "e"},
    {"entretenimiento", "e"},
    {"divertissement", "e"},
    {"intrattenimento", "e"},
    {"rozrywka", "e"},
    {"entretenimento", "e"},
    {"развлечения", "e"},
    {"развлекательные", "e"},
};

// Node names stay short enough to read in a settings file.
constexpr std::size_t kMaxNodeBaseLength = 48;

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return lower;
}

bool IsCatalogueCountry(std::string_view code) {
    return IsCountryCode(code) || code == kInternationalCode;
}

// The first country code of a "tvg-country" list ("FR", "fr;be", "UK").
std::string CountryOfList(std::string_view list) {
    for (const std::string& one : SplitGroupTitle(list)) {
        std::string code = LowerAscii(one);
        if (IsCatalogueCountry(code))
            return code;
    }
    return {};
}

bool IsAlphaNumeric(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string KeepAlphaNumeric(std::string_view text) {
    std::string kept;
    for (char c : text) {
        if (IsAlphaNumeric(c) && kept.size() < kMaxNodeBaseLength)
            kept += c;
    }
    return kept;
}

// The same key gets the same node name on every machine and in every
// catalogue version.
std::string KeyHash(std::string_view key) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", unsigned(StableHash32(key)));
    return text;
}

// The tvg-id "Name.hu@SD" names the channel "Name.hu" of the country "hu".
std::string_view WithoutFeed(std::string_view tvgId) {
    return tvgId.substr(0, tvgId.find('@'));
}

std::string CountryOfKey(std::string_view key) {
    std::size_t dot = key.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    std::string code = LowerAscii(key.substr(dot + 1));
    return IsCatalogueCountry(code) ? code : std::string();
}

// The key without a trailing ".country".
std::string_view NodeBaseOf(std::string_view key, std::string_view country) {
    std::size_t dot = key.rfind('.');
    if (dot != std::string_view::npos && LowerAscii(key.substr(dot + 1)) == country)
        return key.substr(0, dot);
    return key;
}

}  // namespace

std::string_view CategoryKeyFor(const std::vector<std::string>& categoryNames) {
    for (const std::string& name : categoryNames) {
        for (const std::string& word : FoldedWords(name)) {
            for (const CategoryMapping& mapping : kCategoryMappings) {
                if (mapping.word == word)
                    return mapping.key;
            }
        }
    }
    return kOtherCategory;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string> SplitGroupTitle(std::string_view groupTitle) {
    std::vector<std::string> names;
    while (!groupTitle.empty()) {
        std::size_t semicolon = groupTitle.find(';');
        std::string_view one = TrimBlanks(groupTitle.substr(0, semicolon));
        if (!one.empty())
            names.emplace_back(one);
        if (semicolon == std::string_view::npos)
            break;
        groupTitle.remove_prefix(semicolon + 1);
    }
    return names;
}

std::string CountryOfPlaylistName(std::string_view fileName) {
    std::size_t slash = fileName.find_last_of('/');
    if (slash != std::string_view::npos)
        fileName.remove_prefix(slash + 1);
    if (fileName.size() < 2)
        return {};
    // "india.m3u" is not India's playlist; "in.m3u" and "in_tango.m3u" are.
    if (fileName.size() > 2) {
        char third = fileName[2];
        if ((third >= 'a' && third <= 'z') || (third >= 'A' && third <= 'Z'))
            return {};
    }
    std::string code = LowerAscii(fileName.substr(0, 2));
    return IsCountryCode(code) ? code : std::string();
}

void CatalogueBuilder::AddPlaylist(const M3uPlaylist& playlist, std::string_view playlistName) {
    std::string playlistCountry = CountryOfPlaylistName(playlistName);
    if (playlistCountry.empty())
        playlistCountry = std::string(kInternationalCode);
    AddPlaylistWithCountry(playlist, playlistCountry);
}

void CatalogueBuilder::AddPlaylistWithCountry(const M3uPlaylist& playlist,
                                              const std::string& country) {
    counts_.malformed += playlist.malformed;
    counts_.refused += playlist.refused;
    AddGuideAddresses(JoinGuideAddresses(playlist.guideAddresses), guideAddresses_);
    for (const M3uEntry& entry : playlist.entries)
        AddEntry(entry, country);
}

void CatalogueBuilder::AddEntry(const M3uEntry& entry, const std::string& playlistCountry) {
    CleanName clean = CleanDisplayName(entry.displayName);
    std::string key =
        !entry.channelKey.empty() ? entry.channelKey : std::string(WithoutFeed(entry.tvgId));
    std::string country = CountryOfList(entry.tvgCountry);
    if (!key.empty()) {
        if (country.empty() && entry.channelKey.empty())
            country = CountryOfKey(key);
    } else {
        key = clean.name;
    }
    if (key.empty()) {
        ++counts_.malformed;  // neither a tvg-id nor a name to know the channel by
        return;
    }
    if (country.empty())
        country = playlistCountry;

    if (database_) {
        const ChannelRecord* record = database_->Find(key);
        if (record && record->nsfw) {
            leftOut_.emplace(country, key);
            return;
        }
    }

    Draft& draft = countries_[country][key];
    if (draft.streams.empty()) {
        draft.name = !clean.name.empty() ? clean.name : std::string(TrimBlanks(entry.displayName));
        draft.tvgId = entry.tvgId;
        draft.tvgName = entry.tvgName;
        draft.tvgShiftMinutes = entry.tvgShiftMinutes;
        draft.catchup = entry.catchup;
        draft.nodeBase = std::string(NodeBaseOf(key, country));
        if (draft.name.empty())
            draft.name = draft.nodeBase;
    }
    if (draft.groupCategories.empty())
        draft.groupCategories = SplitGroupTitle(entry.groupTitle);
    draft.streams.push_back(
        StreamSource{entry.address, entry.userAgent, entry.referrer, clean.resolution, order_++});
}

std::map<std::string, CatalogueBuilder::NamedDraft> CatalogueBuilder::NameNodes(
    const CountryDrafts& drafts) {
    // Keys grouped by the name they would like; the group decides who gets it.
    std::map<std::string, std::vector<const CountryDrafts::value_type*>> wishes;
    for (const auto& entry : drafts) {
        std::string base = KeepAlphaNumeric(entry.second.nodeBase);
        if (base.empty())
            base = "ch_" + KeyHash(entry.first);
        wishes[base].push_back(&entry);
    }

    std::map<std::string, NamedDraft> named;
    for (auto& wish : wishes) {
        const std::string& base = wish.first;
        auto& group = wish.second;
        // Who keeps the plain name: a proper tvg-id ("Name.hu") whose name
        // needed no cleaning, else any key whose name needed none, else the
        // smallest key (the map walks keys in order). The others get the
        // hash of their key, which contains "_" and so never meets a plain
        // name.
        auto rank = [&](const CountryDrafts::value_type* entry) {
            const Draft& draft = entry->second;
            if (draft.nodeBase != base)
                return 2;
            return entry->first != draft.nodeBase ? 0 : 1;
        };
        auto keeper =
            std::min_element(group.begin(), group.end(),
                             [&](const auto* a, const auto* b) { return rank(a) < rank(b); });
        for (auto it = group.begin(); it != group.end(); ++it) {
            const auto* entry = *it;
            std::string name = it == keeper ? base : base + "_" + KeyHash(entry->first);
            for (int extra = 2; named.count(name); ++extra)
                name = base + "_" + KeyHash(entry->first) + "_" + std::to_string(extra);
            named.emplace(std::move(name), NamedDraft{&entry->first, &entry->second});
        }
    }
    return named;
}

void CatalogueBuilder::WriteGuideAttributes(DocNode& node, const Draft& draft) {
    // Only what the channel has: most playlists give an id and nothing else.
    if (std::string id = BoundedTvgText(draft.tvgId); !id.empty())
        node.SetWString(kTvgIdAttribute, FromUtf8(id));
    if (!draft.tvgName.empty())
        node.SetWString(kTvgNameAttribute, FromUtf8(draft.tvgName));
    if (draft.tvgShiftMinutes != 0)
        node.SetInt(kTvgShiftAttribute, BoundedTvgShift(draft.tvgShiftMinutes));
}

void CatalogueBuilder::WriteChannel(DocNode& node, const std::string& key, const Draft& draft) {
    const std::vector<std::string>* categories = &draft.groupCategories;
    if (database_) {
        const ChannelRecord* record = database_->Find(key);
        if (record && !record->categories.empty())
            categories = &record->categories;
    }
    node.SetWString(kNameAttribute, FromUtf8(draft.name));
    node.SetString(kPAttribute, draft.tvgId);
    node.SetString(kCategoryAttribute, std::string(CategoryKeyFor(*categories)));
    WriteGuideAttributes(node, draft);
    WriteCatchupAttributes(draft.catchup, node);

    std::vector<const StreamSource*> streams;
    for (const StreamSource& source : draft.streams)
        streams.push_back(&source);
    std::stable_sort(streams.begin(), streams.end(),
                     [](const StreamSource* a, const StreamSource* b) {
                         if (a->resolution != b->resolution)
                             return a->resolution > b->resolution;
                         return a->order < b->order;
                     });

    std::unordered_set<std::string_view> seen;
    int number = 0;
    for (const StreamSource* source : streams) {
        if (!seen.insert(source->address).second) {
            ++counts_.repeated;
            continue;
        }
        DocNode* stream = node.AddChild(std::to_string(number++));
        // The playlists state no bit rate, and an invented one would be
        // shown to the user as fact.
        stream->SetInt(kBitRateAttribute, 0);
        stream->SetWString(kAddressAttribute, FromUtf8(source->address));
        // Only where the stream needs them: a reader that does not know
        // these attributes passes them over.
        if (!source->userAgent.empty())
            stream->SetWString(kUserAgentAttribute, FromUtf8(source->userAgent));
        if (!source->referrer.empty())
            stream->SetWString(kReferrerAttribute, FromUtf8(source->referrer));
        ++counts_.streams;
    }
}

std::unique_ptr<DocNode> CatalogueBuilder::Build(const std::string& version) {
    counts_.channels = counts_.streams = counts_.countries = counts_.repeated = 0;
    counts_.nsfw = leftOut_.size();
    auto root = std::make_unique<DocNode>(version);
    if (!guideAddresses_.empty())
        root->SetWString(kGuideAddressesAttribute, FromUtf8(JoinGuideAddresses(guideAddresses_)));
    for (const auto& [code, drafts] : countries_) {
        DocNode* country = root->AddChild(code);
        for (const auto& [name, named] : NameNodes(drafts)) {
            WriteChannel(*country->AddChild(name), *named.key, *named.draft);
            ++counts_.channels;
        }
        ++counts_.countries;
    }
    return root;
}

}  // namespace lumora
