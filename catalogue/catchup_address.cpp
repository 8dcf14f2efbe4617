#include "catalogue/catchup_address.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <optional>
#include <vector>

#include "catalogue/stream_address.h"

namespace lumora {

namespace {

constexpr std::int64_t kSecondsPerDay = 24 * 60 * 60;
constexpr std::string_view kFlussonicTsList = "mpegts";
constexpr std::string_view kHlsExtension = ".m3u8";
constexpr std::string_view kFlussonicIndex = "index";
constexpr std::string_view kXcLivePrefix = "live";
constexpr std::string_view kXcDefaultExtension = "ts";

// The programme's times as the address states them, with their local
// calendar fields.
struct Times {
    std::int64_t start = 0;
    std::int64_t stop = 0;
    std::int64_t now = 0;
    std::tm startLocal{};
    std::tm stopLocal{};
    std::tm nowLocal{};
    std::string_view catchupId;
};

// What a template writes; the problem stops the building.
struct Output {
    std::string text;
    CatchupProblem problem = CatchupProblem::None;

    bool Failed() const { return problem != CatchupProblem::None; }
    void Fail(CatchupProblem why) {
        if (!Failed())
            problem = why;
    }
    void Append(std::string_view piece) {
        if (Failed())
            return;
        if (text.size() + piece.size() > kMaxStreamAddressBytes)
            Fail(CatchupProblem::NotPlayable);
        else
            text.append(piece);
    }
    void AppendNumber(std::int64_t value) { Append(std::to_string(value)); }
    void AppendDigits(int value, int width) {
        char digits[16];
        auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        for (int pad = width - int(end - digits); pad > 0; --pad)
            Append("0");
        Append(std::string_view(digits, std::size_t(end - digits)));
    }
};

bool LocalTime(std::int64_t seconds, std::tm& local) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    return localtime_r(&time, &local) != nullptr;
}

// One of the letters Y m d H M S of a local time; false for another.
bool AppendTimeField(char letter, const std::tm& local, Output& out) {
    switch (letter) {
    case 'Y': out.AppendDigits(local.tm_year + 1900, 4); return true;
    case 'm': out.AppendDigits(local.tm_mon + 1, 2); return true;
    case 'd': out.AppendDigits(local.tm_mday, 2); return true;
    case 'H': out.AppendDigits(local.tm_hour, 2); return true;
    case 'M': out.AppendDigits(local.tm_min, 2); return true;
    case 'S': out.AppendDigits(local.tm_sec, 2); return true;
    default: return false;
    }
}

void AppendFormatted(std::string_view format, const std::tm& local, Output& out) {
    if (format.empty())
        out.Fail(CatchupProblem::BadTemplate);
    for (char c : format) {
        if (!AppendTimeField(c, local, out))
            out.Append(std::string_view(&c, 1));
    }
}

// "N" of "{duration:N}": a whole number from 1 up.
std::optional<std::int64_t> Divisor(std::string_view text) {
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1)
        return std::nullopt;
    return value;
}

