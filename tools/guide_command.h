#pragma once

// The parts the "guide" verb's sub-verbs share.

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "guide/channel_matcher.h"
#include "tools/commands.h"

namespace lumora::tools {

int RunGuideImport(const Arguments& args);  // guide import STORE [--catalogue CAT] ...
int RunGuideShow(const Arguments& args);    // guide show STORE --at TIME [--channel ID]...
int RunGuideMatch(const Arguments& args);   // guide match STORE

// Prints "lumora-data guide: PROBLEM" and the usage; returns 2.
int GuideUsage(std::string_view problem);

// The channels of a catalogue file with what matching needs: the channel
// node's "n", "tvg-id", "tvg-name" and "tvg-shift" (Int, minutes). Nothing
// when the file is not a catalogue.
std::optional<std::vector<CatalogueChannel>> ReadCatalogueChannels(const std::string& path);

// Downloads one http or https guide into the callback, which returns false
// to stop. The network build connects this to net/'s streaming download;
// without it every such address fails with `error` set.
bool FetchGuide(const std::string& address, const std::function<bool(std::string_view)>& sink,
                std::string& error);

}  // namespace lumora::tools
