// lumora-data guide import: reads XMLTV guides into a new guide store.

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>

#include "guide/catalogue_for_guide.h"
#include "net/guide_update.h"
#include "tools/guide_command.h"

namespace lumora::tools {

namespace {

struct ImportOptions {
    std::string store;
    std::optional<std::string> catalogue;
    std::int64_t shiftSeconds = 0;
    std::vector<std::string> sources;
};

// Decimal hours, may be negative: "+1", "-0.5", "5.75".
std::optional<std::int64_t> ParseShiftHours(const std::string& text) {
    char* end = nullptr;
    const double hours = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(hours) ||
        std::fabs(hours) > 48)
        return std::nullopt;
    return static_cast<std::int64_t>(std::llround(hours * 3600));
}

std::optional<ImportOptions> ParseArguments(const Arguments& args, int& exitCode) {
    ImportOptions options;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--catalogue" || arg == "--shift") {
            if (i + 1 == args.size()) {
                exitCode = GuideUsage(arg + " needs a value");
                return std::nullopt;
            }
            const std::string& value = args[++i];
            if (arg == "--catalogue") {
                options.catalogue = value;
            } else if (std::optional<std::int64_t> shift = ParseShiftHours(value)) {
                options.shiftSeconds = *shift;
            } else {
                exitCode = GuideUsage("--shift takes hours between -48 and 48, such as 1 or -0.5");
                return std::nullopt;
            }
        } else if (arg.starts_with("--")) {
            exitCode = GuideUsage("unknown option " + arg);
            return std::nullopt;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() < 2) {
        exitCode = GuideUsage("a store and at least one source are required");
        return std::nullopt;
    }
    options.store = positional.front();
    options.sources.assign(positional.begin() + 1, positional.end());
    return options;
}

// The command line's sources: http(s) addresses, else file paths (relative
// ones too: the user typed them).
std::vector<GuideSource> CommandLineSources(const std::vector<std::string>& sources) {
    std::vector<GuideSource> result;
    for (const std::string& source : sources) {
        const bool http = source.starts_with("http://") || source.starts_with("https://");
        result.push_back({http ? GuideSource::Kind::Http : GuideSource::Kind::LocalFile, source});
    }
    return result;
}

void PrintReport(const GuideImportReport& report, bool withCatalogue, double seconds) {
    std::printf("guides: %llu\n", static_cast<unsigned long long>(report.guides));
    std::printf("channels: %llu\n", static_cast<unsigned long long>(report.channels));
    std::printf("programmes: %llu\n", static_cast<unsigned long long>(report.programmes));
    if (withCatalogue)
        std::printf("matched channels: %llu of %llu\n",
                    static_cast<unsigned long long>(report.matchedChannels),
                    static_cast<unsigned long long>(report.catalogueChannels));
    const std::pair<const char*, std::uint64_t> dropped[] = {
        {"bad time", report.badTime},
        {"no channel", report.noChannel},
        {"stop before start", report.stopBeforeStart},
        {"no stop", report.withoutStop},
        {"repeated start", report.repeated},
        {"older than 7 days", report.old},
    };
    for (const auto& [reason, count] : dropped)
        std::printf("dropped, %s: %llu\n", reason, static_cast<unsigned long long>(count));
    std::printf("unknown zones: %llu\n", static_cast<unsigned long long>(report.unknownZones));
    std::printf("seconds: %.2f\n", seconds);
}

}  // namespace

int RunGuideImport(const Arguments& args) {
    int exitCode = 0;
    const std::optional<ImportOptions> options = ParseArguments(args, exitCode);
    if (!options)
        return exitCode;
    const auto started = std::chrono::steady_clock::now();

    GuideUpdateRequest request;
    request.storePath = options->store;
    request.sources = CommandLineSources(options->sources);
    request.conditional = false;
    if (options->catalogue) {
        std::optional<CatalogueForGuide> catalogue = ReadCatalogueForGuide(*options->catalogue);
        if (!catalogue) {
            std::fprintf(stderr, "lumora-data guide import: %s: not a catalogue; nothing written\n",
                         options->catalogue->c_str());
            return 1;
        }
        request.catalogue = std::move(catalogue->channels);
    }
    request.import.offsetSeconds = options->shiftSeconds;
    request.import.now = static_cast<std::int64_t>(std::time(nullptr));
    const GuideUpdateResult result = UpdateGuide(request);
    if (result.status != GuideUpdateStatus::Updated) {
        std::fprintf(stderr, "lumora-data guide import: %s; the store is unchanged\n",
                     result.message.c_str());
        return 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    PrintReport(result.report, options->catalogue.has_value(), seconds);
    return 0;
}

}  // namespace lumora::tools
