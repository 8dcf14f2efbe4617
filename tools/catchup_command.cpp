// lumora-data catchup: the archive address of a past programme of a channel.

#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_format.h"
#include "catalogue/catchup_address.h"
#include "catalogue/catchup_attributes.h"
#include "document/doc_view.h"
#include "document/text_encoding.h"
#include "guide/guide_time.h"
#include "tools/channel_nodes.h"
#include "tools/commands.h"

namespace lumora::tools {

namespace {

struct CatchupOptions {
    std::string catalogue;
    std::string channelId;
    std::int64_t start = 0;
    std::int64_t stop = 0;
    std::int64_t now = 0;
    std::string catchupId;
};

int Usage(std::string_view problem) {
    std::fprintf(stderr,
                 "lumora-data catchup: %.*s\nusage: lumora-data catchup CAT.lmch CHANNEL-ID START "
                 "STOP [--now TIME] [--catchup-id ID]\n  (times in UTC, such as "
                 "2024-03-10T20:00:00Z)\n",
                 int(problem.size()), problem.data());
    return 2;
}

std::optional<CatchupOptions> ParseArguments(const Arguments& args, int& exitCode) {
    CatchupOptions options;
    options.now = static_cast<std::int64_t>(std::time(nullptr));
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg != "--now" && arg != "--catchup-id") {
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
        if (arg == "--catchup-id") {
            options.catchupId = value;
        } else if (std::optional<std::int64_t> now = ParseUtcTime(value)) {
            options.now = *now;
        } else {
            exitCode = Usage("--now takes a UTC time such as 2024-03-10T22:30:00Z");
            return std::nullopt;
        }
    }
    if (positional.size() != 4) {
        exitCode = Usage("catchup takes a catalogue, a channel id, a start and a stop");
        return std::nullopt;
    }
    const std::optional<std::int64_t> start = ParseUtcTime(positional[2]);
    const std::optional<std::int64_t> stop = ParseUtcTime(positional[3]);
    if (!start || !stop) {
        exitCode = Usage("START and STOP are UTC times such as 2024-03-10T20:00:00Z");
        return std::nullopt;
    }
    options.catalogue = positional[0];
    options.channelId = positional[1];
    options.start = *start;
    options.stop = *stop;
    return options;
}

int Refuse(const std::string& problem) {
    std::fprintf(stderr, "lumora-data catchup: %s\n", problem.c_str());
    return 1;
}

}  // namespace

int RunCatchup(const Arguments& args) {
    int exitCode = 0;
    const std::optional<CatchupOptions> options = ParseArguments(args, exitCode);
    if (!options)
        return exitCode;
    DocView view;
    std::string problem;
    const std::optional<ChannelNodes> nodes =
        ReadChannelNodes(view, options->catalogue, options->channelId, problem);
    if (!nodes)
        return Refuse(problem);

    const CatchupAddress built = BuildCatchupAddress(
        ToUtf8(nodes->stream.RequireWString(kAddressAttribute)),
        ReadCatchupAttributes(nodes->channel),
        CatchupProgramme{options->start, options->stop, options->catchupId}, options->now);
    if (!built)
        return Refuse("no catch-up address: " + std::string(CatchupProblemText(built.problem)));
    std::printf("%s\n", built.address.c_str());
    return 0;
}

}  // namespace lumora::tools
