#pragma once

#include <string_view>

namespace lumora {

// Names of the settings the program reads and writes. Each name lives in
// exactly one of the three settings maps (the comment says which), because
// all of them are written as attributes of one node.
inline constexpr std::string_view kFirstRun = "first_run";          // boolean, default true
inline constexpr std::string_view kAutoCU = "AutoCU";               // boolean, default true
inline constexpr std::string_view kLanguage = "Language";           // string, default "en"
inline constexpr std::string_view kSelTab = "sel_tab";              // integer, default 0
inline constexpr std::string_view kSoundVolume = "sound_volume";    // integer, default 50
inline constexpr std::string_view kCurChannel = "cur_channel";      // string, default empty
inline constexpr std::string_view kUpdateServer = "update_server";  // string
inline constexpr std::string_view kAutoFallback = "auto_fallback";  // boolean, default true
// The revision of the settings a file was written by; 0 (absent) for files
// written before the channel source was stored as the user typed it.
inline constexpr std::string_view kSettingsRevision = "settings_rev";  // integer, default 0

}  // namespace lumora
