#pragma once

// The program from start to end: the single-instance guard, the settings,
// the language pack and the interface resources, the first-run dialog, the
// splash, the main window and its event loop, then the settings saved and
// everything released in the reverse order of loading.
//
// Threads: the UI thread (the one that made the QApplication).

#include <string>

#include <QString>

#include "net/update_logic.h"
#include "shell/app/application.h"

class QApplication;

namespace lumora {

// Exit codes.
inline constexpr int kNormalExitCode = 1;  // the main window was closed
inline constexpr int kFirstRunCancelledExitCode = 0;

// The whole program, as main() runs it. --help, --version and a command line
// that cannot be understood are answered without a display; otherwise it
// starts opening libmpv on a worker thread (player/mpv_library.h), makes the
// QApplication, then runs RunLumora with the address or playlist the
// command line names.
int RunProgram(int argc, char* argv[]);

// Runs the program in an existing QApplication and returns its exit code:
// 1 after a normal exit; 1 when another instance took over; 0 when the
// first-run dialog was cancelled; a negative value when the single-instance
// lock could not be made. `launchTarget` (a stream address, a playlist
// address or an absolute playlist path; empty for none) is played once the
// main window exists, or handed to a running instance, which plays it.
// SIGTERM, SIGINT and SIGHUP end it as Ctrl+Q does (settings saved, player
// released, 1). A failed save of the settings is told on standard error.
int RunLumora(QApplication& application, const QString& launchTarget);

// Loads the interface resources for the primary screen: its logical DPI
// and its scale (2 on a desktop scaled to 200 %), so that the interface is
// drawn for the screen's real pixels.
void LoadInterfaceResourcesForScreen(const std::u16string& resourcesPath,
                                     const std::u16string& splashPath);

// FetchUrl as the update code takes it.
FetchFunction FetchForUpdates();
// FetchUrlReply as the update code takes it, with the marker's overall
// time limit.
TransferFunction TransferForUpdates();
// A provider account's password as the update's worker reads it: from the
// desktop's secret store, else from the file in the user's folder.
AccountPasswordReader AccountPasswordForUpdates();

}  // namespace lumora
