#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

namespace lumora {

// Where recordings go and what their files are called. Pure functions
// unless said; any thread.

// "Channel – Title – 2026-12-09 20-00.ts" (without the title when there is
// none) for a recording that starts at `localStart`. Characters that some
// file system refuses (/ \ : * ? " < > |, control characters) become "_",
// leading and trailing blanks and dots go, and each name is cut to fit a
// file name (255 bytes) at a character boundary.
std::string RecordingFileName(std::string_view channel, std::string_view title,
                              const std::tm& localStart);

// `videos`/Lumora, where `videos` is what "xdg-user-dir VIDEOS" said; when
// it said nothing, or only the home folder (no videos folder is set up),
// `home`/Videos/Lumora.
std::filesystem::path RecordingsFolderFor(std::string_view videos,
                                          const std::filesystem::path& home);

// `folder`/`name`, or, when a file of that name is there already,
// "NAME (2).ts", "NAME (3).ts" ...: a recording never replaces another.
std::filesystem::path FreeRecordingPath(const std::filesystem::path& folder,
                                        const std::string& name);

// True when `file` is a recording file (".ts") right in `folder`, the only
// files a recording's removal may delete; links are followed first.
bool IsRecordingIn(const std::filesystem::path& file, const std::filesystem::path& folder);

// What CheckRecordingToPlay found.
enum class RecordingFileCheck {
    Playable,
    Missing,        // nothing is there (or the folder is not there)
    NotAFile,       // a folder, a device, a pipe ...
    NotARecording,  // a file that does not end in ".ts"
    OutsideFolder,  // not right in the recordings folder, once links are resolved
};

// A recording the player may open. A local recording is the one kind of
// local file the program plays; it never passes the stream address rule,
// so it reaches the player as this type, and only CheckRecordingToPlay makes
// one that is playable.
class RecordingToPlay {
public:
    RecordingFileCheck Check() const { return check_; }
    bool Playable() const { return check_ == RecordingFileCheck::Playable; }
    // The file with every link resolved (what the player opens); empty
    // unless playable.
    const std::filesystem::path& File() const { return file_; }

private:
    friend RecordingToPlay CheckRecordingToPlay(const std::filesystem::path& file,
                                                const std::filesystem::path& folder);
    RecordingToPlay(RecordingFileCheck check, std::filesystem::path file)
        : check_(check), file_(std::move(file)) {}

    RecordingFileCheck check_;
    std::filesystem::path file_;
};

// Whether `file` may be played as a recording: a regular file ending in
// ".ts" that lies right in `folder` once both are resolved (links, "..").
// A file still being written passes too. Reads the file system only.
RecordingToPlay CheckRecordingToPlay(const std::filesystem::path& file,
                                     const std::filesystem::path& folder);

// A recording that is still being written grows while it plays.
enum class RecordingGrowth { Finished, Growing };

// The user's recordings folder: asks xdg-user-dir, reads $HOME. Not made.
std::filesystem::path RecordingsFolder();

}  // namespace lumora
