#include "player_test_support.h"

#include <set>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace lumora::test {

namespace {

bool RunFfmpeg(const QStringList& arguments) {
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", QStringList{"-loglevel", "error", "-y"} + arguments);
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0;
}

QStringList TestSources(int seconds) {
    return {"-f",      "lavfi",
            "-i",      "testsrc2=size=320x240:rate=25",
            "-f",      "lavfi",
            "-i",      "sine=frequency=440",
            "-t",      QString::number(seconds),
            "-c:v",    "libx264",
            "-preset", "ultrafast",
            "-g",      "25",
            "-c:a",    "aac"};
}

bool MakeStreamsIn(const QString& root) {
    const bool made =
        RunFfmpeg(TestSources(6) + QStringList{"-f", "mpegts", root + "/stream.ts"}) &&
        QDir(root).mkpath("hls") &&
        RunFfmpeg(TestSources(6) + QStringList{"-f", "hls", "-hls_time", "2", "-hls_list_size", "0",
                                               root + "/hls/index.m3u8"}) &&
        RunFfmpeg(TestSources(20) + QStringList{"-f", "mpegts", root + "/long.ts"});
    QFile page(root + "/page.html");
    return made && page.open(QIODevice::WriteOnly) &&
           page.write("<html><body><p>This is a web page, not a stream.</p></body></html>\n") > 0;
}

// Made once per build tree and shared by the test processes: each is made
// in a folder of its own and renamed into place, so test processes running
// side by side never see half-made streams.
QString MakeStreams() {
    const QString root = QString(LUMORA_BUILD_DIR) + "/tests/player/streams";
    if (QFile::exists(root + "/page.html") && QFile::exists(root + "/long.ts"))
        return root;
    QTemporaryDir scratch(root + "-XXXXXX");
    scratch.setAutoRemove(true);
    if (!MakeStreamsIn(scratch.path())) {
        ADD_FAILURE() << "ffmpeg could not make the test streams";
        return scratch.path();
    }
    if (QDir().rename(scratch.path(), root))
        scratch.setAutoRemove(false);
    else
        QFile::rename(scratch.path() + "/long.ts", root + "/long.ts");  // a tree made before it
    return root;
}

}  // namespace

const QString& StreamFolder() {
    static const QString folder = MakeStreams();
    return folder;
}

StreamServer::StreamServer(const QStringList& extraArguments) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start("python3",
                   QStringList{LUMORA_STREAM_SERVER, "--root", StreamFolder()} + extraArguments);
    if (!process_.waitForStarted(5000)) {
        ADD_FAILURE() << "the stream server did not start";
        return;
    }
    while (!process_.canReadLine() && process_.waitForReadyRead(5000)) {
    }
    const QByteArray line = process_.readLine().trimmed();
    if (!line.startsWith("PORT ")) {
        ADD_FAILURE() << "the stream server did not say its port";
        return;
    }
    port_ = line.mid(5).toInt();
}

StreamServer::~StreamServer() {
    Kill();
}

void StreamServer::Kill() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.kill();
    process_.waitForFinished(5000);
}

std::u16string StreamServer::Url(const QString& path) const {
    return QString("http://127.0.0.1:%1/%2").arg(port_).arg(path).toStdU16String();
}

void SaveScreenshot(const QImage& image, const QString& name) {
    const QString folder = QString(LUMORA_BUILD_DIR) + "/screenshots";
    QDir().mkpath(folder);
    image.save(folder + "/" + name + ".png");
}

double ShareNotBlack(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    qint64 lit = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb pixel = rgb.pixel(x, y);
            if (qRed(pixel) + qGreen(pixel) + qBlue(pixel) > 60)
                ++lit;
        }
    }
    const qint64 all = qint64(rgb.width()) * rgb.height();
    return all == 0 ? 0.0 : double(lit) / double(all);
}

int CoarseColourCount(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    std::set<int> colours;
    for (int y = 0; y < rgb.height(); y += 2) {
        for (int x = 0; x < rgb.width(); x += 2) {
            const QRgb pixel = rgb.pixel(x, y);
            colours.insert((qRed(pixel) >> 4) << 8 | (qGreen(pixel) >> 4) << 4 |
                           (qBlue(pixel) >> 4));
        }
    }
    return int(colours.size());
}

}  // namespace lumora::test
