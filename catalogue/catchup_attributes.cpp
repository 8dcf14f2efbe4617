#include "catalogue/catchup_attributes.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <unordered_set>

#include "document/text_encoding.h"

namespace lumora {

namespace {

struct StyleName {
    std::string_view name;
    CatchupStyle style;
};

// The first name of each style is the one a catalogue keeps.
constexpr std::array<StyleName, 9> kStyleNames = {{
    {"default", CatchupStyle::Default},
    {"append", CatchupStyle::Append},
    {"shift", CatchupStyle::Shift},
    {"timeshift", CatchupStyle::Shift},
    {"flussonic", CatchupStyle::Flussonic},
    {"flussonic-hls", CatchupStyle::Flussonic},
    {"flussonic-ts", CatchupStyle::FlussonicTs},
    {"fs", CatchupStyle::FlussonicTs},
    {"xc", CatchupStyle::Xc},
}};

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

bool HasControlCharacters(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::optional<std::int32_t> BoundedDays(std::int64_t days) {
    if (days <= 0)
        return std::nullopt;
    return static_cast<std::int32_t>(std::min<std::int64_t>(days, kMaxCatchupDays));
}

}  // namespace

std::optional<CatchupStyle> ParseCatchupStyle(std::string_view text) {
    text = TrimBlanks(text);
    for (const StyleName& entry : kStyleNames) {
        if (EqualsIgnoringCase(text, entry.name))
            return entry.style;
    }
    return std::nullopt;
}

std::string_view CatchupStyleName(CatchupStyle style) {
    for (const StyleName& entry : kStyleNames) {
        if (entry.style == style)
            return entry.name;
    }
    return {};
}

std::string BoundedCatchupSource(std::string_view text) {
    text = TrimBlanks(text);
    if (text.size() > kMaxCatchupSourceBytes || HasControlCharacters(text) || !IsValidUtf8(text))
        return {};
    return std::string(text);
}

std::optional<std::int32_t> ParseCatchupDays(std::string_view text) {
    // More digits than this could only be noise; they also keep the sum small.
    constexpr std::size_t kMaxDigits = 6;
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty() || text.size() > kMaxDigits ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    std::int64_t days = 0;
    for (char c : text)
        days = days * 10 + (c - '0');
    return BoundedDays(days);
}

void WriteCatchupAttributes(const CatchupAttributes& catchup, DocNode& channel) {
    if (!catchup.style)
        return;
    channel.SetString(kCatchupAttribute, std::string(CatchupStyleName(*catchup.style)));
    if (std::string source = BoundedCatchupSource(catchup.source); !source.empty())
        channel.SetWString(kCatchupSourceAttribute, FromUtf8(source));
    if (catchup.days)
        if (std::optional<std::int32_t> days = BoundedDays(*catchup.days))
            channel.SetInt(kCatchupDaysAttribute, *days);
    if (catchup.correctionMinutes != 0 &&
        std::abs(catchup.correctionMinutes) <= kMaxCatchupCorrectionMinutes)
        channel.SetInt(kCatchupCorrectionAttribute, catchup.correctionMinutes);
}

CatchupAttributes ReadCatchupAttributes(DocView::Node channel) {
    CatchupAttributes catchup;
    catchup.style = ParseCatchupStyle(channel.RequireString(kCatchupAttribute));
    if (!catchup.style)
        return catchup;
    catchup.source = BoundedCatchupSource(ToUtf8(channel.RequireWString(kCatchupSourceAttribute)));
    catchup.days = BoundedDays(channel.GetInt(kCatchupDaysAttribute, 0));
    const std::int32_t correction = channel.GetInt(kCatchupCorrectionAttribute, 0);
    if (correction >= -kMaxCatchupCorrectionMinutes && correction <= kMaxCatchupCorrectionMinutes)
        catchup.correctionMinutes = correction;
    return catchup;
}

std::optional<DocView::Node> FindCatalogueChannel(DocView::Node root, std::string_view id) {
    std::optional<DocView::Node> found;
    std::string_view foundCode;
    std::unordered_set<std::string_view> seenCodes;
    for (DocView::Node country : root.Children()) {
        const std::string_view code = country.Name();
        // Of two country nodes with one code, the second is never loaded.
        if (!seenCodes.insert(code).second)
            continue;
        if (id.size() <= code.size() || !id.starts_with(code) || id[code.size()] != '_')
            continue;
        if (found && foundCode < code)
            continue;
        DocView::Node channel = country;
        if (country.FindChild(id.substr(code.size() + 1), channel)) {
            found = channel;
            foundCode = code;
        }
    }
    return found;
}

std::optional<CatchupAttributes> ReadChannelCatchup(const std::u16string& path,
                                                    std::string_view channelId) {
    DocView view;
    if (!view.LoadFromFile(path))
        return std::nullopt;
    std::optional<DocView::Node> channel = FindCatalogueChannel(view.Root(), channelId);
    if (!channel)
        return std::nullopt;
    return ReadCatchupAttributes(*channel);
}

CatchupDirectory ReadCatalogueCatchup(const std::u16string& path) {
    CatchupDirectory directory;
    DocView view;
    if (!view.LoadFromFile(path))
        return directory;
    // Countries by code, each code's first node: of two countries that
    // could hold one id, the smaller code's channel is filed first and
    // counts, as the catalogue load decides.
    std::map<std::string_view, DocView::Node> countries;
    for (DocView::Node country : view.Root().Children())
        countries.emplace(country.Name(), country);
    for (const auto& [code, country] : countries) {
        for (DocView::Node channel : country.Children()) {
            CatchupAttributes catchup = ReadCatchupAttributes(channel);
            if (!catchup.style)
                continue;
            std::string id = std::string(code) + '_' + std::string(channel.Name());
            // emplace keeps the first of two channel nodes with one name.
            directory.emplace(std::move(id), std::move(catchup));
        }
    }
    return directory;
}

}  // namespace lumora
