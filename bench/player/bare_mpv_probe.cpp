// The reference for player_zap_probe: libmpv with the player's options and
// its software renderer at the same size, without Qt. One thread waits for
// mpv's wake-ups and renders each new frame, as a minimal player would.
//
//   bare_mpv_probe [benchmark flags]   channel change (stop + loadfile) to the first
//                                      new frame of $LUMORA_BENCH_TS, $LUMORA_BENCH_HLS
//   bare_mpv_probe rss SECONDS URL     plays URL, prints "peak_rss_kb N"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include <sys/resource.h>

#include <benchmark/benchmark.h>
#include <mpv/render.h>

#include "player/mpv_handle.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr std::size_t kStride = kWidth * 4;  // 1280: a multiple of 64

class BarePlayer {
public:
    BarePlayer()
        : mpv_(lumora::CreateConfiguredMpv({})),
          pixels_(static_cast<unsigned char*>(std::aligned_alloc(64, kStride * kHeight))) {
        if (!mpv_)
            return;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        if (mpv_render_context_create(&render_, mpv_.get(), params) < 0) {
            render_ = nullptr;
            return;
        }
        mpv_set_wakeup_callback(mpv_.get(), &BarePlayer::Wake, this);
        mpv_render_context_set_update_callback(render_, &BarePlayer::Wake, this);
    }

    ~BarePlayer() {
        if (render_) {
            mpv_render_context_set_update_callback(render_, nullptr, nullptr);
            mpv_render_context_free(render_);
        }
        if (mpv_)
            mpv_set_wakeup_callback(mpv_.get(), nullptr, nullptr);
    }

    bool Ok() const { return render_ != nullptr; }

    void Command(const char* name, const char* argument = nullptr) {
        const char* command[] = {name, argument, nullptr};
        mpv_command_async(mpv_.get(), 0, command);
    }

    // Runs the loop until done() or the deadline; false on timeout.
    template <typename Done>
    bool RunUntil(Done done, double seconds) {
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        while (!done()) {
            if (Clock::now() > deadline)
                return false;
            {
                std::unique_lock lock(mutex_);
                wake_.wait_until(lock, deadline, [this] { return woken_; });
                woken_ = false;
            }
            Pump();
        }
        return true;
    }

    long frames = 0;
    long framesAtStart = -1;  // frame count when the newest file started

private:
    static void Wake(void* context) {
        auto* self = static_cast<BarePlayer*>(context);
        std::lock_guard lock(self->mutex_);
        self->woken_ = true;
        self->wake_.notify_one();
    }

    void Pump() {
        for (;;) {
            mpv_event* event = mpv_wait_event(mpv_.get(), 0);
            if (event->event_id == MPV_EVENT_NONE)
                break;
            if (event->event_id == MPV_EVENT_START_FILE)
                framesAtStart = frames;
        }
        if (mpv_render_context_update(render_) & MPV_RENDER_UPDATE_FRAME) {
            int size[2] = {kWidth, kHeight};
            std::size_t stride = kStride;
            int block = 0;
            mpv_render_param params[] = {
                {MPV_RENDER_PARAM_SW_SIZE, size},
                {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>("bgr0")},
                {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                {MPV_RENDER_PARAM_SW_POINTER, pixels_.get()},
                {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                {MPV_RENDER_PARAM_INVALID, nullptr},
            };
            mpv_render_context_render(render_, params);
            ++frames;
        }
    }

    lumora::MpvHandle mpv_;
    mpv_render_context* render_ = nullptr;
    struct Free {
        void operator()(unsigned char* bytes) const { std::free(bytes); }
    };
    std::unique_ptr<unsigned char, Free> pixels_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool woken_ = false;
};

// One channel change as the player makes it (stop, then loadfile), timed
// to the first new frame; the previous stream plays steadily in between.
double ZapOnce(BarePlayer& player, const char* url) {
    const long steady = player.frames + 3;
    player.RunUntil([&] { return player.frames >= steady; }, 1.0);
    player.framesAtStart = -1;
    const auto start = Clock::now();
    player.Command("stop");
    player.Command("loadfile", url);
    // Frames of the old stream still in flight do not count.
    if (!player.RunUntil(
            [&] { return player.framesAtStart >= 0 && player.frames > player.framesAtStart; },
            10.0))
        return -1;
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void Zap(benchmark::State& state, const char* variable) {
    const char* url = std::getenv(variable);
    BarePlayer player;
    if (url == nullptr || !player.Ok()) {
        state.SkipWithError("no stream address or no mpv");
        return;
    }
    for (auto _ : state) {
        const double seconds = ZapOnce(player, url);
        if (seconds < 0) {
            state.SkipWithError("no frame within 10 s");
            return;
        }
        state.SetIterationTime(seconds);
    }
}

void BM_BareZapTs(benchmark::State& state) {
    Zap(state, "LUMORA_BENCH_TS");
}
void BM_BareZapHls(benchmark::State& state) {
    Zap(state, "LUMORA_BENCH_HLS");
}
BENCHMARK(BM_BareZapTs)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareZapHls)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

int PeakRss(double seconds, const char* url) {
    BarePlayer player;
    if (!player.Ok())
        return 1;
    player.Command("loadfile", url);
    player.RunUntil([] { return false; }, seconds);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak_rss_kb %ld frames %ld\n", usage.ru_maxrss, player.frames);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "rss") == 0)
        return PeakRss(std::atof(argv[2]), argv[3]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
