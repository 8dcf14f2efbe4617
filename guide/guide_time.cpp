#include "guide/guide_time.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace lumora {

namespace {

struct NamedZone {
    std::string_view name;
    int hours;
};

constexpr std::array<NamedZone, 19> kNamedZones = {{
    {"UTC", 0},  {"GMT", 0},  {"Z", 0},    {"WET", 0},  {"WEST", 1}, {"BST", 1},  {"CET", 1},
    {"CEST", 2}, {"EET", 2},  {"EEST", 3}, {"MSK", 3},  {"EST", -5}, {"EDT", -4}, {"CST", -6},
    {"CDT", -5}, {"MST", -7}, {"MDT", -6}, {"PST", -8}, {"PDT", -7},
}};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int Digits(std::string_view text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 32);
        if (x != b[i])
            return false;
    }
    return true;
}

// "+hhmm" or "-hhmm" (also "+hh:mm"), at most 14 hours.
std::optional<int> NumericOffset(std::string_view zone) {
    const bool colon = zone.size() == 6 && zone[3] == ':';
    if (zone.size() != (colon ? 6u : 5u) || (zone[0] != '+' && zone[0] != '-'))
        return std::nullopt;
    const std::size_t minutesAt = colon ? 4 : 3;
    for (std::size_t i : {std::size_t{1}, std::size_t{2}, minutesAt, minutesAt + 1}) {
        if (!IsDigit(zone[i]))
            return std::nullopt;
    }
    const int hours = Digits(zone, 1, 2);
    const int minutes = Digits(zone, minutesAt, 2);
    if (hours > 14 || minutes > 59)
        return std::nullopt;
    const int seconds = hours * 3600 + minutes * 60;
    return zone[0] == '-' ? -seconds : seconds;
}

// What a zone the parser does not know may look like: a name ("JST",
// "Europe/Paris") or an offset out of range ("+2500").
bool LooksLikeZone(std::string_view zone) {
    if ((zone[0] == '+' || zone[0] == '-') && zone.size() == 5)
        return std::all_of(zone.begin() + 1, zone.end(), IsDigit);
    return std::all_of(zone.begin(), zone.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '/' || c == '_';
    });
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' ||
                             text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

}  // namespace

std::int64_t UtcFromCivil(int year, int month, int day, int hour, int minute, int second) {
    // Days from civil (H. Hinnant's algorithm), proleptic Gregorian.
    const std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const std::int64_t days = era * 146097 + dayOfEra - 719468;
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

std::optional<int> NamedZoneOffset(std::string_view name) {
    for (const NamedZone& zone : kNamedZones) {
        if (EqualsIgnoringCase(name, zone.name))
            return zone.hours * 3600;
    }
    return std::nullopt;
}

std::optional<GuideTime> ParseXmltvTime(std::string_view text) {
    text = Trimmed(text);
    std::size_t digits = 0;
    while (digits < text.size() && digits < 14 && IsDigit(text[digits]))
        ++digits;
    if (digits < 4 || digits % 2 != 0)
        return std::nullopt;
    // Field i of "YYYY MM DD hh mm ss", or its value at the start of the
    // period when the text stops before it.
    auto field = [&](std::size_t at, int missing) {
        return at + 2 <= digits ? Digits(text, at, 2) : missing;
    };
    const int year = Digits(text, 0, 4);
    const int month = field(4, 1);
    const int day = field(6, 1);
    const int hour = field(8, 0);
    const int minute = field(10, 0);
    const int second = field(12, 0);
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 60)
        return std::nullopt;

    GuideTime time;
    time.utc = UtcFromCivil(year, month, day, hour, minute, second);
    const std::string_view zone = Trimmed(text.substr(digits));
    if (zone.empty())
        return time;
    if (std::optional<int> offset = NumericOffset(zone)) {
        time.utc -= *offset;
    } else if (std::optional<int> named = NamedZoneOffset(zone)) {
        time.utc -= *named;
    } else if (LooksLikeZone(zone)) {
        time.unknownZone = true;
    } else {
        return std::nullopt;
    }
    return time;
}

std::string FormatUtcTime(std::int64_t utc) {
    // Civil from days (H. Hinnant's algorithm).
    std::int64_t days = utc >= 0 ? utc / 86400 : (utc - 86399) / 86400;
    const std::int64_t secondOfDay = utc - days * 86400;
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char text[48];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02dZ",
                  static_cast<long long>(year), month, day, static_cast<int>(secondOfDay / 3600),
                  static_cast<int>(secondOfDay / 60 % 60), static_cast<int>(secondOfDay % 60));
    return text;
}

std::optional<std::int64_t> ParseUtcTime(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SSZ
    constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != kShape.size())
        return std::nullopt;
    for (std::size_t i = 0; i < kShape.size(); ++i) {
        if (kShape[i] == 'd' ? !IsDigit(text[i]) : text[i] != kShape[i])
            return std::nullopt;
    }
    const int year = Digits(text, 0, 4);
    const int month = Digits(text, 5, 2);
    const int day = Digits(text, 8, 2);
    const int hour = Digits(text, 11, 2);
    const int minute = Digits(text, 14, 2);
    const int second = Digits(text, 17, 2);
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 59)
        return std::nullopt;
    return UtcFromCivil(year, month, day, hour, minute, second);
}

}  // namespace lumora
