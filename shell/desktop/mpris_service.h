#pragma once

// Media keys and desktop controls: the program as an MPRIS 2 media player
// on the session bus ("org.mpris.MediaPlayer2.lumora", object
// "/org/mpris/MediaPlayer2"). Play, pause, play/pause and stop act like the
// play/stop button; next and previous zap as the zapping keys do; the volume follows and sets the
// slider; the metadata name the channel, its country and its flag; raise and quit act like a second
// start and Ctrl+Q. Without a session bus nothing is registered.
//
// Threads: the UI thread only (Qt D-Bus delivers calls there).

#include <QObject>
#include <QString>
#include <QVariantMap>

#include "catalogue/channel_views.h"

namespace lumora {

class AddressLauncher;
class MainFrame;

inline constexpr char kMprisServiceName[] = "org.mpris.MediaPlayer2.lumora";
inline constexpr char kMprisObjectPath[] = "/org/mpris/MediaPlayer2";

class MprisService : public QObject {
    Q_OBJECT
public:
    // Exports the service for `frame`; `launcher` (may be null) opens the
    // addresses given to OpenUri.
    MprisService(MainFrame& frame, AddressLauncher* launcher);
    ~MprisService() override;

    // True when the name is owned on the session bus.
    bool Registered() const { return registered_; }

    // org.mpris.MediaPlayer2
    void Raise();
    void Quit();
    bool FullScreen() const;
    void SetFullScreen(bool fullScreen);
    // org.mpris.MediaPlayer2.Player
    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next();
    void Previous();
    void OpenUri(const QString& uri);
    QString PlaybackStatus() const;
    QVariantMap Metadata() const;
    double Volume() const;
    void SetVolume(double volume);

private:
    void Zap(ZapDirection direction);
    void AnnounceChanges(const QStringList& names);

    MainFrame& frame_;
    AddressLauncher* launcher_;
    bool registered_ = false;
};

}  // namespace lumora
