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
#include "shell/catalogue_preload.h"

class QApplication;

namespace lumora {

class Catalogue;

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

// The process-wide catalogue. The main window creates it before its player
// view; shut-down releases it. Messages about bad catalogue
// entries are shown as message boxes, at most kMaxCatalogueMessageBoxes per
// load, followed by one box saying how many more there were.
inline constexpr int kMaxCatalogueMessageBoxes = 5;
Catalogue& CreateProcessCatalogue(const std::u16string& path);
// The same; true when the file could be read.
bool LoadProcessCatalogue(const std::u16string& path);
// The process-wide catalogue from the user's "Channels.lmch" (made from the
// shipped one at the first start). A user file that cannot be read is kept
// as "Channels.lmch.bad" and the shipped catalogue is copied again and used.
Catalogue& CreateUserCatalogue();
bool ReloadProcessCatalogue();
// Makes a catalogue loaded on a worker thread (CataloguePreload) the
// process-wide one; with `showMessages` its messages are shown, bounded as at
// a load. A user file that could not be read goes the way it goes in
// CreateUserCatalogue.
void AdoptPreloadedCatalogue(PreloadedCatalogue preloaded, bool showMessages);
void ReleaseProcessCatalogue();
// The catalogue the main window opens with: the one at `path` when given;
// else the one loading since start-up (CataloguePreload), waited for, with
// its messages; else CreateUserCatalogue.
void LoadWindowCatalogue(const std::u16string& path);

// Installs the catalogue's message sink (message boxes, bounded as above)
// and the flag lookup of the interface resources.
void InstallCatalogueHooks();

// FetchUrl as the update code takes it.
FetchFunction FetchForUpdates();
// FetchUrlReply as the update code takes it, with the marker's overall
// time limit.
TransferFunction TransferForUpdates();
// A provider account's password as the update's worker reads it: from the
// desktop's secret store, else from the file in the user's folder.
AccountPasswordReader AccountPasswordForUpdates();

}  // namespace lumora
