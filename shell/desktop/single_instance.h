#pragma once

// The single-instance guard. The first instance holds a lock file in the
// user's runtime folder (the named mutex) and listens on a local socket named
// after the class name and the user (the window a second instance looks for).
// A second instance hands its command line over that socket; the first raises
// and activates its main window and acknowledges; the second then exits with 1.
//
// Threads: the UI thread. The first instance's socket is served by the event
// loop; Acquire blocks for at most 25 attempts of about 100 ms.

#include <memory>

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;
class QLockFile;

namespace lumora {

// The class name: the name of the lock, of the socket and the main window's
// first title.
inline constexpr char kClassName[] = "Lumora";

// Results of Acquire, the values the program returns when it must not start.
inline constexpr int kGuardFirstInstance = 0;             // S_OK: start
inline constexpr int kGuardHandedOver = 1;                // S_FALSE: another instance took over
inline constexpr int kGuardFailed = int(0x80004005u);     // E_FAIL: the lock could not be made
inline constexpr int kGuardBadHandle = int(0x80070057u);  // E_INVALIDARG

class SingleInstanceGuard : public QObject {
    Q_OBJECT
public:
    // runtimeFolder empty: the user's runtime folder (XDG_RUNTIME_DIR).
    explicit SingleInstanceGuard(QString className = QString::fromLatin1(kClassName),
                                 QString runtimeFolder = {});
    ~SingleInstanceGuard() override;

    // Runs the guard. kGuardFirstInstance: this process is the first one
    // (or the first one never answered in 25 attempts) and now listens for
    // later ones. kGuardHandedOver: a running instance took the command line
    // and was brought to the front. A negative value: the lock could not be
    // made at all.
    int Acquire(const QString& commandLine);

    // How many attempts Acquire made (tests).
    int AttemptsMade() const { return attempts_; }

    static constexpr int kMaxAttempts = 25;
    static constexpr int kAttemptPauseMs = 100;

signals:
    // A later instance started; commandLine is what it was given (the program
    // gives it no meaning). The receiver raises and activates the main window.
    void activationRequested(const QString& commandLine);

private:
    bool TryBecomeFirst(int& failure);
    bool StartListening();
    bool HandOver(const QString& commandLine);
    void ServeConnection(QLocalSocket* socket);

    QString className_;
    QString runtimeFolder_;
    QString lockPath_;
    QString serverPath_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
    int attempts_ = 0;
};

}  // namespace lumora
