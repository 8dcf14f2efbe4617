#include "status_recorder.h"

#include <QCoreApplication>
#include <QThread>

namespace lumora::test {

void StatusRecorder::OnPlayerStatus(const PlayerReport& report) {
    const bool onUiThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    reports.push_back({report.status, report.text, report.end, onUiThread});
}

bool StatusRecorder::Saw(const std::u16string& text) const {
    return IndexOf(text) >= 0;
}

int StatusRecorder::IndexOf(const std::u16string& text) const {
    for (std::size_t i = 0; i < reports.size(); ++i) {
        if (reports[i].text == text)
            return int(i);
    }
    return -1;
}

}  // namespace lumora::test
