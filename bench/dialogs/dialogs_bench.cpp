// How fast the channel list is with the shipped catalogue (over 10,000
// channels): opening it to its first paint, one filter change and one tab
// switch, each to the end of its repaint. The filter change is the worst
// one (all countries and the country with the most channels, in turn); the
// country change (between the two biggest countries) is a typical one. Each figure is reported as a
// ratio to the same road taken by an empty full-screen dialog of the same
// size in the same run, so the figures do not depend on the machine.
//
//   dialogs_bench [BUILD_DIR] [benchmark flags]
//
// BUILD_DIR holds Channels.lmch, Languages.lngp and Resources.velt (default:
// the build this program belongs to). Targets: opening under 5x, filter
// change and tab switch under 2x.

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QScreen>

#include <benchmark/benchmark.h>

#include "catalogue/catalogue.h"
#include "catalogue/languages.h"
#include "catalogue/resources.h"
#include "catalogue/settings.h"
#include "shell/channel_list_dialog.h"
#include "shell/channel_list_view.h"
#include "shell/dialog_frame.h"

namespace {

using Clock = std::chrono::steady_clock;
using lumora::ChannelListDialog;
using lumora::DialogFrame;

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

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// ------------------------------------------------------------- references

// An empty full-screen dialog: built, shown and painted.
void BM_EmptyDialogOpen(benchmark::State& state) {
    for (auto _ : state) {
        const auto start = Clock::now();
        {
            DialogFrame dialog(nullptr, lumora::DialogSize::FullScreen);
            PaintCounter counter(&dialog);
            dialog.show();
            WaitForPaint(counter, 0);
            state.SetIterationTime(Seconds(start));
        }
        QCoreApplication::processEvents();
    }
}

// The empty dialog repainted.
void BM_EmptyDialogRepaint(benchmark::State& state) {
    DialogFrame dialog(nullptr, lumora::DialogSize::FullScreen);
    PaintCounter counter(&dialog);
    dialog.show();
    WaitForPaint(counter, 0);
    for (auto _ : state) {
        const auto start = Clock::now();
        const int before = counter.paints;
        dialog.update();
        WaitForPaint(counter, before);
        state.SetIterationTime(Seconds(start));
    }
}

// ------------------------------------------------------------ channel list

void BM_ChannelListOpen(benchmark::State& state) {
    ChannelListDialog::ForgetRememberedState();
    lumora::SetIntSetting("sel_tab", 0);
    for (auto _ : state) {
        const auto start = Clock::now();
        {
            ChannelListDialog dialog(nullptr);
            PaintCounter counter(&dialog);
            dialog.show();
            WaitForPaint(counter, 0);
            state.SetIterationTime(Seconds(start));
            state.counters["rows"] = dialog.ChannelList()->RowCount();
        }
        QCoreApplication::processEvents();
    }
}

// From all countries to the country with the most channels and back, each
// step to the end of the list's repaint.
void BM_ChannelListFilterChange(benchmark::State& state) {
    // Each run starts from all countries, whatever the last one chose.
    ChannelListDialog::ForgetRememberedState();
    ChannelListDialog dialog(nullptr);
    PaintCounter counter(dialog.ChannelList()->viewport());
    dialog.show();
    WaitForPaint(counter, 0);
    QComboBox& countries = *dialog.CountryChooser();
    int biggest = 1;
    std::size_t most = 0;
    for (int entry = 1; entry < countries.count(); ++entry) {
        const auto* country = reinterpret_cast<const lumora::Country*>(countries.itemData(entry).value<quintptr>());
        if (country != nullptr && country->channels.size() > most) {
            most = country->channels.size();
            biggest = entry;
        }
    }
    bool narrow = true;
    for (auto _ : state) {
        const auto start = Clock::now();
        const int before = counter.paints;
        countries.setCurrentIndex(narrow ? biggest : 0);
        WaitForPaint(counter, before);
        state.SetIterationTime(Seconds(start));
        narrow = !narrow;
    }
    state.counters["rows"] = static_cast<double>(most);
}

// Between the two countries with the most channels: a typical choice.
void BM_ChannelListCountryChange(benchmark::State& state) {
    ChannelListDialog::ForgetRememberedState();
    ChannelListDialog dialog(nullptr);
    PaintCounter counter(dialog.ChannelList()->viewport());
    dialog.show();
    WaitForPaint(counter, 0);
    QComboBox& countries = *dialog.CountryChooser();
    int first = 1;
    int second = 2;
    std::size_t most[2] = {0, 0};
    for (int entry = 1; entry < countries.count(); ++entry) {
        const auto* country = reinterpret_cast<const lumora::Country*>(countries.itemData(entry).value<quintptr>());
        const std::size_t size = country != nullptr ? country->channels.size() : 0;
        if (size > most[0]) {
            second = first;
            most[1] = most[0];
            first = entry;
            most[0] = size;
        } else if (size > most[1]) {
            second = entry;
            most[1] = size;
        }
    }
    countries.setCurrentIndex(second);
    WaitForPaint(counter, counter.paints);
    bool toFirst = true;
    for (auto _ : state) {
        const auto start = Clock::now();
        const int before = counter.paints;
        countries.setCurrentIndex(toFirst ? first : second);
        WaitForPaint(counter, before);
        state.SetIterationTime(Seconds(start));
        toFirst = !toFirst;
    }
}

void BM_ChannelListTabSwitch(benchmark::State& state) {
    ChannelListDialog::ForgetRememberedState();
    lumora::SetIntSetting("sel_tab", 0);
    ChannelListDialog dialog(nullptr);
    PaintCounter counter(&dialog);
    dialog.show();
    WaitForPaint(counter, 0);
    int tab = 1;
    for (auto _ : state) {
        const auto start = Clock::now();
        const int before = counter.paints;
        dialog.ShowTab(tab);
        WaitForPaint(counter, before);
        state.SetIterationTime(Seconds(start));
        tab = 1 - tab;
    }
}

BENCHMARK(BM_EmptyDialogOpen)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_ChannelListOpen)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_EmptyDialogRepaint)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_ChannelListFilterChange)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_ChannelListCountryChange)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_ChannelListTabSwitch)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);

