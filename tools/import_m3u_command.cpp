#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "document/text_encoding.h"
#include "playlist/catalogue_builder.h"
#include "playlist/channel_database.h"
#include "playlist/m3u_playlist.h"
#include "tools/commands.h"

namespace lumora::tools {

namespace {

struct ImportOptions {
    std::string version;
    std::string channelsCsv;
    std::string output;
    std::vector<std::string> playlists;
};

int ImportUsage(const char* problem) {
    std::fprintf(stderr, "lumora-data import-m3u: %s\n", problem);
    std::fprintf(stderr,
                 "usage: lumora-data import-m3u --version V [--channels CSV] OUT.lmch IN.m3u...\n");
    return 2;
}

// Nothing (after a message) when the command line is wrong.
std::optional<ImportOptions> ParseImportOptions(const Arguments& args, int& exitCode) {
    ImportOptions options;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--version" || arg == "--channels") {
            if (i + 1 >= args.size()) {
                exitCode = ImportUsage((arg + " needs a value").c_str());
                return std::nullopt;
            }
            (arg == "--version" ? options.version : options.channelsCsv) = args[++i];
        } else if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            exitCode = ImportUsage(("unknown option " + arg).c_str());
            return std::nullopt;
        } else {
            positional.push_back(arg);
        }
    }
    if (options.version.empty()) {
        exitCode = ImportUsage("--version is required and must not be empty");
        return std::nullopt;
    }
    if (positional.size() < 2) {
        exitCode = ImportUsage("an output file and at least one playlist are required");
        return std::nullopt;
    }
    options.output = positional.front();
    options.playlists.assign(positional.begin() + 1, positional.end());
    return options;
}

bool IsUsableVersion(const std::string& version) {
    for (unsigned char c : version) {
        if (c < 0x20 || c == 0x7F)
            return false;
    }
    return IsValidUtf8(version);
}

}  // namespace

int RunImportM3u(const Arguments& args) {
    int exitCode = 0;
    std::optional<ImportOptions> options = ParseImportOptions(args, exitCode);
    if (!options)
        return exitCode;
    if (!IsUsableVersion(options->version)) {
        std::fprintf(
            stderr,
            "lumora-data import-m3u: the version must be UTF-8 text without control characters\n");
        return 1;
    }

    ChannelDatabase database;
    bool haveDatabase = !options->channelsCsv.empty();
    if (haveDatabase) {
        std::string error;
        if (!database.Load(options->channelsCsv, error)) {
            std::fprintf(stderr, "lumora-data import-m3u: %s\n", error.c_str());
            return 1;
        }
    }

    CatalogueBuilder builder(haveDatabase ? &database : nullptr);
    for (const std::string& path : options->playlists) {
        std::optional<M3uPlaylist> playlist = ReadM3uFile(path);
        if (!playlist) {
            std::fprintf(stderr, "lumora-data import-m3u: %s: cannot be read; nothing written\n",
                         path.c_str());
            return 1;
        }
        builder.AddPlaylist(*playlist, path);
    }

    std::unique_ptr<DocNode> catalogue = builder.Build(options->version);
    const ImportCounts& counts = builder.Counts();
    if (counts.channels == 0) {
        std::fprintf(stderr,
                     "lumora-data import-m3u: the playlists hold no usable channel (%zu malformed "
                     "entries); nothing written\n",
                     counts.malformed);
        return 1;
    }
    if (!catalogue->SaveToFile(FromUtf8(options->output))) {
        std::fprintf(stderr, "lumora-data import-m3u: %s: cannot be written\n",
                     options->output.c_str());
        return 1;
    }
    std::fprintf(stderr,
                 "imported %zu channels (%zu streams) in %zu countries; skipped %zu malformed "
                 "entries; left out %zu NSFW; refused %zu addresses that may not be played\n",
                 counts.channels, counts.streams, counts.countries, counts.malformed, counts.nsfw,
                 counts.refused);
    if (counts.repeated > 0)
        std::fprintf(stderr, "dropped %zu repeated addresses of the same channel\n",
                     counts.repeated);
    return 0;
}

}  // namespace lumora::tools
