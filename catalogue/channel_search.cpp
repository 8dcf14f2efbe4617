#include "catalogue/channel_search.h"

#include <array>
#include <cstdint>

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

// The record's folded name and subtitle, made the first time it is needed.
// A line break between them keeps a query from matching across the two.
const std::u16string& SearchTextOf(Channel& channel) {
    if (channel.searchText.empty() && !(channel.name.empty() && channel.subtitle.empty())) {
        std::u16string joined = channel.name;
        joined.append(1, u'\n').append(channel.subtitle);
        channel.searchText = FoldForSearch(joined);
    }
    return channel.searchText;
}

std::u16string_view Trimmed(std::u16string_view text) {
    auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == 0xA0 || c == 0x3000; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

}  // namespace

std::u16string FoldForSearch(std::u16string_view text) {
    std::u16string folded;
    folded.reserve(text.size());
    for (char16_t c : text) {
        if (!IsCombiningMark(c))
            folded.push_back(FoldCharacter(c));
    }
    return folded;
}

std::vector<Channel*> SearchChannels(const std::vector<Channel*>& channels,
                                     std::u16string_view query) {
    const std::u16string folded = FoldForSearch(Trimmed(query));
    if (folded.empty())
        return channels;
    std::vector<Channel*> matching;
    for (Channel* channel : channels) {
        if (SearchTextOf(*channel).find(folded) != std::u16string::npos)
            matching.push_back(channel);
    }
    return matching;
}

}  // namespace lumora

namespace lumora {

bool SearchNarrows(std::u16string_view previous, std::u16string_view next) {
    const std::u16string before = FoldForSearch(Trimmed(previous));
    return !before.empty() && FoldForSearch(Trimmed(next)).find(before) != std::u16string::npos;
}

}  // namespace lumora
