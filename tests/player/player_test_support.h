#pragma once

// Shared pieces of the player tests: test streams made by ffmpeg, a
// loopback server, the status recorder, and picture measures.

#include <string>
#include <vector>

#include <QImage>
#include <QProcess>
#include <QString>
#include <QThread>

#include "player/status_listener.h"
#include "server_process.h"
#include "status_recorder.h"

namespace lumora::test {

// Streams made once per build tree (<build>/tests/player/streams):
// stream.ts (MPEG-TS, 6 s, testsrc2 320x240 + sine), long.ts (the same,
// 20 s), hls/index.m3u8 (2 s segments), page.html (an HTML page that is no
// stream).
const QString& StreamFolder();

// The loopback server of stream_server.py; ended by the destructor.
class StreamServer {
public:
    explicit StreamServer(const QStringList& extraArguments = {});
    ~StreamServer();
    // Ends the server at once (SIGKILL), as a server that dies.
    void Kill();
    std::u16string Url(const QString& path) const;
    int Port() const { return port_; }

private:
    QProcess process_;
    int port_ = 0;
};

// Saves the image to <build>/screenshots/<name>.png.
void SaveScreenshot(const QImage& image, const QString& name);

// Share of pixels that are not near black, and the number of distinct
// coarse colours (4 bits per channel) in the image.
double ShareNotBlack(const QImage& image);
int CoarseColourCount(const QImage& image);

}  // namespace lumora::test
