#include "shell/dialogs/track_language_chooser.h"

#include <algorithm>
#include <vector>

#include <QComboBox>

#include "shell/app/interface_collation.h"
#include "shell/app/localise.h"
#include "shell/main_window/track_labels.h"

namespace lumora {

namespace {

constexpr const char* kAutomaticKey = "str_language_auto";

// Languages broadcast streams commonly carry (ISO 639-1).
constexpr const char* kLanguageCodes[] = {
    "ar", "bg", "bs", "ca", "cs", "da", "de", "el", "en", "es", "et", "fa", "fi", "fr",
    "he", "hi", "hr", "hu", "id", "it", "ja", "ko", "lt", "lv", "mk", "nl", "no", "pl",
    "pt", "ro", "ru", "sk", "sl", "sq", "sr", "sv", "th", "tr", "uk", "vi", "zh"};

}  // namespace

void FillTrackLanguageChooser(QComboBox& chooser, const std::u16string& current) {
    chooser.clear();
    chooser.addItem(Text(kAutomaticKey), QString());
    std::vector<std::pair<QString, QString>> named;
    for (const char* code : kLanguageCodes)
        named.emplace_back(LanguageDisplayName(code), QString::fromLatin1(code));
    const QString stored = QString::fromStdU16String(current).trimmed();
    if (!stored.isEmpty() && std::none_of(named.begin(), named.end(), [&](const auto& entry) {
            return entry.second.compare(stored, Qt::CaseInsensitive) == 0;
        }))
        named.emplace_back(LanguageDisplayName(stored.toStdString()), stored);
    const TextOrdering ordering = InterfaceCollation();
    std::sort(named.begin(), named.end(), [&](const auto& a, const auto& b) {
        return ordering ? ordering(a.first.toStdU16String(), b.first.toStdU16String())
                        : a.first < b.first;
    });
    for (const auto& [name, code] : named)
        chooser.addItem(name, code);
    const int at =
        stored.isEmpty() ? 0 : chooser.findData(stored, Qt::UserRole, Qt::MatchFixedString);
    chooser.setCurrentIndex(std::max(0, at));
}

std::u16string ChosenTrackLanguage(const QComboBox& chooser) {
    return chooser.currentData().toString().toStdU16String();
}

}  // namespace lumora
