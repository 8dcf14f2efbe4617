// lumora-data guide show: what is on at a time, one line a channel.

#include <algorithm>

#include "guide/guide_store.h"
#include "guide/guide_time.h"
#include "tools/guide_command.h"

namespace lumora::tools {

namespace {

struct ShowOptions {
    std::string store;
    std::int64_t at = 0;
    std::vector<std::string> channels;  // empty: every channel
};

std::optional<ShowOptions> ParseArguments(const Arguments& args, int& exitCode) {
    ShowOptions options;
    bool haveAt = false;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--at" || arg == "--channel") {
            if (i + 1 == args.size()) {
                exitCode = GuideUsage(arg + " needs a value");
                return std::nullopt;
            }
            const std::string& value = args[++i];
            if (arg == "--channel") {
                options.channels.push_back(value);
            } else if (std::optional<std::int64_t> at = ParseUtcTime(value)) {
                options.at = *at;
                haveAt = true;
            } else {
                exitCode = GuideUsage("--at takes a UTC time such as 2026-12-09T20:30:00Z");
                return std::nullopt;
            }
        } else if (arg.starts_with("--")) {
            exitCode = GuideUsage("unknown option " + arg);
            return std::nullopt;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 1 || !haveAt) {
        exitCode = GuideUsage("show takes one store and --at TIME");
        return std::nullopt;
    }
    options.store = positional.front();
    return options;
}

// A title on one line of the output: tabs and line breaks become blanks.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    }
    return text;
}

}  // namespace

int RunGuideShow(const Arguments& args) {
    int exitCode = 0;
    std::optional<ShowOptions> options = ParseArguments(args, exitCode);
    if (!options)
        return exitCode;
    std::string error;
    std::unique_ptr<GuideStore> store = GuideStore::Open(options->store, error);
    if (!store) {
        std::fprintf(stderr, "lumora-data guide show: %s\n", error.c_str());
        return 1;
    }
    std::vector<std::string> channels =
        options->channels.empty() ? store->Channels() : options->channels;
    std::vector<NowAndNext> rows = store->NowAndNextOf(channels, options->at);
    std::erase_if(rows, [](const NowAndNext& row) { return !row.now; });
    std::sort(rows.begin(), rows.end(),
              [](const NowAndNext& a, const NowAndNext& b) { return a.channel < b.channel; });
    rows.erase(std::unique(
                   rows.begin(), rows.end(),
                   [](const NowAndNext& a, const NowAndNext& b) { return a.channel == b.channel; }),
               rows.end());
    for (const NowAndNext& row : rows) {
        std::printf("%s\t%s\t%s\t%s\n", OneLine(row.channel).c_str(),
                    FormatUtcTime(row.now->start).c_str(), FormatUtcTime(row.now->stop).c_str(),
                    OneLine(row.now->title).c_str());
    }
    return 0;
}

}  // namespace lumora::tools
