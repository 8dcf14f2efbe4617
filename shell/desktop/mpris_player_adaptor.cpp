#include "shell/desktop/mpris_player_adaptor.h"

#include "shell/desktop/mpris_service.h"

namespace lumora {

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), service_(service) {}

QString MprisPlayerAdaptor::PlaybackStatus() const {
    return service_->PlaybackStatus();
}

QVariantMap MprisPlayerAdaptor::Metadata() const {
    return service_->Metadata();
}

double MprisPlayerAdaptor::Volume() const {
    return service_->Volume();
}

void MprisPlayerAdaptor::SetVolume(double volume) {
    service_->SetVolume(volume);
}

void MprisPlayerAdaptor::Next() {
    service_->Next();
}

void MprisPlayerAdaptor::Previous() {
    service_->Previous();
}

void MprisPlayerAdaptor::Pause() {
    service_->Pause();
}

void MprisPlayerAdaptor::PlayPause() {
    service_->PlayPause();
}

void MprisPlayerAdaptor::Stop() {
    service_->Stop();
}

void MprisPlayerAdaptor::Play() {
    service_->Play();
}

void MprisPlayerAdaptor::OpenUri(const QString& uri) {
    service_->OpenUri(uri);
}

}  // namespace lumora
