#pragma once

// How tracks and languages are named on screen: language names in the
// interface language (ICU's display names), with the codec
// ("English (AAC)", "Deutsch, audio description (AC-3)").
//
// Threads: the UI thread (the names follow the setting "Language").

#include <string_view>

#include <QString>

#include "catalogue/track_choice.h"

namespace lumora {

// The name of the language of `tag` in the interface language; the tag
// itself for one ICU does not know; empty for no tag or "und".
QString LanguageDisplayName(std::string_view tag);

// The codec as viewers know it: "AAC", "AC-3", "DVB", "Teletext"; other
// codecs in capitals.
QString CodecLabel(std::string_view codec);

// "Language, title (Codec)"; without a language "Track N"; a title that
// only repeats the language is left out. `position` is 1-based among the
// tracks of its kind.
QString TrackLabel(const MediaTrack& track, int position);

}  // namespace lumora
