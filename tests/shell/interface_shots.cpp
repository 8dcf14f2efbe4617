// Draws the playing screen the way the program does on the screen it runs
// on, or, given a DPI, the way it does for that DPI on an unscaled screen,
// and saves what it drew as PNG files for the interface scale tests:
//
//   interface_shots OUTDIR WIDTH HEIGHT [DPI]
//
// "control_bar.png" and "title_bar.png": the two bars of a WIDTH x HEIGHT
// view (logical pixels) before anything plays; "player_view.png": the whole
// view while the test card plays, written only when the player showed a
// picture. Every picture is in device pixels.
// Exit codes: 0 saved, 2 bad command line, 3 a picture could not be saved.

#include <clocale>

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include "player/media_player_host.h"
#include "player/video_widget.h"
#include "resources/resources.h"
#include "shell/app/app_startup.h"
#include "shell/main_window/channel_title_bar.h"
#include "shell/main_window/control_bar.h"
#include "shell/main_window/player_view.h"

namespace lumora {
namespace {

constexpr int kPictureWaitMs = 20000;
const char* const kTestCard = "av://lavfi:color=c=0x20a040:size=320x240:rate=25";

std::u16string BuildFile(const char* name) {
    return QStringLiteral(LUMORA_BUILD_DIR "/%1").arg(QLatin1String(name)).toStdU16String();
}

void LoadResources(int dpi) {
    if (dpi > 0)
        LoadInterfaceResources(BuildFile("Resources.velt"), BuildFile("cbuild.velt"), dpi);
    else
        LoadInterfaceResourcesForScreen(BuildFile("Resources.velt"), BuildFile("cbuild.velt"));
}

bool Save(QWidget& widget, const QString& folder, const char* name) {
    return widget.grab().toImage().save(folder + QLatin1Char('/') + QLatin1String(name));
}

bool PictureShown(PlayerView& view) {
    view.EnsurePlayer();
    auto* host = dynamic_cast<MediaPlayerHost*>(view.Player());
    if (host == nullptr || !host->Ready())
        return false;
    view.PlayAddress(QString::fromLatin1(kTestCard), QStringLiteral("Test card"));
    return QTest::qWaitFor([host] { return host->Video()->FramesPainted() > 3; }, kPictureWaitMs);
}

int Run(const QString& folder, QSize size, int dpi) {
    LoadResources(dpi);
    QTemporaryDir catalogueFolder;
    PlayerViewOptions options;
    // An empty catalogue: the test card is played by its address.
    options.cataloguePath = catalogueFolder.filePath(QStringLiteral("none.lmch")).toStdU16String();
    Application program;
    program.LoadWindowCatalogue(options.cataloguePath);
    PlayerView view(nullptr, options);
    view.resize(size);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view))
        return 3;
    view.TitleBar()->setChannelName(QStringLiteral("Lumora Test Channel"));
    view.TitleBar()->setStatus(QStringLiteral("Buffering 40%"));
    if (!Save(*view.Controls(), folder, "control_bar.png") ||
        !Save(*view.TitleBar(), folder, "title_bar.png"))
        return 3;
    if (PictureShown(view) && !Save(view, folder, "player_view.png"))
        return 3;
    return 0;
}

}  // namespace
}  // namespace lumora

int main(int argc, char* argv[]) {
    if (argc != 4 && argc != 5)
        return 2;
    // Nothing of the user's is read or written.
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const QSize size(QString::fromLocal8Bit(argv[2]).toInt(),
                     QString::fromLocal8Bit(argv[3]).toInt());
    const int dpi = argc == 5 ? QString::fromLocal8Bit(argv[4]).toInt() : 0;
    if (size.isEmpty())
        return 2;
    return lumora::Run(QString::fromLocal8Bit(argv[1]), size, dpi);
}
