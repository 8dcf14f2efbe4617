#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "catalogue/resources_format.h"
#include "document/doc_node.h"
#include "document/text_encoding.h"
#include "tools/commands.h"
#include "tools/picture_file.h"

namespace lumora::tools {

namespace {

constexpr std::string_view kDefaultFlagFolder = "/usr/share/flags/countries/16x11";

// The public playlists file the United Kingdom under "uk", the flag set
// under its ISO code "gb".
constexpr std::string_view kUnitedKingdomPlaylistCode = "uk";
constexpr std::string_view kUnitedKingdomIsoCode = "gb";

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return text;
}

bool IsFlagName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    });
}

int ResourcesUsage() {
    std::fprintf(stderr, "usage: lumora-data resources [--flags DIR] OUT.velt\n");
    return 2;
}

// Flag pictures by lower-case code; nothing when the folder cannot be read.
std::optional<std::map<std::string, MemoryStream>> ReadFlags(const std::filesystem::path& folder) {
    std::map<std::string, MemoryStream> flags;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::filesystem::path& path = it->path();
        if (LowerAscii(path.extension().string()) != ".png" || !it->is_regular_file())
            continue;
        std::string code = LowerAscii(path.stem().string());
        std::string problem;
        std::optional<MemoryStream> bytes = ReadFileBytes(path.string(), kMaxPictureBytes, problem);
        if (bytes && DetectPictureKind(bytes->View()) != PictureKind::Png)
            problem = "not a PNG picture";
        if (!IsFlagName(code))
            problem = "its name is not a country code";
        if (!problem.empty() || !bytes) {
            std::fprintf(stderr, "lumora-data resources: warning: %s left out: %s\n",
                         path.string().c_str(), problem.c_str());
            continue;
        }
        flags.erase(code);  // "AD.png" and "ad.png": the later one wins
        flags.emplace(code, std::move(*bytes));
    }
    if (error) {
        std::fprintf(stderr, "lumora-data resources: %s: cannot be listed (%s)\n",
                     folder.string().c_str(), error.message().c_str());
        return std::nullopt;
    }
    return flags;
}

}  // namespace

int RunResources(const Arguments& args) {
    std::string folder(kDefaultFlagFolder);
    std::optional<std::string> output;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--flags" && i + 1 < args.size())
            folder = args[++i];
        else if (args[i].compare(0, 2, "--") == 0 || output)
            return ResourcesUsage();
        else
            output = args[i];
    }
    if (!output)
        return ResourcesUsage();

    std::optional<std::map<std::string, MemoryStream>> flags = ReadFlags(folder);
    if (!flags)
        return 1;
    if (!flags->count(std::string(kUnitedKingdomPlaylistCode))) {
        auto gb = flags->find(std::string(kUnitedKingdomIsoCode));
        if (gb != flags->end())
            flags->emplace(std::string(kUnitedKingdomPlaylistCode), MemoryStream(gb->second));
    }
    if (flags->empty())
        std::fprintf(stderr, "lumora-data resources: warning: %s holds no flag pictures\n",
                     folder.c_str());

    DocNode document{std::string(kResourcesRoot)};
    DocNode* images = document.AddChild(kImagesNode);
    for (auto& [code, bytes] : *flags) {
        auto attribute = std::make_unique<DocAttribute>(std::string(kFlagPrefix) + code);
        attribute->SetBlob(std::move(bytes));
        images->SetAttribute(std::move(attribute));
    }
    if (!document.SaveToFile(FromUtf8(*output))) {
        std::fprintf(stderr, "lumora-data resources: %s: cannot be written\n", output->c_str());
        return 1;
    }
    std::fprintf(stderr, "lumora-data resources: %zu flag pictures\n", flags->size());
    return 0;
}

}  // namespace lumora::tools
