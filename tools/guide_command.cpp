// lumora-data guide: imports XMLTV guides into a guide store and reads it.

#include "tools/guide_command.h"

namespace lumora::tools {

namespace {

constexpr std::string_view kUsage =
    "usage: lumora-data guide import STORE [--catalogue CAT.lmch] [--shift HOURS] SOURCE...\n"
    "       lumora-data guide show STORE --at TIME [--channel ID]...\n"
    "       lumora-data guide match STORE\n";

}  // namespace

int GuideUsage(std::string_view problem) {
    std::fprintf(stderr, "lumora-data guide: %.*s\n%.*s", int(problem.size()), problem.data(),
                 int(kUsage.size()), kUsage.data());
    return 2;
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
