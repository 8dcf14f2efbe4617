#include "net/playlist_source.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <limits>

#include "catalogue/catalogue_origin.h"
#include "catalogue/stable_hash.h"
#include "document/doc_node.h"
#include "document/text_encoding.h"
#include "net/account_source.h"
#include "playlist/catalogue_builder.h"
#include "playlist/m3u_playlist.h"

namespace lumora {
namespace {

char16_t LowerAscii(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c;
}

bool StartsWithIgnoringCase(std::u16string_view text, std::u16string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (LowerAscii(text[i]) != prefix[i])
            return false;
    }
    return true;
}

bool IsWebAddress(std::u16string_view address) {
    return StartsWithIgnoringCase(address, u"http://") ||
           StartsWithIgnoringCase(address, u"https://");
}

// A local playlist, read whole (bounded); null when it cannot be read.
std::unique_ptr<MemoryStream> ReadPlaylistFile(const std::u16string& path) {
    std::ifstream file(ToUtf8(path), std::ios::binary);
    if (!file)
        return nullptr;
    auto body = std::make_unique<MemoryStream>();
    char buffer[64 * 1024];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        if (body->Size() + std::size_t(file.gcount()) > kMaxPlaylistBytes)
            return nullptr;
        body->Write(buffer, std::uint32_t(file.gcount()));
    }
    if (file.bad())
        return nullptr;
    body->Seek(0, SeekOrigin::Begin);
    return body;
}

std::string_view BodyText(const MemoryStream& body) {
    return body.View();
}

}  // namespace

bool HasPlaylistSuffix(std::u16string_view address) {
    std::u16string_view path = address.substr(0, address.find_first_of(u"?#"));
    auto endsWith = [path](std::u16string_view suffix) {
        return path.size() >= suffix.size() &&
               StartsWithIgnoringCase(path.substr(path.size() - suffix.size()), suffix);
    };
    return endsWith(u".m3u") || endsWith(u".m3u8");
}

SourceKind KindOfSource(std::u16string_view address) {
    if (!IsWebAddress(address))
        return SourceKind::PlaylistFile;
    // A server address gets paths appended, so one with a query or a
    // playlist's name cannot be an update server.
    if (HasPlaylistSuffix(address) || address.find(u'?') != std::u16string_view::npos)
        return SourceKind::PlaylistAddress;
    return SourceKind::UpdateServer;
}

std::string PlaylistHash(std::string_view bytes) {
    // Tells one content from the next; nothing is trusted on its strength.
    const std::uint64_t hash = StableHash64(bytes);
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

namespace {

// A provider account's catalogue, built whole: its answers decide whether
// it is new, so there are no validators to ask with.
PlaylistFetch FetchAccountCatalogue(const UpdateSource& source) {
    PlaylistFetch fetched;
    ProviderAccount account = *source.account;
    if (account.password.empty() && source.accountPassword)
        account.password = source.accountPassword(account);
    if (account.password.empty()) {
        // Nothing to log in with: as good as a wrong password.
        fetched.refusal = UpdateOutcome::AccountRefused;
        return fetched;
    }
    AccountImportOptions options;
    options.versionInUse = source.catalogueVersion;
    options.showAdult = source.accountShowsAdult;
    const AccountImport imported =
        ImportAccount(account, options, [&source](const std::string& address) {
            FetchReply reply = Transfer(source, {FromUtf8(address), TransferKind::Playlist, {}});
            std::optional<std::string> body;
            if (reply.body)
                body.emplace(BodyText(*reply.body));
            return body;
        });
    using Outcome = AccountImport::Outcome;
    switch (imported.outcome) {
    case Outcome::Refused: fetched.refusal = UpdateOutcome::AccountRefused; return fetched;
    case Outcome::Expired:
    case Outcome::Disabled: fetched.refusal = UpdateOutcome::AccountExpired; return fetched;
    case Outcome::Built: break;
    default: return fetched;
    }
    auto bytes = std::make_unique<MemoryStream>();
    if (!imported.catalogue->WriteAllTo(*bytes))
        return fetched;
    bytes->Seek(0, SeekOrigin::Begin);
    fetched.body = std::move(bytes);
    fetched.isPlaylist = fetched.prebuilt = true;
    fetched.hash = imported.answersHash;
    const bool unchanged = source.catalogueOrigin.source == source.server &&
                           fetched.hash == source.catalogueOrigin.hash;
    fetched.answer = unchanged ? CheckAnswer::NotNewer : CheckAnswer::Newer;
    return fetched;
}

}  // namespace

PlaylistFetch FetchPlaylist(const UpdateSource& source, bool conditional) {
    if (source.account)
        return FetchAccountCatalogue(source);
    PlaylistFetch fetched;
    const bool sameSource = source.catalogueOrigin.source == source.server;
    if (KindOfSource(source.server) == SourceKind::PlaylistFile) {
        fetched.body = ReadPlaylistFile(source.server);
    } else {
        TransferRequest request{source.server, TransferKind::Playlist, {}};
        if (conditional && sameSource)
            request.conditions = {source.catalogueOrigin.etag, source.catalogueOrigin.lastModified};
        FetchReply reply = Transfer(source, request);
        if (reply.NotModified()) {
            fetched.answer = CheckAnswer::NotNewer;
            fetched.isPlaylist = true;
            return fetched;
        }
        fetched.body = std::move(reply.body);
        fetched.validators = std::move(reply.validators);
    }
    if (!fetched.body || fetched.body->Size() > kMaxPlaylistBytes)
        return fetched;
    std::string_view text = BodyText(*fetched.body);
    fetched.isPlaylist = LooksLikeM3u(text) || HasPlaylistSuffix(source.server);
    if (!fetched.isPlaylist)
        return fetched;  // an error page, or something else entirely
    fetched.hash = PlaylistHash(text);
    bool unchanged = sameSource && fetched.hash == source.catalogueOrigin.hash;
    fetched.answer = unchanged ? CheckAnswer::NotNewer : CheckAnswer::Newer;
    return fetched;
}

std::string PlaylistCatalogueVersion(std::chrono::system_clock::time_point today,
                                     std::string_view versionInUse) {
    std::chrono::year_month_day date{std::chrono::floor<std::chrono::days>(today)};
    VersionNumbers numbers = {int(date.year()), int(unsigned(date.month())),
                              int(unsigned(date.day())), 1};
    VersionNumbers inUse = ParseVersion(versionInUse);
    if (inUse[0] == numbers[0] && inUse[1] == numbers[1] && inUse[2] == numbers[2] &&
        inUse[3] >= 1 && inUse[3] < std::numeric_limits<std::int32_t>::max())
        numbers[3] = inUse[3] + 1;
    return std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) + "." +
           std::to_string(numbers[2]) + "." + std::to_string(numbers[3]);
}

