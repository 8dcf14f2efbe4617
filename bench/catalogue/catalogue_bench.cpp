// The catalogue's load and filter costs, as ratios to reading the same file
// as a plain document in the same run.
//
// A generated catalogue: 10,000 channels in 50 countries, one to three
// streams each, a language pack with country and category names, and
// settings as the program writes them: a child for every channel, 2,000 of
// them favourites. Targets: the whole load (build, state, sort) at most 1.5x
// the plain tree read; one filter pass under 1% of the load; reading the
// settings with their 10,000 channel children at most 0.2x the load.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "bench/bench_results.h"
#include "catalogue/catalogue.h"
#include "catalogue/channel_views.h"
#include "catalogue/languages.h"
#include "catalogue/settings.h"
#include "document/doc_node.h"
#include "document/text_encoding.h"

namespace lumora {
namespace {

constexpr int kCountries = 50;
constexpr int kChannelsPerCountry = 200;
constexpr int kFavourites = 2000;
// The whole load (read, build, state, sort) against reading the file as a
// document tree only; one filter pass against the load.
constexpr double kLoadToReadTarget = 1.5;
constexpr double kFilterToLoadTarget = 0.01;
// The settings are read before the catalogue load can start.
constexpr double kSettingsToLoadTarget = 0.2;
constexpr const char* kCategories[] = {"l", "mu", "n", "r", "sp", "e", "mo", "k", "ad"};

std::string CountryCode(int i) {
    return {char('a' + i / 26), char('a' + i % 26)};
}

struct Fixture {
    std::filesystem::path folder;
    std::u16string cataloguePath;
    std::u16string settingsPath;

    Fixture() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "lumora-bench-XXXXXX").string();
        folder = mkdtemp(pattern.data());
        cataloguePath = FromUtf8((folder / "Channels.lmch").string());
        settingsPath = FromUtf8((folder / "Settings.cfg").string());
        WriteCatalogue();
        WriteLanguages();
        WriteSettings();
        ResetSettings();
        LoadSettings(settingsPath);
        LoadLanguages(FromUtf8((folder / "Languages.lngp").string()));
    }
    ~Fixture() { std::filesystem::remove_all(folder); }

    void WriteCatalogue() const {
        DocNode root("2024.12.1");
        for (int c = 0; c < kCountries; ++c) {
            DocNode* country = root.AddChild(CountryCode(c));
            for (int n = 0; n < kChannelsPerCountry; ++n) {
                std::string key = "ch" + std::to_string(n);
                DocNode* channel = country->AddChild(key);
                channel->SetWString("n", u"Channel " + FromUtf8(std::to_string((n * 7919) % 1000)) +
                                             u" " + FromUtf8(CountryCode(c)));
                channel->SetString("p", "p");
                channel->SetString("c", kCategories[(c + n) % 9]);
                for (int s = 0; s <= n % 3; ++s) {
                    DocNode* stream = channel->AddChild(std::to_string(s));
                    stream->SetInt("b", 300 + 100 * s);
                    stream->SetWString("u", u"http://streams.example.net/" +
                                                FromUtf8(CountryCode(c) + "/" + key) + u"/" +
                                                FromUtf8(std::to_string(s)) + u".m3u8");
                }
            }
        }
        root.SaveToFile(cataloguePath);
    }

    void WriteLanguages() const {
        DocNode root("lang_doc_1.0");
        DocNode* english = root.AddChild("lang_0");
        english->SetWString("language", u"English");
        english->SetWString("ext", u"en");
        for (int c = 0; c < kCountries; ++c)
            english->AddChild("c_" + CountryCode(c))
                ->SetWString("text", u"Country " + FromUtf8(CountryCode(c)));
        for (const char* key : kCategories)
            english->AddChild(std::string("cat_") + key)
                ->SetWString("text", u"Category " + FromUtf8(key));
        english->AddChild("str_kb")->SetWString("text", u"kb");
        for (int i = 0; i < 200; ++i)
            english->AddChild("menu_item_" + std::to_string(i))->SetWString("text", u"Item");
        root.SaveToFile(FromUtf8((folder / "Languages.lngp").string()));
    }

    void WriteSettings() const {
        DocNode root("set");
        DocNode* options = root.AddChild("options");
        options->SetWString("Language", u"en");
        options->SetWString("cur_channel", u"bb_ch17");
        DocNode* channels = root.AddChild("channels");
        // A child for every channel; every fifth is a favourite, every
        // tenth on its second stream.
        for (int index = 0; index < kCountries * kChannelsPerCountry; ++index) {
            DocNode* state = channels->AddChild(CountryCode(index / kChannelsPerCountry) + "_ch" +
                                                std::to_string(index % kChannelsPerCountry));
            if (index % 5 == 0)
                state->SetBool("f", true);
            if (index % 10 == 0)
                state->SetInt("cu", 1);
        }
        root.SaveToFile(settingsPath);
    }
};

Fixture& TheFixture() {
    static Fixture fixture;
    return fixture;
}

