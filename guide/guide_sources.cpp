#include "guide/guide_sources.h"

#include <algorithm>

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
        const std::string_view item = Trimmed(list.substr(0, comma));
        list.remove_prefix(comma == std::string_view::npos ? list.size() : comma + 1);
        if (item.empty())
            continue;
        if (IsHttpAddress(item)) {
            add({GuideSource::Kind::Http, std::string(item)});
        } else if (origin == SourceOrigin::User && StartsWithIgnoringCase(item, "file:///")) {
            add({GuideSource::Kind::LocalFile, std::string(item.substr(7))});
        } else if (origin == SourceOrigin::User && item.front() == '/' &&
                   item.find('\0') == std::string_view::npos) {
            add({GuideSource::Kind::LocalFile, std::string(item)});
        } else {
            ++result.refused;
        }
    }
    return result;
}

}  // namespace lumora
