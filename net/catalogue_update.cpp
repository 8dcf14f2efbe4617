#include "net/catalogue_update.h"

#include "catalogue/catalogue.h"
#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "document/text_encoding.h"
#include "net/account_secret.h"
#include "net/account_source.h"

#ifndef LUMORA_UPDATE_SERVER
#define LUMORA_UPDATE_SERVER "https://iptv-org.github.io/iptv/index.m3u"
#endif

namespace lumora {
namespace {

// Builds before settings revision 1 wrote their built-in default into every
// settings file; only there does this value not come from the user.
constexpr char16_t kOldBuiltInDefault[] = u"http://localhost:8080";
constexpr std::int32_t kSourceAsTypedRevision = 1;

std::u16string Trimmed(const std::u16string& text) {
    std::size_t first = text.find_first_not_of(u" \t\r\n");
    if (first == std::u16string::npos)
        return {};
    std::size_t last = text.find_last_not_of(u" \t\r\n");
    return text.substr(first, last - first + 1);
}

// Settings of an earlier revision may hold the old built-in default, which
// the user never chose: it is forgotten once, and the settings are marked so
// that the same text typed from now on is kept.
void ForgetOldBuiltInDefault() {
    if (GetIntSetting(kSettingsRevision, 0) >= kSourceAsTypedRevision)
        return;
    std::optional<std::u16string> stored = FindStringSetting(kUpdateServer);
    if (stored && *stored == kOldBuiltInDefault)
        RemoveStringSetting(kUpdateServer);
    SetIntSetting(kSettingsRevision, kSourceAsTypedRevision);
}

}  // namespace

std::u16string DefaultUpdateServer() {
    return FromUtf8(LUMORA_UPDATE_SERVER);
}

std::u16string UpdateServer() {
    ForgetOldBuiltInDefault();
    std::optional<std::u16string> stored = FindStringSetting(kUpdateServer);
    if (stored && !Trimmed(*stored).empty())
        return Trimmed(*stored);
    // Not the user's choice: forget it, so the built-in default of a later
    // build reaches this user too.
    if (stored)
        RemoveStringSetting(kUpdateServer);
    return DefaultUpdateServer();
}

bool SetUpdateServer(const std::u16string& address, UpdateState& updates) {
    std::u16string before = UpdateServer();
    std::u16string wanted = Trimmed(address);
    if (wanted.empty())
        RemoveStringSetting(kUpdateServer);
    else
        SetStringSetting(kUpdateServer, wanted);
    if (UpdateServer() == before)
        return false;
    updates.SetPending(false);
    return true;
}

std::optional<ProviderAccount> CurrentAccount() {
    const std::optional<std::string> server =
        NormaliseAccountServer(ToUtf8(GetStringSetting(kAccountServer, u"")));
    const std::string user = ToUtf8(GetStringSetting(kAccountUser, u""));
    if (!server || user.empty())
        return std::nullopt;
    return ProviderAccount{*server, user, {}};
}

UpdateSource CurrentUpdateSource(FetchFunction fetch, TransferFunction transfer,
                                 AccountPasswordReader password) {
    UpdateSource source;
    source.server = UpdateServer();
    // An account, when the user gave one, is the source.
    source.account = CurrentAccount();
    if (source.account) {
        source.server = AccountSourceName(*source.account);
        source.accountShowsAdult = GetBoolSetting(kAccountShowAdult, false);
        source.accountPassword = std::move(password);
    }
    if (const Catalogue* catalogue = TheCatalogue();
        catalogue && source.account && !source.accountPassword) {
        // Without a secret store: the password lies beside the user's catalogue.
        const std::u16string& path = catalogue->Path();
        const std::size_t slash = path.rfind(u'/');
        source.accountPassword =
            [folder = ToUtf8(slash == std::u16string::npos ? u"." : path.substr(0, slash))](
                const ProviderAccount&) { return LoadAccountSecret(folder); };
    }
    source.fetch = std::move(fetch);
    source.transfer = std::move(transfer);
    if (const Catalogue* catalogue = TheCatalogue()) {
        source.catalogueVersion = catalogue->Version();
        source.cataloguePath = catalogue->Path();
        source.catalogueOrigin = catalogue->Origin();
        // A catalogue built from another source's playlist carries a date as
        // its version; an update server's versions do not compare with it,
        // so any catalogue the server offers is taken.
        if (!source.catalogueOrigin.source.empty() &&
            source.catalogueOrigin.source != source.server)
            source.catalogueVersion.clear();
    }
    return source;
}

std::shared_future<void> StartUpdateCheckAtStart(std::shared_ptr<UpdateState> updates,
                                                 FetchFunction fetch, TransferFunction transfer,
                                                 AccountPasswordReader password) {
    bool enabled = GetBoolSetting(kAutoCU, true);
    return StartAutomaticUpdateCheck(
        enabled,
        enabled ? CurrentUpdateSource(std::move(fetch), std::move(transfer), std::move(password))
                : UpdateSource{},
        std::move(updates));
}

}  // namespace lumora
