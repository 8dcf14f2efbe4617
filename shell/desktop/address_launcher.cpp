#include "shell/desktop/address_launcher.h"

#include <thread>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include "catalogue/stream_address.h"
#include "document/memory_stream.h"
#include "shell/dialogs/first_playlist_entry.h"

namespace lumora {
namespace {

bool IsWebAddress(const QString& target) {
    return target.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive) ||
           target.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive);
}

}  // namespace

AddressLauncher::AddressLauncher(Fetch fetch, QObject* parent)
    : QObject(parent), fetch_(std::move(fetch)) {}

void AddressLauncher::Open(const QString& target) {
    if (target.isEmpty())
        return;  // a second start without a target only raises the window
    ++request_;
    const std::string bytes = target.toStdString();
    if (!target.contains(QStringLiteral("://"))) {
        OpenPlaylistFile(target);
    } else if (IsWebAddress(target) && HasPlaylistEnding(bytes) && IsPlayableAddress(bytes)) {
        FetchPlaylist(target);
    } else if (IsPlayableAddress(bytes)) {
        PlayAddress(target, target);
    } else {
        emit refused(target, kAddressRefusedKey);
    }
}

void AddressLauncher::OpenPlaylistFile(const QString& path) {
    // Only playlists are read from files; a media file by path is a local
    // file the stream address rule keeps away from the player.
    QFile file(path);
    if (!HasPlaylistEnding(path.toStdString()) || !file.open(QIODevice::ReadOnly)) {
        emit refused(path, kAddressRefusedKey);
        return;
    }
    const QByteArray text = file.read(kMaxLaunchPlaylistBytes);
    OpenPlaylistText(QFileInfo(path).absoluteFilePath(), text.toStdString(), false);
}

void AddressLauncher::FetchPlaylist(const QString& address) {
    const std::uint64_t request = request_;
    QPointer<AddressLauncher> launcher(this);
    std::thread([launcher, request, address, fetch = fetch_] {
        std::unique_ptr<MemoryStream> body = fetch ? fetch(address.toStdU16String()) : nullptr;
        std::string text;
        const bool fetched = body != nullptr && body->Size() <= kMaxLaunchPlaylistBytes;
        if (fetched)
            text.assign(body->View());
        // The launcher is looked at on the UI thread only.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [launcher, request, address, fetched, text = std::move(text)] {
                if (!launcher || launcher->request_ != request)
                    return;
                if (fetched)
                    launcher->OpenPlaylistText(address, text, true);
                else
                    emit launcher->refused(address, kPlaylistUnusableKey);
            },
            Qt::QueuedConnection);
    }).detach();
}

void AddressLauncher::OpenPlaylistText(const QString& source, const std::string& text,
                                       bool hlsIsStream) {
    // An HLS playlist at an address is one stream: mpv plays it by address.
    if (hlsIsStream && IsHlsPlaylist(text)) {
        PlayAddress(source, source);
        return;
    }
    const std::optional<PlaylistEntry> entry = FirstPlayableEntry(text);
    if (!entry) {
        emit refused(source, kPlaylistUnusableKey);
        return;
    }
    const QString address = QString::fromStdString(entry->address);
    PlayAddress(address, entry->name.empty() ? address : QString::fromStdString(entry->name));
    emit playlistPlayed(source);
}

void AddressLauncher::PlayAddress(const QString& address, const QString& name) {
    emit playRequested(address, name);
}

}  // namespace lumora
