#pragma once

// Putting the language pack's texts on widgets. Dialogs built in code carry
// text keys as their captions and texts; these functions replace them.
//
// Threads: the UI thread only.

#include <string_view>

#include <QString>

class QWidget;

namespace lumora {

// The UI text of the key (empty when the key has none).
QString Text(std::string_view key);

// Controls of a dialog are found by their numeric identifier, kept as the
// widget property "controlId" (the identifiers of the dialog templates).
void SetControlId(QWidget* control, int id);
int ControlId(const QWidget* control);  // -1 when none
// The first descendant of `dialog` with that identifier, or null.
QWidget* DialogItem(QWidget* dialog, int id);

// The text a widget shows: the window title of a top-level widget, else the
// text of a label, button or group box. Other widgets have none.
QString WindowText(const QWidget* widget);
void SetWindowText(QWidget* widget, const QString& text);

// Sets the widget's text to the UI text of the key (empty when the key has
// none, as the platform does).
void SetWindowTextByKey(QWidget* widget, std::string_view key);
// The same for the control `id` of `dialog`; nothing when there is none.
void SetItemTextByKey(QWidget* dialog, int id, std::string_view key);

// Every widget of the tree under `root` (root included) whose text is a key
// with a non-empty text gets that text; other texts stay as they are.
void LocaliseWindowTree(QWidget* root);

}  // namespace lumora
