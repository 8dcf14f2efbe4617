#include "shell/desktop/single_instance.h"

#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

namespace lumora {
namespace {

// A hand-over is one line of UTF-8 text; the answer one line.
constexpr char kAcknowledge[] = "raised\n";
constexpr qint64 kMaxHandOverBytes = 64 * 1024;
constexpr int kHandOverTimeoutMs = 2000;

QString UserName() {
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_name != nullptr)
        return QString::fromLocal8Bit(entry->pw_name);
    return QString::number(getuid());
}

}  // namespace

SingleInstanceGuard::SingleInstanceGuard(QString className, QString runtimeFolder)
    : className_(std::move(className)), runtimeFolder_(std::move(runtimeFolder)) {
    if (runtimeFolder_.isEmpty())
        runtimeFolder_ = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtimeFolder_.isEmpty())
        runtimeFolder_ = QDir::tempPath();
    const QString baseName =
        runtimeFolder_ + QLatin1Char('/') + className_ + QLatin1Char('-') + UserName();
    lockPath_ = baseName + QStringLiteral(".lock");
    serverPath_ = baseName;
}

SingleInstanceGuard::~SingleInstanceGuard() = default;

int SingleInstanceGuard::Acquire(const QString& commandLine) {
    if (className_.isEmpty())
        return kGuardFailed;
    for (attempts_ = 0; attempts_ < kMaxAttempts; ++attempts_) {
        int failure = 0;
        if (TryBecomeFirst(failure)) {
            // Without a socket later instances cannot hand over, but they
            // still start after their attempts; this one runs either way.
            StartListening();
            return kGuardFirstInstance;
        }
        if (failure != 0)
            return failure;
        if (HandOver(commandLine))
            return kGuardHandedOver;
        // The other instance may still be building its window.
        QThread::msleep(kAttemptPauseMs);
    }
    // Nobody answered: start after all, without the lock, so the user is
    // never locked out by a hung instance.
    StartListening();
    return kGuardFirstInstance;
}

bool SingleInstanceGuard::TryBecomeFirst(int& failure) {
    if (!lock_) {
        lock_ = std::make_unique<QLockFile>(lockPath_);
        // A live lock never goes stale by age, only when its process is gone.
        lock_->setStaleLockTime(0);
    }
    if (lock_->tryLock(0))
        return true;
    switch (lock_->error()) {
    case QLockFile::LockFailedError: return false;  // held by a running instance
    case QLockFile::PermissionError: failure = kGuardBadHandle; return false;
    default: failure = kGuardFailed; return false;
    }
}

bool SingleInstanceGuard::StartListening() {
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // The lock is ours (or nobody answers on the old socket), so a socket
    // file left by a crashed instance can go.
    QLocalServer::removeServer(serverPath_);
    if (!server_->listen(serverPath_)) {
        server_.reset();
        return false;
    }
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection())
            ServeConnection(socket);
    });
    return true;
}

void SingleInstanceGuard::ServeConnection(QLocalSocket* socket) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // A client that never finishes its line is dropped.
    QTimer::singleShot(kHandOverTimeoutMs, socket, [socket] { socket->abort(); });
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        if (!socket->canReadLine()) {
            if (socket->bytesAvailable() > kMaxHandOverBytes)
                socket->abort();
            return;
        }
        const QByteArray line = socket->readLine(kMaxHandOverBytes).trimmed();
        emit activationRequested(QString::fromUtf8(line));
        socket->write(kAcknowledge);
        socket->flush();
        socket->disconnectFromServer();
    });
}

bool SingleInstanceGuard::HandOver(const QString& commandLine) {
    QLocalSocket socket;
    socket.connectToServer(serverPath_);
    if (!socket.waitForConnected(kAttemptPauseMs))
        return false;
    // An empty command line sends an empty line: the first instance is still
    // asked to come to the front.
    QByteArray message = commandLine.toUtf8();
    message.replace('\n', ' ');
    message.append('\n');
    socket.write(message);
    if (!socket.waitForBytesWritten(kHandOverTimeoutMs))
        return false;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(kHandOverTimeoutMs))
            return false;
    }
    return socket.readLine().startsWith("raised");
}

}  // namespace lumora
