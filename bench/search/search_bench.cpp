// How fast the channel list's search answers a keystroke on a catalogue of
// 100,000 channels (200 countries of 500): the filter and the list's update
// to the end of its repaint, median of many keystrokes ("k", "ka", "kan"
// typed in turn, then cleared; the first keystrokes, which search the
// whole list, also on their own). Beside it, in the same run: the same
// keystrokes with the country chooser narrowed to one country, and the
// country chooser's own change (all countries to one and back), which is
// the reference the keystroke is compared with.
//
//   search_bench
//
// Target: a keystroke under 16 ms median (one frame at 60 Hz).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>

#include "bench/bench_results.h"
#include "catalogue/catalogue.h"
#include "catalogue/settings.h"
#include "document/doc_node.h"
#include "shell/dialogs/channel_list_dialog.h"
#include "shell/dialogs/channel_list_view.h"

namespace {

using Clock = std::chrono::steady_clock;
using lumora::ChannelListDialog;

constexpr int kCountries = 200;
constexpr int kChannelsPerCountry = 500;
constexpr int kRounds = 30;
constexpr double kFrameMs = 16;

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

// Runs `change` and the event loop until the list has repainted; ms taken.
template <typename Change>
double TimedRepaint(PaintCounter& counter, Change change) {
    const int before = counter.paints;
    const auto start = Clock::now();
    change();
    while (counter.paints == before)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Channel names from a few words, some with accents, and a number.
bool WriteCatalogue(const std::u16string& path) {
    const char16_t* words[] = {u"Kanal",  u"Télé",  u"News", u"Sport", u"Música", u"Kino",
                               u"Radio",  u"Życie", u"Info", u"Café",  u"Kids",   u"Film",
                               u"Ελλάδα", u"Канал", u"Arte", u"Welt"};
    lumora::DocNode root("1.0.0.1");
    for (int c = 0; c < kCountries; ++c) {
        std::string code(1, char('a' + c / 26 % 26));
        code += char('a' + c % 26);
        code += std::to_string(c / 676);
        lumora::DocNode* country = root.AddChild(code);
        for (int n = 0; n < kChannelsPerCountry; ++n) {
            lumora::DocNode* channel = country->AddChild("c" + std::to_string(n));
            std::u16string name = words[(n * 7 + c) % 16];
            name += u' ';
            name += words[(n * 3 + c * 5) % 16];
            for (char ch : std::to_string(n))
                name += char16_t(ch);
            channel->SetWString("n", name);
            channel->SetString("c", "n");
            lumora::DocNode* stream = channel->AddChild("0");
            stream->SetInt("b", 500 + n);
            stream->SetWString("u", u"http://127.0.0.1/s.ts");
        }
    }
    return root.SaveToFile(path);
}

// Typing "k", "ka", "kan" and clearing, kRounds times: the median ms of
// every keystroke, and of the first ones alone (each a search through the
// whole list; the later ones look among the rows already found). The
// clearing is not counted.
struct Keystrokes {
    double all;
    double first;
};
Keystrokes KeystrokeMedians(ChannelListDialog& dialog, PaintCounter& counter) {
    QLineEdit& field = *dialog.SearchField();
    std::vector<double> all;
    std::vector<double> first;
    for (int round = 0; round < kRounds; ++round) {
        for (const char* text : {"k", "ka", "kan"}) {
            all.push_back(TimedRepaint(counter, [&] { field.setText(QString::fromLatin1(text)); }));
            if (text[1] == '\0')
                first.push_back(all.back());
        }
        TimedRepaint(counter, [&] { field.clear(); });
    }
    return {Median(all), Median(first)};
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir folder;
    const std::u16string path = (folder.path() + QStringLiteral("/Channels.lmch")).toStdU16String();
    if (!WriteCatalogue(path)) {
        std::fprintf(stderr, "search_bench: cannot write the catalogue\n");
        return 1;
    }
    lumora::ResetSettings();
    lumora::Catalogue catalogue;
    catalogue.LoadCatalogue(path);
    std::printf("catalogue: %zu channels in %zu countries\n", lumora::AllChannels().size(),
                catalogue.Countries().size());

    lumora::ZapOrder zapOrder;
    ChannelListDialog dialog(nullptr, zapOrder);
    PaintCounter counter(dialog.ChannelList()->viewport());
    dialog.show();
    while (counter.paints == 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    // The first search folds every channel's texts once; not a keystroke.
    TimedRepaint(counter, [&] { dialog.SearchField()->setText(QStringLiteral("k")); });
    TimedRepaint(counter, [&] { dialog.SearchField()->clear(); });

    const Keystrokes everyChannel = KeystrokeMedians(dialog, counter);

    QComboBox& countries = *dialog.CountryChooser();
    std::vector<double> changes;
    for (int round = 0; round < kRounds; ++round) {
        changes.push_back(TimedRepaint(counter, [&] { countries.setCurrentIndex(1); }));
        changes.push_back(TimedRepaint(counter, [&] { countries.setCurrentIndex(0); }));
    }
    const double countryChange = Median(changes);

    countries.setCurrentIndex(1);
    const Keystrokes oneCountry = KeystrokeMedians(dialog, counter);

    const double ratio = countryChange > 0 ? everyChannel.all / countryChange : 0;
    std::printf("keystroke, all %d channels:    %7.3f ms median\n",
                kCountries * kChannelsPerCountry, everyChannel.all);
    std::printf("  first keystroke (whole list):  %7.3f ms median\n", everyChannel.first);
    std::printf("keystroke, one country (%d):  %7.3f ms median (first %.3f ms)\n",
                kChannelsPerCountry, oneCountry.all, oneCountry.first);
    std::printf("country chooser change:         %7.3f ms median\n", countryChange);
    std::printf("keystroke / country change:     %7.2fx\n", ratio);
    lumora::bench::RecordAtMost("search keystroke, 100,000 channels", everyChannel.all, "ms",
                                kFrameMs);
    lumora::bench::RecordAtMost("search first keystroke, 100,000 channels", everyChannel.first,
                                "ms", kFrameMs);
    return 0;
}
