#include "catalogue/guide_attributes.h"

#include <algorithm>

#include "document/text_encoding.h"

namespace lumora {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool HasControlCharacters(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool IsUsableAddress(std::string_view address) {
    return !address.empty() && address.size() <= kMaxGuideAddressBytes &&
           address.find_first_of(" \t") == std::string_view::npos && !HasControlCharacters(address);
}

}  // namespace

void AddGuideAddresses(std::string_view list, std::vector<std::string>& addresses) {
    while (addresses.size() < kMaxGuideAddresses) {
        const std::size_t comma = list.find(',');
        const std::string_view address = TrimBlanks(list.substr(0, comma));
        if (IsUsableAddress(address) &&
            std::find(addresses.begin(), addresses.end(), address) == addresses.end())
            addresses.emplace_back(address);
        if (comma == std::string_view::npos)
            return;
        list.remove_prefix(comma + 1);
    }
}

std::string JoinGuideAddresses(const std::vector<std::string>& addresses) {
    std::string list;
    for (const std::string& address : addresses) {
        if (!list.empty())
            list += ',';
        list += address;
    }
    return list;
}

std::vector<std::string> ReadGuideAddresses(DocView::Node root) {
    std::vector<std::string> addresses;
    const std::u16string list = root.RequireWString(kGuideAddressesAttribute);
    if (!list.empty())
        AddGuideAddresses(ToUtf8(list), addresses);
    return addresses;
}

std::string BoundedTvgText(std::string_view text) {
    if (text.size() > kMaxTvgTextBytes || HasControlCharacters(text))
        return {};
    return std::string(text);
}

std::int32_t BoundedTvgShift(std::int64_t minutes) {
    if (minutes < -kMaxTvgShiftMinutes || minutes > kMaxTvgShiftMinutes)
        return 0;
    return static_cast<std::int32_t>(minutes);
}

}  // namespace lumora
