#pragma once

// The floor a guide import is measured against: a gzip XMLTV file read,
// unpacked with zlib and parsed with expat, counting elements and nothing
// else. No program can read the guide faster with these libraries.

#include <cstdint>
#include <string>

namespace lumora::bench {

// The number of elements, or -1 when the file cannot be read.
std::int64_t CountGuideElements(const std::string& gzipPath);

}  // namespace lumora::bench
