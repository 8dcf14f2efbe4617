#include "catalogue/text_fold.h"

#include "document/text_encoding.h"

namespace lumora {

namespace {

// U+00C0..U+00FF folded: the base letter, or 0 to keep the character.
constexpr char16_t kLatin1Folds[64] = {
    u'a', u'a', u'a', u'a', u'a', u'a', 0xE6, u'c',
    u'e', u'e', u'e', u'e', u'i', u'i', u'i', u'i',  // C0
    u'd', u'n', u'o', u'o', u'o', u'o', u'o', 0,
    u'o', u'u', u'u', u'u', u'u', u'y', 0xFE, 0,  // D0
    u'a', u'a', u'a', u'a', u'a', u'a', 0,    u'c',
    u'e', u'e', u'e', u'e', u'i', u'i', u'i', u'i',  // E0
    u'd', u'n', u'o', u'o', u'o', u'o', u'o', 0,
    u'o', u'u', u'u', u'u', u'u', u'y', 0,    u'y',  // F0
};

// U+0100..U+017F (Latin Extended-A) folded to their base letters; \x01
// stands for the ligature oe (U+0153), \x02 for ij (U+0133).
constexpr std::string_view kLatinExtendedFolds =
    "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiii\x02\x02jjkkkllllllllll"
    "nnnnnnnnnoooooo\x01\x01rrrrrrssssssssttttttuuuuuuuuuuuuwwyyyzzzzzzs";
static_assert(kLatinExtendedFolds.size() == 0x80);

// U+0386..U+03CE (Greek with tonos and dialytika) folded to plain lower case.
constexpr std::u16string_view kGreekFolds =
    u"α·εηι\u038Bο\u038Dυωιαβγδεζηθικλμνξοπρ\u03A2στυφχψωιυαεηιυαβγδεζηθικλμνξοπρσστυφχψωιυουω";
static_assert(kGreekFolds.size() == 0x3CF - 0x386);

bool IsCombiningMark(char16_t c) {
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) ||
           (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x20D0 && c <= 0x20FF);
}

}  // namespace

char16_t FoldCharacter(char16_t c) {
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
    if (c >= 0xC0 && c <= 0xFF) {
        const char16_t folded = kLatin1Folds[c - 0xC0];
        return folded != 0 ? folded : c;
    }
    if (c >= 0x100 && c <= 0x17F) {
        // Ligatures have no single base letter: their lower case.
        switch (const char base = kLatinExtendedFolds[c - 0x100]) {
        case '\x01': return 0x153;
        case '\x02': return 0x133;
        default: return static_cast<char16_t>(base);
        }
    }
    if (c >= 0x386 && c <= 0x3CE)
        return kGreekFolds[c - 0x386];
    if (c >= 0x410 && c <= 0x42F)  // Cyrillic А..Я
        return static_cast<char16_t>(c + 0x20);
    if (c >= 0x400 && c <= 0x40F)                                               // Cyrillic Ѐ..Џ
        return c == 0x401 ? char16_t(0x435) : static_cast<char16_t>(c + 0x50);  // Ё searches as е
    if (c == 0x451)                                                             // ё
        return 0x435;
    return c;
}

namespace {

// Letters and digits make words; blanks, punctuation and symbols part them.
// Scripts without a folding here still make words of their letters.
bool IsWordCharacter(char16_t folded) {
    if (folded < 0x80)
        return (folded >= u'a' && folded <= u'z') || (folded >= u'0' && folded <= u'9');
    if (folded < 0xC0 || folded == 0xD7 || folded == 0xF7 || folded == 0x387)
        return false;
    const bool punctuation =
        (folded >= 0x2000 && folded <= 0x2BFF) || (folded >= 0x3000 && folded <= 0x303F) ||
        (folded >= 0xFE30 && folded <= 0xFE4F) || (folded >= 0xFF00 && folded <= 0xFF0F);
    const bool special = (folded >= 0xD800 && folded <= 0xDFFF) || folded >= 0xFFF0;
    return !punctuation && !special;  // U+FFFD stands for bytes that were not UTF-8
}

}  // namespace

std::u16string FoldText(std::u16string_view text) {
    std::u16string folded;
    folded.reserve(text.size());
    for (char16_t c : text) {
        if (!IsCombiningMark(c))
            folded.push_back(FoldCharacter(c));
    }
    return folded;
}

std::vector<std::string> FoldedWords(std::string_view text) {
    std::vector<std::string> words;
    std::u16string word;
    auto endWord = [&] {
        if (!word.empty())
            words.push_back(ToUtf8(word));
        word.clear();
    };
    for (char16_t c : FoldText(FromUtf8(text))) {
        if (IsWordCharacter(c))
            word.push_back(c);
        else
            endWord();
    }
    endWord();
    return words;
}

}  // namespace lumora
