// The one folding that searches, category words and guide names share.

#include <gtest/gtest.h>

#include "catalogue/text_fold.h"

namespace lumora {
namespace {

TEST(TextFoldTest, FoldsLettersOfEachScriptAndKeepsTheRest) {
    EXPECT_EQ(FoldText(u"ÀÉÎÕÜÇÑÝŸ àéîõüçñýÿ"), u"aeioucnyy aeioucnyy");
    EXPECT_EQ(FoldText(u"ĄĆĘŁŃŚŹŻ ąćęłńśźż ČŘŠŽ"), u"acelnszz acelnszz crsz");
    EXPECT_EQ(FoldText(u"ΆΈΉΊΌΎΏ ΪΫ ΐΰ ς"), u"αεηιουω ιυ ιυ σ");
    EXPECT_EQ(FoldText(u"ПЕРВЫЙ Ёлка ЁЛКА"), u"первый елка елка");
    EXPECT_EQ(FoldText(u"ß æ Æ 1+2 日本"), u"ß æ æ 1+2 日本");
    EXPECT_EQ(FoldText(u"Cafe\u0301"), u"cafe");  // a combining accent is dropped
}

TEST(TextFoldTest, WordsAreRunsOfLettersAndDigitsInAnyScript) {
    const struct {
        const char* text;
        std::vector<std::string> words;
    } rows[] = {
        {"UK: Sky Sports 1", {"uk", "sky", "sports", "1"}},
        {"Actualités/Infos", {"actualites", "infos"}},
        {"Zprávy – Česko", {"zpravy", "cesko"}},  // every Latin letter folds, not one language's
        {"ΑΘΛΗΤΙΚΑ·ΝΕΑ", {"αθλητικα", "νεα"}},
        {"Новости|Спорт", {"новости", "спорт"}},
        {"Fußball × 2", {"fußball", "2"}},
        {"新闻 News", {"新闻", "news"}},
        {"\xff\xfe broken", {"broken"}},  // bytes that are not UTF-8 part words
        {"", {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(FoldedWords(row.text), row.words) << row.text;
}

}  // namespace
}  // namespace lumora