// Both loads keep their result alive until the next round: freeing it is
// shut-down work, not loading, and is left out of the timing.
void BM_ReadDocument(benchmark::State& state) {
    const std::u16string& path = TheFixture().cataloguePath;
    for (auto _ : state) {
        auto document = std::make_unique<DocNode>();
        bool read = document->LoadFromFile(path);
        benchmark::DoNotOptimize(read);
        state.PauseTiming();
        document.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ReadDocument)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_LoadCatalogue(benchmark::State& state) {
    const std::u16string& path = TheFixture().cataloguePath;
    for (auto _ : state) {
        auto catalogue = std::make_unique<Catalogue>();
        bool loaded = catalogue->LoadCatalogue(path);
        benchmark::DoNotOptimize(loaded);
        state.PauseTiming();
        if (AllChannels().size() != kCountries * kChannelsPerCountry ||
            FavouriteChannels().size() != kFavourites)
            state.SkipWithError("the catalogue was not built completely");
        catalogue.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadCatalogue)->Unit(benchmark::kMillisecond)->Repetitions(5);

// The whole settings file with its per-channel state, as at start-up.
void BM_LoadSettings(benchmark::State& state) {
    const std::u16string& path = TheFixture().settingsPath;
    for (auto _ : state) {
        ResetSettings();
        LoadSettings(path);
        benchmark::DoNotOptimize(SavedChannelStates().get());
    }
    if (SavedChannelStates()->Size() != kCountries * kChannelsPerCountry)
        state.SkipWithError("the settings were not read completely");
}
BENCHMARK(BM_LoadSettings)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_FilterOneCountry(benchmark::State& state) {
    Catalogue catalogue;
    catalogue.LoadCatalogue(TheFixture().cataloguePath);
    const Country* country = catalogue.Countries().at(CountryCode(17)).get();
    for (auto _ : state) {
        std::vector<Channel*> channels = FilterChannels(country, nullptr);
        benchmark::DoNotOptimize(channels.data());
    }
}
BENCHMARK(BM_FilterOneCountry)->Unit(benchmark::kMicrosecond)->Repetitions(5);

void BM_FilterOneCategory(benchmark::State& state) {
    Catalogue catalogue;
    catalogue.LoadCatalogue(TheFixture().cataloguePath);
    const Category* category = catalogue.FindCategory("sp");
    for (auto _ : state) {
        std::vector<Channel*> channels = FilterChannels(nullptr, category);
        benchmark::DoNotOptimize(channels.data());
    }
}
BENCHMARK(BM_FilterOneCategory)->Unit(benchmark::kMicrosecond)->Repetitions(5);

void BM_SortAllChannels(benchmark::State& state) {
    Catalogue catalogue;
    catalogue.LoadCatalogue(TheFixture().cataloguePath);
    std::vector<Channel*> shuffled = AllChannels();
    std::mt19937 random(7);
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    for (auto _ : state) {
        state.PauseTiming();
        AllChannels() = shuffled;
        state.ResumeTiming();
        SortAllChannels();
    }
}
BENCHMARK(BM_SortAllChannels)->Unit(benchmark::kMillisecond)->Repetitions(5);

// Keeps each benchmark's median wall and CPU time per iteration over the
// repetitions, in nanoseconds, for the ratios. On a busy machine the CPU
// times are the steadier figure.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median" ||
                run.error_occurred || run.iterations <= 0)
                continue;
            std::string name = run.run_name.function_name;
            wall[name] = run.real_accumulated_time * 1e9 / double(run.iterations);
            cpu[name] = run.cpu_accumulated_time * 1e9 / double(run.iterations);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    std::map<std::string, double> wall;
    std::map<std::string, double> cpu;
};

void PrintRatios(const char* kind, const std::map<std::string, double>& times) {
    std::printf("\n%s time:\n", kind);
    auto time = [&](const char* name) {
        auto found = times.find(name);
        return found == times.end() ? 0.0 : found->second;
    };
    double read = time("BM_ReadDocument");
    double load = time("BM_LoadCatalogue");
    double country = time("BM_FilterOneCountry");
    double category = time("BM_FilterOneCategory");
    if (read <= 0 || load <= 0)
        return;
    std::printf("load / plain read:        %.2fx   (target <= 3x)\n", load / read);
    if (country > 0)
        std::printf("country filter / load:    %.3f%%  (target < 1%%)\n", 100 * country / load);
    if (category > 0)
        std::printf("category filter / load:   %.3f%%  (target < 1%%)\n", 100 * category / load);
    if (double sort = time("BM_SortAllChannels"); sort > 0)
        std::printf("sort / load:              %.1f%%\n", 100 * sort / load);
}

// The table's rows, from the CPU times: the steadier figure on a busy machine.
void RecordTargets(const std::map<std::string, double>& cpu) {
    auto time = [&](const char* name) {
        auto found = cpu.find(name);
        return found == cpu.end() ? 0.0 : found->second / 1e6;  // ms
    };
    const double read = time("BM_ReadDocument");
    const double load = time("BM_LoadCatalogue");
    if (read <= 0 || load <= 0)
        return;
    bench::RecordRatio("catalogue load, 10,000 channels, vs its document tree read (CPU)", load,
                       read, "ms", kLoadToReadTarget);
    if (const double settings = time("BM_LoadSettings"); settings > 0)
        bench::RecordRatio("settings load, 10,000 channel children, vs the catalogue load (CPU)",
                           settings, load, "ms", kSettingsToLoadTarget);
    if (const double country = time("BM_FilterOneCountry"); country > 0)
        bench::RecordRatio("country filter, 10,000 channels, vs the load (CPU)", country, load,
                           "ms", kFilterToLoadTarget);
    if (const double category = time("BM_FilterOneCategory"); category > 0)
        bench::RecordRatio("category filter, 10,000 channels, vs the load (CPU)", category, load,
                           "ms", kFilterToLoadTarget);
}

}  // namespace
}  // namespace lumora

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    lumora::TheFixture();
    lumora::RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    lumora::PrintRatios("wall", reporter.wall);
    lumora::PrintRatios("CPU", reporter.cpu);
    lumora::RecordTargets(reporter.cpu);
    return 0;
}
