#include <cstdio>
#include <optional>
#include <string>

#include "document/doc_node.h"
#include "document/text_encoding.h"
#include "tools/commands.h"
#include "tools/picture_file.h"

namespace lumora::tools {

namespace {

constexpr std::string_view kSplashRootName = "splash";
constexpr std::string_view kImageAttribute = "image";

}  // namespace

int RunSplash(const Arguments& args) {
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: lumora-data splash PNG OUT.velt\n");
        return 2;
    }
    const std::string& picture = args[0];
    std::string problem;
    std::optional<MemoryStream> bytes = ReadFileBytes(picture, kMaxPictureBytes, problem);
    if (bytes && DetectPictureKind(bytes->View()) == PictureKind::Unknown)
        problem = "not a PNG, JPEG, BMP or GIF picture";
    if (!bytes || !problem.empty()) {
        std::fprintf(stderr, "lumora-data splash: %s: %s\n", picture.c_str(), problem.c_str());
        return 1;
    }

    DocNode document{std::string(kSplashRootName)};
    auto image = std::make_unique<DocAttribute>(std::string(kImageAttribute));
    image->SetBlob(std::move(*bytes));
    document.SetAttribute(std::move(image));
    if (!document.SaveToFile(FromUtf8(args[1]))) {
        std::fprintf(stderr, "lumora-data splash: %s: cannot be written\n", args[1].c_str());
        return 1;
    }
    return 0;
}

}  // namespace lumora::tools
