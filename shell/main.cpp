// Lumora, a live internet-TV player.

#include <clocale>

#include <QApplication>
#include <QIcon>
#include <QStringList>

#include "shell/app_startup.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // QApplication sets the user's locale; mpv refuses to start under a
    // LC_NUMERIC other than "C".
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("lumora"));
    QApplication::setDesktopFileName(QStringLiteral("lumora"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("lumora")));

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    return lumora::RunLumora(application, arguments.join(QLatin1Char(' ')));
}
