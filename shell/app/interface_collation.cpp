#include "shell/app/interface_collation.h"

#include <memory>

#include <QCollator>
#include <QLocale>

#include "catalogue/languages.h"

namespace lumora {

TextOrdering CollationOf(const QString& languageCode) {
    auto collator = std::make_shared<QCollator>(QLocale(languageCode));
    collator->setCaseSensitivity(Qt::CaseInsensitive);
    return [collator](const std::u16string& a, const std::u16string& b) {
        const int order = collator->compare(QStringView(a), QStringView(b));
        // Texts the collation holds equal keep a fixed order by code unit.
        return order != 0 ? order < 0 : a < b;
    };
}

TextOrdering InterfaceCollation() {
    const int language = CurrentLanguage();
    if (language < 0)
        return {};
    return CollationOf(QString::fromStdU16String(LanguageCode(language)));
}

}  // namespace lumora
