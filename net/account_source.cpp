#include "net/account_source.h"

#include <ctime>

#include "catalogue/catalogue_origin.h"
#include "catalogue/guide_attributes.h"
#include "document/text_encoding.h"
#include "net/playlist_source.h"
#include "net/update_logic.h"
#include "playlist/catalogue_builder.h"

namespace lumora {
namespace {

std::int32_t LocalUtcOffset() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return std::int32_t(local.tm_gmtoff);
}

}  // namespace

std::u16string AccountSourceName(const ProviderAccount& account) {
    return FromUtf8(account.server + "#" + account.user);
}

bool IsAccountSourceName(std::u16string_view source) {
    return source.find(u'#') != std::u16string_view::npos &&
           (source.starts_with(u"http://") || source.starts_with(u"https://"));
}

AccountImport ImportAccount(const ProviderAccount& account, const AccountImportOptions& options,
                            const AccountFetch& fetch) {
    const auto Fetch = [&fetch](const std::string& address) {
        std::optional<std::string> body = fetch(address);
        if (body && body->size() > kMaxAccountAnswerBytes)
            body.reset();
        return body;
    };
    using Outcome = AccountImport::Outcome;
    AccountImport result;
    const std::optional<std::string> answer = Fetch(AccountApiAddress(account));
    if (!answer)
        return result;
    const std::optional<AccountInfo> info = ParseAccountInfo(*answer);
    if (!info) {
        result.outcome = Outcome::NotAnAccount;
        return result;
    }
    result.info = *info;
    switch (info->status) {
    case AccountStatus::Refused: result.outcome = Outcome::Refused; return result;
    case AccountStatus::Expired: result.outcome = Outcome::Expired; return result;
    case AccountStatus::Disabled: result.outcome = Outcome::Disabled; return result;
    case AccountStatus::Active: break;
    }
    const std::string categories =
        Fetch(AccountApiAddress(account, "get_live_categories")).value_or("");
    const std::optional<std::string> streams =
        Fetch(AccountApiAddress(account, "get_live_streams"));
    if (!streams)
        return result;
    result.streams = ParseAccountStreams(*streams, categories, account, *info, options.showAdult,
                                         LocalUtcOffset());
    if (!result.streams.readable) {
        result.outcome = Outcome::NotAnAccount;
        return result;
    }
    result.answersHash = PlaylistHash(categories + '\n' + *streams);
    CatalogueBuilder builder(nullptr);
    builder.AddPlaylistWithCountry(result.streams.playlist, std::string(kOwnPlaylistCode));
    std::unique_ptr<DocNode> root =
        builder.Build(PlaylistCatalogueVersion(options.today, options.versionInUse));
    result.channels = builder.Counts().channels;
    result.streams.playlist.entries.clear();
    if (!HasPlayableChannel(*root)) {
        result.outcome = Outcome::NoChannels;
        return result;
    }
    root->SetWString(kGuideAddressesAttribute, FromUtf8(AccountGuideAddress(account)));
    WriteCatalogueOrigin(*root, {AccountSourceName(account), result.answersHash, {}, {}});
    result.catalogue = std::move(root);
    result.outcome = Outcome::Built;
    return result;
}

}  // namespace lumora
