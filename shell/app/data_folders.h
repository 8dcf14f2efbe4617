#pragma once

// Where the program's files live.
//
// Shipped, read-only files ("Languages.lngp", "Resources.velt", "cbuild.velt"
// and the default "Channels.lmch") lie next to the executable in the build
// tree, or under <prefix>/share/lumora when installed; the folder next to the
// executable wins when both hold the file.
//
// The user's files ("Settings.cfg" and, from the first start on,
// "Channels.lmch") live in the generic data folder + "/lumora"
// (~/.local/share/lumora; XDG_DATA_HOME moves it).
//
// Threads: the UI thread (they use QCoreApplication).

#include <QString>

namespace lumora {

inline constexpr char kSettingsFileName[] = "Settings.cfg";
inline constexpr char kLanguagesFileName[] = "Languages.lngp";
inline constexpr char kResourcesFileName[] = "Resources.velt";
inline constexpr char kSplashFileName[] = "cbuild.velt";
inline constexpr char kCatalogueFileName[] = "Channels.lmch";

// Full path of a shipped file: the first folder that holds it, else the path
// next to the executable (so a missing file is looked for where a developer
// expects it and the loader falls back to its defaults).
QString ShippedDataPath(const QString& fileName);

// The user's folder, created when missing. Empty when it cannot be created.
QString UserDataFolder();
QString UserDataPath(const QString& fileName);

// The programme guide store: a cache the program rebuilds from the guides,
// in the generic cache folder + "/lumora" (~/.cache/lumora; XDG_CACHE_HOME
// moves it), created when missing. Empty when it cannot be created.
inline constexpr char kGuideStoreFileName[] = "guide.sqlite";
QString GuideStorePath();

// The folder the player keeps the back buffer of a paused live stream in:
// "timeshift" in the same cache folder, created when missing; empty when
// it cannot be. The player's files there are unlinked as soon as they are
// made; RemoveStrayTimeshiftFiles removes any a crash left all the same.
QString TimeshiftFolder();
void RemoveStrayTimeshiftFiles();

// The user's catalogue path. When the user has no catalogue yet, the shipped
// default is copied there first (written to NAME.tmp and renamed, so an
// interrupted copy never leaves a torn file). A failed copy leaves no file:
// the catalogue then loads empty.
QString PrepareUserCatalogue();

// Removes the temporary files the program's own saves write before their
// rename ("Settings.cfg.tmp", "Channels.lmch.tmp" in the user's folder),
// left behind when a run ended during a save.
void RemoveStraySaveFiles();

// Tests only: look for shipped files in this folder instead (empty restores
// the normal search).
void OverrideShippedDataFolder(const QString& folder);

}  // namespace lumora
