#include "shell/app/data_folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#ifndef LUMORA_INSTALL_DATADIR
#define LUMORA_INSTALL_DATADIR "/usr/local/share/lumora"
#endif

namespace lumora {
namespace {

QString& ShippedFolderOverride() {
    static QString folder;
    return folder;
}

// The folders that may hold shipped files, in the order they are tried.
QStringList ShippedFolders() {
    if (!ShippedFolderOverride().isEmpty())
        return {ShippedFolderOverride()};
    const QString programFolder = QCoreApplication::applicationDirPath();
    return {programFolder, QDir::cleanPath(programFolder + QStringLiteral("/../share/lumora")),
            QStringLiteral(LUMORA_INSTALL_DATADIR)};
}

}  // namespace

QString ShippedDataPath(const QString& fileName) {
    const QStringList folders = ShippedFolders();
    for (const QString& folder : folders) {
        const QString path = folder + QLatin1Char('/') + fileName;
        if (QFileInfo::exists(path))
            return path;
    }
    return folders.front() + QLatin1Char('/') + fileName;
}

QString UserDataFolder() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        return {};
    const QString folder = base + QStringLiteral("/lumora");
    if (!QDir().mkpath(folder))
        return {};
    return folder;
}

QString UserDataPath(const QString& fileName) {
    const QString folder = UserDataFolder();
    // Without a user folder the file is looked for (and not found) in the
    // current folder; the loaders then keep their defaults.
    return folder.isEmpty() ? fileName : folder + QLatin1Char('/') + fileName;
}

namespace {

// The program's folder in the generic cache folder + `sub`, created when
// missing; empty when it cannot be.
QString CacheFolder(const QString& sub) {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    const QString folder = base + QStringLiteral("/lumora") + sub;
    if (base.isEmpty() || !QDir().mkpath(folder))
        return {};
    return folder;
}

}  // namespace

QString GuideStorePath() {
    const QString folder = CacheFolder({});
    if (folder.isEmpty())
        return {};
    return folder + QLatin1Char('/') + QString::fromLatin1(kGuideStoreFileName);
}

QString TimeshiftFolder() {
    return CacheFolder(QStringLiteral("/timeshift"));
}

void RemoveStrayTimeshiftFiles() {
    const QString folder = TimeshiftFolder();
    if (folder.isEmpty())
        return;
    QDir dir(folder);
    // mpv names its cache files so; nothing else of ours lives here.
    for (const QString& name : dir.entryList({QStringLiteral("mpv-cache-*")}, QDir::Files))
        dir.remove(name);
}

QString PrepareUserCatalogue() {
    const QString target = UserDataPath(QString::fromLatin1(kCatalogueFileName));
    if (QFileInfo::exists(target))
        return target;
    const QString source = ShippedDataPath(QString::fromLatin1(kCatalogueFileName));
    if (!QFileInfo::exists(source))
        return target;
    const QString temporary = target + QStringLiteral(".tmp");
    QFile::remove(temporary);
    if (!QFile::copy(source, temporary))
        return target;
    // QFile::copy keeps the source's permissions; an installed default is
    // read-only, and the user's copy must be replaceable by updates.
    QFile::setPermissions(
        temporary, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    if (!QFile::rename(temporary, target))
        QFile::remove(temporary);
    return target;
}

void RemoveStraySaveFiles() {
    for (const char* name : {kSettingsFileName, kCatalogueFileName})
        QFile::remove(UserDataPath(QString::fromLatin1(name) + QStringLiteral(".tmp")));
}

void OverrideShippedDataFolder(const QString& folder) {
    ShippedFolderOverride() = folder;
}

}  // namespace lumora
