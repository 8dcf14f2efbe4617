// lumora-data record: records a channel of a catalogue headless, with the
// player's recording engine, for a systemd timer or cron.

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_format.h"
#include "document/doc_view.h"
#include "document/text_encoding.h"
#include "guide/guide_time.h"
#include "record/record_stream.h"
#include "tools/channel_nodes.h"
#include "tools/commands.h"

namespace lumora::tools {

namespace {

// The longest recording one command makes: a day.
constexpr std::int64_t kMaxSeconds = 24 * 3600;

struct RecordOptions {
    std::string catalogue;
    std::string channelId;
    std::string file;
    std::int64_t until = 0;
    std::string title;
    std::string description;
};

int Usage(std::string_view problem) {
    std::fprintf(stderr,
                 "lumora-data record: %.*s\nusage: lumora-data record CAT.lmch CHANNEL-ID --until "
                 "TIME OUT.ts [--title T] [--description D]\n  (TIME in UTC, such as "
                 "2024-03-10T21:05:00Z, or from now, such as +90m, +2h, +30s)\n",
                 int(problem.size()), problem.data());
    return 2;
}

// "+90m", "+2h", "+30s": that long from `now`.
std::optional<std::int64_t> ParseFromNow(std::string_view text, std::int64_t now) {
    if (text.size() < 3 || text.front() != '+' || text.size() > 8)
        return std::nullopt;
    std::int64_t count = 0;
    for (char c : text.substr(1, text.size() - 2)) {
        if (c < '0' || c > '9')
            return std::nullopt;
        count = count * 10 + (c - '0');
    }
    switch (text.back()) {
    case 's': return now + count;
    case 'm': return now + count * 60;
    case 'h': return now + count * 3600;
    default: return std::nullopt;
    }
}

std::optional<std::int64_t> ParseUntil(std::string_view text, std::int64_t now) {
    if (std::optional<std::int64_t> relative = ParseFromNow(text, now))
        return relative;
    return ParseUtcTime(text);
}

std::optional<RecordOptions> ParseArguments(const Arguments& args, int& exitCode) {
    RecordOptions options;
    const auto now = static_cast<std::int64_t>(std::time(nullptr));
    std::optional<std::int64_t> until;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg != "--until" && arg != "--title" && arg != "--description") {
            if (arg.starts_with("--")) {
                exitCode = Usage("unknown option " + arg);
                return std::nullopt;
            }
            positional.push_back(arg);
            continue;
        }
        if (i + 1 == args.size()) {
            exitCode = Usage(arg + " needs a value");
            return std::nullopt;
        }
        const std::string& value = args[++i];
        if (arg == "--title") {
            options.title = value;
        } else if (arg == "--description") {
            options.description = value;
        } else if (!(until = ParseUntil(value, now))) {
            exitCode = Usage("--until takes a UTC time such as 2024-03-10T21:05:00Z or +90m");
            return std::nullopt;
        }
    }
    if (positional.size() != 3) {
        exitCode = Usage("record takes a catalogue, a channel id and an output file");
        return std::nullopt;
    }
    if (!until) {
        exitCode = Usage("--until is needed");
        return std::nullopt;
    }
    if (*until <= now || *until - now > kMaxSeconds) {
        exitCode = Usage("--until must be in the next 24 hours");
        return std::nullopt;
    }
    options.catalogue = positional[0];
    options.channelId = positional[1];
    options.file = positional[2];
    options.until = *until;
    return options;
}

int Refuse(const std::string& problem) {
    std::fprintf(stderr, "lumora-data record: %s\n", problem.c_str());
    return 1;
}

void Report(const RecordOptions& options, const RecordingOutcome& outcome) {
    std::fprintf(stderr, "lumora-data record: %s, %s: %lld bytes, %.1f s\n", options.file.c_str(),
                 RecordingStatusName(outcome.status), static_cast<long long>(outcome.bytes),
                 outcome.seconds);
    for (const RecordingGap& gap : outcome.gaps)
        std::fprintf(stderr, "lumora-data record: gap at %.1f s, %.1f s without the stream\n",
                     gap.atSeconds, gap.lengthSeconds);
    if (!outcome.error.empty())
        std::fprintf(stderr, "lumora-data record: %s\n", outcome.error.c_str());
}

// SIGINT and SIGTERM (Ctrl+C, systemd stopping the unit) end the recording
// as planned, with a whole file.
std::atomic<bool>* g_stop = nullptr;

extern "C" void StopRecording(int) {
    if (g_stop != nullptr)
        g_stop->store(true);
}

}  // namespace

int RunRecord(const Arguments& args) {
    int exitCode = 0;
    const std::optional<RecordOptions> options = ParseArguments(args, exitCode);
    if (!options)
        return exitCode;
    DocView view;
    std::string problem;
    const std::optional<ChannelNodes> nodes =
        ReadChannelNodes(view, options->catalogue, options->channelId, problem);
    if (!nodes)
        return Refuse(problem);
    const DocView::Node& channel = nodes->channel;
    const DocView::Node& stream = nodes->stream;

    RecordingRequest request;
    request.address = ToUtf8(stream.RequireWString(kAddressAttribute));
    request.userAgent = ToUtf8(stream.RequireWString(kUserAgentAttribute));
    request.referrer = ToUtf8(stream.RequireWString(kReferrerAttribute));
    request.file = options->file;
    request.channel = ToUtf8(channel.RequireWString(kNameAttribute));
    request.title = options->title;
    request.description = options->description;
    request.until =
        std::chrono::system_clock::from_time_t(static_cast<std::time_t>(options->until));

    // A file-size limit makes a write fail (and the recording end with what
    // it has) rather than end the process.
    std::signal(SIGXFSZ, SIG_IGN);
    static std::atomic<bool> stop{false};
    g_stop = &stop;
    std::signal(SIGINT, StopRecording);
    std::signal(SIGTERM, StopRecording);
    const RecordingOutcome outcome = RecordStream(request, stop);
    Report(*options, outcome);
    return outcome.status == RecordingStatus::Completed ||
                   outcome.status == RecordingStatus::Stopped
               ? 0
               : 1;
}

}  // namespace lumora::tools