// Keeps each benchmark's time per iteration for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration)
                seconds[run.benchmark_name()] = run.real_accumulated_time / static_cast<double>(run.iterations);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> seconds;
};

bool LoadShippedData() {
    const auto path = [](const char* name) { return (buildDir + QLatin1Char('/') + QLatin1String(name)).toStdU16String(); };
    if (!QFile::exists(buildDir + QStringLiteral("/Channels.lmch"))) {
        std::fprintf(stderr, "dialogs_bench: no Channels.lmch in %s\n", qPrintable(buildDir));
        return false;
    }
    lumora::ResetSettings();
    const QScreen* screen = QGuiApplication::primaryScreen();
    lumora::LoadInterfaceResources(path("Resources.velt"), path("cbuild.velt"),
                                   screen != nullptr ? qRound(screen->logicalDotsPerInchY()) : 96);
    lumora::LoadLanguages(path("Languages.lngp"));
    static lumora::Catalogue catalogue;
    catalogue.LoadCatalogue(path("Channels.lmch"));
    std::printf("catalogue: %zu channels in %zu countries\n", lumora::AllChannels().size(),
                catalogue.Countries().size());
    return !lumora::AllChannels().empty();
}

void PrintRatio(const RatioReporter& reporter, const char* what, const char* measured,
                const char* reference, double target) {
    const auto m = reporter.seconds.find(measured);
    const auto r = reporter.seconds.find(reference);
    if (m == reporter.seconds.end() || r == reporter.seconds.end() || r->second <= 0)
        return;
    const double ratio = m->second / r->second;
    std::printf("%-14s %7.3f ms / %7.3f ms = %5.2fx  (target < %.0fx) %s\n", what, m->second * 1e3,
                r->second * 1e3, ratio, target, ratio < target ? "ok" : "MISSED");
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
    if (!LoadShippedData())
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nchannel list against an empty dialog of the same size:\n");
    PrintRatio(reporter, "opening", "BM_ChannelListOpen/min_time:1.000/manual_time", "BM_EmptyDialogOpen/min_time:1.000/manual_time", 5);
    PrintRatio(reporter, "filter change", "BM_ChannelListFilterChange/min_time:1.000/manual_time",
               "BM_EmptyDialogRepaint/min_time:1.000/manual_time", 2);
    PrintRatio(reporter, "country change", "BM_ChannelListCountryChange/min_time:1.000/manual_time",
               "BM_EmptyDialogRepaint/min_time:1.000/manual_time", 2);
    PrintRatio(reporter, "tab switch", "BM_ChannelListTabSwitch/min_time:1.000/manual_time",
               "BM_EmptyDialogRepaint/min_time:1.000/manual_time", 2);
    benchmark::Shutdown();
    lumora::ReleaseLanguages();
    lumora::ReleaseInterfaceResources();
    return 0;
}