std::unique_ptr<MemoryStream> BuildPlaylistCatalogue(const PlaylistFetch& fetched,
                                                     const UpdateSource& source,
                                                     std::chrono::system_clock::time_point today) {
    if (!fetched.body)
        return nullptr;
    if (fetched.prebuilt) {
        auto copy = std::make_unique<MemoryStream>();
        if (!copy->Write(fetched.body->Data(), fetched.body->Size()))
            return nullptr;
        copy->Seek(0, SeekOrigin::Begin);
        return copy;
    }
    // Relative entries are resolved against the playlist's own address; a
    // local file has none, so they are refused there.
    std::string base = KindOfSource(source.server) == SourceKind::PlaylistFile
                           ? std::string()
                           : ToUtf8(source.server);
    M3uPlaylist playlist = ParseM3uText(BodyText(*fetched.body), base);
    CatalogueBuilder builder(nullptr);
    builder.AddPlaylistWithCountry(playlist, std::string(kOwnPlaylistCode));
    std::unique_ptr<DocNode> root =
        builder.Build(PlaylistCatalogueVersion(today, source.catalogueVersion));
    if (!HasPlayableChannel(*root))
        return nullptr;
    WriteCatalogueOrigin(*root, {source.server, fetched.hash, fetched.validators.etag,
                                 fetched.validators.lastModified});
    auto bytes = std::make_unique<MemoryStream>();
    if (!root->WriteAllTo(*bytes))
        return nullptr;
    bytes->Seek(0, SeekOrigin::Begin);
    return bytes;
}

SourceCheck CheckSource(const UpdateSource& source, bool conditional) {
    SourceCheck check;
    if (!source.account && KindOfSource(source.server) == SourceKind::UpdateServer) {
        CheckResult server = AskServerForNewerCatalogue(source);
        check.answer = server.answer;
        check.markerVersion = server.version;
        if (server.answer == CheckAnswer::Unreachable || server.markerRead)
            return check;
        // No marker there: the address may serve a playlist itself.
        auto fetched = std::make_unique<PlaylistFetch>(FetchPlaylist(source, conditional));
        if (!fetched->isPlaylist)
            return check;  // as the protocol says: an unusable marker is no update
        check.answer = fetched->answer;
        check.playlist = std::move(fetched);
        return check;
    }
    check.playlist = std::make_unique<PlaylistFetch>(FetchPlaylist(source, conditional));
    check.answer = check.playlist->answer;
    return check;
}

}  // namespace lumora
