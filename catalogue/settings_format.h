#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <utility>

namespace lumora {

// The names of the settings file ("Settings.cfg"), for its reader and
// writer (settings.cpp) and every user of a setting:
//
//   root "set"
//     "options": one attribute per setting, Bool, Int or WString
//     "channels": one child per channel, named by the channel's id, with
//                 what the channel carries between runs (channel_state.h)
//
// Each setting name lives in exactly one of the three settings maps (the
// comment says which), because all of them are written as attributes of one
// node.
inline constexpr std::string_view kSettingsRoot = "set";
inline constexpr std::string_view kOptionsNode = "options";
inline constexpr std::string_view kChannelStateNode = "channels";
inline constexpr std::string_view kFavouriteAttribute = "f";     // Bool, true for a favourite
inline constexpr std::string_view kStreamIndexAttribute = "cu";  // Int, written when not 0
// WString, the address of the stream the user chose, beside "cu": an update
// that reorders the streams moves "cu" to where the address went.
inline constexpr std::string_view kStreamAddressAttribute = "cu_url";
// WString, the audio and subtitle tracks the user chose (track_choice.h),
// written when there is a choice.
inline constexpr std::string_view kTrackChoiceAttribute = "trk";

inline constexpr std::string_view kFirstRun = "first_run";          // boolean, default true
inline constexpr std::string_view kAutoCU = "AutoCU";               // boolean, default true
inline constexpr std::string_view kLanguage = "Language";           // string, default "en"
inline constexpr std::string_view kSelTab = "sel_tab";              // integer, default 0
inline constexpr std::string_view kSoundVolume = "sound_volume";    // integer, default 50
inline constexpr std::string_view kCurChannel = "cur_channel";      // string, default empty
inline constexpr std::string_view kUpdateServer = "update_server";  // string
inline constexpr std::string_view kAutoFallback = "auto_fallback";  // boolean, default true
// The programme guide's addresses, comma-separated, each may end with a
// signed offset in hours; empty: the guides the catalogue's playlist names.
inline constexpr std::string_view kGuideSources = "guide_sources";  // string, default empty
// The most a guide may unpack to, in MiB: an endless body stops there.
inline constexpr std::string_view kGuideLimitMb = "guide_limit_mb";  // integer, default 2048
// How far back a paused or rewound live stream can go, in minutes; 0 turns
// pausing live streams off.
inline constexpr std::string_view kTimeshiftMinutes = "timeshift_minutes";  // integer, default 30
// The preferred languages of audio and subtitle tracks, as language codes
// ("de"); empty: audio in the interface language, subtitles only where
// the stream marks them or the audio is in another language.
inline constexpr std::string_view kAudioLanguage = "audio_language";        // string, default empty
inline constexpr std::string_view kSubtitleLanguage = "subtitle_language";  // string, default empty
// A provider account as the channel source: its server and user name (the
// password is kept apart, never in the settings); empty: no account.
inline constexpr std::string_view kAccountServer = "account_server";  // string, default empty
inline constexpr std::string_view kAccountUser = "account_user";      // string, default empty
// The account's adult channels are in its catalogue (the provider marks them).
inline constexpr std::string_view kAccountShowAdult = "account_adult";  // boolean, default false
// How long a recording of the programme on now goes on after its end, in
// minutes (guides are often a few minutes off).
inline constexpr std::string_view kRecordMarginMinutes =
    "record_margin_minutes";  // integer, default 5
// How many recordings may run at once.
inline constexpr std::string_view kRecordMostAtOnce = "record_most_at_once";  // integer, default 2
// The revision of the settings a file was written by; 0 (absent) for files
// written before the channel source was stored as the user typed it.
inline constexpr std::string_view kSettingsRevision = "settings_rev";  // integer, default 0

enum class SettingKind { Bool, Int, String };

// The map each known setting lives in. A file's attribute of another type
// under one of these names is dropped at load, so it cannot shadow the
// user's choice, and a save writes the name from its own map only.
inline constexpr std::array<std::pair<std::string_view, SettingKind>, 19> kSettingKinds = {{
    {kFirstRun, SettingKind::Bool},           {kAutoCU, SettingKind::Bool},
    {kLanguage, SettingKind::String},         {kSelTab, SettingKind::Int},
    {kSoundVolume, SettingKind::Int},         {kCurChannel, SettingKind::String},
    {kUpdateServer, SettingKind::String},     {kAutoFallback, SettingKind::Bool},
    {kSettingsRevision, SettingKind::Int},    {kGuideSources, SettingKind::String},
    {kGuideLimitMb, SettingKind::Int},        {kTimeshiftMinutes, SettingKind::Int},
    {kAccountServer, SettingKind::String},    {kAccountUser, SettingKind::String},
    {kAccountShowAdult, SettingKind::Bool},   {kAudioLanguage, SettingKind::String},
    {kSubtitleLanguage, SettingKind::String}, {kRecordMarginMinutes, SettingKind::Int},
    {kRecordMostAtOnce, SettingKind::Int},
}};

// The kind of a known setting; none for a name the program does not use.
constexpr std::optional<SettingKind> KnownSettingKind(std::string_view name) {
    for (const auto& [known, kind] : kSettingKinds) {
        if (known == name)
            return kind;
    }
    return std::nullopt;
}

}  // namespace lumora
