// How fast the channel list is at 100,000 channels, as the user feels it:
// opening it to its first paint, one filter change (all countries to the
// country with the most channels, and back), a country change between the
// two biggest countries and a tab switch, each to the end of its repaint.
// With a programme guide for every channel: a page scroll of the list (new
// rows ask the guide what is on), the programme grid opened over the
// 100,000 channels at the row of the channel playing, and a page step of
// the grid. Each must fit in one frame (16 ms), the grid's opening in
// 100 ms. The figures are medians of the UI
// thread's CPU time per step (wall time is printed too): on a shared
// machine the CPU time is the steady figure, and the channel list does all
// its work on the UI thread.
//
//   dialogs_bench [BUILD_DIR] [benchmark flags]
//
// BUILD_DIR holds Languages.lngp and Resources.velt (default: the build
// this program belongs to); the catalogue is generated: 100,000 channels in
// 200 countries of very different sizes, one to three streams each, and a
// guide of 12 half-hour programmes a channel around now.

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QScreen>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include "bench/bench_results.h"
#include "catalogue/catalogue.h"
#include "catalogue/languages.h"
#include "catalogue/settings.h"
#include "document/doc_node.h"
#include "document/text_encoding.h"
#include "guide/guide_import.h"
#include "resources/resources.h"
#include "shell/app/interface_collation.h"
#include "shell/dialogs/channel_list_dialog.h"
#include "shell/dialogs/channel_list_view.h"
#include "shell/dialogs/guide_grid_dialog.h"
#include "shell/dialogs/guide_grid_view.h"
#include "shell/main_window/programme_guide.h"

