#pragma once

// Time marks of the start-up probe (lumora_startup_probe): each mark is
// printed as "mark NAME NANOSECONDS" on the boot-time clock, which every
// process of the machine shares, so the script
// that starts the program can subtract its own clock reading taken just
// before the start. The kernel's own record of the process start is printed
// too ("proc_start"), though only to the kernel's tick (usually 10 ms).
//
// WindowShownWatcher notes when a chosen top-level window is first on
// screen: its first expose event, then the end of the event processing that
// follows it (the window is painted and flushed by then). It then calls its
// `shown` action once.
//
// Threads: the UI thread only.

#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWindow>

namespace lumora::bench {

inline std::int64_t BootTimeNs() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// The process start from /proc/self/stat (field 22, in clock ticks since
// boot), in nanoseconds of the boot-time clock; 0 when unreadable.
inline std::int64_t ProcessStartNs() {
    std::ifstream file("/proc/self/stat");
    std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The command name may hold spaces and parentheses: fields count from
    // the last ')'.
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    // Field 3 (state) is the first after the name; starttime is field 22.
    for (int index = 3; index < 22 && fields >> field; ++index) {
    }
    unsigned long long ticks = 0;
    if (!(fields >> ticks))
        return 0;
    const long perSecond = sysconf(_SC_CLK_TCK);
    return perSecond > 0 ? std::int64_t(ticks * (1'000'000'000ULL / perSecond)) : 0;
}

class Marks {
public:
    void Add(const char* name) { marks_.emplace_back(name, BootTimeNs()); }
    void AddOnce(const char* name) {
        for (const auto& mark : marks_)
            if (mark.first == name)
                return;
        Add(name);
    }
    bool Has(const char* name) const {
        for (const auto& mark : marks_)
            if (mark.first == name)
                return true;
        return false;
    }
    // Printed at the end, so that printing costs nothing while measuring.
    void Print() const {
        std::printf("proc_start %lld\n", static_cast<long long>(ProcessStartNs()));
        for (const auto& [name, ns] : marks_)
            std::printf("mark %s %lld\n", name.c_str(), static_cast<long long>(ns));
        std::fflush(stdout);
    }

private:
    std::vector<std::pair<std::string, std::int64_t>> marks_;
};

class WindowShownWatcher : public QObject {
public:
    // `isWatched` tells whether a QWindow is the one to watch; it is asked
    // on expose events only.
    WindowShownWatcher(Marks& marks, std::function<bool(QWindow*)> isWatched,
                       std::function<void()> shown)
        : marks_(marks), isWatched_(std::move(isWatched)), shown_(std::move(shown)) {
        QCoreApplication::instance()->installEventFilter(this);
    }

    bool Shown() const { return done_; }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::Expose || exposed_ || !object->isWindowType())
            return false;
        auto* window = static_cast<QWindow*>(object);
        if (!window->isExposed() || !isWatched_(window))
            return false;
        exposed_ = true;
        marks_.Add("exposed");
        // The expose is handled (painted and flushed) before the event loop
        // comes back to the timers.
        QTimer::singleShot(0, this, [this] {
            marks_.Add("shown");
            done_ = true;
            shown_();
        });
        return false;
    }

private:
    Marks& marks_;
    std::function<bool(QWindow*)> isWatched_;
    std::function<void()> shown_;
    bool exposed_ = false;
    bool done_ = false;
};

}  // namespace lumora::bench
