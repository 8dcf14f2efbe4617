#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

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

// The user's recordings folder: asks xdg-user-dir, reads $HOME. Not made.
std::filesystem::path RecordingsFolder();

}  // namespace lumora
