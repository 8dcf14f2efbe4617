#include "net/catalogue_update.h"

#include "catalogue/catalogue.h"
#include "catalogue/setting_names.h"
#include "catalogue/settings.h"
#include "document/text_encoding.h"

#ifndef LUMORA_UPDATE_SERVER
#define LUMORA_UPDATE_SERVER "http://localhost:8080"
#endif

namespace lumora {

std::u16string UpdateServer()
{
    return GetStringSetting(kUpdateServer, FromUtf8(LUMORA_UPDATE_SERVER));
}

UpdateSource CurrentUpdateSource(FetchFunction fetch)
{
    UpdateSource source;
    source.server = UpdateServer();
    source.fetch = std::move(fetch);
    if (const Catalogue* catalogue = TheCatalogue()) {
        source.catalogueVersion = catalogue->Version();
        source.cataloguePath = catalogue->Path();
    }
    return source;
}

void StartUpdateCheckAtStart(FetchFunction fetch)
{
    bool enabled = GetBoolSetting(kAutoCU, true);
    StartAutomaticUpdateCheck(enabled, enabled ? CurrentUpdateSource(std::move(fetch)) : UpdateSource{});
}

}  // namespace lumora
