#pragma once

// The parts the "guide" verb's sub-verbs share.

#include <cstdio>
#include <string>
#include <string_view>

#include "tools/commands.h"

namespace lumora::tools {

int RunGuideImport(const Arguments& args);  // guide import STORE [--catalogue CAT] ...
int RunGuideShow(const Arguments& args);    // guide show STORE --at TIME [--channel ID]...
int RunGuideMatch(const Arguments& args);   // guide match STORE

// Prints "lumora-data guide: PROBLEM" and the usage; returns 2.
int GuideUsage(std::string_view problem);

}  // namespace lumora::tools
