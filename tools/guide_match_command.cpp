// lumora-data guide match: which guide channel each catalogue channel shows.

#include "guide/guide_store.h"
#include "tools/guide_command.h"

namespace lumora::tools {

int RunGuideMatch(const Arguments& args) {
    if (args.size() != 1 || args.front().starts_with("--"))
        return GuideUsage("match takes one store");
    std::string error;
    std::unique_ptr<GuideStore> store = GuideStore::Open(args.front(), error);
    if (!store) {
        std::fprintf(stderr, "lumora-data guide match: %s\n", error.c_str());
        return 1;
    }
    if (!store->HasCatalogue()) {
        std::fprintf(stderr,
                     "lumora-data guide match: %s was imported without a catalogue "
                     "(guide import --catalogue)\n",
                     args.front().c_str());
        return 1;
    }
    for (const StoredMatch& match : store->Matches()) {
        const bool matched = !match.rule.empty();
        std::printf("%s\t%s\t%s\n", match.lumoraId.c_str(), matched ? match.guideId.c_str() : "-",
                    matched ? match.rule.c_str() : "-");
    }
    return 0;
}

}  // namespace lumora::tools