namespace {

using Clock = std::chrono::steady_clock;
using lumora::ChannelListDialog;

constexpr int kChannels = 100'000;
constexpr int kCountries = 200;
constexpr double kFrameMs = 16.0;
constexpr double kGridOpenMs = 100.0;
constexpr int kGuideProgrammes = 12;

QString buildDir = QStringLiteral(LUMORA_BUILD_DIR);

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Runs the event loop until the counter has seen one more paint. A window's
// children are painted in the same pass as the window, so this is the end of
// the whole repaint.
void WaitForPaint(PaintCounter& counter, int before) {
    while (counter.paints == before)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// One step's UI-thread CPU time and wall time, from its start to the end of
// its repaint.
class Step {
public:
    Step() : cpu_(ThreadCpuMs()), wall_(Clock::now()) {}
    double CpuMs() const { return ThreadCpuMs() - cpu_; }
    double WallMs() const {
        return std::chrono::duration<double, std::milli>(Clock::now() - wall_).count();
    }

private:
    double cpu_;
    Clock::time_point wall_;
};

struct Samples {
    std::vector<double> cpu;
    std::vector<double> wall;
};
std::map<std::string, Samples>& AllSamples() {
    static std::map<std::string, Samples> samples;
    return samples;
}

void Note(benchmark::State& state, const char* what, const Step& step) {
    const double cpu = step.CpuMs();
    const double wall = step.WallMs();
    Samples& samples = AllSamples()[what];
    samples.cpu.push_back(cpu);
    samples.wall.push_back(wall);
    state.SetIterationTime(wall / 1e3);
}

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The countries' entries in the chooser with the most channels, biggest first.
std::vector<int> BiggestCountries(const QComboBox& countries) {
    std::vector<std::pair<std::size_t, int>> sizes;
    for (int entry = 1; entry < countries.count(); ++entry) {
        const auto* country = countries.itemData(entry).value<const lumora::Country*>();
        sizes.emplace_back(country != nullptr ? country->channels.size() : 0, entry);
    }
    std::sort(sizes.rbegin(), sizes.rend());
    std::vector<int> entries;
    for (const auto& [size, entry] : sizes)
        entries.push_back(entry);
    return entries;
}

void BM_ChannelListOpen(benchmark::State& state) {
    lumora::ZapOrder zapOrder;
    lumora::SetIntSetting("sel_tab", 0);
    for (auto _ : state) {
        {
            const Step step;
            ChannelListDialog dialog(nullptr, zapOrder);
            PaintCounter counter(&dialog);
            dialog.show();
            WaitForPaint(counter, 0);
            Note(state, "open", step);
            state.counters["rows"] = dialog.ChannelList()->RowCount();
        }
        QCoreApplication::processEvents();
    }
}

// From all countries to the country with the most channels and back.
void BM_ChannelListFilterChange(benchmark::State& state) {
    lumora::ZapOrder zapOrder;
    ChannelListDialog dialog(nullptr, zapOrder);
    PaintCounter counter(dialog.ChannelList()->viewport());
    dialog.show();
    WaitForPaint(counter, 0);
    QComboBox& countries = *dialog.CountryChooser();
    const int biggest = BiggestCountries(countries).front();
    bool narrow = true;
    for (auto _ : state) {
        const int before = counter.paints;
        const Step step;
        countries.setCurrentIndex(narrow ? biggest : 0);
        WaitForPaint(counter, before);
        Note(state, "filter", step);
        narrow = !narrow;
    }
}

// Between the two countries with the most channels: a typical choice.
void BM_ChannelListCountryChange(benchmark::State& state) {
    lumora::ZapOrder zapOrder;
    ChannelListDialog dialog(nullptr, zapOrder);
    PaintCounter counter(dialog.ChannelList()->viewport());
    dialog.show();
    WaitForPaint(counter, 0);
    QComboBox& countries = *dialog.CountryChooser();
    const std::vector<int> biggest = BiggestCountries(countries);
    countries.setCurrentIndex(biggest[1]);
    WaitForPaint(counter, counter.paints);
    bool toFirst = true;
    for (auto _ : state) {
        const int before = counter.paints;
        const Step step;
        countries.setCurrentIndex(biggest[toFirst ? 0 : 1]);
        WaitForPaint(counter, before);
        Note(state, "country", step);
        toFirst = !toFirst;
    }
}

void BM_ChannelListTabSwitch(benchmark::State& state) {
    lumora::ZapOrder zapOrder;
    lumora::SetIntSetting("sel_tab", 0);
    ChannelListDialog dialog(nullptr, zapOrder);
    PaintCounter counter(&dialog);
    dialog.show();
    WaitForPaint(counter, 0);
    using lumora::ChannelTab;
    ChannelTab tab = ChannelTab::Favourites;
    for (auto _ : state) {
        const int before = counter.paints;
        const Step step;
        dialog.ShowTab(tab);
        WaitForPaint(counter, before);
        Note(state, "tab", step);
        tab = tab == ChannelTab::Channels ? ChannelTab::Favourites : ChannelTab::Channels;
    }
}

// A page down the list, on into rows not painted yet: each new row asks the
// guide what is on.
void BM_ChannelListPageScroll(benchmark::State& state) {
    lumora::ZapOrder zapOrder;
    lumora::SetIntSetting("sel_tab", 0);
    ChannelListDialog dialog(nullptr, zapOrder);
    PaintCounter counter(dialog.ChannelList()->viewport());
    dialog.show();
    WaitForPaint(counter, 0);
    QScrollBar& scroll = *dialog.ChannelList()->verticalScrollBar();
    for (auto _ : state) {
        const int before = counter.paints;
        const Step step;
        scroll.setValue(scroll.value() + scroll.pageStep());
        WaitForPaint(counter, before);
        Note(state, "list page", step);
        if (scroll.value() >= scroll.maximum())
            scroll.setValue(0);
    }
}

// The grid over the list the user last had (all 100,000 channels), opened
// at the row of the channel playing: a different one each time, so the
// guide's answers are new.
void BM_GuideGridOpen(benchmark::State& state) {
    lumora::ZapOrder zapOrder;
    lumora::SetIntSetting("sel_tab", 0);
    std::vector<lumora::Channel*>& channels = lumora::AllChannels();
    std::size_t playing = 0;
    for (auto _ : state) {
        lumora::TheCatalogue()->MakeCurrent(channels[playing]);
        playing = (playing + 7919) % channels.size();
        {
            const Step step;
            lumora::GuideGridDialog dialog(nullptr, zapOrder.Channels(lumora::InterfaceCollation()),
                                           lumora::TheProgrammeGuide());
            PaintCounter counter(&dialog.Grid());
            dialog.show();
            WaitForPaint(counter, 0);
            Note(state, "grid open", step);
        }
        QCoreApplication::processEvents();
    }
    lumora::TheCatalogue()->MakeCurrent(nullptr);
}

void BM_GuideGridPageStep(benchmark::State& state) {
    lumora::ZapOrder zapOrder;
    lumora::GuideGridDialog dialog(nullptr, zapOrder.Channels(lumora::InterfaceCollation()),
                                   lumora::TheProgrammeGuide());
    lumora::GuideGridView& grid = dialog.Grid();
    PaintCounter counter(&grid);
    dialog.show();
    WaitForPaint(counter, 0);
    for (auto _ : state) {
        const int before = counter.paints;
        const Step step;
        grid.StepPage(grid.SelectedRow() + 2 * grid.VisibleRows() < grid.RowCount() ? 1 : -1000);
        WaitForPaint(counter, before);
        Note(state, "grid page", step);
    }
}

BENCHMARK(BM_ChannelListOpen)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ChannelListFilterChange)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ChannelListCountryChange)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);
BENCHMARK(BM_ChannelListTabSwitch)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ChannelListPageScroll)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_GuideGridOpen)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_GuideGridPageStep)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

