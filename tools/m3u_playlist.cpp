#include "tools/m3u_playlist.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

#include "document/text_encoding.h"

namespace lumora::tools {

namespace {

constexpr std::string_view kExtinfPrefix = "#EXTINF:";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// Longest "[...]" or "(...)" tag that is taken out of a display name.
constexpr std::size_t kMaxTagLength = 64;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsControl(unsigned char c)
{
    return (c < 0x20 && c != '\t') || c == 0x7F;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool HasControlCharacters(std::string_view text)
{
    for (char c : text) {
        if (IsControl(static_cast<unsigned char>(c)))
            return true;
    }
    return false;
}

// The position of the first comma that is not inside a quoted attribute
// value, or npos.
std::size_t FindNameComma(std::string_view text)
{
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
void ForEachAttribute(std::string_view head, Visit visit)
{
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

// "(720p)", "(1080i)": the stated number of lines, or 0 for anything else.
int ResolutionTag(std::string_view tag)
{
    if (tag.size() < 4 || tag.front() != '(' || tag.back() != ')')
        return 0;
    std::string_view inner = tag.substr(1, tag.size() - 2);
    char scan = LowerAscii(inner.back());
    if (scan != 'p' && scan != 'i')
        return 0;
    inner.remove_suffix(1);
    if (inner.empty() || inner.size() > 5)
        return 0;
    int lines = 0;
    for (char c : inner) {
        if (!IsDigit(c))
            return 0;
        lines = lines * 10 + (c - '0');
    }
    return lines;
}

void AppendWord(std::string& out, std::string_view word)
{
    if (word.empty())
        return;
    if (!out.empty())
        out += ' ';
    out += word;
}

}  // namespace

std::optional<ExtinfFields> ParseExtinfLine(std::string_view line)
{
    if (!StartsWithIgnoringCase(line, kExtinfPrefix) || HasControlCharacters(line))
        return std::nullopt;
    std::string_view rest = line.substr(kExtinfPrefix.size());
    std::size_t comma = FindNameComma(rest);
    if (comma == std::string_view::npos)
        return std::nullopt;
    ExtinfFields fields;
    ForEachAttribute(rest.substr(0, comma), [&](std::string_view key, std::string_view value) {
        if (EqualsIgnoringCase(key, "tvg-id"))
            fields.tvgId = std::string(Trim(value));
        else if (EqualsIgnoringCase(key, "group-title"))
            fields.groupTitle = std::string(Trim(value));
    });
    fields.displayName = std::string(Trim(rest.substr(comma + 1)));
    return fields;
}

bool IsStreamAddress(std::string_view text)
{
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

CleanName CleanDisplayName(std::string_view displayName)
{
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
            std::size_t close = displayName.substr(0, i + kMaxTagLength).find(open == '[' ? ']' : ')', i);
            if (close != std::string_view::npos) {
                std::string_view group = displayName.substr(i, close - i + 1);
                int lines = open == '(' ? ResolutionTag(group) : 0;
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

void M3uParser::AddLine(std::string_view line, bool truncated)
{
    if (firstLine_) {
        firstLine_ = false;
        if (line.substr(0, kByteOrderMark.size()) == kByteOrderMark)
            line.remove_prefix(kByteOrderMark.size());
    }
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    line = Trim(line);
    if (line.empty())
        return;

    if (StartsWithIgnoringCase(line, kExtinfPrefix)) {
        if (pending_)
            ++playlist_.malformed;  // the previous "#EXTINF" never got its address
        pending_ = Pending{truncated ? std::nullopt : ParseExtinfLine(line)};
        return;
    }
    if (line.front() == '#')
        return;  // "#EXTM3U", "#EXTVLCOPT:..." and other directives or comments

    if (!pending_ || !pending_->fields || truncated || !IsStreamAddress(line)) {
        ++playlist_.malformed;
        pending_.reset();
        return;
    }
    M3uEntry entry;
    entry.tvgId = std::move(pending_->fields->tvgId);
    entry.groupTitle = std::move(pending_->fields->groupTitle);
    entry.displayName = std::move(pending_->fields->displayName);
    entry.address = std::string(line);
    playlist_.entries.push_back(std::move(entry));
    pending_.reset();
}

M3uPlaylist M3uParser::Finish()
{
    if (pending_)
        ++playlist_.malformed;
    pending_.reset();
    firstLine_ = true;
    return std::move(playlist_);
}

namespace {

// Splits bytes into lines, keeping at most kMaxM3uLineBytes of each.
class LineSplitter {
public:
    explicit LineSplitter(M3uParser& parser) : parser_(parser) {}

    void Feed(std::string_view bytes)
    {
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

    void Finish()
    {
        if (!line_.empty() || truncated_)
            EndLine();
    }

private:
    void Keep(std::string_view piece)
    {
        std::size_t room = kMaxM3uLineBytes - line_.size();
        if (piece.size() > room) {
            truncated_ = true;
            piece = piece.substr(0, room);
        }
        line_.append(piece);
    }

    void EndLine()
    {
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

std::optional<M3uPlaylist> ReadM3uFile(const std::string& path)
{
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

M3uPlaylist ParseM3uText(std::string_view text)
{
    M3uParser parser;
    LineSplitter splitter(parser);
    splitter.Feed(text);
    splitter.Finish();
    return parser.Finish();
}

}  // namespace lumora::tools
