// lumora-data guide: imports XMLTV guides into a guide store and reads it.

#include "tools/guide_command.h"

#include "document/doc_view.h"
#include "document/text_encoding.h"

namespace lumora::tools {

namespace {

constexpr std::string_view kUsage =
    "usage: lumora-data guide import STORE [--catalogue CAT.lmch] [--shift HOURS] SOURCE...\n"
    "       lumora-data guide show STORE --at TIME [--channel ID]...\n"
    "       lumora-data guide match STORE\n";

// The catalogue channel node's attributes matching reads.
constexpr std::string_view kNameAttribute = "n";
constexpr std::string_view kTvgIdAttribute = "tvg-id";
constexpr std::string_view kTvgNameAttribute = "tvg-name";
constexpr std::string_view kTvgShiftAttribute = "tvg-shift";

}  // namespace

int GuideUsage(std::string_view problem) {
    std::fprintf(stderr, "lumora-data guide: %.*s\n%.*s", int(problem.size()), problem.data(),
                 int(kUsage.size()), kUsage.data());
    return 2;
}

std::optional<std::vector<CatalogueChannel>> ReadCatalogueChannels(const std::string& path) {
    DocView view;
    if (!view.LoadFromFile(FromUtf8(path)))
        return std::nullopt;
    std::vector<CatalogueChannel> channels;
    for (DocView::Node country : view.Root().Children()) {
        for (DocView::Node node : country.Children()) {
            CatalogueChannel channel;
            channel.lumoraId.append(country.Name()).append(1, '_').append(node.Name());
            channel.name = ToUtf8(node.RequireWString(kNameAttribute));
            channel.tvgId = ToUtf8(node.RequireWString(kTvgIdAttribute));
            channel.tvgName = ToUtf8(node.RequireWString(kTvgNameAttribute));
            channel.shiftMinutes = node.GetInt(kTvgShiftAttribute, 0);
            channels.push_back(std::move(channel));
        }
    }
    return channels;
}

// FIXME: connect to net/'s streaming download (the catalogue updates'
// transfer rules) once it lands; until then http sources fail here.
bool FetchGuide(const std::string& address, const std::function<bool(std::string_view)>& sink,
                std::string& error) {
    (void)address;
    (void)sink;
    error = "http and https guides need the network build of lumora-data";
    return false;
}

int RunGuide(const Arguments& args) {
    if (args.empty())
        return GuideUsage("a sub-verb is required");
    const Arguments rest(args.begin() + 1, args.end());
    if (args.front() == "import")
        return RunGuideImport(rest);
    if (args.front() == "show")
        return RunGuideShow(rest);
    if (args.front() == "match")
        return RunGuideMatch(rest);
    return GuideUsage("unknown sub-verb '" + args.front() + "'");
}

}  // namespace lumora::tools
