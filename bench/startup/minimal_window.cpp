// The yardstick of the start-up benchmark: the least a Qt program does to
// put a window on screen. A QApplication and one empty window of the main
// window's size, shown; the program notes when the window is on screen,
// prints its time marks (startup_marks.h) and ends.
//
//   minimal_window

#include <QApplication>
#include <QWidget>

#include "startup_marks.h"

namespace {

// The main window's size on a desktop (the handheld screen).
constexpr int kWindowWidth = 360;
constexpr int kWindowHeight = 640;

}  // namespace

int main(int argc, char* argv[]) {
    lumora::bench::Marks marks;
    marks.Add("main");
    int exitCode = 0;
    {
        QApplication application(argc, argv);
        marks.Add("application");
        QWidget window;
        lumora::bench::WindowShownWatcher watcher(
            marks, [&window](QWindow* shown) { return shown == window.windowHandle(); },
            [] { QCoreApplication::exit(0); });
        window.setWindowTitle(QStringLiteral("Minimal"));
        window.resize(kWindowWidth, kWindowHeight);
        window.show();
        exitCode = application.exec();
        if (!watcher.Shown())
            exitCode = 2;
    }
    marks.Add("ended");
    marks.Print();
    return exitCode;
}
