#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumora {

// Times of the programme guide: seconds since 1970-01-01T00:00:00Z. Standard
// library only; no state, any thread.

// A guide time as XMLTV writes it: "YYYYMMDDhhmmss" or any leading part of
// it down to the year (missing parts are the start of the period), then,
// after optional blanks, an optional zone: "+hhmm" / "-hhmm" or one of the
// named zones below. No zone means UTC.
struct GuideTime {
    std::int64_t utc = 0;
    // The zone was neither an offset nor a known name; the time was taken
    // as UTC.
    bool unknownZone = false;
};

// Nothing when the digits do not form a date and time (a wrong length, a
// month 13, a 30th of February, letters among the digits).
std::optional<GuideTime> ParseXmltvTime(std::string_view text);

// The offset east of UTC, in seconds, of a named zone (UTC, GMT, Z, WET,
// WEST, BST, CET, CEST, EET, EEST, MSK, EST, EDT, CST, CDT, MST, MDT, PST,
// PDT; any case); nothing for another name.
std::optional<int> NamedZoneOffset(std::string_view name);

// "2026-12-09T20:30:00Z": the one form the data tool reads and writes.
std::string FormatUtcTime(std::int64_t utc);
// That form back; nothing for anything else.
std::optional<std::int64_t> ParseUtcTime(std::string_view text);

// Seconds since the epoch of a calendar date and time in UTC; the fields
// are taken as they are (no range checks).
std::int64_t UtcFromCivil(int year, int month, int day, int hour, int minute, int second);

}  // namespace lumora