std::string CountryCode(int i) {
    return {char('a' + i / 26), char('a' + i % 26)};
}

// 100,000 channels in 200 countries whose sizes fall off like real
// catalogues: the biggest holds about a fifth of all channels. Every fifth
// channel is a favourite, so the favourites tab is full too.
bool WriteCatalogue(const std::filesystem::path& folder) {
    static constexpr const char* kCategories[] = {"l", "mu", "n", "r", "sp", "e", "mo", "k", "ad"};
    std::vector<int> sizes(kCountries);
    int left = kChannels;
    // Each country a fifth of what is left, keeping one for each to come.
    for (int c = 0; c < kCountries; ++c) {
        const int later = kCountries - c - 1;
        sizes[c] = later == 0 ? left : std::max(1, (left - later) / 5);
        left -= sizes[c];
    }
    lumora::DocNode root("2026.12.1");
    lumora::DocNode settings("set");
    lumora::DocNode* favourites = settings.AddChild("channels");
    int serial = 0;
    for (int c = 0; c < kCountries; ++c) {
        lumora::DocNode* country = root.AddChild(CountryCode(c));
        for (int n = 0; n < sizes[c]; ++n, ++serial) {
            const std::string key = "ch" + std::to_string(n);
            lumora::DocNode* channel = country->AddChild(key);
            channel->SetWString(
                "n", u"Channel " + lumora::FromUtf8(std::to_string((serial * 7919) % 100000)));
            channel->SetString("p", "p");
            channel->SetString("c", kCategories[serial % 9]);
            for (int s = 0; s <= serial % 3; ++s) {
                lumora::DocNode* stream = channel->AddChild(std::to_string(s));
                stream->SetInt("b", 300 + 100 * s);
                stream->SetWString("u", u"http://streams.example.net/" +
                                            lumora::FromUtf8(CountryCode(c) + "/" + key));
            }
            if (serial % 5 == 0)
                favourites->AddChild(CountryCode(c) + "_" + key)->SetBool("f", true);
        }
    }
    return root.SaveToFile(lumora::FromUtf8((folder / "Channels.lmch").string())) &&
           settings.SaveToFile(lumora::FromUtf8((folder / "Settings.cfg").string()));
}

// Twelve half-hour programmes a channel from two hours ago, under the
// channels' own ids, imported into a store at `store`.
bool WriteGuideStore(const std::filesystem::path& folder, const std::string& store) {
    const std::filesystem::path guide = folder / "guide.xml";
    std::FILE* file = std::fopen(guide.c_str(), "wb");
    if (file == nullptr)
        return false;
    const std::int64_t from = (std::time(nullptr) / 1800 - 4) * 1800;
    auto stamp = [](std::int64_t utc) {
        char text[32];
        const std::time_t at = static_cast<std::time_t>(utc);
        std::tm parts{};
        gmtime_r(&at, &parts);
        std::strftime(text, sizeof text, "%Y%m%d%H%M%S +0000", &parts);
        return std::string(text);
    };
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tv>\n";
    for (const lumora::Channel* channel : lumora::AllChannels()) {
        for (int p = 0; p < kGuideProgrammes; ++p) {
            const std::int64_t start = from + p * 1800;
            text += "<programme start=\"" + stamp(start) + "\" stop=\"" + stamp(start + 1800) +
                    "\" channel=\"" + channel->id + "\"><title>Programme " + std::to_string(p) +
                    " on " + channel->id + "</title></programme>\n";
        }
        if (text.size() > (1 << 20)) {
            std::fwrite(text.data(), 1, text.size(), file);
            text.clear();
        }
    }
    text += "</tv>\n";
    std::fwrite(text.data(), 1, text.size(), file);
    if (std::fclose(file) != 0)
        return false;
    lumora::GuideImportOptions options;
    options.now = static_cast<std::int64_t>(std::time(nullptr));
    std::string error;
    auto import = lumora::GuideImport::Begin(store, options, error);
    if (import && lumora::ImportGuideFile(*import, guide.string()) && import->Commit(std::nullopt))
        return true;
    std::fprintf(stderr, "dialogs_bench: guide import failed: %s\n",
                 import ? import->Error().c_str() : error.c_str());
    return false;
}

