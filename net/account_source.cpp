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

AccountCheck CheckAccount(const ProviderAccount& account, const AccountFetch& fetch) {
    using Outcome = AccountImport::Outcome;
    AccountCheck check;
    std::optional<std::string> answer = fetch(AccountApiAddress(account));
    if (!answer || answer->size() > kMaxAccountAnswerBytes)
        return check;
    const std::optional<AccountInfo> info = ParseAccountInfo(*answer);
    if (!info) {
        check.outcome = Outcome::NotAnAccount;
        return check;
    }
    check.info = *info;
    switch (info->status) {
    case AccountStatus::Refused: check.outcome = Outcome::Refused; break;
    case AccountStatus::Expired: check.outcome = Outcome::Expired; break;
    case AccountStatus::Disabled: check.outcome = Outcome::Disabled; break;
    case AccountStatus::Active: check.outcome = Outcome::Built; break;
    }
    return check;
}

AccountStatusLine AccountStatusOf(const AccountCheck& check) {
    using Outcome = AccountImport::Outcome;
    switch (check.outcome) {
    case Outcome::Built:
    case Outcome::NoChannels: break;
    case Outcome::Unreachable: return {kTextAccountUnreachable, {}};
    case Outcome::NotAnAccount: return {kTextAccountNotProvider, {}};
    case Outcome::Refused: return {kTextAccountRefused, {}};
    case Outcome::Expired: return {kTextAccountExpired, {}};
    case Outcome::Disabled: return {kTextAccountDisabled, {}};
    }
    if (!check.info.expires)
        return {kTextAccountActive, {}};
    const std::time_t end = std::time_t(*check.info.expires);
    std::tm local{};
    char date[32];
    if (localtime_r(&end, &local) == nullptr ||
        std::strftime(date, sizeof date, "%Y-%m-%d", &local) == 0)
        return {kTextAccountActive, {}};
    return {kTextAccountActiveUntil, date};
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
    const AccountCheck check = CheckAccount(account, fetch);
    result.outcome = check.outcome;
    result.info = check.info;
    if (check.outcome != Outcome::Built)
        return result;
    result.outcome = Outcome::Unreachable;
    const std::string categories =
        Fetch(AccountApiAddress(account, "get_live_categories")).value_or("");
    const std::optional<std::string> streams =
        Fetch(AccountApiAddress(account, "get_live_streams"));
    if (!streams)
        return result;
    result.streams = ParseAccountStreams(*streams, categories, account, result.info,
                                         options.showAdult, LocalUtcOffset());
    if (!result.streams.readable) {
        result.outcome = Outcome::NotAnAccount;
        return result;
    }
    // Showing the adult channels or not makes another catalogue of the same
    // answers.
    result.answersHash =
        PlaylistHash(categories + '\n' + *streams + (options.showAdult ? "\nadult" : ""));
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
