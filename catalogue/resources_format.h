#pragma once

#include <string_view>

// The names of the interface resources files ("Resources.velt" and the
// built "cbuild.velt"), for their reader (resources/) and their writer
// (lumora-data resources), and for the catalogue, which asks for its
// countries' flags by name:
//
//   root "resources"
//     "images": blob attributes, one per picture; the splash is "image",
//               a country's flag "f_" + its code ("f_de")
namespace lumora {

inline constexpr std::string_view kResourcesRoot = "resources";
inline constexpr std::string_view kImagesNode = "images";
inline constexpr std::string_view kSplashAttribute = "image";
inline constexpr std::string_view kFlagPrefix = "f_";

}  // namespace lumora
