#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/track_choice.h"
#include "record/recording_files.h"

#include "player/playback_position.h"

class QWidget;

namespace lumora {

// Request headers one stream needs (from its catalogue entry); empty texts
// leave the player's own.
struct StreamHeaders {
    std::u16string userAgent;
    std::u16string referrer;
};

// An output the program plays through. The base registers itself in the
// OutputRegistry under its name for its whole life and leaves it when it is
// destroyed. Every player operation is a no-op while the output is not
// ready.
//
// Threads: the UI thread only, like the window it owns.
class MediaOutput {
public:
    explicit MediaOutput(std::string name);
    virtual ~MediaOutput();

    MediaOutput(const MediaOutput&) = delete;
    MediaOutput& operator=(const MediaOutput&) = delete;

    // Gives the address, unchanged, to the player and starts it.
    virtual void Play(const std::u16string& url) = 0;
    // The same, sending the headers with this stream's requests only. An
    // output that cannot send headers plays the address without them.
    virtual void PlayStream(const std::u16string& url, const StreamHeaders& headers) {
        (void)headers;
        Play(url);
    }
    // Plays one of the user's recordings: the one kind of local file an
    // output opens, and only as a checked RecordingToPlay. An output that
    // cannot play files plays nothing.
    virtual void PlayRecording(const RecordingToPlay& recording, RecordingGrowth growth) {
        (void)recording;
        (void)growth;
        Stop();
    }
    virtual void Stop() = 0;
    // Places the output's window at client coordinates of its parent,
    // keeping its stacking order. Works whenever the window exists.
    virtual void Move(int x, int y, int width, int height);
    // Volume 0..100.
    virtual void SetVolume(int volume);
    virtual void ToggleFullScreen();
    virtual bool IsFullScreen() const;

    // Pause and rewind. Outputs that cannot do them keep these no-ops.
    // Keeps up to `seconds` of a live stream behind what is shown, on disk
    // in `folder` (0: no such buffer); from the next stream on.
    virtual void SetTimeshift(int seconds, const std::string& folder) {
        (void)seconds;
        (void)folder;
    }
    virtual void SetPaused(bool paused) { (void)paused; }
    // To `position` on the stream's clock (PlaybackPosition::position).
    virtual void SeekTo(double position) { (void)position; }
    virtual PlaybackPosition Position() const { return {}; }
    // Audio and subtitle tracks. An output that cannot choose tracks has
    // none and ignores the rest.
    //
    // The audio and subtitle tracks of the stream that plays, in the
    // stream's order (empty while nothing is loaded).
    virtual std::vector<MediaTrack> Tracks() const { return {}; }
    virtual void SelectAudioTrack(std::int64_t id) { (void)id; }
    // No id: subtitles off.
    virtual void SelectSubtitleTrack(std::optional<std::int64_t> id) { (void)id; }
    // The tracks the next PlayStream (or Play) picks, and every later one
    // until the preference is replaced (the view gives one with each play).
    virtual void SetTrackPreference(const TrackPreference& preference) { (void)preference; }
    // Called on the UI thread whenever Tracks() changed (a stream loaded,
    // a track was selected).
    void SetTracksChangedCallback(std::function<void()> callback) {
        tracksChanged_ = std::move(callback);
    }

    // The output's child window; null until created.
    QWidget* Window() const { return window_; }
    bool Ready() const { return ready_; }
    const std::string& Name() const { return name_; }
    // What could not be started, in the user's language: why the output
    // cannot play at all (not ready), or why it plays without a picture
    // (ready). Empty when everything started.
    const std::u16string& StartFailure() const { return startFailure_; }

protected:
    void NotifyTracksChanged() {
        if (tracksChanged_)
            tracksChanged_();
    }

    QWidget* window_ = nullptr;
    bool ready_ = false;
    std::u16string startFailure_;

private:
    std::string name_;
    std::function<void()> tracksChanged_;
};

}  // namespace lumora