// The guide the list and the grid read, opened as the program opens it.
std::unique_ptr<lumora::ProgrammeGuide> theGuide;

bool OpenGuide(const std::string& store) {
    theGuide = std::make_unique<lumora::ProgrammeGuide>(QString::fromStdString(store));
    lumora::SetTheProgrammeGuide(theGuide.get());
    const auto started = Clock::now();
    while (!theGuide->Ready() && Clock::now() - started < std::chrono::seconds(60))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    // The rows must find their programmes, or the figures say nothing.
    const lumora::Channel* last = lumora::AllChannels().back();
    return theGuide->Ready() && theGuide->On(last->id, lumora::ProgrammeGuide::Now()).has_value();
}

bool LoadData(const std::filesystem::path& folder) {
    const auto shipped = [](const char* name) {
        return (buildDir + QLatin1Char('/') + QLatin1String(name)).toStdU16String();
    };
    if (!QFile::exists(buildDir + QStringLiteral("/Languages.lngp"))) {
        std::fprintf(stderr, "dialogs_bench: no Languages.lngp in %s\n", qPrintable(buildDir));
        return false;
    }
    if (!WriteCatalogue(folder))
        return false;
    lumora::ResetSettings();
    lumora::LoadSettings(lumora::FromUtf8((folder / "Settings.cfg").string()));
    const QScreen* screen = QGuiApplication::primaryScreen();
    lumora::LoadInterfaceResources(shipped("Resources.velt"), shipped("cbuild.velt"),
                                   screen != nullptr ? qRound(screen->logicalDotsPerInchY()) : 96);
    lumora::LoadLanguages(shipped("Languages.lngp"));
    static lumora::Catalogue catalogue;
    catalogue.LoadCatalogue(lumora::FromUtf8((folder / "Channels.lmch").string()));
    std::printf("catalogue: %zu channels in %zu countries\n", lumora::AllChannels().size(),
                catalogue.Countries().size());
    if (lumora::AllChannels().size() != kChannels)
        return false;
    const std::string store = (folder / "guide.sqlite").string();
    const auto started = Clock::now();
    if (!WriteGuideStore(folder, store) || !OpenGuide(store))
        return false;
    std::printf("guide: %d programmes a channel, written and opened in %.1f s\n", kGuideProgrammes,
                std::chrono::duration<double>(Clock::now() - started).count());
    return true;
}

void RecordTargets() {
    static constexpr std::pair<const char*, const char*> kSteps[] = {
        {"open", "channel list opened, 100,000 channels (CPU)"},
        {"filter", "channel list filter change, 100,000 channels (CPU)"},
        {"country", "channel list country change, 100,000 channels (CPU)"},
        {"tab", "channel list tab switch, 100,000 channels (CPU)"},
        {"list page", "channel list page scroll with programmes, 100,000 channels (CPU)"},
        {"grid open", "programme grid opened, 100,000 channels (CPU)"},
        {"grid page", "programme grid page step, 100,000 channels (CPU)"},
    };
    std::printf("\nmedians per step, ms (UI thread CPU / wall):\n");
    for (const auto& [key, what] : kSteps) {
        const auto found = AllSamples().find(key);
        if (found == AllSamples().end() || found->second.cpu.empty())
            continue;
        const double cpu = Median(found->second.cpu);
        std::printf("  %-8s %8.2f / %8.2f  (%zu steps)\n", key, cpu, Median(found->second.wall),
                    found->second.cpu.size());
        lumora::bench::RecordAtMost(what, cpu, "ms",
                                    std::string(key) == "grid open" ? kGridOpenMs : kFrameMs);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A first argument that is not a flag is the build folder.
    if (argc > 1 && argv[1][0] != '-') {
        buildDir = QString::fromLocal8Bit(argv[1]);
        for (int i = 1; i + 1 < argc; ++i)
            argv[i] = argv[i + 1];
        --argc;
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    std::string pattern =
        (std::filesystem::temp_directory_path() / "lumora-dialogs-bench-XXXXXX").string();
    const std::filesystem::path folder = mkdtemp(pattern.data());
    const bool loaded = LoadData(folder);
    std::filesystem::remove_all(folder);
    if (!loaded)
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    RecordTargets();
    lumora::SetTheProgrammeGuide(nullptr);
    theGuide.reset();
    lumora::ReleaseLanguages();
    lumora::ReleaseInterfaceResources();
    return 0;
}
