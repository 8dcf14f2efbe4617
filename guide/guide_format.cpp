#include "guide/guide_format.h"

#include <algorithm>

namespace lumora {

namespace {

constexpr std::string_view kGzipMagic = "\x1F\x8B";
constexpr std::string_view kXzMagic{"\xFD\x37\x7A\x58\x5A\x00", 6};

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char p, char t) {
        if (t >= 'A' && t <= 'Z')
            t = static_cast<char>(t + 32);
        return p == t;
    });
}

// True while `head` could still grow into `magic`.
bool CouldStartWith(std::string_view head, std::string_view magic) {
    return head.size() < magic.size() && magic.substr(0, head.size()) == head;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

GuideFormat SniffMarkup(std::string_view head, bool complete) {
    if (!complete && (CouldStartWith(head, "\xEF\xBB\xBF") || CouldStartWith(head, "\xFE\xFF") ||
                      CouldStartWith(head, "\xFF\xFE")))
        return GuideFormat::NeedMore;
    // UTF-16 guides (with their byte order mark) are left to the parser.
    if (head.starts_with("\xFE\xFF") || head.starts_with("\xFF\xFE"))
        return GuideFormat::Xml;
    if (head.starts_with("\xEF\xBB\xBF"))
        head.remove_prefix(3);
    while (!head.empty() && IsBlank(head.front()))
        head.remove_prefix(1);
    if (head.empty())
        return complete ? GuideFormat::Other : GuideFormat::NeedMore;
    if (head.front() != '<')
        return GuideFormat::Other;
    for (std::string_view page : {std::string_view("<!doctype html"), std::string_view("<html")}) {
        if (StartsWithIgnoringCase(head, page))
            return GuideFormat::Html;
        if (!complete && head.size() < page.size() && StartsWithIgnoringCase(page, head))
            return GuideFormat::NeedMore;
    }
    return GuideFormat::Xml;
}

}  // namespace

GuideFormat SniffGuideFormat(std::string_view head, bool complete) {
    if (head.starts_with(kGzipMagic))
        return GuideFormat::Gzip;
    if (head.starts_with(kXzMagic))
        return GuideFormat::Xz;
    if (!complete && (CouldStartWith(head, kGzipMagic) || CouldStartWith(head, kXzMagic)))
        return GuideFormat::NeedMore;
    return SniffMarkup(head.substr(0, kGuideSniffBytes),
                       complete || head.size() >= kGuideSniffBytes);
}

const char* RefusedFormatMessage(GuideFormat format) {
    switch (format) {
    case GuideFormat::Html: return "an HTML page, not a programme guide";
    case GuideFormat::NeedMore:
    case GuideFormat::Other: return "neither XML, gzip nor xz: not a programme guide";
    default: return "";
    }
}

}  // namespace lumora
