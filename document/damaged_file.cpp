#include "document/damaged_file.h"

#include <cstdio>

#include "document/text_encoding.h"

namespace lumora {

bool SetDamagedFileAside(const std::u16string& path) {
    const std::string from = ToUtf8(path);
    const std::string to = from + ".bad";
    // A rename replaces the older copy in one step and never copies bytes.
    return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace lumora
