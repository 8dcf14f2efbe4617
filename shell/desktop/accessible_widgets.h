#pragma once

// What screen readers see of the controls Lumora paints itself. Qt's
// accessibility knows standard widgets; these interfaces describe the
// painted ones to it (and so to AT-SPI): the volume slider and the
// position bar as sliders with their values, the title strip as the
// channel's name (a heading) and the status line (a status bar whose
// changes are announced), the soft-key bars as two buttons that can be
// pressed, and the channel list's tab strip as two page tabs.
//
// A painted part (a soft key, a tab, a line of the title strip) is a child
// of its widget's interface, numbered from 0 in the order the widget
// paints them.
//
// Threads: the UI thread only.

#include <QAccessible>

class QWidget;

namespace lumora {

// Registers the interfaces with Qt's accessibility. Called once at start,
// before the first window; calling it again does nothing.
void InstallAccessibleWidgets();

// Names the scrolled areas of `window` (lists, text views) that have no
// name of their own and no label after the window's title: a dialog's one
// list is what the dialog is about.
void NameScrollAreasByTheirWindow(QWidget* window);

// Tells assistive technology that the text of the painted part `child` of
// `widget` changed (-1: the widget's own name).
void NotifyAccessibleNameChanged(QWidget* widget, int child = -1);
// The same for states of a part: `changed` holds the states that changed.
void NotifyAccessibleStateChanged(QWidget* widget, int child, QAccessible::State changed);

}  // namespace lumora
