#include "record/recording_files.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace lumora {
namespace {

constexpr std::string_view kSeparator = " \u2013 ";  // " – "
constexpr std::string_view kExtension = ".ts";
// Room for the two names in a 255-byte file name, beside the separators,
// the time and the extension.
constexpr std::size_t kMaxPartBytes = 100;

bool IsRefused(unsigned char c) {
    return c < 0x20 || c == 0x7F ||
           std::string_view("/\\:*?\"<>|").find(char(c)) != std::string_view::npos;
}

bool IsTrimmed(char c) {
    return c == ' ' || c == '.' || c == '\t';
}

// Cuts at most `limit` bytes without splitting a UTF-8 sequence.
std::string_view CutAtCharacter(std::string_view text, std::size_t limit) {
    if (text.size() <= limit)
        return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

std::string SafePart(std::string_view text) {
    std::string safe;
    safe.reserve(text.size());
    for (char c : text)
        safe += IsRefused(static_cast<unsigned char>(c)) ? '_' : c;
    std::size_t first = 0;
    while (first < safe.size() && IsTrimmed(safe[first]))
        ++first;
    std::size_t last = safe.size();
    while (last > first && IsTrimmed(safe[last - 1]))
        --last;
    std::string_view kept =
        CutAtCharacter(std::string_view(safe).substr(first, last - first), kMaxPartBytes);
    while (!kept.empty() && IsTrimmed(kept.back()))
        kept.remove_suffix(1);
    return std::string(kept);
}

std::string TrimmedLine(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

std::string AskXdgUserDir() {
    struct PipeClose {
        void operator()(std::FILE* pipe) const { pclose(pipe); }
    };
    std::unique_ptr<std::FILE, PipeClose> pipe(popen("xdg-user-dir VIDEOS 2>/dev/null", "r"));
    if (!pipe)
        return {};
    char line[4096] = {};
    if (std::fgets(line, sizeof line, pipe.get()) == nullptr)
        return {};
    return TrimmedLine(line);
}

}  // namespace

std::string RecordingFileName(std::string_view channel, std::string_view title,
                              const std::tm& localStart) {
    char time[64];
    std::snprintf(time, sizeof time, "%04d-%02d-%02d %02d-%02d", localStart.tm_year + 1900,
                  localStart.tm_mon + 1, localStart.tm_mday, localStart.tm_hour, localStart.tm_min);
    std::string name = SafePart(channel);
    if (name.empty())
        name = "Recording";
    if (std::string safeTitle = SafePart(title); !safeTitle.empty())
        name += std::string(kSeparator) + safeTitle;
    return name + std::string(kSeparator) + time + std::string(kExtension);
}

std::filesystem::path RecordingsFolderFor(std::string_view videos,
                                          const std::filesystem::path& home) {
    const std::filesystem::path said(videos);
    if (said.is_absolute() && said.lexically_normal() != home.lexically_normal() &&
        (said / "").lexically_normal() != (home / "").lexically_normal())
        return said / "Lumora";
    return home / "Videos" / "Lumora";
}

std::filesystem::path FreeRecordingPath(const std::filesystem::path& folder,
                                        const std::string& name) {
    std::filesystem::path path = folder / name;
    const std::string stem = std::filesystem::path(name).stem().string();
    const std::string extension = std::filesystem::path(name).extension().string();
    std::error_code error;
    for (int copy = 2; std::filesystem::exists(path, error) && copy < 1000; ++copy)
        path = folder / (stem + " (" + std::to_string(copy) + ")" + extension);
    return path;
}

bool IsRecordingIn(const std::filesystem::path& file, const std::filesystem::path& folder) {
    std::error_code error;
    const std::filesystem::path real = std::filesystem::weakly_canonical(file, error);
    if (error)
        return false;
    const std::filesystem::path home = std::filesystem::weakly_canonical(folder, error);
    if (error || home.empty())
        return false;
    return real.extension() == kExtension && real.parent_path() == home;
}

RecordingToPlay CheckRecordingToPlay(const std::filesystem::path& file,
                                     const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    // canonical, not weakly_canonical: every part must be there, and what
    // is checked is what the player will open.
    const fs::path home = fs::canonical(folder, error);
    if (error || folder.empty())
        return {RecordingFileCheck::Missing, {}};
    const fs::path real = file.empty() ? fs::path() : fs::canonical(file, error);
    if (error || real.empty())
        return {RecordingFileCheck::Missing, {}};
    if (real.parent_path() != home)
        return {RecordingFileCheck::OutsideFolder, {}};
    if (!fs::is_regular_file(real, error) || error)
        return {RecordingFileCheck::NotAFile, {}};
    if (real.extension() != kExtension)
        return {RecordingFileCheck::NotARecording, {}};
    return {RecordingFileCheck::Playable, real};
}

std::filesystem::path RecordingsFolder() {
    const char* home = std::getenv("HOME");
    return RecordingsFolderFor(AskXdgUserDir(), home ? home : "");
}

}  // namespace lumora
