// Feeds arbitrary provider answers to the account readers. Input: a flags
// byte (bit 0: show adult streams), then the account answer, the
// categories answer and the streams answer, separated by NUL bytes.
// Whatever they hold, nothing crashes, every entry's address passes the
// address rule, and every stream of a readable answer is an entry, hidden
// or counted as skipped.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <nlohmann/json.hpp>

#include "catalogue/stream_address.h"
#include "playlist/provider_account.h"

using namespace lumora;

namespace {

std::string_view NextPart(std::string_view& text) {
    const std::size_t end = text.find('\0');
    const std::string_view part = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string_view accountJson = NextPart(text);
    const std::string_view categories = NextPart(text);
    const std::string_view streams = NextPart(text);
    const std::optional<AccountInfo> info = ParseAccountInfo(accountJson);
    const ProviderAccount account{"http://provider.example", "user", "pass word"};
    const AccountStreams read = ParseAccountStreams(
        streams, categories, account, info.value_or(AccountInfo{}), (data[0] & 1) != 0, 3600);
    std::size_t counted = read.playlist.entries.size() + read.hiddenAdult;
    for (const auto& [reason, count] : read.skipped)
        counted += count;
    const nlohmann::json list = nlohmann::json::parse(streams, nullptr, false);
    if (read.readable != list.is_array() || (list.is_array() && counted != list.size()))
        std::abort();
    for (const M3uEntry& entry : read.playlist.entries) {
        if (!IsPlayableAddress(entry.address) || entry.displayName.empty())
            std::abort();
    }
    (void)SplitCountryPrefix(accountJson);
    return 0;
}
