// Zap time of the player: from Stop() + Play() to the first video frame rendered by
// the VideoWidget (and, as a counter, to its first paint), on loopback
// streams; and its peak memory while playing.
// bare_mpv_probe measures the same without Qt; player_bench.sh compares.
//
//   player_zap_probe [benchmark flags]   $LUMORA_BENCH_TS, $LUMORA_BENCH_HLS
//   player_zap_probe rss SECONDS URL     prints "peak_rss_kb N"

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <sys/resource.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <benchmark/benchmark.h>

#include "player/media_player_host.h"
#include "player/status_listener.h"
#include "player/video_widget.h"

namespace {

using lumora::VideoWidget;
using Clock = std::chrono::steady_clock;

// Runs the UI thread's events until done() or the deadline, sleeping
// between events as the application's own event loop does (a spinning
// loop would take a core from mpv's threads).
template <typename Done>
bool RunUntil(Done done, double seconds) {
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    deadline.start(int(seconds * 1000));
    while (!done()) {
        if (!deadline.isActive())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Notes the frame count when the new stream starts ("Connecting..."), so
// that frames of the old stream still in flight do not count.
struct StartMark : lumora::StatusListener {
    void OnPlayerStatus(const lumora::PlayerReport& report) override {
        if (report.text == u"Connecting..." && video != nullptr && framesAtStart < 0) {
            framesAtStart = video->FramesRendered();
            paintsAtStart = video->FramesPainted();
        }
    }
    const VideoWidget* video = nullptr;
    std::int64_t framesAtStart = -1;
    std::int64_t paintsAtStart = -1;
};

struct Screen {
    Screen() {
        parent.resize(320, 240);
        lumora::PlayerOptions options;
        options.listener = &mark;
        host = lumora::MediaPlayerHost::Create(&parent, QRect(0, 0, 320, 240), options).host;
        if (host) {
            host->Window()->show();
            mark.video = host->Video();
        }
        parent.show();
    }
    StartMark mark;
    QWidget parent;
    std::unique_ptr<lumora::MediaPlayerHost> host;
};

struct ZapTimes {
    double rendered = -1;  // first new frame rendered into the widget's picture
    double painted = -1;   // and painted on screen
};

// One channel change as the view makes it (Stop, then Play), timed from
// the Stop to the first new frame; the previous stream is left playing
// steadily in between, as a user would watch it.
ZapTimes ZapOnce(Screen& screen, const std::u16string& url) {
    lumora::MediaPlayerHost& host = *screen.host;
    const VideoWidget& video = *host.Video();
    const auto steady = video.FramesRendered() + 3;
    RunUntil([&] { return video.FramesRendered() >= steady; }, 1.0);
    screen.mark.framesAtStart = -1;
    const auto start = Clock::now();
    host.Stop();
    host.Play(url);
    ZapTimes times;
    const auto& mark = screen.mark;
    if (!RunUntil(
            [&] { return mark.framesAtStart >= 0 && video.FramesRendered() > mark.framesAtStart; },
            10.0))
        return times;
    times.rendered = std::chrono::duration<double>(Clock::now() - start).count();
    if (RunUntil([&] { return video.FramesPainted() > mark.paintsAtStart; }, 10.0))
        times.painted = std::chrono::duration<double>(Clock::now() - start).count();
    return times;
}

void Zap(benchmark::State& state, const char* variable) {
    const char* url = std::getenv(variable);
    Screen screen;
    if (url == nullptr || (!screen.host || !screen.host->Ready())) {
        state.SkipWithError("no stream address or no mpv");
        return;
    }
    const std::u16string address = QString::fromUtf8(url).toStdU16String();
    double paintedTotal = 0;
    for (auto _ : state) {
        const ZapTimes times = ZapOnce(screen, address);
        if (times.rendered < 0 || times.painted < 0) {
            state.SkipWithError("no frame within 10 s");
            return;
        }
        state.SetIterationTime(times.rendered);
        paintedTotal += times.painted;
    }
    state.counters["painted_ms"] =
        benchmark::Counter(paintedTotal * 1000, benchmark::Counter::kAvgIterations);
}

void BM_PlayerZapTs(benchmark::State& state) {
    Zap(state, "LUMORA_BENCH_TS");
}
void BM_PlayerZapHls(benchmark::State& state) {
    Zap(state, "LUMORA_BENCH_HLS");
}
BENCHMARK(BM_PlayerZapTs)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlayerZapHls)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

int PeakRss(double seconds, const char* url) {
    Screen screen;
    if ((!screen.host || !screen.host->Ready()))
        return 1;
    screen.host->Play(QString::fromUtf8(url).toStdU16String());
    RunUntil([] { return false; }, seconds);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak_rss_kb %ld frames %lld\n", usage.ru_maxrss,
                static_cast<long long>(screen.host->Video()->FramesRendered()));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    if (argc == 4 && std::strcmp(argv[1], "rss") == 0)
        return PeakRss(std::atof(argv[2]), argv[3]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
