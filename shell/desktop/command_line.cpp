#include "shell/desktop/command_line.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

#include <QDir>
#include <QFileInfo>

#include "document/doc_node.h"
#include "shell/app/data_folders.h"
#include "shell/dialogs/about_dialog.h"

namespace lumora {
namespace {

// Qt's own options, which QApplication takes out of the arguments later.
// Those in the first list take the next argument as their value (or
// "-option=value").
constexpr std::array<std::string_view, 15> kQtOptionsWithValue = {
    "-platform", "-platformpluginpath", "-platformtheme", "-plugin", "-qwindowgeometry",
    "-geometry", "-qwindowicon",        "-qwindowtitle",  "-title",  "-session",
    "-style",    "-stylesheet",         "-display",       "-name",   "-qmljsdebugger"};
constexpr std::array<std::string_view, 6> kQtFlags = {
    "-reverse", "-widgetcount", "-nograb", "-dograb", "-sync", "-qwindowcontainer"};

bool IsOneOf(std::string_view option, auto const& list) {
    return std::find(list.begin(), list.end(), option) != list.end();
}

// "-style=fusion" counts as "-style".
std::string_view OptionName(std::string_view argument) {
    return argument.substr(0, argument.find('='));
}

CommandLineRequest Refuse(std::string error) {
    return {CommandLineAction::Refuse, {}, std::move(error)};
}

std::string CatalogueVersionLine() {
    QString path = UserDataPath(QString::fromLatin1(kCatalogueFileName));
    if (!QFileInfo::exists(path))
        path = ShippedDataPath(QString::fromLatin1(kCatalogueFileName));
    DocNode root;
    if (!QFileInfo::exists(path) || !root.LoadFromFile(path.toStdU16String()))
        return "catalogue: none";
    return "catalogue " + root.Name() + " (" + path.toStdString() + ")";
}

}  // namespace

CommandLineRequest ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLineRequest request;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        const bool isOption = !optionsEnded && argument.size() > 1 && argument.front() == '-';
        if (!isOption) {
            if (!request.target.empty())
                return Refuse("only one address or playlist can be given");
            if (argument.empty())
                return Refuse("the address is empty");
            request.target = std::string(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            return {CommandLineAction::ShowHelp, {}, {}};
        } else if (argument == "--version") {
            return {CommandLineAction::ShowVersion, {}, {}};
        } else if (IsOneOf(OptionName(argument), kQtOptionsWithValue)) {
            const bool valueFollows = argument.find('=') == std::string_view::npos;
            if (valueFollows && ++i >= arguments.size())
                return Refuse("option " + std::string(argument) + " needs a value");
        } else if (!IsOneOf(argument, kQtFlags)) {
            return Refuse("unknown option " + std::string(argument));
        }
    }
    return request;
}

std::string CommandLineHelp() {
    return "usage: lumora [OPTION] [ADDRESS | PLAYLIST]\n"
           "\n"
           "Lumora, a live internet-TV player.\n"
           "\n"
           "  ADDRESS     a stream address to play at once (http, https, rtmp, rtsp, mms,\n"
           "              srt, udp, rtp ...); the channel catalogue is left as it is\n"
           "  PLAYLIST    an M3U file or address: its first playable entry is played,\n"
           "              then it is offered as the channel source\n"
           "  --help      show this text and end\n"
           "  --version   show the program's and the channel catalogue's version and end\n"
           "\n"
           "When Lumora is already running, the address is handed to the running\n"
           "player, which plays it and comes to the front.\n"
           "Exit codes: 1 after a normal exit, 0 when the first start was cancelled,\n"
           "2 for a command line that cannot be understood.\n";
}

QString LaunchTargetFromArgument(const std::string& target) {
    const QString text = QString::fromStdString(target);
    if (text.isEmpty() || text.contains(QStringLiteral("://")))
        return text;
    return QFileInfo(text).absoluteFilePath();
}

int AnswerCommandLine(const CommandLineRequest& request) {
    switch (request.action) {
    case CommandLineAction::ShowHelp: std::fputs(CommandLineHelp().c_str(), stdout); return 0;
    case CommandLineAction::ShowVersion:
        std::printf("lumora %s\n%s\n", kProgramVersion, CatalogueVersionLine().c_str());
        return 0;
    case CommandLineAction::Refuse:
        std::fprintf(stderr, "lumora: %s\n\n%s", request.error.c_str(), CommandLineHelp().c_str());
        return kCommandLineExitCode;
    case CommandLineAction::Start: break;
    }
    return 0;
}

}  // namespace lumora
