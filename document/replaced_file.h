#pragma once

#include <string>

namespace lumora {

// Helpers for writers that replace a file by renaming "NAME.tmp" over it.

// The file a save replaces: the target of `path` when it is a symbolic link
// (followed through links of links, at most 40), so that the new file is
// written beside the target and the link stays a link; `path` itself
// otherwise, also when it does not exist yet.
std::string ReplacedFile(const std::string& path);

// Gives `replacement` the permission bits of `original` (a file of mode
// 0600 stays 0600). Nothing changes when `original` does not exist; false
// when the bits could not be set.
bool KeepModeOf(const std::string& original, const std::string& replacement);

}  // namespace lumora
