#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "catalogue/catchup_attributes.h"

namespace lumora {

// The address of a past (or started) programme in the provider's archive,
// built from the channel's stream address and catch-up attributes. The
// stream's own request headers (user agent, referrer) go with it unchanged.
// Standard library only; no state; any thread (local times are taken with
// localtime_r in the process's time zone).
//
// Placeholders of a template, each occurrence replaced:
//   {utc} ${start}          start, Unix seconds
//   {utcend} ${end}         stop, Unix seconds
//   {lutc} ${now} ${timestamp}  now, Unix seconds
//   {duration} ${duration}  stop - start, seconds
//   {duration:N}            (stop - start) / N
//   {offset:N} ${offset}    (now - start) / N, N = 1 for ${offset}
//   {Y} {m} {d} {H} {M} {S} start in local time (4 and 2 digits)
//   {utc:F} ${start:F} {utcend:F} ${end:F} {lutc:F} ${now:F}
//                           the time with each of the letters Y m d H M S
//                           of F replaced as above, other characters kept
//   {catchup-id}            the programme's catch-up id, percent-encoded
// Divisions round down. Any other "{...}" or "${...}", an unclosed one and
// a divisor that is not a whole number from 1 up make the template bad:
// braces have no place in an address, so one that is left would only reach
// the provider as a request that fails for no visible reason.

// Bounds: templates are at most kMaxCatchupSourceBytes (catchup_attributes.h),
// and addresses at most kMaxStreamAddressBytes (stream_address.h).
inline constexpr std::size_t kMaxCatchupPlaceholders = 64;
inline constexpr std::size_t kMaxCatchupIdBytes = 256;
// The last second of the year 9999: times beyond it are not a programme's.
inline constexpr std::int64_t kMaxCatchupTime = 253402300799;

struct CatchupProgramme {
    std::int64_t start = 0;  // Unix seconds, as the guide gives them
    std::int64_t stop = 0;
    std::string_view catchupId;  // the guide's, may be empty
};

// Why a programme has no catch-up address.
enum class CatchupProblem {
    None,
    NoCatchup,         // the channel has no catch-up style
    NoSource,          // the style needs a template and the channel has none
    BadTimes,          // stop not after start, or a time out of range
    NotStarted,        // the programme has not started yet
    TooOld,            // older than the days the provider keeps
    BadTemplate,       // see above
    NoCatchupId,       // the template needs a catch-up id the programme lacks
    StreamNotInStyle,  // the stream's address lacks the form the style rewrites
    NotPlayable,       // the address is too long or may not be opened
};

struct CatchupAddress {
    std::string address;  // empty unless problem is None
    CatchupProblem problem = CatchupProblem::None;

    explicit operator bool() const { return problem == CatchupProblem::None; }
};

// Styles:
//   default      the template is the address
//   append       the stream's address, then the template
//   shift        the stream's address with "utc=START&lutc=NOW" added to its query
//   flussonic    ".../NAME/index.m3u8?q" -> ".../NAME/timeshift_rel-OFFSET.m3u8?q",
//                ".../LIST.m3u8" (mono, video, ...) -> ".../LIST-timeshift_rel-OFFSET.m3u8",
//                ".../mpegts" -> ".../timeshift_abs-START.ts"
//   flussonic-ts any of those lists -> ".../timeshift_abs-START.ts"
//   xc           "HOST[/live]/USER/PASS/ID[.EXT]" ->
//                "HOST/timeshift/USER/PASS/MINUTES/Y-m-d:H-M/ID.EXT" (EXT "ts" when none)
// flussonic, flussonic-ts and xc take the channel's template instead when
// it has one. START and the local times are the start moved earlier by the
// channel's correction, and so is the stop; "too old" counts from that start.
CatchupAddress BuildCatchupAddress(std::string_view streamAddress, const CatchupAttributes& catchup,
                                   const CatchupProgramme& programme, std::int64_t now);

// A short English sentence for the data tool and logs ("the programme has
// not started yet").
std::string_view CatchupProblemText(CatchupProblem problem);

}  // namespace lumora
