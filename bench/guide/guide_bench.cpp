// The guide import and the guide store's queries.
//
// A generated guide of 10,000 channels x 50 programmes (about 190 MB of
// XML, gzip): the whole import into a store (unpack, parse, stage,
// normalise, index, put in place) against a plain expat + zlib pass over
// the same file that only counts elements (xmltv_floor.cpp), both as
// child processes, their CPU time alternated, medians of three; the
// import's peak memory against the same program importing a tiny guide.
// Then, on stores of that guide and of a guide of 100,000 channels: the
// first now and next of each (it takes the store's packed timeline into
// memory), now and next for 100,000 channels, and the programmes of 50
// channels over 6 hours.

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "../bench_results.h"
#include "guide/guide_import.h"
#include "guide/guide_store.h"
#include "guide/guide_time.h"
#include "xmltv_floor.h"

namespace lumora {
namespace {

constexpr int kChannels = 10000;
constexpr int kProgrammes = 50;
// About 380 bytes of XML a programme: 10,000 x 280 is about 1 GB unpacked.
constexpr int kHugeProgrammes = 280;
constexpr int kQueryChannels = 100000;
constexpr int kQueryProgrammes = 12;

std::string Stamp(std::int64_t utc) {
    std::string stamp;
    for (char c : FormatUtcTime(utc)) {
        if (c >= '0' && c <= '9')
            stamp += c;
    }
    return stamp + " +0000";
}

std::string ChannelId(int channel) {
    return "ch" + std::to_string(channel) + ".example";
}

// A guide as real ones look: channels first, then each channel's
// programmes in time order with title, sub-title, a description and a
// category; half-hour programmes from `from` on.
bool WriteGuide(const std::string& path, int channels, int programmes, std::int64_t from) {
    gzFile file = gzopen(path.c_str(), "wb6");
    if (file == nullptr)
        return false;
    gzbuffer(file, 1 << 20);
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE tv SYSTEM \"xmltv.dtd\">\n"
        "<tv generator-info-name=\"lumora-bench\">\n";
    for (int c = 0; c < channels; ++c) {
        text += "  <channel id=\"" + ChannelId(c) + "\">\n    <display-name lang=\"en\">Channel " +
                std::to_string(c) + "</display-name>\n    <icon src=\"http://icons.example/" +
                std::to_string(c) + ".png\"/>\n  </channel>\n";
    }
    gzwrite(file, text.data(), static_cast<unsigned>(text.size()));
    for (int c = 0; c < channels; ++c) {
        text.clear();
        for (int p = 0; p < programmes; ++p) {
            const std::int64_t start = from + p * 1800;
            text += "  <programme start=\"" + Stamp(start) + "\" stop=\"" + Stamp(start + 1800) +
                    "\" channel=\"" + ChannelId(c) + "\">\n    <title lang=\"en\">Programme " +
                    std::to_string(p) + " of channel " + std::to_string(c) +
                    "</title>\n    <sub-title lang=\"en\">Episode " + std::to_string(p % 13) +
                    "</sub-title>\n    <desc lang=\"en\">A generated description of the "
                    "programme, as long as the ones real guides carry for an evening show: who "
                    "is in it, what happens, and when it was made. " +
                    std::to_string(c * 31 + p) +
                    "</desc>\n    <category lang=\"en\">Entertainment</category>\n"
                    "  </programme>\n";
        }
        gzwrite(file, text.data(), static_cast<unsigned>(text.size()));
    }
    gzwrite(file, "</tv>\n", 6);
    return gzclose(file) == Z_OK;
}

bool Import(const std::string& guide, const std::string& store) {
    GuideImportOptions options;
    options.now = static_cast<std::int64_t>(std::time(nullptr));
    std::string error;
    auto import = GuideImport::Begin(store, options, error);
    if (import && ImportGuideFile(*import, guide) && import->Commit(std::nullopt))
        return true;
    std::fprintf(stderr, "import failed: %s\n", import ? import->Error().c_str() : error.c_str());
    return false;
}

struct ChildRun {
    bool ok = false;
    double cpuSeconds = 0;
    double peakMegabytes = 0;
};

// This program again with `args`, its CPU time and peak memory.
ChildRun RunChild(const std::vector<std::string>& args) {
    ChildRun run;
    const pid_t child = ::fork();
    if (child == 0) {
        std::vector<char*> argv;
        std::string self = "/proc/self/exe";
        argv.push_back(self.data());
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv("/proc/self/exe", argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child)
        return run;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.peakMegabytes = double(usage.ru_maxrss) / 1024.0;
    return run;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double ThreadCpuMilliseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double HeapMegabytes() {
    const struct mallinfo2 heap = ::mallinfo2();
    return double(heap.uordblks + heap.hblkhd) / 1e6;
}

// The first now and next of a store takes its timeline into memory: what
// that costs in time and in memory that stays.
void PrintFirstNowAndNext(const char* what, GuideStore& store, std::int64_t at) {
    const double heapBefore = HeapMegabytes();
    const double started = ThreadCpuMilliseconds();
    store.NowAndNextOf({ChannelId(0)}, at);
    std::printf("%s: first now and next %.1f ms CPU, %.1f MB more heap\n", what,
                ThreadCpuMilliseconds() - started, HeapMegabytes() - heapBefore);
}

// A fixed shuffle: the player asks in its own order, which need not be
// the store's.
void Shuffle(std::vector<std::string>& names) {
    std::uint32_t seed = 1;
    for (std::size_t i = names.size(); i > 1; --i) {
        seed = seed * 1103515245u + 12345u;
        std::swap(names[i - 1], names[seed % i]);
    }
}

// The median CPU time of the work (the machine is shared), after one run
// that warms the caches; the wall time's median is printed beside it.
double CpuMillisecondsOf(const char* what, auto&& work, int repeats) {
    work();
    std::vector<double> cpu, wall;
    for (int i = 0; i < repeats; ++i) {
        const auto started = std::chrono::steady_clock::now();
        const double cpuStarted = ThreadCpuMilliseconds();
        work();
        cpu.push_back(ThreadCpuMilliseconds() - cpuStarted);
        wall.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
                .count());
    }
    std::printf("%s: %.2f ms CPU, %.2f ms wall (medians of %d)\n", what, Median(cpu), Median(wall),
                repeats);
    return Median(cpu);
}

int RunAll() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lumora-guide-XXXXXX").string();
    const std::filesystem::path folder = ::mkdtemp(pattern.data());
    const std::string bigGuide = folder / "guide.xml.gz";
    const std::string tinyGuide = folder / "tiny.xml.gz";
    const std::string queryGuide = folder / "query.xml.gz";
    const std::string store = folder / "guide.sqlite";
    const std::string queryStore = folder / "query.sqlite";
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr)) / 3600 * 3600;
    const std::int64_t from = now - 12 * 3600;
    int failures = 0;

