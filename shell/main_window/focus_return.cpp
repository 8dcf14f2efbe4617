#include "shell/main_window/focus_return.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

namespace lumora {
namespace {

// Popups and tool tips never take the keyboard from a window (Qt grabs it
// for a popup and gives it back), so their closing changes nothing.
bool TakesKeyboard(const QWidget* window) {
    const Qt::WindowType type = window->windowType();
    return type != Qt::Popup && type != Qt::ToolTip && type != Qt::SplashScreen;
}

}  // namespace

FocusReturn::FocusReturn(QWidget* home) : QObject(home), home_(home) {
    qApp->installEventFilter(this);
}

bool FocusReturn::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide && watched->isWidgetType()) {
        const auto* widget = static_cast<QWidget*>(watched);
        if (widget->isWindow() && widget != home_ && TakesKeyboard(widget) && !queued_) {
            // After the hide has finished: the closing window may still be
            // the active one now.
            queued_ = true;
            QTimer::singleShot(0, this, &FocusReturn::ReturnFocus);
        }
    }
    return QObject::eventFilter(watched, event);
}

void FocusReturn::ReturnFocus() {
    queued_ = false;
    QWidget* target = QApplication::activeModalWidget();
    if (target == nullptr)
        target = home_;
    if (target == nullptr || !target->isVisible())
        return;
    target->raise();
    target->activateWindow();
}

}  // namespace lumora