bool IsUnreserved(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

// The guide's id as one safe piece of a path or query: every other byte
// percent-encoded, so an id cannot add a path, a query or a header.
void AppendCatchupId(std::string_view id, Output& out) {
    if (id.empty() || id.size() > kMaxCatchupIdBytes) {
        out.Fail(CatchupProblem::NoCatchupId);
        return;
    }
    constexpr char kHex[] = "0123456789ABCDEF";
    for (char c : id) {
        const auto byte = static_cast<unsigned char>(c);
        const char encoded[3] = {'%', kHex[byte >> 4], kHex[byte & 0xF]};
        out.Append(IsUnreserved(c) ? std::string_view(&c, 1) : std::string_view(encoded, 3));
    }
}

// A "{...}" placeholder's inside.
void ExpandBrace(std::string_view name, const Times& times, Output& out) {
    const std::size_t colon = name.find(':');
    const std::string_view key = name.substr(0, colon);
    const std::string_view argument =
        colon == std::string_view::npos ? std::string_view() : name.substr(colon + 1);
    const bool hasArgument = colon != std::string_view::npos;
    if (name.size() == 1 && AppendTimeField(name.front(), times.startLocal, out))
        return;
    if (key == "utc" || key == "utcend" || key == "lutc") {
        const bool start = key == "utc";
        const bool now = key == "lutc";
        if (!hasArgument)
            out.AppendNumber(start ? times.start : now ? times.now : times.stop);
        else
            AppendFormatted(argument,
                            start ? times.startLocal
                            : now ? times.nowLocal
                                  : times.stopLocal,
                            out);
    } else if (key == "duration" && !hasArgument) {
        out.AppendNumber(times.stop - times.start);
    } else if ((key == "duration" || key == "offset") && hasArgument) {
        const std::optional<std::int64_t> divisor = Divisor(argument);
        if (!divisor)
            return out.Fail(CatchupProblem::BadTemplate);
        const std::int64_t seconds =
            key == "duration" ? times.stop - times.start : times.now - times.start;
        out.AppendNumber(seconds / *divisor);
    } else if (name == "catchup-id") {
        AppendCatchupId(times.catchupId, out);
    } else {
        out.Fail(CatchupProblem::BadTemplate);
    }
}

// A "${...}" placeholder's inside.
void ExpandDollar(std::string_view name, const Times& times, Output& out) {
    const std::size_t colon = name.find(':');
    const std::string_view key = name.substr(0, colon);
    if (colon != std::string_view::npos) {
        const std::string_view format = name.substr(colon + 1);
        if (key == "start")
            AppendFormatted(format, times.startLocal, out);
        else if (key == "end")
            AppendFormatted(format, times.stopLocal, out);
        else if (key == "now")
            AppendFormatted(format, times.nowLocal, out);
        else
            out.Fail(CatchupProblem::BadTemplate);
    } else if (key == "start") {
        out.AppendNumber(times.start);
    } else if (key == "end") {
        out.AppendNumber(times.stop);
    } else if (key == "now" || key == "timestamp") {
        out.AppendNumber(times.now);
    } else if (key == "duration") {
        out.AppendNumber(times.stop - times.start);
    } else if (key == "offset") {
        out.AppendNumber(times.now - times.start);
    } else {
        out.Fail(CatchupProblem::BadTemplate);
    }
}

void ExpandTemplate(std::string_view source, const Times& times, Output& out) {
    if (source.size() > kMaxCatchupSourceBytes)
        return out.Fail(CatchupProblem::BadTemplate);
    std::size_t placeholders = 0;
    std::size_t i = 0;
    while (i < source.size() && !out.Failed()) {
        const bool dollar = source.substr(i, 2) == "${";
        if (!dollar && source[i] != '{') {
            out.Append(source.substr(i++, 1));
            continue;
        }
        const std::size_t open = i + (dollar ? 2 : 1);
        const std::size_t close = source.find('}', open);
        if (close == std::string_view::npos || ++placeholders > kMaxCatchupPlaceholders)
            return out.Fail(CatchupProblem::BadTemplate);
        const std::string_view name = source.substr(open, close - open);
        if (name.find('{') != std::string_view::npos)
            return out.Fail(CatchupProblem::BadTemplate);
        if (dollar)
            ExpandDollar(name, times, out);
        else
            ExpandBrace(name, times, out);
        i = close + 1;
    }
}

// A stream address in the parts the styles rewrite: "scheme://host", the
// path's folder and its last part, and the query with its "?" (or a
// fragment with its "#").
struct AddressParts {
    std::string_view origin;
    std::string_view folder;  // from the first "/" to the last, without it
    std::string_view last;
    std::string_view query;
};

std::optional<AddressParts> SplitAddress(std::string_view address) {
    const std::size_t scheme = address.find("://");
    if (scheme == std::string_view::npos)
        return std::nullopt;
    const std::size_t queryAt = std::min(address.find_first_of("?#"), address.size());
    const std::size_t pathAt = address.find('/', scheme + 3);
    if (pathAt == std::string_view::npos || pathAt > queryAt)
        return std::nullopt;
    const std::string_view path = address.substr(pathAt, queryAt - pathAt);
    const std::size_t lastSlash = path.rfind('/');
    AddressParts parts;
    parts.origin = address.substr(0, pathAt);
    parts.folder = path.substr(0, lastSlash);
    parts.last = path.substr(lastSlash + 1);
    parts.query = address.substr(queryAt);
    if (parts.last.empty())
        return std::nullopt;
    return parts;
}

void AppendShift(std::string_view stream, const Times& times, Output& out) {
    out.Append(stream);
    // An address that ends in its query's separator needs none added.
    if (!stream.ends_with('?') && !stream.ends_with('&'))
        out.Append(stream.find('?') == std::string_view::npos ? "?" : "&");
    out.Append("utc=");
    out.AppendNumber(times.start);
    out.Append("&lutc=");
    out.AppendNumber(times.now);
}

void AppendFlussonic(std::string_view stream, CatchupStyle style, const Times& times, Output& out) {
    const std::optional<AddressParts> parts = SplitAddress(stream);
    const bool mpegts = parts && parts->last == kFlussonicTsList;
    const bool hls =
        parts && parts->last.size() > kHlsExtension.size() && parts->last.ends_with(kHlsExtension);
    if (!mpegts && !hls)
        return out.Fail(CatchupProblem::StreamNotInStyle);
    out.Append(parts->origin);
    out.Append(parts->folder);
    if (mpegts || style == CatchupStyle::FlussonicTs) {
        out.Append("/timeshift_abs-");
        out.AppendNumber(times.start);
        out.Append(".ts");
    } else {
        const std::string_view list =
            parts->last.substr(0, parts->last.size() - kHlsExtension.size());
        out.Append("/");
        if (list != kFlussonicIndex) {
            out.Append(list);
            out.Append("-");
        }
        out.Append("timeshift_rel-");
        out.AppendNumber(times.now - times.start);
        out.Append(kHlsExtension);
    }
    out.Append(parts->query);
}

// The parts of a path folder ("/a/b" -> "a", "b"); empty parts included.
std::vector<std::string_view> FolderParts(std::string_view folder) {
    std::vector<std::string_view> folderParts;
    while (folder.starts_with('/')) {
        folder.remove_prefix(1);
        const std::size_t slash = folder.find('/');
        folderParts.push_back(folder.substr(0, slash));
        folder.remove_prefix(slash == std::string_view::npos ? folder.size() : slash);
    }
    return folderParts;
}

bool IsXcPart(std::string_view part) {
    return !part.empty() && part.find('.') == std::string_view::npos;
}

void AppendXc(std::string_view stream, const Times& times, Output& out) {
    const std::optional<AddressParts> parts = SplitAddress(stream);
    // The folder is "[/live]/USER/PASS", the last part "ID[.EXT]".
    std::vector<std::string_view> folder =
        parts ? FolderParts(parts->folder) : std::vector<std::string_view>();
    if (folder.size() == 3 && folder.front() == kXcLivePrefix)
        folder.erase(folder.begin());
    const std::size_t dot = parts ? parts->last.rfind('.') : std::string_view::npos;
    const std::string_view id = parts ? parts->last.substr(0, dot) : std::string_view();
    const std::string_view extension =
        dot == std::string_view::npos ? kXcDefaultExtension : parts->last.substr(dot + 1);
    if (folder.size() != 2 || !IsXcPart(folder[0]) || !IsXcPart(folder[1]) || !IsXcPart(id) ||
        extension.empty())
        return out.Fail(CatchupProblem::StreamNotInStyle);
    out.Append(parts->origin);
    out.Append("/timeshift/");
    out.Append(folder[0]);
    out.Append("/");
    out.Append(folder[1]);
    out.Append("/");
    // Whole minutes, at least one: the archive's unit.
    out.AppendNumber(std::max<std::int64_t>(1, (times.stop - times.start) / 60));
    out.Append("/");
    AppendFormatted("Y-m-d:H-M", times.startLocal, out);
    out.Append("/");
    out.Append(id);
    out.Append(".");
    out.Append(extension);
    out.Append(parts->query);
}

void AppendAddress(std::string_view stream, const CatchupAttributes& catchup, const Times& times,
                   Output& out) {
    const CatchupStyle style = *catchup.style;
    const bool templated = style == CatchupStyle::Default || style == CatchupStyle::Append;
    if (templated && catchup.source.empty())
        return out.Fail(CatchupProblem::NoSource);
    if (style == CatchupStyle::Append)
        out.Append(stream);
    if (!catchup.source.empty() && style != CatchupStyle::Shift)
        return ExpandTemplate(catchup.source, times, out);
    switch (style) {
    case CatchupStyle::Shift: return AppendShift(stream, times, out);
    case CatchupStyle::Flussonic:
    case CatchupStyle::FlussonicTs: return AppendFlussonic(stream, style, times, out);
    case CatchupStyle::Xc: return AppendXc(stream, times, out);
    default: return;
    }
}

bool InRange(std::int64_t seconds) {
    return seconds >= 0 && seconds <= kMaxCatchupTime;
}

// The times the address states, or the reason the programme has none.
CatchupProblem MakeTimes(const CatchupAttributes& catchup, const CatchupProgramme& programme,
                         std::int64_t now, Times& times) {
    if (!InRange(programme.start) || !InRange(programme.stop) || !InRange(now) ||
        programme.stop <= programme.start)
        return CatchupProblem::BadTimes;
    const std::int64_t correction = std::int64_t(catchup.correctionMinutes) * 60;
    times.start = programme.start - correction;
    times.stop = programme.stop - correction;
    times.now = now;
    times.catchupId = programme.catchupId;
    if (!InRange(times.start) || !InRange(times.stop))
        return CatchupProblem::BadTimes;
    if (programme.start >= now || times.start >= now)
        return CatchupProblem::NotStarted;
    if (catchup.days && now - times.start > std::int64_t(*catchup.days) * kSecondsPerDay)
        return CatchupProblem::TooOld;
    if (!LocalTime(times.start, times.startLocal) || !LocalTime(times.stop, times.stopLocal) ||
        !LocalTime(times.now, times.nowLocal))
        return CatchupProblem::BadTimes;
    return CatchupProblem::None;
}

}  // namespace

