// Archive addresses of past programmes in every provider style, and the
// reasons a programme has none.

#include "catalogue/catchup_address.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace lumora {
namespace {

// The process's time zone for one test, put back afterwards.
class TimeZone {
public:
    explicit TimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            old_ = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~TimeZone() {
        if (old_)
            ::setenv("TZ", old_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> old_;
};

// 2024-03-10 20:00 UTC, an hour long, watched at 22:30 UTC.
constexpr std::int64_t kStart = 1710100800;
constexpr std::int64_t kStop = kStart + 3600;
constexpr std::int64_t kNow = 1710109800;
constexpr std::int64_t kDay = 24 * 3600;

struct Row {
    const char* what;
    std::optional<CatchupStyle> style;
    std::string source;
    std::string stream;
    std::string expected;  // the address; empty when there is none
    CatchupProblem problem = CatchupProblem::None;
    std::optional<std::int32_t> days = {};
    std::int32_t correctionMinutes = 0;
    std::int64_t start = kStart;
    std::int64_t stop = kStop;
    std::int64_t now = kNow;
    const char* catchupId = "";
};

constexpr auto kDefault = CatchupStyle::Default;
constexpr auto kAppend = CatchupStyle::Append;
constexpr auto kShift = CatchupStyle::Shift;
constexpr auto kFlussonic = CatchupStyle::Flussonic;
constexpr auto kFlussonicTs = CatchupStyle::FlussonicTs;
constexpr auto kXc = CatchupStyle::Xc;
constexpr auto kNone = CatchupProblem::None;
const std::string kLive = "http://h/live/ch.ts";

void Check(const Row& row) {
    CatchupAttributes catchup;
    catchup.style = row.style;
    catchup.source = row.source;
    catchup.days = row.days;
    catchup.correctionMinutes = row.correctionMinutes;
    const CatchupAddress built = BuildCatchupAddress(
        row.stream, catchup, CatchupProgramme{row.start, row.stop, row.catchupId}, row.now);
    const CatchupProblem expectedProblem = row.expected.empty() ? row.problem : kNone;
    EXPECT_EQ(built.address, row.expected) << row.what;
    EXPECT_EQ(built.problem, expectedProblem)
        << row.what << ": " << CatchupProblemText(built.problem);
    EXPECT_EQ(static_cast<bool>(built), !row.expected.empty()) << row.what;
}

TEST(CatchupAddress, EveryStylePlaceholderAndLimitGivesTheRightAddressOrReason) {
    const TimeZone utc("UTC");
    const std::string manyPlaceholders = [] {
        std::string text = "http://p/";
        for (int i = 0; i < 65; ++i)
            text += "{S}";
        return text;
    }();
    const Row rows[] = {
        // The provider styles.
        {"default", kDefault, "http://p/b.ts&cutv={Y}-{m}-{d}T{H}:{M}:{S}", kLive,
         "http://p/b.ts&cutv=2024-03-10T20:00:00"},
        {"append", kAppend, "&cutv={Y}-{m}-{d}T{H}:{M}:{S}", kLive,
         "http://h/live/ch.ts&cutv=2024-03-10T20:00:00"},
        {"shift", kShift, "", kLive, "http://h/live/ch.ts?utc=1710100800&lutc=1710109800"},
        {"shift after a query", kShift, "", "http://h/live/ch.ts?token=x",
         "http://h/live/ch.ts?token=x&utc=1710100800&lutc=1710109800"},
        {"shift after an open query", kShift, "", "http://h/ch?",
         "http://h/ch?utc=1710100800&lutc=1710109800"},
        {"shift ignores a source", kShift, "http://other/{utc}", kLive,
         "http://h/live/ch.ts?utc=1710100800&lutc=1710109800"},
        {"flussonic index", kFlussonic, "", "http://l:8888/325/index.m3u8?token=s",
         "http://l:8888/325/timeshift_rel-9000.m3u8?token=s"},
        {"flussonic mono", kFlussonic, "", "http://l:8888/325/mono.m3u8?token=s",
         "http://l:8888/325/mono-timeshift_rel-9000.m3u8?token=s"},
        {"flussonic video", kFlussonic, "", "https://l/a/b/video.m3u8",
         "https://l/a/b/video-timeshift_rel-9000.m3u8"},
        {"flussonic mpegts", kFlussonic, "", "http://c/151/mpegts?token=t",
         "http://c/151/timeshift_abs-1710100800.ts?token=t"},
        {"flussonic-ts", kFlussonicTs, "", "http://c/151/mpegts?token=t",
         "http://c/151/timeshift_abs-1710100800.ts?token=t"},
        {"flussonic-ts from a list", kFlussonicTs, "", "http://c/151/index.m3u8",
         "http://c/151/timeshift_abs-1710100800.ts"},
        {"flussonic takes a source", kFlussonic, "http://c/151/archive-{utc}-{duration}.ts",
         "http://c/151/mpegts", "http://c/151/archive-1710100800-3600.ts"},
        {"flussonic, not a list", kFlussonic, "", "http://c/151/film.mp4", "",
         CatchupProblem::StreamNotInStyle},
        {"flussonic, no path", kFlussonic, "", "http://c?x=/mpegts", "",
         CatchupProblem::StreamNotInStyle},
        {"xc", kXc, "", "http://l:8080/u/p/1477",
         "http://l:8080/timeshift/u/p/60/2024-03-10:20-00/1477.ts"},
        {"xc live", kXc, "", "http://l:8080/live/u/p/1477.m3u8",
         "http://l:8080/timeshift/u/p/60/2024-03-10:20-00/1477.m3u8"},
        {"xc user named live", kXc, "", "http://l/live/p/1477.ts",
         "http://l/timeshift/live/p/60/2024-03-10:20-00/1477.ts"},
        {"xc, a short programme is a minute",
         kXc,
         "",
         "http://l/u/p/9",
         "http://l/timeshift/u/p/1/2024-03-10:20-00/9.ts",
         kNone,
         {},
         0,
         kStart,
         kStart + 59},
        {"xc, too many folders", kXc, "", "http://l/x/u/p/1477", "",
         CatchupProblem::StreamNotInStyle},
        {"xc, a dotted id", kXc, "", "http://l/u/p/14.77.ts", "", CatchupProblem::StreamNotInStyle},
        {"default without a source", kDefault, "", kLive, "", CatchupProblem::NoSource},
        {"append without a source", kAppend, "", kLive, "", CatchupProblem::NoSource},
        {"no style", std::nullopt, "http://p/{utc}", kLive, "", CatchupProblem::NoCatchup},
        // Every placeholder, each occurrence.
        {"divided", kDefault, "http://p/x?d={duration:60}&o={offset:60}&s=${start:Ymd-H-M}", kLive,
         "http://p/x?d=60&o=150&s=20240310-20-00"},
        {"seconds", kDefault,
         "http://p/?a={utc}&b=${start}&c={utcend}&d=${end}&e={lutc}&f=${now}&g=${timestamp}"
         "&h={duration}&i=${duration}&j=${offset}&k={offset:1}&l={utc}",
         kLive,
         "http://p/?a=1710100800&b=1710100800&c=1710104400&d=1710104400&e=1710109800"
         "&f=1710109800&g=1710109800&h=3600&i=3600&j=9000&k=9000&l=1710100800"},
        {"formats", kDefault,
         "http://p/{utc:Y/m/d}/{utcend:H-M-S}/${end:HMS}/{lutc:H.M}/${now:YmdHMS}/"
         "${start:dmY}/{utc:xYz}",
         kLive, "http://p/2024/03/10/21-00-00/210000/22.30/20240310223000/10032024/x2024z"},
        {"catchup id, encoded",
         kAppend,
         "?id={catchup-id}&again={catchup-id}",
         kLive,
         "http://h/live/ch.ts?id=ab%20c%2F%C3%A9%26x&again=ab%20c%2F%C3%A9%26x",
         kNone,
         {},
         0,
         kStart,
         kStop,
         kNow,
         "ab c/\xC3\xA9&x"},
        {"catchup id missing", kDefault, "http://p/{catchup-id}", kLive, "",
         CatchupProblem::NoCatchupId},
        {"a dollar alone is text", kDefault, "http://p/a$b{utc}$", kLive,
         "http://p/a$b1710100800$"},
        // Bad templates.
        {"unknown", kDefault, "http://p/{start}", kLive, "", CatchupProblem::BadTemplate},
        {"unknown dollar", kDefault, "http://p/${utc}", kLive, "", CatchupProblem::BadTemplate},
        {"offset needs a divisor", kDefault, "http://p/{offset}", kLive, "",
         CatchupProblem::BadTemplate},
        {"unclosed", kDefault, "http://p/{utc", kLive, "", CatchupProblem::BadTemplate},
        {"nested", kDefault, "http://p/{{utc}}", kLive, "", CatchupProblem::BadTemplate},
        {"divisor 0", kDefault, "http://p/{duration:0}", kLive, "", CatchupProblem::BadTemplate},
        {"divisor not a number", kDefault, "http://p/{offset:x}", kLive, "",
         CatchupProblem::BadTemplate},
        {"divisor negative", kDefault, "http://p/{offset:-60}", kLive, "",
         CatchupProblem::BadTemplate},
        {"empty format", kDefault, "http://p/{utc:}", kLive, "", CatchupProblem::BadTemplate},
        {"65 placeholders", kDefault, manyPlaceholders, kLive, "", CatchupProblem::BadTemplate},
        {"too long a template", kDefault, "http://p/" + std::string(2048, 'a'), kLive, "",
         CatchupProblem::BadTemplate},
        // The address rule and the output bound.
        {"a local file", kDefault, "file:///etc/{utc}", kLive, "", CatchupProblem::NotPlayable},
        {"a blank from a format", kDefault, "http://p/{utc:Y m}", kLive, "",
         CatchupProblem::NotPlayable},
        {"longer than an address may be", kAppend, "&{utc:" + std::string(100, 'Y') + "}",
         "http://h/" + std::string(8000, 'a'), "", CatchupProblem::NotPlayable},
        {"a relative append onto nothing", kAppend, "&x={utc}", "", "",
         CatchupProblem::NotPlayable},
        // Times, days and correction.
        {"on now: from its start",
         kShift,
         "",
         kLive,
         "http://h/live/ch.ts?utc=1710100800&lutc=1710102000",
         kNone,
         {},
         0,
         kStart,
         kStop,
         kStart + 1200},
        {"starts now",
         kShift,
         "",
         kLive,
         "",
         CatchupProblem::NotStarted,
         {},
         0,
         kStart,
         kStop,
         kStart},
        {"later",
         kShift,
         "",
         kLive,
         "",
         CatchupProblem::NotStarted,
         {},
         0,
         kStart,
         kStop,
         kStart - 60},
        {"stop before start",
         kShift,
         "",
         kLive,
         "",
         CatchupProblem::BadTimes,
         {},
         0,
         kStart,
         kStart},
        {"negative start", kShift, "", kLive, "", CatchupProblem::BadTimes, {}, 0, -10, 10},
        {"beyond the year 9999",
         kShift,
         "",
         kLive,
         "",
         CatchupProblem::BadTimes,
         {},
         0,
         kStart,
         kStop,
         kMaxCatchupTime + 1},
        {"inside the days", kDefault, "http://p/{utc}", kLive, "http://p/1710100800", kNone, 1, 0,
         kStart, kStop, kStart + kDay},
        {"older than the days", kDefault, "http://p/{utc}", kLive, "", CatchupProblem::TooOld, 1, 0,
         kStart, kStop, kStart + kDay + 1},
        {"no days stated: no limit",
         kDefault,
         "http://p/{utc}",
         kLive,
         "http://p/1710100800",
         kNone,
         {},
         0,
         kStart,
         kStop,
         kStart + 300 * kDay},
        {"correction +1 h",
         kDefault,
         "http://p/{utc}/{utcend}/{H}/{offset:1}",
         kLive,
         "http://p/1710097200/1710100800/19/12600",
         kNone,
         {},
         60},
        {"correction -0.5 h",
         kShift,
         "",
         kLive,
         "http://h/live/ch.ts?utc=1710102600&lutc=1710109800",
         kNone,
         {},
         -30},
        {"correction past now", kShift, "", kLive, "", CatchupProblem::NotStarted, {}, -180},
        {"correction counts toward the days", kDefault, "http://p/{utc}", kLive, "",
         CatchupProblem::TooOld, 1, 60, kStart, kStop, kStart + kDay},
    };
    for (const Row& row : rows)
        Check(row);
}

TEST(CatchupAddress, LocalPlaceholdersFollowTheProcessZone) {
    const TimeZone central("CET-1");
    Check({"CET", kDefault, "http://p/{utc}/{Y}{m}{d}{H}{M}/${now:H-M}", kLive,
           "http://p/1710100800/202403102100/23-30"});
    Check({"xc in CET", kXc, "", "http://l/u/p/7",
           "http://l/timeshift/u/p/60/2024-03-10:21-00/7.ts"});
}

}  // namespace
}  // namespace lumora
