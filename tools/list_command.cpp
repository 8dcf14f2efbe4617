// lumora-data list: prints the channel list as the player would show it.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/catalogue.h"
#include "catalogue/channel_views.h"
#include "catalogue/languages.h"
#include "catalogue/settings.h"
#include "document/text_encoding.h"
#include "tools/commands.h"

namespace lumora::tools {

namespace {

struct ListOptions {
    std::string catalogue;
    std::optional<std::string> languages;
    std::optional<std::string> settings;
    std::optional<std::string> country;
    std::optional<std::string> category;
    bool favourites = false;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: lumora-data list CATALOGUE [--languages PACK] [--settings CFG] "
                 "[--country C] [--category K] [--favourites]\n");
    return 2;
}

std::optional<ListOptions> ParseArguments(const Arguments& args) {
    ListOptions options;
    bool haveCatalogue = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::optional<std::string>* valueOf = nullptr;
        if (arg == "--languages")
            valueOf = &options.languages;
        else if (arg == "--settings")
            valueOf = &options.settings;
        else if (arg == "--country")
            valueOf = &options.country;
        else if (arg == "--category")
            valueOf = &options.category;
        if (valueOf != nullptr) {
            if (i + 1 == args.size())
                return std::nullopt;
            *valueOf = args[++i];
        } else if (arg == "--favourites") {
            options.favourites = true;
        } else if (arg.starts_with("--") || haveCatalogue) {
            return std::nullopt;
        } else {
            options.catalogue = arg;
            haveCatalogue = true;
        }
    }
    if (!haveCatalogue)
        return std::nullopt;
    return options;
}

// A field of the tab-separated output: control characters (a tab or a line
// break inside a name) become spaces so every channel stays one line.
std::string Field(std::u16string_view text) {
    std::string field = ToUtf8(text);
    for (char& c : field) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    }
    return field;
}

std::string Field(std::string_view text) {
    return Field(FromUtf8(text));
}

void PrintChannel(const Channel& channel, const Channel* current) {
    const Stream* stream = SelectedStream(channel);
    std::string line;
    line.append(Field(channel.id)).append(1, '\t');
    line.append(Field(channel.name)).append(1, '\t');
    line.append(Field(channel.subtitle)).append(1, '\t');
    line.append(channel.category ? Field(channel.category->key) : std::string()).append(1, '\t');
    line.append(channel.favourite ? "1" : "0").append(1, '\t');
    line.append(&channel == current ? "1" : "0").append(1, '\t');
    line.append(stream ? Field(stream->address) : std::string()).append(1, '\n');
    std::fwrite(line.data(), 1, line.size(), stdout);
}

}  // namespace

int RunList(const Arguments& args) {
    std::optional<ListOptions> options = ParseArguments(args);
    if (!options)
        return Usage();

    // The player's order: settings, then languages, then the catalogue.
    // Only reads: a file named here that cannot be read is an error, never
    // replaced by defaults and never set aside as the player would.
    ResetSettings();
    if (options->settings && !ReadSettingsFile(FromUtf8(*options->settings))) {
        std::fprintf(stderr, "lumora-data list: cannot read the settings '%s'\n",
                     options->settings->c_str());
        return 1;
    }
    if (options->languages && !LoadLanguages(FromUtf8(*options->languages))) {
        std::fprintf(stderr, "lumora-data list: cannot read the language pack '%s'\n",
                     options->languages->c_str());
        return 1;
    }

    Catalogue catalogue;
    catalogue.SetMessageSink([](const std::u16string& text) {
        std::string line = ToUtf8(text) + "\n";
        std::fwrite(line.data(), 1, line.size(), stderr);
    });
    if (!catalogue.LoadCatalogue(FromUtf8(options->catalogue))) {
        std::fprintf(stderr, "lumora-data list: cannot read the catalogue '%s'\n",
                     options->catalogue.c_str());
        return 1;
    }

    const Country* country = nullptr;
    if (options->country) {
        auto found = catalogue.Countries().find(*options->country);
        if (found == catalogue.Countries().end()) {
            std::fprintf(stderr, "lumora-data list: the catalogue has no country '%s'\n",
                         options->country->c_str());
            return 1;
        }
        country = found->second.get();
    }
    const Category* category = nullptr;
    if (options->category) {
        category = catalogue.FindCategory(*options->category);
        if (category == nullptr) {
            std::fprintf(
                stderr,
                "lumora-data list: there is no category '%s' (known: l mu n r sp e mo k ad)\n",
                options->category->c_str());
            return 1;
        }
    }

    const Channel* current = catalogue.CurrentChannel();
    for (const Channel* channel : FilterChannels(country, category)) {
        if (!options->favourites || channel->favourite)
            PrintChannel(*channel, current);
    }
    std::fflush(stdout);
    ReleaseLanguages();
    return 0;
}

}  // namespace lumora::tools
