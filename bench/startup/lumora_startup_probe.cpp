// Lumora's start-up as the program runs it: the probe's main() calls the
// program's own start-up function (RunProgram, the whole of the program's
// main()), watched from the outside by event filters that a Qt start-up
// function installs as soon as the QApplication exists. Nothing in the
// product is changed or configured for it. When the main window is on
// screen the probe closes it, so the program takes its normal way out; then
// it prints its time marks (startup_marks.h) and ends with the program's
// exit code.
//
//   lumora_startup_probe [SHIPPED_DATA_DIR]
//
// SHIPPED_DATA_DIR holds Languages.lngp, Resources.velt, cbuild.velt and
// Channels.lmch (default: the build this probe belongs to). The user's
// folder is the usual one: the script points XDG_DATA_HOME at a prepared
// folder whose Settings.cfg has "first_run" false.
//
// Marks besides those of every start-up program:
//   application                   the QApplication is being made
//   splash_shown, splash_exposed  the loading dialog is shown, on screen
//   frame_building                the main window's first child is made
//   view_building                 the player view's first child is made
//   view_child_N                  the view's N-th child (N from 1)
//   frame_show                    the main window is shown
//   catalogue_in                  the window had its catalogue when it was
//                                 on screen (it takes it before it is shown)

#include <iterator>

#include <QApplication>
#include <QPointer>

#include "catalogue/catalogue.h"
#include "shell/app/app_startup.h"
#include "shell/app/data_folders.h"
#include "shell/dialogs/loading_dialog.h"
#include "shell/main_window/main_frame.h"
#include "shell/main_window/player_view.h"
#include "startup_marks.h"

namespace {

using lumora::bench::Marks;

// Notes the steps of start-up that show from outside: events that reach
// the splash, the main window and the player view.
class StartupMilestones : public QObject {
public:
    explicit StartupMilestones(Marks& marks) : marks_(marks) {
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Show:
            if (auto* splash = qobject_cast<lumora::LoadingDialog*>(object)) {
                splash_ = splash;
                marks_.AddOnce("splash_shown");
            } else if (qobject_cast<lumora::MainFrame*>(object) != nullptr) {
                marks_.AddOnce("frame_show");
            }
            break;
        case QEvent::Expose:
            if (splash_ && object == splash_->windowHandle() &&
                static_cast<QWindow*>(object)->isExposed())
                marks_.AddOnce("splash_exposed");
            break;
        case QEvent::ChildAdded:
            if (qobject_cast<lumora::MainFrame*>(object) != nullptr) {
                marks_.AddOnce("frame_building");
            } else if (qobject_cast<lumora::PlayerView*>(object) != nullptr) {
                marks_.AddOnce("view_building");
                if (viewChildren_ < int(std::size(kViewChildMarks)))
                    marks_.Add(kViewChildMarks[viewChildren_]);
                ++viewChildren_;
            }
            break;
        default: break;
        }
        return false;
    }

private:
    static constexpr const char* kViewChildMarks[] = {"view_child_1", "view_child_2",
                                                      "view_child_3", "view_child_4",
                                                      "view_child_5", "view_child_6"};
    Marks& marks_;
    QPointer<QWidget> splash_;
    int viewChildren_ = 0;
};

Marks& TheMarks() {
    static Marks marks;
    return marks;
}

// Notes whether the window on screen has its catalogue, then closes it.
void CloseTheShownWindow() {
    if (lumora::TheCatalogue() != nullptr)
        TheMarks().Add("catalogue_in");
    if (lumora::MainFrame* frame = lumora::TheMainFrame())
        frame->close();
}

// Installed from inside the QApplication's constructor, before the program
// goes on with its start-up.
void WatchStartup() {
    Marks& marks = TheMarks();
    marks.Add("application");
    static StartupMilestones milestones(marks);
    static lumora::bench::WindowShownWatcher watcher(
        marks,
        [](QWindow* window) {
            const lumora::MainFrame* frame = lumora::TheMainFrame();
            return frame != nullptr && window == frame->windowHandle();
        },
        [] { CloseTheShownWindow(); });
}
Q_COREAPP_STARTUP_FUNCTION(WatchStartup)

}  // namespace

int main(int argc, char* argv[]) {
    Marks& marks = TheMarks();
    marks.Add("main");
    lumora::OverrideShippedDataFolder(argc > 1 ? QString::fromLocal8Bit(argv[1])
                                               : QStringLiteral(LUMORA_BUILD_DIR));
    // The program hands its arguments to a running instance; the probe has
    // none to hand.
    char* programOnly[] = {argv[0], nullptr};
    int exitCode = lumora::RunProgram(1, programOnly);
    marks.Add("ended");
    if (!marks.Has("shown"))
        exitCode = 2;
    marks.Print();
    return exitCode;
}
