#pragma once

// The program's command line: `lumora [ADDRESS | FILE.m3u]`, `--help`,
// `--version`. It is read before any window system is touched, so that
// `lumora --help` works without a display. Qt's own options (-platform,
// -style, ...) are left for Qt.
//
// Threads: the main thread, before and after the application object exists.

#include <string>
#include <vector>

#include <QString>

namespace lumora {

// Exit code of a command line that cannot be understood.
inline constexpr int kCommandLineExitCode = 2;

enum class CommandLineAction {
    Start,        // run the player (with `target` to play, when given)
    ShowHelp,     // print the usage and end with 0
    ShowVersion,  // print the program's and the catalogue's version, end with 0
    Refuse,       // print `error` and the usage, end with 2
};

struct CommandLineRequest {
    CommandLineAction action = CommandLineAction::Start;
    // The stream address, playlist address or playlist file as given; empty
    // when none.
    std::string target;
    std::string error;
};

// Reads the arguments after the program name.
CommandLineRequest ParseCommandLine(const std::vector<std::string>& arguments);

// The text --help prints.
std::string CommandLineHelp();

// What the running program is asked to play: an address stays as it is, a
// file path becomes absolute (a running instance has another working folder).
QString LaunchTargetFromArgument(const std::string& target);

// Prints the help, the versions or the refusal and returns the exit code.
// Needs a QCoreApplication (the data folders are found through it).
int AnswerCommandLine(const CommandLineRequest& request);

}  // namespace lumora
