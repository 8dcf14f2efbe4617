#include "catalogue/text_fallbacks.h"

#include <functional>
#include <map>

namespace lumora {

namespace {

using FallbackTable = std::map<std::string_view, std::u16string, std::less<>>;

// The texts of data/languages/en.json; a test keeps the two equal.
const FallbackTable& Table() {
    static const FallbackTable table = {
        {"check_fallback", u"Try other streams when one fails"},
        {"menu_streams", u"Streams"},
        {"menu_update_guide", u"Update guide"},
        {"msg_error_save", u"The channel list could not be saved."},
        {"msg_guide_failed", u"The guide could not be updated."},
        {"msg_more_entries", u"%d more entries of the channel catalogue were not accepted."},
        {"msg_player_failed", u"The media player could not be started. Channels cannot be played."},
        {"msg_use_playlist", u"Use this playlist as your channel source?\n\n%s"},
        {"msg_video_failed",
         u"The video output could not be started. Channels play with sound only."},
        {"static_channel_source", u"Channel source"},
        {"static_guide", u"Guide"},
        {"static_search", u"Search:"},
        {"str_address_refused", u"This address cannot be played."},
        {"str_guide_updating", u"Updating the guide\u2026"},
        {"str_playlist_unusable",
         u"The playlist could not be read or has no stream that can be played."},
        {"str_save_failed", u"The settings could not be saved to %s: %s"},
        {"str_status_buffering", u"Buffering %d%%"},
        {"str_status_cannot_connect", u"Cannot connect"},
        {"str_status_cannot_play", u"Cannot play stream"},
        {"str_status_connecting", u"Connecting..."},
        {"str_status_lost", u"Stream lost"},
        {"str_status_no_stream", u"This channel has no stream address."},
        {"str_status_not_found", u"Stream not found"},
        {"str_status_playing", u"Playing"},
        {"str_status_stopped", u"Stopped"},
        {"str_status_trying", u"Trying stream %d of %d..."},
        {"str_status_unknown_format", u"Unrecognized stream format"},
        {"menu_details", u"Details"},
        {"menu_guide", u"TV guide"},
        {"menu_watch", u"Watch"},
        {"msg_programme_ended",
         u"This programme has ended, and the channel keeps no archive of it."},
        {"msg_programme_not_started", u"This programme has not started yet."},
        {"static_programme_category", u"Category:"},
        {"static_programme_channel", u"Channel:"},
        {"static_programme_episode", u"Episode:"},
        {"static_programme_rating", u"Rating:"},
        {"static_programme_time", u"Time:"},
        {"str_guide_no_programme", u"No programme information"},
        {"menu_pause", u"Pause"},
        {"menu_resume", u"Resume"},
        {"menu_live", u"Back to live"},
        {"str_paused", u"Paused"},
        {"str_live", u"Live"},
        {"static_timeshift", u"Pause live TV, minutes (0: off)"},
        {"menu_watch_from_start", u"Watch from start"},
        {"str_not_live", u"Not live"},
        {"str_catchup_unavailable", u"This programme cannot be played from the archive."},
        {"str_catchup_failed", u"The archive could not be played"},
        {"msg_catchup_live",
         u"The programme could not be played from the provider's archive. Watch the channel live "
         u"instead?"},
        {"menu_tracks", u"Tracks"},
        {"msg_no_other_tracks", u"This stream has no other audio or subtitle tracks."},
        {"menu_record", u"Record"},
        {"menu_recordings", u"Recordings"},
        {"menu_delete", u"Delete"},
        {"msg_recording_delete",
         u"Delete this entry? A scheduled recording is cancelled, a running one stopped, and a "
         u"recorded file deleted."},
        {"str_no_recordings", u"No recordings"},
        {"str_rec_scheduled", u"scheduled"},
        {"str_rec_running", u"recording"},
        {"str_rec_done", u"recorded"},
        {"str_rec_failed", u"failed"},
        {"str_rec_missed", u"missed"},
        {"str_reminder", u"reminder"},
        {"str_reminded", u"reminded"},
        {"menu_remind", u"Remind me"},
        {"msg_reminder_set",
         u"You will be reminded a minute before the programme starts, while Lumora is running."},
        {"msg_reminder_already", u"A reminder for this programme is already set."},
        {"str_reminder_body", u"Starts in a minute on %s"},
        {"msg_recording_too_many",
         u"As many recordings as the settings allow are running already."},
        {"msg_recording_scheduled",
         u"The programme will be recorded. Lumora must be running at the time."},
        {"msg_recording_started", u"The programme is on now: its recording has started."},
        {"msg_recording_already", u"This programme is already being recorded or scheduled."},
        {"menu_stop_recording", u"Stop recording"},
        {"msg_recording_cannot_start",
         u"This channel cannot be recorded: the recordings folder could not be made or the "
         u"channel has no stream."},
        {"msg_recording_failed",
         u"The recording ended early: the disk is full, the file could not be written or the "
         u"stream was lost. What was recorded is kept."},
        {"static_audio_language", u"Audio:"},
        {"static_subtitle_language", u"Subtitles:"},
        {"str_language_auto", u"Automatic"},
        {"str_track_number", u"Track %d"},
        {"str_tracks_audio", u"Audio"},
        {"str_tracks_off", u"Off"},
        {"str_tracks_subtitles", u"Subtitles"},
        {"str_stop", u"Stop"},
        {"str_volume", u"Volume"},
        {"str_position", u"Position"},
        {"str_favorite", u"Favorite"},
        {"static_account", u"Provider account"},
        {"str_account_user", u"User name"},
        {"str_account_password", u"Password"},
        {"str_account_password_kept", u"Password (kept)"},
        {"msg_account_password_file",
         u"No secret store of the desktop is used: the password is kept in a file of Lumora's that "
         u"only you can read."},
        {"msg_account_refused",
         u"The provider refused the user name or password. The channel list stays as it was."},
        {"msg_account_expired",
         u"The provider account has expired or is disabled. The channel list stays as it was."},
        {"str_recording_refused",
         u"Not one of Lumora's recordings: only files in the recordings folder play"},
        {"str_recording_missing", u"The recording's file is gone"},
        {"msg_recording_no_file",
         u"Nothing of this entry was recorded, so there is nothing to play."},
        {"static_record_margin", u"Extra minutes after the end"},
        {"static_record_at_once", u"Recordings at the same time"},
        {"str_rec_gaps", u"gaps: %d"},
        {"str_rec_gap", u"at %s for %d s"},
        {"str_video", u"Video"},
        {"button_check_account", u"Check account"},
        {"check_show_adult", u"Show adult channels"},
        {"str_account_checking", u"Checking..."},
        {"str_account_active", u"Active"},
        {"str_account_active_until", u"Active until %s"},
        {"str_account_expired", u"Expired"},
        {"str_account_disabled", u"Disabled by the provider"},
        {"str_account_refused", u"Wrong user name or password"},
        {"str_account_unreachable", u"Server not reachable"},
        {"str_account_not_provider", u"The server does not answer as a provider does"},
    };
    return table;
}

}  // namespace

const std::u16string* EnglishFallback(std::string_view key) {
    const FallbackTable& table = Table();
    auto found = table.find(key);
    return found == table.end() ? nullptr : &found->second;
}

bool HasEnglishFallbackStartingWith(std::string_view prefix) {
    const FallbackTable& table = Table();
    auto found = table.lower_bound(prefix);
    return found != table.end() && found->first.starts_with(prefix);
}

}  // namespace lumora
