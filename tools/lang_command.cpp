#include <cstdio>

#include "tools/commands.h"

namespace lumora::tools {

// FIXME: not built yet.
int RunLang(const Arguments&)
{
    std::fprintf(stderr, "lumora-data: this verb is not built yet\n");
    return 2;
}

}  // namespace lumora::tools
