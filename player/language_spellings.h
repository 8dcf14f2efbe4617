#pragma once

// Language codes as streams and players spell them. mpv compares track
// languages exactly, and streams tag them in ISO 639-1 ("de") or either
// ISO 639-2 form ("deu", "ger"), so a wished language goes to mpv in all
// of them.
//
// Threads: any (Qt's locale tables are read-only).

#include <string>
#include <string_view>
#include <vector>

namespace lumora {

// The tag itself (lower case), then its ISO 639-1, 639-2/B and 639-2/T
// codes where they are known and differ; a region or script after "-" or
// "_" is dropped for the codes ("pt-BR": "pt-br", "pt", "por"). Empty for
// an empty or overlong tag.
std::vector<std::string> LanguageSpellingsOf(std::string_view tag);

// The ISO 639-1 code of the tag when there is one, else the tag's primary
// part in lower case: the form language names are looked up by.
std::string ShortLanguageCode(std::string_view tag);

}  // namespace lumora
