// lumora-data: builds, inspects and publishes Lumora's data files.

#include <cstdio>
#include <cstring>
#include <string_view>

#include "tools/commands.h"

namespace {

struct Verb {
    std::string_view name;
    int (*run)(const lumora::tools::Arguments&);
    std::string_view usage;
};

constexpr Verb kVerbs[] = {
    {"dump", lumora::tools::RunDump, "dump FILE"},
    {"build", lumora::tools::RunBuild, "build JSON OUT"},
    {"lang", lumora::tools::RunLang, "lang DIR OUT"},
    {"import-m3u", lumora::tools::RunImportM3u,
     "import-m3u --version V [--channels CSV] OUT.lmch IN.m3u..."},
    {"list", lumora::tools::RunList,
     "list CATALOGUE [--languages PACK] [--settings CFG] [--country C] [--category K] "
     "[--favourites]"},
    {"resources", lumora::tools::RunResources, "resources [--flags DIR] OUT.velt"},
    {"splash", lumora::tools::RunSplash, "splash PNG OUT.velt"},
    {"publish", lumora::tools::RunPublish, "publish CATALOGUE DIR"},
    {"check", lumora::tools::RunCheck,
     "check IN.lmch OUT.lmch [--report FILE.csv] [--jobs N] [--timeout S] [--drop-dead] [--only "
     "COUNTRY,...]"},
    {"guide", lumora::tools::RunGuide,
     "guide import STORE [--catalogue CAT.lmch] [--shift HOURS] SOURCE... | guide show STORE "
     "--at TIME [--channel ID]... | guide match STORE"},
    {"import-account", lumora::tools::RunImportAccount,
     "import-account SERVER USER OUT.lmch [--adult]  (password on standard input)"},
    {"catchup", lumora::tools::RunCatchup,
     "catchup CAT.lmch CHANNEL-ID START STOP [--now TIME] [--catchup-id ID]"},
    {"record", lumora::tools::RunRecord,
     "record CAT.lmch CHANNEL-ID --until TIME OUT.ts [--title T] [--description D]"},
};

void PrintUsage(std::FILE* out) {
    std::fprintf(out, "usage: lumora-data VERB ARGS...\n");
    for (const Verb& verb : kVerbs)
        std::fprintf(out, "  lumora-data %.*s\n", int(verb.usage.size()), verb.usage.data());
    std::fprintf(out, "  lumora-data --help\n");
}

int Usage() {
    PrintUsage(stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return Usage();
    std::string_view name = argv[1];
    if (name == "--help" || name == "-h") {
        PrintUsage(stdout);
        return 0;
    }
    for (const Verb& verb : kVerbs) {
        if (verb.name == name)
            return verb.run(lumora::tools::Arguments(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "lumora-data: unknown verb '%s'\n", argv[1]);
    return Usage();
}
