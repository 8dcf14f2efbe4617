#include "player/language_spellings.h"

#include <algorithm>

#include <QLocale>
#include <QString>

#include "catalogue/track_choice.h"

namespace lumora {

namespace {

std::string Lower(std::string_view tag) {
    std::string lower(tag);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return lower;
}

std::string PrimaryPart(std::string_view tag) {
    return Lower(tag.substr(0, tag.find_first_of("-_")));
}

QLocale::Language LanguageOf(const std::string& primary) {
    return QLocale::codeToLanguage(QString::fromLatin1(primary.data(), qsizetype(primary.size())));
}

}  // namespace

std::vector<std::string> LanguageSpellingsOf(std::string_view tag) {
    if (tag.empty() || tag.size() > kMaxLanguageTag)
        return {};
    std::vector<std::string> spellings{Lower(tag)};
    auto add = [&spellings](std::string spelling) {
        if (!spelling.empty() &&
            std::find(spellings.begin(), spellings.end(), spelling) == spellings.end())
            spellings.push_back(std::move(spelling));
    };
    const std::string primary = PrimaryPart(tag);
    add(primary);
    const QLocale::Language language = LanguageOf(primary);
    if (language == QLocale::AnyLanguage || language == QLocale::C)
        return spellings;
    for (const QLocale::LanguageCodeType type :
         {QLocale::ISO639Part1, QLocale::ISO639Part2B, QLocale::ISO639Part2T})
        add(QLocale::languageToCode(language, type).toStdString());
    return spellings;
}

std::string ShortLanguageCode(std::string_view tag) {
    const std::string primary = PrimaryPart(tag);
    const QLocale::Language language = LanguageOf(primary);
    if (language == QLocale::AnyLanguage || language == QLocale::C)
        return primary;
    const std::string code = QLocale::languageToCode(language, QLocale::ISO639Part1).toStdString();
    return code.empty() ? primary : code;
}

}  // namespace lumora
