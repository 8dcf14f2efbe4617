#include "shell/desktop/termination_signals.h"

#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace lumora {
namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};

// The pipe end the handler writes to; -1 while no object listens. Lock-free,
// so reading it inside a handler is safe.
std::atomic<int> handlerPipe{-1};
static_assert(std::atomic<int>::is_always_lock_free);

void WriteSignalToPipe(int signalNumber) {
    const int savedErrno = errno;
    const int pipe = handlerPipe.load(std::memory_order_relaxed);
    if (pipe >= 0) {
        const auto byte = static_cast<unsigned char>(signalNumber);
        // A full pipe already holds a signal to act on; this one may go.
        [[maybe_unused]] const ssize_t written = ::write(pipe, &byte, 1);
    }
    errno = savedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    int ends[2];
    if (handlerPipe.load() >= 0 || ::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    readEnd_ = ends[0];
    writeEnd_ = ends[1];
    handlerPipe.store(writeEnd_);
    notifier_ = new QSocketNotifier(readEnd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::Drain);

    struct sigaction action {};
    action.sa_handler = &WriteSignalToPipe;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls go on; the handler is used once per signal.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &action, &previous_[i]);
}

TerminationSignals::~TerminationSignals() {
    if (notifier_ == nullptr)
        return;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &previous_[i], nullptr);
    handlerPipe.store(-1);
    delete notifier_;
    ::close(readEnd_);
    ::close(writeEnd_);
}

void TerminationSignals::Drain() {
    unsigned char numbers[16];
    for (;;) {
        const ssize_t n = ::read(readEnd_, numbers, sizeof numbers);
        if (n <= 0)
            return;
        for (ssize_t i = 0; i < n; ++i)
            emit received(numbers[i]);
    }
}

}  // namespace lumora