CatchupAddress BuildCatchupAddress(std::string_view streamAddress, const CatchupAttributes& catchup,
                                   const CatchupProgramme& programme, std::int64_t now) {
    if (!catchup.style)
        return {{}, CatchupProblem::NoCatchup};
    Times times;
    if (CatchupProblem problem = MakeTimes(catchup, programme, now, times);
        problem != CatchupProblem::None)
        return {{}, problem};
    Output out;
    AppendAddress(streamAddress, catchup, times, out);
    if (!out.Failed() && !IsPlayableAddress(out.text))
        out.Fail(CatchupProblem::NotPlayable);
    if (out.Failed())
        return {{}, out.problem};
    return {std::move(out.text), CatchupProblem::None};
}

std::string_view CatchupProblemText(CatchupProblem problem) {
    switch (problem) {
    case CatchupProblem::None: return "the programme has a catch-up address";
    case CatchupProblem::NoCatchup: return "the channel has no catch-up";
    case CatchupProblem::NoSource: return "the channel's catch-up style needs a catch-up source";
    case CatchupProblem::BadTimes: return "the programme's times are not usable";
    case CatchupProblem::NotStarted: return "the programme has not started yet";
    case CatchupProblem::TooOld: return "the programme is older than the provider keeps";
    case CatchupProblem::BadTemplate:
        return "the channel's catch-up source is not a usable template";
    case CatchupProblem::NoCatchupId:
        return "the catch-up source needs the programme's catch-up id";
    case CatchupProblem::StreamNotInStyle:
        return "the stream's address does not have the form the catch-up style rewrites";
    case CatchupProblem::NotPlayable: return "the catch-up address may not be opened";
    }
    return {};
}

}  // namespace lumora
