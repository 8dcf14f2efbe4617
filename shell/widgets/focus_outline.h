#pragma once

// An outline in the frame colour around a control while it has the
// keyboard, for the controls whose own look does not change with the focus
// (a list whose selection looks the same, a text view without a caret).
// It is a child of the control, drawn over it and letting the mouse
// through, and ends with it.
//
// Threads: the UI thread only.

#include <QWidget>

namespace lumora {

class FocusOutline final : public QWidget {
    Q_OBJECT
public:
    // Gives `control` an outline; a control that has one keeps it.
    static void Attach(QWidget* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    explicit FocusOutline(QWidget* control);
    void Follow();

    QWidget* control_;
};

// Outlines the frameless scrolled areas of `window` that take the keyboard.
void OutlineFramelessAreas(QWidget* window);

}  // namespace lumora
