#pragma once

#include <string_view>

// The names of the language pack file ("Languages.lngp"), for its reader
// (the program's languages) and its writer (lumora-data lang):
//
//   root "lang_doc_1.0"
//     "lang_en", "lang_de", ... (a language node per language)
//       attributes "language" (its own name) and "ext" (its code)
//       text nodes named by key ("menu_exit"), attribute "text"
//
// Keys that are made from catalogue names: "cat_" + category key names a
// category, "c_" + country code a country, "c_" + code + "_" + channel
// node a channel.
namespace lumora {

inline constexpr std::string_view kPackRoot = "lang_doc_1.0";
inline constexpr std::string_view kLanguageNodePrefix = "lang_";
inline constexpr std::string_view kLanguageNameAttribute = "language";
inline constexpr std::string_view kLanguageCodeAttribute = "ext";
inline constexpr std::string_view kTextAttribute = "text";

inline constexpr std::string_view kAppTitleKey = "app_kavri";
inline constexpr std::string_view kUnitTextKey = "str_kb";
inline constexpr std::string_view kCategoryTextPrefix = "cat_";
inline constexpr std::string_view kNameTextPrefix = "c_";

}  // namespace lumora
