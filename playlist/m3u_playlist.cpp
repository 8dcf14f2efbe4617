#include "playlist/m3u_playlist.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <initializer_list>
#include <memory>

#include "catalogue/guide_attributes.h"
#include "catalogue/stream_address.h"
#include "document/text_encoding.h"

namespace lumora {

namespace {

constexpr std::string_view kExtinfPrefix = "#EXTINF:";
constexpr std::string_view kVlcOptionPrefix = "#EXTVLCOPT:";
constexpr std::string_view kGroupPrefix = "#EXTGRP:";
constexpr std::string_view kHeaderLine = "#EXTM3U";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// Longest "[...]" or "(...)" tag that is taken out of a display name.
constexpr std::size_t kMaxTagLength = 64;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsControl(unsigned char c) {
    return (c < 0x20 && c != '\t') || c == 0x7F;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool HasControlCharacters(std::string_view text) {
    for (char c : text) {
        if (IsControl(static_cast<unsigned char>(c)))
            return true;
    }
    return false;
}

// The position of the first comma that is not inside a quoted attribute
// value, or npos.
std::size_t FindNameComma(std::string_view text) {
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        else if (text[i] == ',' && !quoted)
            return i;
    }
    return std::string_view::npos;
}

// Walks `key="value"` and `key=value` pairs; the duration before them has
// no '=' and is passed over like any other bare word.
template <typename Visit>
void ForEachAttribute(std::string_view head, Visit visit) {
    std::size_t i = 0;
    while (i < head.size()) {
        while (i < head.size() && IsBlank(head[i]))
            ++i;
        std::size_t keyStart = i;
        while (i < head.size() && !IsBlank(head[i]) && head[i] != '=')
            ++i;
        std::string_view key = head.substr(keyStart, i - keyStart);
        if (i >= head.size() || head[i] != '=')
            continue;
        ++i;
        std::string_view value;
        if (i < head.size() && head[i] == '"') {
            std::size_t close = head.find('"', i + 1);
            if (close == std::string_view::npos)
                close = head.size();
            value = head.substr(i + 1, close - i - 1);
            i = close + 1;
        } else {
            std::size_t valueStart = i;
            while (i < head.size() && !IsBlank(head[i]))
                ++i;
            value = head.substr(valueStart, i - valueStart);
        }
        visit(key, value);
    }
}

// Quality words providers put in tags, and the picture lines each stands
// for (longer words first, so "fhd" is not read as "f" and "hd").
struct QualityWord {
    std::string_view word;
    int lines;
};
constexpr std::array<QualityWord, 7> kQualityWords = {{
    {"fullhd", 1080},
    {"fhd", 1080},
    {"uhd", 2160},
    {"4k", 2160},
    {"8k", 4320},
    {"hd", 720},
    {"sd", 480},
}};

// A scan word at the start of `text`: "720p", "1080i", with a frame rate
// after it ("1080p50"). Its lines, and how many characters it took; 0 lines
// when the text does not start with one.
std::pair<int, std::size_t> ScanWord(std::string_view text) {
    std::size_t i = 0;
    int lines = 0;
    while (i < text.size() && i < 5 && IsDigit(text[i]))
        lines = lines * 10 + (text[i++] - '0');
    if (i == 0 || i == text.size() || (text[i] != 'p' && text[i] != 'i'))
        return {0, 0};
    ++i;
    for (std::size_t rate = 0; rate < 3 && i < text.size() && IsDigit(text[i]); ++rate)
        ++i;
    return {lines, i};
}

// The inside of a tag that names the picture quality and nothing else:
// "720p", "720 p", "1080P", "HD", "Full HD", "4K / UHD", "HD 720p". The
// highest number of lines it states, or 0 for anything else ("FM", "Asia").
int QualityTag(std::string_view inner) {
    std::string text;
    for (char c : inner) {
        if (!IsBlank(c))
            text += LowerAscii(c);
    }
    int best = 0;
    std::string_view rest = text;
    while (!rest.empty()) {
        if (rest.front() == '/' || rest.front() == ',' || rest.front() == '|') {
            rest.remove_prefix(1);
            continue;
        }
        auto [lines, length] = ScanWord(rest);
        for (const QualityWord& quality : kQualityWords) {
            if (length == 0 && rest.starts_with(quality.word)) {
                lines = quality.lines;
                length = quality.word.size();
            }
        }
        if (lines <= 0)
            return 0;
        best = std::max(best, lines);
        rest.remove_prefix(length);
    }
    return best;
}

void AppendWord(std::string& out, std::string_view word) {
    if (word.empty())
        return;
    if (!out.empty())
        out += ' ';
    out += word;
}

// Each byte of a Latin-1 text as the character it stands for.
std::string Latin1ToUtf8(std::string_view text) {
    std::string utf8;
    utf8.reserve(text.size() + text.size() / 4);
    for (unsigned char c : text) {
        if (c < 0x80) {
            utf8 += char(c);
        } else {
            utf8 += char(0xC0 | (c >> 6));
            utf8 += char(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = LowerAscii(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string PercentDecode(std::string_view text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            decoded += char(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

// A header value as it may be sent: trimmed, without surrounding quotes;
// empty when it holds control characters (a line break would forge headers)
// or is not UTF-8.
std::string HeaderValueText(std::string_view value) {
    value = Trim(value);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = Trim(value.substr(1, value.size() - 2));
    if (HasControlCharacters(value) || !IsValidUtf8(value))
        return {};
    return std::string(value);
}

std::string FirstNonEmpty(std::initializer_list<std::string_view> values) {
    for (std::string_view value : values) {
        if (!value.empty())
            return std::string(value);
    }
    return {};
}

// "scheme:" at the start: letters, then letters, digits, "+", "-", ".".
bool HasScheme(std::string_view text) {
    std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || !IsAsciiLetter(text[0]))
        return false;
    for (std::size_t i = 1; i < colon; ++i) {
        char c = text[i];
        if (!IsAsciiLetter(c) && !IsDigit(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

}  // namespace

std::optional<ExtinfFields> ParseExtinfLine(std::string_view line) {
    if (!StartsWithIgnoringCase(line, kExtinfPrefix) || HasControlCharacters(line))
        return std::nullopt;
    std::string_view rest = line.substr(kExtinfPrefix.size());
    std::size_t comma = FindNameComma(rest);
    if (comma == std::string_view::npos)
        return std::nullopt;
    ExtinfFields fields;
    ForEachAttribute(rest.substr(0, comma), [&](std::string_view key, std::string_view value) {
        std::string trimmed(Trim(value));
        if (EqualsIgnoringCase(key, "tvg-id"))
            fields.tvgId = std::move(trimmed);
        else if (EqualsIgnoringCase(key, "tvg-name"))
            fields.tvgName = BoundedTvgText(trimmed);
        else if (EqualsIgnoringCase(key, "tvg-shift"))
            fields.tvgShiftMinutes = ParseTvgShiftMinutes(trimmed).value_or(0);
        else if (EqualsIgnoringCase(key, "tvg-country"))
            fields.tvgCountry = std::move(trimmed);
        else if (EqualsIgnoringCase(key, "group-title"))
            fields.groupTitle = std::move(trimmed);
        else if (EqualsIgnoringCase(key, "http-user-agent") ||
                 EqualsIgnoringCase(key, "user-agent"))
            fields.userAgent = std::move(trimmed);
        else if (EqualsIgnoringCase(key, "http-referrer") ||
                 EqualsIgnoringCase(key, "http-referer"))
            fields.referrer = std::move(trimmed);
        else
            ReadCatchupField(key, trimmed, fields.catchup);
    });
    fields.displayName = std::string(Trim(rest.substr(comma + 1)));
    return fields;
}

bool ReadCatchupField(std::string_view key, std::string_view value, CatchupFields& fields) {
    if (EqualsIgnoringCase(key, "catchup") || EqualsIgnoringCase(key, "catchup-type"))
        fields.style = std::string(Trim(value));
    else if (EqualsIgnoringCase(key, "catchup-source"))
        fields.source = BoundedCatchupSource(value);
    else if (EqualsIgnoringCase(key, "catchup-days"))
        fields.days = ParseCatchupDays(value);
    else if (EqualsIgnoringCase(key, "catchup-correction"))
        fields.correctionMinutes = ParseTvgShiftMinutes(value);
    else if (EqualsIgnoringCase(key, "timeshift") || EqualsIgnoringCase(key, "tvg-rec"))
        fields.archiveDays = ParseCatchupDays(value);
    else
        return false;
    return true;
}

namespace {

// The style a line states; its SIPTV days stand for "shift" where it states none.
std::optional<std::string_view> StyleOf(const CatchupFields& line) {
    if (line.style)
        return *line.style;
    if (line.archiveDays)
        return CatchupStyleName(CatchupStyle::Shift);
    return std::nullopt;
}

std::optional<std::int32_t> DaysOf(const CatchupFields& line) {
    return line.days ? line.days : line.archiveDays;
}

}  // namespace

CatchupAttributes ResolveCatchup(const CatchupFields& entry, const CatchupFields& header) {
    std::optional<std::string_view> style = StyleOf(entry);
    if (!style)
        style = StyleOf(header);
    const std::optional<std::string>& source = entry.source ? entry.source : header.source;
    CatchupAttributes catchup;
    if (style)
        catchup.style = ParseCatchupStyle(*style);
    else if (source && !source->empty())
        catchup.style = CatchupStyle::Default;
    if (!catchup.style)
        return {};
    catchup.source = source.value_or(std::string());
    catchup.days = DaysOf(entry) ? DaysOf(entry) : DaysOf(header);
    catchup.correctionMinutes =
        (entry.correctionMinutes ? entry.correctionMinutes : header.correctionMinutes).value_or(0);
    return catchup;
}

std::optional<std::int32_t> ParseTvgShiftMinutes(std::string_view hours) {
    // Digits beyond these could only be noise; they also keep the sums small.
    constexpr std::size_t kMaxWholeDigits = 3;
    constexpr std::size_t kMaxDecimalDigits = 6;
    constexpr std::int32_t kMaxMinutes = 24 * 60;
    hours = Trim(hours);
    const bool negative = !hours.empty() && hours.front() == '-';
    if (!hours.empty() && (hours.front() == '-' || hours.front() == '+'))
        hours.remove_prefix(1);
    const std::size_t point = hours.find_first_of(".,");
    const std::string_view whole = hours.substr(0, point);
    const std::string_view decimals =
        point == std::string_view::npos ? std::string_view() : hours.substr(point + 1);
    const auto allDigits = [](std::string_view digits) {
        return std::all_of(digits.begin(), digits.end(), IsDigit);
    };
    if ((whole.empty() && decimals.empty()) || whole.size() > kMaxWholeDigits ||
        decimals.size() > kMaxDecimalDigits || !allDigits(whole) || !allDigits(decimals))
        return std::nullopt;
    // Fixed point, so "0.1" is exactly 6 minutes whatever the locale.
    std::int64_t scale = 1;
    std::int64_t value = 0;
    for (char c : whole)
        value = value * 10 + (c - '0');
    for (char c : decimals) {
        value = value * 10 + (c - '0');
        scale *= 10;
    }
    // Half a minute rounds away from 0, the same for both signs.
    const std::int64_t minutes = (value * 60 + scale / 2) / scale;
    if (minutes > kMaxMinutes)
        return std::nullopt;
    return static_cast<std::int32_t>(negative ? -minutes : minutes);
}

bool IsStreamAddress(std::string_view text) {
    std::size_t colon = text.find("://");
    if (colon == std::string_view::npos || colon == 0 || colon + 3 >= text.size())
        return false;
    if (!IsAsciiLetter(text[0]))
        return false;
    for (std::size_t i = 1; i < colon; ++i) {
        char c = text[i];
        if (!IsAsciiLetter(c) && !IsDigit(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    for (char c : text) {
        if (c == ' ' || IsControl(static_cast<unsigned char>(c)))
            return false;
    }
    return IsValidUtf8(text);
}

CleanName CleanDisplayName(std::string_view displayName) {
    // Tags dropped first, blanks collapsed afterwards, so "(Spain)(720p)"
    // and "TV5(Asia)" keep what belongs to the name as it was written.
    CleanName result;
    std::string kept;
    std::size_t i = 0;
    while (i < displayName.size()) {
        char open = displayName[i];
        if (open == '[' || open == '(') {
            // Tags are short; looking no further keeps a hostile name of
            // thousands of brackets linear.
            std::size_t close =
                displayName.substr(0, i + kMaxTagLength).find(open == '[' ? ']' : ')', i);
            if (close != std::string_view::npos) {
                int lines = QualityTag(displayName.substr(i + 1, close - i - 1));
                // "[Not 24/7]", "[Geo-blocked]": availability notes, not part of the name.
                if (open == '[' || lines > 0) {
                    result.resolution = std::max(result.resolution, lines);
                    kept += ' ';
                    i = close + 1;
                    continue;
                }
            }
        }
        kept += open;
        ++i;
    }
    std::string_view rest = kept;
    while (!rest.empty()) {
        std::size_t blank = rest.find_first_of(" \t");
        AppendWord(result.name, rest.substr(0, blank));
        if (blank == std::string_view::npos)
            break;
        rest.remove_prefix(blank + 1);
    }
    return result;
}

void M3uParser::AddLine(std::string_view rawLine, bool truncated) {
    if (firstLine_) {
        firstLine_ = false;
        if (rawLine.substr(0, kByteOrderMark.size()) == kByteOrderMark)
            rawLine.remove_prefix(kByteOrderMark.size());
    }
    if (!rawLine.empty() && rawLine.back() == '\r')
        rawLine.remove_suffix(1);
    // Lists from older tools are Latin-1; everything after this is UTF-8.
    std::string converted;
    if (!IsValidUtf8(rawLine)) {
        converted = Latin1ToUtf8(rawLine);
        rawLine = converted;
    }
    std::string_view line = Trim(rawLine);
    if (line.empty())
        return;

    if (StartsWithIgnoringCase(line, kExtinfPrefix)) {
        if (pending_)
            ++playlist_.malformed;  // the previous "#EXTINF" never got its address
        pending_ = Pending{truncated ? std::nullopt : ParseExtinfLine(line)};
        return;
    }
    if (line.front() == '#') {
        AddDirective(line);
        return;
    }
    AddAddress(line, truncated);
}

void M3uParser::AddHeader(std::string_view line) {
    // Each header starts a playlist of its own (playlists are concatenated),
    // so a shift lasts until the next header.
    headerShiftMinutes_ = 0;
    headerCatchup_ = {};
    ForEachAttribute(
        line.substr(kHeaderLine.size()), [&](std::string_view key, std::string_view value) {
            if (EqualsIgnoringCase(key, "url-tvg") || EqualsIgnoringCase(key, "x-tvg-url"))
                AddGuideAddresses(value, playlist_.guideAddresses);
            else if (EqualsIgnoringCase(key, "tvg-shift"))
                headerShiftMinutes_ = ParseTvgShiftMinutes(value).value_or(0);
            else
                ReadCatchupField(key, value, headerCatchup_);
        });
}

void M3uParser::AddDirective(std::string_view line) {
    if (StartsWithIgnoringCase(line, kHeaderLine) &&
        (line.size() == kHeaderLine.size() || IsBlank(line[kHeaderLine.size()]))) {
        AddHeader(line);
        return;
    }
    if (StartsWithIgnoringCase(line, kGroupPrefix)) {
        directives_.group = std::string(Trim(line.substr(kGroupPrefix.size())));
        return;
    }
    if (!StartsWithIgnoringCase(line, kVlcOptionPrefix))
        return;  // "#EXTM3U", "#KODIPROP:..." and other directives or comments
    std::string_view option = Trim(line.substr(kVlcOptionPrefix.size()));
    std::size_t equals = option.find('=');
    if (equals == std::string_view::npos)
        return;
    std::string_view name = Trim(option.substr(0, equals));
    std::string value = HeaderValueText(option.substr(equals + 1));
    if (EqualsIgnoringCase(name, "http-user-agent"))
        directives_.userAgent = std::move(value);
    else if (EqualsIgnoringCase(name, "http-referrer") || EqualsIgnoringCase(name, "http-referer"))
        directives_.referrer = std::move(value);
}

void M3uParser::AddAddress(std::string_view line, bool truncated) {
    Directives directives = std::move(directives_);
    directives_ = {};
    if (!pending_ || !pending_->fields || truncated) {
        ++playlist_.malformed;
        pending_.reset();
        return;
    }
    ExtinfFields fields = std::move(*pending_->fields);
    pending_.reset();

    AddressWithHeaders split = SplitAddressHeaders(line);
    if (split.address.empty() || split.address.find_first_of(" \t") != std::string::npos) {
        ++playlist_.malformed;  // words, not an address
        return;
    }
    std::optional<std::string> address = ResolveAddress(split.address, base_);
    if (!address) {
        ++playlist_.refused;  // relative, and nothing to resolve it against
        return;
    }
    if (!IsStreamAddress(*address)) {
        ++playlist_.malformed;
        return;
    }
    if (!IsPlayableAddress(*address)) {
        ++playlist_.refused;
        return;
    }
    M3uEntry entry;
    entry.tvgId = std::move(fields.tvgId);
    entry.tvgName = std::move(fields.tvgName);
    entry.tvgShiftMinutes = headerShiftMinutes_ + fields.tvgShiftMinutes;
    entry.tvgCountry = std::move(fields.tvgCountry);
    entry.groupTitle =
        !fields.groupTitle.empty() ? std::move(fields.groupTitle) : std::move(directives.group);
    entry.displayName = std::move(fields.displayName);
    entry.address = std::move(*address);
    // The address's own headers first, then the player options, then the
    // attributes of the "#EXTINF" line.
    entry.userAgent = FirstNonEmpty({split.userAgent, directives.userAgent, fields.userAgent});
    entry.referrer = FirstNonEmpty({split.referrer, directives.referrer, fields.referrer});
    entry.catchup = ResolveCatchup(fields.catchup, headerCatchup_);
    playlist_.entries.push_back(std::move(entry));
}

M3uPlaylist M3uParser::Finish() {
    if (pending_)
        ++playlist_.malformed;
    pending_.reset();
    directives_ = {};
    headerShiftMinutes_ = 0;
    headerCatchup_ = {};
    firstLine_ = true;
    return std::move(playlist_);
}

namespace {

// Splits bytes into lines, keeping at most kMaxM3uLineBytes of each.
class LineSplitter {
public:
    explicit LineSplitter(M3uParser& parser) : parser_(parser) {}

    void Feed(std::string_view bytes) {
        while (!bytes.empty()) {
            std::size_t newline = bytes.find('\n');
            std::string_view piece = bytes.substr(0, newline);
            Keep(piece);
            if (newline == std::string_view::npos)
                return;
            EndLine();
            bytes.remove_prefix(newline + 1);
        }
    }

    void Finish() {
        if (!line_.empty() || truncated_)
            EndLine();
    }

private:
    void Keep(std::string_view piece) {
        std::size_t room = kMaxM3uLineBytes - line_.size();
        if (piece.size() > room) {
            truncated_ = true;
            piece = piece.substr(0, room);
        }
        line_.append(piece);
    }

    void EndLine() {
        parser_.AddLine(line_, truncated_);
        line_.clear();
        truncated_ = false;
    }

    M3uParser& parser_;
    std::string line_;
    bool truncated_ = false;
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

std::optional<M3uPlaylist> ReadM3uFile(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return std::nullopt;
    M3uParser parser;
    LineSplitter splitter(parser);
    std::array<char, 16 * 1024> buffer;
    std::size_t count = 0;
    while ((count = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0)
        splitter.Feed(std::string_view(buffer.data(), count));
    if (std::ferror(file.get()))
        return std::nullopt;
    splitter.Finish();
    return parser.Finish();
}

M3uPlaylist ParseM3uText(std::string_view text, const std::string& base) {
    M3uParser parser(base);
    LineSplitter splitter(parser);
    splitter.Feed(text);
    splitter.Finish();
    return parser.Finish();
}

bool LooksLikeM3u(std::string_view text) {
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        text.remove_prefix(kByteOrderMark.size());
    while (!text.empty() && (IsBlank(text.front()) || text.front() == '\r' || text.front() == '\n'))
        text.remove_prefix(1);
    return StartsWithIgnoringCase(text, kHeaderLine);
}

AddressWithHeaders SplitAddressHeaders(std::string_view line) {
    AddressWithHeaders split;
    std::size_t bar = line.find('|');
    split.address = std::string(Trim(line.substr(0, bar)));
    if (bar == std::string_view::npos)
        return split;
    std::string_view headers = line.substr(bar + 1);
    while (!headers.empty()) {
        std::size_t amp = headers.find('&');
        std::string_view pair = headers.substr(0, amp);
        std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos) {
            std::string_view name = Trim(pair.substr(0, equals));
            std::string value = HeaderValueText(PercentDecode(pair.substr(equals + 1)));
            if (EqualsIgnoringCase(name, "user-agent"))
                split.userAgent = std::move(value);
            else if (EqualsIgnoringCase(name, "referer") || EqualsIgnoringCase(name, "referrer"))
                split.referrer = std::move(value);
        }
        if (amp == std::string_view::npos)
            break;
        headers.remove_prefix(amp + 1);
    }
    return split;
}

std::optional<std::string> ResolveAddress(std::string_view reference, std::string_view base) {
    if (HasScheme(reference))
        return std::string(reference);
    std::size_t schemeEnd = base.find("://");
    if (schemeEnd == std::string_view::npos || !HasScheme(base) || reference.empty())
        return std::nullopt;
    std::string_view scheme = base.substr(0, schemeEnd);
    if (!EqualsIgnoringCase(scheme, "http") && !EqualsIgnoringCase(scheme, "https"))
        return std::nullopt;
    if (reference.substr(0, 2) == "//")
        return std::string(scheme) + ":" + std::string(reference);
    std::size_t pathStart = base.find('/', schemeEnd + 3);
    std::string_view origin = base.substr(0, pathStart);
    if (reference.front() == '/')
        return std::string(origin) + std::string(reference);
    // Relative to the folder of the playlist's own path (its query dropped).
    std::string_view path =
        pathStart == std::string_view::npos ? std::string_view("/") : base.substr(pathStart);
    path = path.substr(0, path.find_first_of("?#"));
    path = path.substr(0, path.rfind('/') + 1);
    return std::string(origin) + std::string(path) + std::string(reference);
}

}  // namespace lumora