    if (!WriteGuide(bigGuide, kChannels, kProgrammes, from) || !WriteGuide(tinyGuide, 2, 2, from) ||
        !WriteGuide(queryGuide, kQueryChannels, kQueryProgrammes, now - 3 * 3600)) {
        std::fprintf(stderr, "cannot write the guides in %s\n", folder.c_str());
        return 1;
    }
    std::printf("guide: %d channels x %d programmes, %.1f MB gzip\n", kChannels, kProgrammes,
                double(std::filesystem::file_size(bigGuide)) / 1e6);

    std::vector<double> importTimes, floorTimes, importPeaks, tinyPeaks;
    for (int round = 0; round < 3; ++round) {
        const ChildRun floor = RunChild({"floor", bigGuide});
        const ChildRun import = RunChild({"import", bigGuide, store});
        const ChildRun tiny = RunChild({"import", tinyGuide, folder / "tiny.sqlite"});
        if (!floor.ok || !import.ok || !tiny.ok) {
            std::fprintf(stderr, "a child run failed\n");
            return 1;
        }
        floorTimes.push_back(floor.cpuSeconds * 1000);
        importTimes.push_back(import.cpuSeconds * 1000);
        importPeaks.push_back(import.peakMegabytes);
        tinyPeaks.push_back(tiny.peakMegabytes);
        std::printf(
            "round %d: import %.0f ms CPU (%.1f MB peak), floor %.0f ms CPU, tiny import "
            "%.1f MB peak\n",
            round, import.cpuSeconds * 1000, import.peakMegabytes, floor.cpuSeconds * 1000,
            tiny.peakMegabytes);
    }
    bench::RecordRatio("guide import 10,000 ch x 50 gzip vs expat+zlib count (CPU)",
                       Median(importTimes), Median(floorTimes), "ms", 3.0);
    bench::RecordAtMost("guide import peak memory above a tiny guide's",
                        Median(importPeaks) - Median(tinyPeaks), "MB", 64);

