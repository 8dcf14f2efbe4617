// Guide times as XMLTV writes them, and the UTC form the data tool uses.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "guide/guide_time.h"

namespace lumora {
namespace {

struct TimeRow {
    const char* text;
    const char* utc;  // nullptr: not a time
    bool unknownZone = false;
};

TEST(XmltvTimes, EveryFormAndZoneGivesTheRightInstant) {
    const TimeRow rows[] = {
        {"20261209203000 +0000", "2026-12-09T20:30:00Z"},
        {"20261209203015", "2026-12-09T20:30:15Z"},
        {"202612092030", "2026-12-09T20:30:00Z"},
        {"2026120920", "2026-12-09T20:00:00Z"},
        {"20261209", "2026-12-09T00:00:00Z"},
        {"202612", "2026-12-01T00:00:00Z"},
        {"2026", "2026-01-01T00:00:00Z"},
        {"20261209203000 +0130", "2026-12-09T19:00:00Z"},
        {"20261209203000 -0500", "2026-12-10T01:30:00Z"},
        {"20261209203000+0100", "2026-12-09T19:30:00Z"},
        {"20261209203000 +01:00", "2026-12-09T19:30:00Z"},
        {"20261209 +0100", "2026-12-08T23:00:00Z"},
        {"20261209203000 UTC", "2026-12-09T20:30:00Z"},
        {"20261209203000 GMT", "2026-12-09T20:30:00Z"},
        {"20261209203000 Z", "2026-12-09T20:30:00Z"},
        {"20261209203000 WET", "2026-12-09T20:30:00Z"},
        {"20261209203000 WEST", "2026-12-09T19:30:00Z"},
        {"20261209203000 BST", "2026-12-09T19:30:00Z"},
        {"20261209203000 CET", "2026-12-09T19:30:00Z"},
        {"20261209203000 cest", "2026-12-09T18:30:00Z"},
        {"20261209203000 EET", "2026-12-09T18:30:00Z"},
        {"20261209203000 EEST", "2026-12-09T17:30:00Z"},
        {"20261209203000 MSK", "2026-12-09T17:30:00Z"},
        {"20261209203000 EST", "2026-12-10T01:30:00Z"},
        {"20261209203000 EDT", "2026-12-10T00:30:00Z"},
        {"20261209203000 CST", "2026-12-10T02:30:00Z"},
        {"20261209203000 CDT", "2026-12-10T01:30:00Z"},
        {"20261209203000 MST", "2026-12-10T03:30:00Z"},
        {"20261209203000 MDT", "2026-12-10T02:30:00Z"},
        {"20261209203000 PST", "2026-12-10T04:30:00Z"},
        {"20261209203000 PDT", "2026-12-10T03:30:00Z"},
        {"20261209203000 XYZ", "2026-12-09T20:30:00Z", true},
        {"20261209203000 +2500", "2026-12-09T20:30:00Z", true},
        {"20280229120000", "2028-02-29T12:00:00Z"},
        {"  20261209203000  ", "2026-12-09T20:30:00Z"},
        {"20270229120000", nullptr},  // not a leap year
        {"20261309", nullptr},
        {"20261200", nullptr},
        {"20261209243000", nullptr},
        {"2026120", nullptr},  // an odd number of digits
        {"202", nullptr},
        {"", nullptr},
        {"tomorrow", nullptr},
        {"2026-12-09", nullptr},
        {"20261209203000 +01", nullptr},
    };
    for (const TimeRow& row : rows) {
        const std::optional<GuideTime> time = ParseXmltvTime(row.text);
        if (row.utc == nullptr) {
            EXPECT_FALSE(time) << row.text;
            continue;
        }
        ASSERT_TRUE(time) << row.text;
        EXPECT_EQ(FormatUtcTime(time->utc), row.utc) << row.text;
        EXPECT_EQ(time->unknownZone, row.unknownZone) << row.text;
    }
}

TEST(XmltvTimes, ADaylightSavingChangeInsideAProgrammeKeepsItsTrueLength) {
    // 01:30 summer time to 02:30 winter time in Central Europe: two hours.
    const auto start = ParseXmltvTime("20261025013000 +0200");
    const auto stop = ParseXmltvTime("20261025023000 +0100");
    ASSERT_TRUE(start && stop);
    EXPECT_EQ(stop->utc - start->utc, 2 * 3600);
    // The same change written with the named zones.
    const auto namedStart = ParseXmltvTime("20261025013000 CEST");
    const auto namedStop = ParseXmltvTime("20261025023000 CET");
    ASSERT_TRUE(namedStart && namedStop);
    EXPECT_EQ(namedStart->utc, start->utc);
    EXPECT_EQ(namedStop->utc, stop->utc);
}

TEST(UtcTimes, TheToolsFormReadsBackAndNothingElseIsTaken) {
    for (const char* text : {"2026-12-09T20:30:00Z", "1970-01-01T00:00:00Z", "2100-02-28T23:59:59Z",
                             "1969-12-31T23:59:59Z"}) {
        const std::optional<std::int64_t> utc = ParseUtcTime(text);
        ASSERT_TRUE(utc) << text;
        EXPECT_EQ(FormatUtcTime(*utc), text);
    }
    for (const char* text : {"2026-12-09T20:30:00", "2026-12-09 20:30:00Z", "2026-12-09T24:00:00Z",
                             "2026-02-30T00:00:00Z", "2026-12-09T20:30:00+01:00"})
        EXPECT_FALSE(ParseUtcTime(text)) << text;
}

}  // namespace
}  // namespace lumora
