// Pause, rewind and catch-up as the user feels them, on loopback streams:
//
//   timeshift_probe catchup URL
//       a programme from the archive: Play() to its first picture, ms
//   timeshift_probe buffer URL SECONDS WINDOW FOLDER
//       plays a live stream for SECONDS with a back buffer of WINDOW
//       seconds in FOLDER (0: none), then rewinds 30 s three times; prints
//       the peak memory, the buffer's bytes on disk, and each rewind's time
//       to its first picture
//
// timeshift_bench.sh serves the streams, runs both and writes the rows.

#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include "player/media_player_host.h"
#include "player/video_widget.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename Done>
bool RunUntil(Done done, double seconds) {
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.start(int(seconds * 1000));
    while (!done()) {
        if (!deadline.isActive())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The bytes of this process's open files in `folder`, named or not.
long long BytesOpenIn(const std::string& folder) {
    long long bytes = 0;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
        struct stat info {};
        if (!error && target.starts_with(folder) && ::stat(fd.path().c_str(), &info) == 0)
            bytes += info.st_blocks * 512LL;
    }
    return bytes;
}

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int Catchup(lumora::MediaPlayerHost& host, const char* url) {
    const auto started = Clock::now();
    host.Play(QString::fromUtf8(url).toStdU16String());
    if (!RunUntil([&] { return host.Video()->FramesRendered() > 0; }, 10)) {
        std::fprintf(stderr, "no picture from %s\n", url);
        return 1;
    }
    std::printf("catchup_first_picture_ms %.1f\n", MillisecondsSince(started));
    return 0;
}

int Buffer(lumora::MediaPlayerHost& host, const char* url, double seconds, int window,
           const std::string& folder) {
    host.SetTimeshift(window, folder);
    const auto started = Clock::now();
    host.Play(QString::fromUtf8(url).toStdU16String());
    if (!RunUntil([&] { return host.Position().known; }, 10)) {
        std::fprintf(stderr, "no picture from %s\n", url);
        return 1;
    }
    RunUntil([] { return false; }, seconds);
    std::printf("elapsed_s %.1f\n", MillisecondsSince(started) / 1000);
    std::printf("buffer_bytes %lld\n", window > 0 ? BytesOpenIn(folder) : 0LL);
    if (window > 0) {
        for (int i = 0; i < 3; ++i) {
            const lumora::PlaybackPosition at = host.Position();
            const int seeks = host.SeeksDone();
            const auto started = Clock::now();
            host.SeekTo(lumora::ClampedSeek(at, at.position - lumora::kSeekStepSeconds, window));
            if (!RunUntil([&] { return host.SeeksDone() > seeks; }, 10)) {
                std::fprintf(stderr, "the rewind showed no picture\n");
                return 1;
            }
            std::printf("rewind_ms %.1f\n", MillisecondsSince(started));
            RunUntil([] { return false; }, 1.0);
        }
    }
    std::printf("peak_rss_kb %ld\n", PeakRssKb());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget parent;
    parent.resize(640, 400);
    parent.show();
    lumora::MediaPlayerHost::Started started = lumora::MediaPlayerHost::Create(
        &parent, QRect(0, 0, 640, 360), lumora::PlayerOptions{"null"});
    if (!started.host) {
        std::fprintf(stderr, "no player\n");
        return 1;
    }
    started.host->Window()->show();
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "catchup" && argc == 3)
        return Catchup(*started.host, argv[2]);
    if (mode == "buffer" && argc == 6)
        return Buffer(*started.host, argv[2], std::atof(argv[3]), std::atoi(argv[4]), argv[5]);
    std::fprintf(stderr, "usage: timeshift_probe catchup URL | buffer URL SECONDS WINDOW FOLDER\n");
    return 2;
}
