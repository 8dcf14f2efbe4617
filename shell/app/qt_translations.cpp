#include "shell/app/qt_translations.h"

#include <memory>

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QString>
#include <QTranslator>

namespace lumora {
namespace {

std::unique_ptr<QTranslator>& InstalledTranslator() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

}  // namespace

bool InstallQtTranslations(const std::u16string& languageCode) {
    std::unique_ptr<QTranslator>& installed = InstalledTranslator();
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    if (languageCode.empty())
        return false;
    auto translator = std::make_unique<QTranslator>();
    // The locale's own fallbacks find "qtbase_pt_BR" for "pt".
    const QLocale locale(QString::fromStdU16String(languageCode));
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.get());
    installed = std::move(translator);
    return true;
}

}  // namespace lumora