    if (!Import(queryGuide, queryStore))
        return 1;
    std::string error;
    auto queries = GuideStore::Open(queryStore, error);
    auto guide = GuideStore::Open(store, error);
    if (!queries || !guide) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    PrintFirstNowAndNext("10,000 ch x 50 store", *guide, now);
    PrintFirstNowAndNext("100,000 ch x 12 store", *queries, now);
    std::vector<std::string> all;
    for (int c = 0; c < kQueryChannels; ++c)
        all.push_back(ChannelId(c));
    std::size_t on = 0;
    const double nowNext = CpuMillisecondsOf(
        "now and next",
        [&] {
            on = 0;
            for (const NowAndNext& row : queries->NowAndNextOf(all, now + 1234))
                on += row.now && row.next ? 1 : 0;
        },
        7);
    if (on != all.size()) {
        std::fprintf(stderr, "now and next found for %zu of %zu channels\n", on, all.size());
        ++failures;
    }
    bench::RecordAtMost("guide now and next, 100,000 channels (CPU)", nowNext, "ms", 50);
    std::vector<std::string> shuffled = all;
    Shuffle(shuffled);
    CpuMillisecondsOf(
        "now and next, the same channels shuffled",
        [&] { queries->NowAndNextOf(shuffled, now + 1234); }, 7);

    std::size_t listed = 0;
    const double range = CpuMillisecondsOf(
        "50 channels over 6 hours",
        [&] {
            listed = 0;
            for (int c = 0; c < 50; ++c)
                listed += guide->ProgrammesBetween(ChannelId(c * 197), now, now + 6 * 3600).size();
        },
        21);
    if (listed != 50 * 12) {
        std::fprintf(stderr, "%zu programmes listed, 600 expected\n", listed);
        ++failures;
    }
    bench::RecordAtMost("guide programmes of 50 channels over 6 hours (CPU)", range, "ms", 5);
    guide.reset();
    queries.reset();
    std::filesystem::remove(store);
    std::filesystem::remove(queryStore);

    // A guide of about 1 GB unpacked (the largest real ones) stays within
    // the same memory bound.
    const std::string hugeGuide = folder / "huge.xml.gz";
    if (!WriteGuide(hugeGuide, kChannels, kHugeProgrammes, from)) {
        std::fprintf(stderr, "cannot write the 1 GB guide in %s\n", folder.c_str());
        return 1;
    }
    const ChildRun huge = RunChild({"import", hugeGuide, folder / "huge.sqlite"});
    if (!huge.ok) {
        std::fprintf(stderr, "the 1 GB import failed\n");
        ++failures;
    }
    std::printf("1 GB guide (%d x %d, %.1f MB gzip): import %.0f ms CPU, %.1f MB peak\n", kChannels,
                kHugeProgrammes, double(std::filesystem::file_size(hugeGuide)) / 1e6,
                huge.cpuSeconds * 1000, huge.peakMegabytes);
    bench::RecordAtMost("guide import peak memory, 1 GB unpacked, above a tiny guide's",
                        huge.peakMegabytes - Median(tinyPeaks), "MB", 64);

    std::filesystem::remove_all(folder);
    return failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace lumora

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "floor")
        return lumora::bench::CountGuideElements(args[1]) > 0 ? 0 : 1;
    if (args.size() == 3 && args[0] == "import")
        return lumora::Import(args[1], args[2]) ? 0 : 1;
    // Now and next on a store alone, to look at the queries closely: the
    // channels in the store's order, or shuffled.
    if ((args.size() == 3 || args.size() == 4) && args[0] == "now") {
        std::string error;
        auto store = lumora::GuideStore::Open(args[1], error);
        if (!store)
            return 1;
        std::vector<std::string> all;
        for (int c = 0; c < std::atoi(args[2].c_str()); ++c)
            all.push_back(lumora::ChannelId(c));
        if (args.size() == 4 && args[3] == "shuffled")
            lumora::Shuffle(all);
        const std::int64_t at = std::time(nullptr);
        lumora::PrintFirstNowAndNext("store", *store, at);
        lumora::CpuMillisecondsOf(
            "now and next", [&] { store->NowAndNextOf(all, at); }, 21);
        return 0;
    }
    // The big guide alone, to look at one import closely.
    if (args.size() == 3 && args[0] == "write")
        return lumora::WriteGuide(args[1], std::atoi(args[2].c_str()), lumora::kQueryProgrammes,
                                  std::time(nullptr) / 3600 * 3600 - 3 * 3600)
                   ? 0
                   : 1;
    if (args.size() == 2 && args[0] == "write")
        return lumora::WriteGuide(args[1], lumora::kChannels, lumora::kProgrammes,
                                  std::time(nullptr) / 3600 * 3600 - 12 * 3600)
                   ? 0
                   : 1;
    return lumora::RunAll();
}
