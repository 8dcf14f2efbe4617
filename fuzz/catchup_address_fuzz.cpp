// Feeds arbitrary catch-up templates, stream addresses and catch-up ids to
// the archive address builder. Input: a style byte, a days byte, a
// correction byte, two bytes of programme start and length, then the
// stream address, the template and the catch-up id, one a line. Whatever
// they hold, an address it gives passes the address rule and the length
// bound, a refusal gives no address, the same input gives the same answer,
// and the attribute readers keep their bounds.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "catalogue/catchup_address.h"
#include "catalogue/catchup_attributes.h"
#include "catalogue/stream_address.h"

using namespace lumora;

namespace {

constexpr std::size_t kHeaderBytes = 5;
// 2024-03-10 22:30 UTC; programmes start up to ~4 days before it.
constexpr std::int64_t kNow = 1710109800;

std::string_view NextLine(std::string_view& text) {
    const std::size_t newline = text.find('\n');
    const std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHeaderBytes)
        return 0;
    std::string_view text(reinterpret_cast<const char*>(data) + kHeaderBytes, size - kHeaderBytes);
    const std::string_view stream = NextLine(text);
    const std::string_view source = NextLine(text);
    const std::string_view catchupId = NextLine(text);

    CatchupAttributes catchup;
    if (data[0] % 7 != 0)
        catchup.style = static_cast<CatchupStyle>(data[0] % 7 - 1);
    catchup.source = std::string(source);  // unbounded on purpose: the builder bounds it too
    if (data[1] != 0)
        catchup.days = data[1];
    catchup.correctionMinutes = static_cast<std::int8_t>(data[2]) * 15;
    const std::int64_t start = kNow - std::int64_t(data[3]) * 1500 + 600;
    const CatchupProgramme programme{start, start + 1 + std::int64_t(data[4]) * 97, catchupId};

    const CatchupAddress built = BuildCatchupAddress(stream, catchup, programme, kNow);
    if (built) {
        if (!IsPlayableAddress(built.address) || built.address.size() > kMaxStreamAddressBytes)
            std::abort();
    } else if (!built.address.empty() || CatchupProblemText(built.problem).empty()) {
        std::abort();
    }
    const CatchupAddress again = BuildCatchupAddress(stream, catchup, programme, kNow);
    if (again.address != built.address || again.problem != built.problem)
        std::abort();

    // The readers a playlist's values pass through.
    if (BoundedCatchupSource(source).size() > kMaxCatchupSourceBytes)
        std::abort();
    if (auto days = ParseCatchupDays(stream); days && (*days < 1 || *days > kMaxCatchupDays))
        std::abort();
    if (auto style = ParseCatchupStyle(catchupId);
        style && ParseCatchupStyle(CatchupStyleName(*style)) != style)
        std::abort();
    return 0;
}
