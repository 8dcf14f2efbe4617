#include "guide/guide_sources.h"

#include <algorithm>
#include <optional>

namespace lumora {

namespace {

std::string_view Trimmed(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char p, char t) { return p == (t >= 'A' && t <= 'Z' ? t + 32 : t); });
}

bool HasControlOrBlank(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7F;
    });
}

// "http://host..." or "https://host...": a host must follow.
bool IsHttpAddress(std::string_view address) {
    for (std::string_view scheme : {std::string_view("http://"), std::string_view("https://")}) {
        if (StartsWithIgnoringCase(address, scheme))
            return address.size() > scheme.size() && address[scheme.size()] != '/' &&
                   !HasControlOrBlank(address);
    }
    return false;
}

// "+1", "-0.5": a sign, digits, an optional fraction; within two days.
std::optional<std::int64_t> ParseOffsetHours(std::string_view text) {
    if (text.size() < 2 || (text.front() != '+' && text.front() != '-'))
        return std::nullopt;
    const bool negative = text.front() == '-';
    text.remove_prefix(1);
    std::int64_t whole = 0;
    std::int64_t fraction = 0;  // in 1/3600 hours, i.e. seconds
    std::size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        whole = whole * 10 + (text[i] - '0');
        if (whole > 48)
            return std::nullopt;
    }
    if (i == 0)
        return std::nullopt;
    if (i < text.size()) {
        if (text[i] != '.' || i + 1 == text.size())
            return std::nullopt;
        std::int64_t scale = 3600;
        for (++i; i < text.size(); ++i) {
            if (text[i] < '0' || text[i] > '9')
                return std::nullopt;
            scale /= 10;
            fraction += (text[i] - '0') * scale;
        }
    }
    const std::int64_t seconds = whole * 3600 + fraction;
    if (seconds > 48 * 3600)
        return std::nullopt;
    return negative ? -seconds : seconds;
}

}  // namespace

GuideSourceList ParseGuideSources(std::string_view list, SourceOrigin origin) {
    GuideSourceList result;
    auto add = [&result](GuideSource source) {
        const bool seen =
            std::any_of(result.sources.begin(), result.sources.end(),
                        [&](const GuideSource& other) { return other.address == source.address; });
        if (!seen)
            result.sources.push_back(std::move(source));
    };
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        std::string_view item = Trimmed(list.substr(0, comma));
        list.remove_prefix(comma == std::string_view::npos ? list.size() : comma + 1);
        if (item.empty())
            continue;
        std::int64_t offset = 0;
        const std::size_t blank = item.find_last_of(" \t");
        if (origin == SourceOrigin::User && blank != std::string_view::npos) {
            if (std::optional<std::int64_t> hours = ParseOffsetHours(item.substr(blank + 1))) {
                offset = *hours;
                item = Trimmed(item.substr(0, blank));
            }
        }
        if (IsHttpAddress(item)) {
            add({GuideSource::Kind::Http, std::string(item), offset});
        } else if (origin == SourceOrigin::User && StartsWithIgnoringCase(item, "file:///")) {
            add({GuideSource::Kind::LocalFile, std::string(item.substr(7)), offset});
        } else if (origin == SourceOrigin::User && item.front() == '/' &&
                   item.find('\0') == std::string_view::npos) {
            add({GuideSource::Kind::LocalFile, std::string(item), offset});
        } else {
            ++result.refused;
        }
    }
    return result;
}

}  // namespace lumora
