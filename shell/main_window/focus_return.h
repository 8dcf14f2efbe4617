#pragma once

// Gives the keyboard back after a window closes. With a window manager the
// manager does it; without one (kiosks, handhelds) the X server drops the
// focus to the root window when a dialog, message box or the full-screen
// video goes away, and Ctrl+Q and the soft keys stop answering. So when a
// top-level window of the program is hidden, the window below it is
// activated: the modal dialog still open, else the main window.
//
// Threads: the UI thread only.

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace lumora {

class FocusReturn : public QObject {
    Q_OBJECT
public:
    // Watches every window of the application for the life of this object;
    // `home` is the window that takes the keyboard when nothing modal is open.
    explicit FocusReturn(QWidget* home);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ReturnFocus();

    QPointer<QWidget> home_;
    bool queued_ = false;
};

}  // namespace lumora
