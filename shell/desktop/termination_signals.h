#pragma once

// Turns SIGTERM, SIGINT and SIGHUP (logout, shutdown, Ctrl+C in a terminal,
// a closed terminal) into a Qt signal on the UI thread, so the program can
// end as Ctrl+Q ends it instead of dying with the session's changes unsaved.
//
// The handler only writes the signal's number into a pipe (a self-pipe: the
// one thing a handler may safely do); a QSocketNotifier on the other end
// reads it in the event loop. A second identical signal gets the default
// reaction, so a program that hangs while ending can still be stopped.
//
// One object at a time; the earlier reactions come back when it goes.
// Threads: made and destroyed on the UI thread.

#include <array>
#include <csignal>

#include <QObject>

class QSocketNotifier;

namespace lumora {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the pipe could not be made: the signals then keep their
    // default reaction.
    bool Installed() const { return notifier_ != nullptr; }

signals:
    void received(int signalNumber);

private:
    void Drain();

    int readEnd_ = -1;
    int writeEnd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    std::array<struct sigaction, 3> previous_{};
};

}  // namespace lumora
