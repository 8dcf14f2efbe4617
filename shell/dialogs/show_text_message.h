#pragma once

// Message boxes with a text of the language pack under the application title.
//
// Threads: the UI thread only.

#include <functional>
#include <string_view>

#include <QString>

class QWidget;

namespace lumora {

// Message-box styles (the platform's values): a single OK button, or a
// question with Yes and No.
inline constexpr int kMessageStyleOk = 0;
inline constexpr int kMessageStyleYesNo = 4;
// The button a box returns; a question closed without an answer is No.
inline constexpr int kMessageResultOk = 1;
inline constexpr int kMessageResultYes = 6;
inline constexpr int kMessageResultNo = 7;

// Shows a modal box owned by `owner` (may be null) with the UI text of `key`
// and the caption AppTitle; returns the button pressed.
int ShowTextMessage(QWidget* owner, std::string_view key, int style = kMessageStyleOk);

// Shows a modal box with a ready text; the catalogue's messages use it.
int ShowPlainMessage(QWidget* owner, const QString& text, const QString& caption,
                     int style = kMessageStyleOk);

// Who shows the boxes. The default puts up a QMessageBox; tests install one
// that records the texts instead of blocking. Empty restores the default.
using MessagePresenter =
    std::function<int(QWidget* owner, const QString& text, const QString& caption, int style)>;
void SetMessagePresenter(MessagePresenter presenter);

}  // namespace lumora
