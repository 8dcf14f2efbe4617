#include "shell/desktop/mpris_root_adaptor.h"

#include "catalogue/languages.h"
#include "shell/desktop/mpris_service.h"

namespace lumora {

MprisRootAdaptor::MprisRootAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), service_(service) {}

QString MprisRootAdaptor::Identity() const {
    const QString title = QString::fromStdU16String(AppTitle());
    return title.isEmpty() ? QStringLiteral("Lumora") : title;
}

QString MprisRootAdaptor::DesktopEntry() const {
    return QStringLiteral("lumora");
}

QStringList MprisRootAdaptor::SupportedUriSchemes() const {
    // The network schemes the stream address rule lets through.
    return {QStringLiteral("http"),  QStringLiteral("https"), QStringLiteral("rtmp"),
            QStringLiteral("rtmps"), QStringLiteral("rtmpt"), QStringLiteral("rtsp"),
            QStringLiteral("rtsps"), QStringLiteral("mms"),   QStringLiteral("mmsh"),
            QStringLiteral("mmst"),  QStringLiteral("srt"),   QStringLiteral("udp"),
            QStringLiteral("rtp")};
}

QStringList MprisRootAdaptor::SupportedMimeTypes() const {
    return {QStringLiteral("audio/x-mpegurl"), QStringLiteral("application/vnd.apple.mpegurl")};
}

bool MprisRootAdaptor::Fullscreen() const {
    return service_->FullScreen();
}

void MprisRootAdaptor::SetFullscreen(bool fullScreen) {
    service_->SetFullScreen(fullScreen);
}

void MprisRootAdaptor::Raise() {
    service_->Raise();
}

void MprisRootAdaptor::Quit() {
    service_->Quit();
}

}  // namespace lumora
