#pragma once

// Qt's own texts (the buttons of message boxes and standard dialogs) in the
// user's language, from the translations Qt ships (Debian package
// qt6-translations-l10n).
//
// Threads: the UI thread only.

#include <string>

namespace lumora {

// Installs Qt's translation for the language code of the language pack
// ("de", "pt" ...), replacing one installed before. An empty code, or a
// language Qt has no translation for, leaves Qt's English texts; false
// then.
bool InstallQtTranslations(const std::u16string& languageCode);

}  // namespace lumora
