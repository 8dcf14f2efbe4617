#pragma once

// The scratch folder's paths as the Qt tests take them.

#include <string_view>

#include <QString>

#include "scratch_folder.h"

namespace lumora::test {

inline QString QtPath(const ScratchFolder& folder) {
    return QString::fromStdString(folder.Path().string());
}

inline QString QtPath(const ScratchFolder& folder, std::string_view name) {
    return QString::fromStdString(folder / name);
}

}  // namespace lumora::test
