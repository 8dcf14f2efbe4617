#include "shell/desktop/mpris_service.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include "catalogue/catalogue.h"
#include "catalogue/channel_views.h"
#include "net/account_source.h"
#include "player/media_output.h"
#include "player/output_registry.h"
#include "resources/resources.h"
#include "shell/app/commands.h"
#include "shell/desktop/address_launcher.h"
#include "shell/desktop/mpris_player_adaptor.h"
#include "shell/desktop/mpris_root_adaptor.h"
#include "shell/main_window/control_bar.h"
#include "shell/main_window/main_frame.h"

namespace lumora {
namespace {

constexpr char kPlayerInterface[] = "org.mpris.MediaPlayer2.Player";
constexpr char kNoTrack[] = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

// A D-Bus object path element from a channel id: letters, digits and '_'
// kept, every other byte as "_XX".
QString PathElement(const std::string& id) {
    QString element;
    for (const unsigned char c : id) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            element += QChar(c);
        else
            element += QStringLiteral("_%1").arg(c, 2, 16, QLatin1Char('0'));
    }
    return element;
}

// The flag as a picture file in the user's runtime folder, for the art
// address; empty when the country has no flag or the file cannot be made.
QString FlagFile(const Country& country) {
    if (country.flag == nullptr || country.flag->image.isNull())
        return {};
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
                           QStringLiteral("/lumora-art");
    const QString path =
        folder + QStringLiteral("/f_") + PathElement(country.code) + QStringLiteral(".png");
    if (QFileInfo::exists(path))
        return path;
    if (!QDir().mkpath(folder) || !country.flag->image.save(path, "PNG"))
        return {};
    return path;
}

}  // namespace

MprisService::MprisService(MainFrame& frame, AddressLauncher* launcher)
    : frame_(frame), launcher_(launcher) {
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    PlayerView& view = frame_.View();
    connect(&view, &PlayerView::shownChanged, this, [this] {
        AnnounceChanges({QStringLiteral("PlaybackStatus"), QStringLiteral("Metadata")});
    });
    connect(&frame_.ProgrammeShown(), &ProgrammeTitle::programmeChanged, this,
            [this] { AnnounceChanges({QStringLiteral("Metadata")}); });
    connect(view.Controls(), &ControlBar::volumeChanged, this,
            [this] { AnnounceChanges({QStringLiteral("Volume")}); });

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;  // no session bus: nobody to register with
    if (!bus.registerObject(QString::fromLatin1(kMprisObjectPath), this))
        return;
    registered_ = bus.registerService(QString::fromLatin1(kMprisServiceName));
    if (!registered_)
        bus.unregisterObject(QString::fromLatin1(kMprisObjectPath));
}

MprisService::~MprisService() {
    if (!registered_)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(QString::fromLatin1(kMprisServiceName));
    bus.unregisterObject(QString::fromLatin1(kMprisObjectPath));
}

void MprisService::Raise() {
    frame_.BringToFront();
}

void MprisService::Quit() {
    frame_.OnCommand(ID_APP_EXIT);
}

bool MprisService::FullScreen() const {
    const MediaOutput* player = frame_.View().Player();
    return player != nullptr && player->IsFullScreen();
}

void MprisService::SetFullScreen(bool fullScreen) {
    if (fullScreen != FullScreen())
        frame_.OnCommand(ID_FULLSCREEN);
}

void MprisService::Play() {
    if (!frame_.View().Playing())
        frame_.View().OnMessage(UM_PLAY);
}

void MprisService::Pause() {
    // A live channel cannot hold its place: pausing stops, as the button does.
    Stop();
}

void MprisService::PlayPause() {
    frame_.View().OnMessage(frame_.View().Playing() ? UM_STOP : UM_PLAY);
}

void MprisService::Stop() {
    if (frame_.View().Playing())
        frame_.View().OnMessage(UM_STOP);
}

void MprisService::Next() {
    Zap(ZapDirection::Next);
}

void MprisService::Previous() {
    Zap(ZapDirection::Previous);
}

void MprisService::OpenUri(const QString& uri) {
    // Local playlists are not taken from other programs: only addresses.
    if (launcher_ != nullptr && uri.contains(QStringLiteral("://")))
        launcher_->Open(uri);
}

void MprisService::Zap(ZapDirection direction) {
    // The same order as the zapping keys.
    frame_.Zap(direction);
}

QString MprisService::PlaybackStatus() const {
    return frame_.View().Playing() ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

QVariantMap MprisService::Metadata() const {
    const PlayerView& view = frame_.View();
    const QString shownName = view.ShownName();
    QVariantMap metadata;
    const Channel* channel = view.ShownChannel();
    if (channel == nullptr) {
        metadata.insert(QStringLiteral("mpris:trackid"),
                        QVariant::fromValue(QDBusObjectPath(
                            shownName.isEmpty() ? QString::fromLatin1(kNoTrack)
                                                : QStringLiteral("/org/lumora/address"))));
        if (!shownName.isEmpty())
            metadata.insert(QStringLiteral("xesam:title"), shownName);
        return metadata;
    }
    metadata.insert(QStringLiteral("mpris:trackid"),
                    QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/lumora/channel/") +
                                                        PathElement(channel->id))));
    // The programme on now, once it shows in the title bar; else the channel.
    const QString channelName = QString::fromStdU16String(channel->name);
    const std::optional<ProgrammeSummary>& programme = frame_.ProgrammeShown().Shown();
    if (programme) {
        metadata.insert(QStringLiteral("xesam:title"), QString::fromStdString(programme->title));
        metadata.insert(QStringLiteral("mpris:length"),
                        qint64(programme->stop - programme->start) * 1000000);
    } else {
        metadata.insert(QStringLiteral("xesam:title"), channelName);
    }
    metadata.insert(QStringLiteral("xesam:artist"), QStringList{channelName});
    if (channel->country != nullptr) {
        const QString country = QString::fromStdU16String(channel->country->displayName);
        metadata.insert(QStringLiteral("xesam:album"), country);
        if (const QString flag = FlagFile(*channel->country); !flag.isEmpty())
            metadata.insert(QStringLiteral("mpris:artUrl"), QUrl::fromLocalFile(flag).toString());
    }
    // A provider account's addresses carry its password: the desktop never
    // sees them.
    const Catalogue* catalogue = TheCatalogue();
    const bool fromAccount =
        catalogue != nullptr && IsAccountSourceName(catalogue->Origin().source);
    if (const Stream* stream = SelectedStream(*channel); stream != nullptr && !fromAccount)
        metadata.insert(QStringLiteral("xesam:url"), QStringView(stream->address).toString());
    return metadata;
}

double MprisService::Volume() const {
    return frame_.View().Controls()->volume() / 100.0;
}

void MprisService::SetVolume(double volume) {
    const int value = std::clamp(int(std::lround(volume * 100.0)), 0, 100);
    frame_.View().Controls()->setVolume(value);
    ApplyVolume(value);
    AnnounceChanges({QStringLiteral("Volume")});
}

void MprisService::AnnounceChanges(const QStringList& names) {
    if (!registered_)
        return;
    QVariantMap changed;
    for (const QString& name : names) {
        if (name == QStringLiteral("PlaybackStatus"))
            changed.insert(name, PlaybackStatus());
        else if (name == QStringLiteral("Metadata"))
            changed.insert(name, Metadata());
        else if (name == QStringLiteral("Volume"))
            changed.insert(name, Volume());
    }
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(kMprisObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(kPlayerInterface) << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

}  // namespace lumora
