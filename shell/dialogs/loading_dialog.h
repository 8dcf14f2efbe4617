#pragma once

// The start-up splash: a small centred window with the application title,
// the text of "static_loading" and the splash picture. Start-up shows it
// (ShowLoadingDialog) and gives it a moment to paint before the main window
// is built; the player view's first timer tick ends it (EndLoadingDialog),
// unless the user has closed it already with Esc or the commands 1 or 2.
//
// The splash is a window of the UI thread like every other. Once it has
// ended it deletes itself and the published pointer turns null, so a late
// end request finds nothing to close.
//
// It never hides what the user must answer: it stays above the windows of
// start-up only until the main window is up (KeepLoadingDialogInLine), it
// does not take the keyboard, and a modal window that opens while it shows
// ends it, unless the splash owns that window (the messages about the
// catalogue at start, which come over it).
//
// Threads: the UI thread only.

#include <QImage>
#include <QRect>
#include <QSize>

#include "shell/dialogs/dialog_frame.h"

class QLabel;

namespace lumora {

// Where the splash picture goes and how much the window grows for it.
struct SplashPlacement {
    QRect image;     // the picture's rectangle, in client coordinates
    int growUp = 0;  // the window's top edge moves up by this
    int grow = 0;    // and the window gets this much taller
};

// The splash picture of `imageSize` in a window `clientWidth` wide and
// `windowHeight` high: a picture wider than the window is halved until it
// fits; one narrower than half the window is doubled until it is at least
// half as wide; it goes centred under the window's current area, and the
// window grows around its centre by 4/3 of the picture's height. An empty
// picture places nothing.
SplashPlacement PlaceSplashImage(QSize imageSize, int clientWidth, int windowHeight);

class LoadingDialog final : public DialogFrame {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 209;
    static constexpr QSize kTemplateUnits{137, 35};
    static constexpr int kLoadingTextId = 1007;

    explicit LoadingDialog(QWidget* owner);
    ~LoadingDialog() override;

    // The picture's rectangle; empty without a splash picture.
    QRect ImageRect() const { return imageRect_; }
    // True once the dialog has been painted.
    bool Painted() const { return painted_; }

signals:
    // After the first paint.
    void FirstPainted();

protected:
    void OnSize(int width, int height) override;
    void PaintClient(QPainter& painter) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void PlaceAroundImage();

    QImage image_;
    QRect imageRect_;
    QLabel* loadingText_ = nullptr;
    bool initialised_ = false;
    bool painted_ = false;
};

// Shows the splash (the shell's StartLoadingDialog); true when it is on
// screen. A splash that is still open is left as it is.
bool ShowLoadingDialog();
// Serves events until the splash has been painted once, at most
// `limitMs`: the splash is on screen before the main window, which keeps
// the UI thread busy while it is built, and start-up waits no longer than
// the painting takes. Returns at once without an open splash or when it
// has been painted already.
void WaitForLoadingDialogPainted(int limitMs);
// The main window is up: the splash is no longer kept above every other
// window. Nothing without an open splash.
void KeepLoadingDialogInLine();
// Ends the splash with 1 when it is still open (the shell's
// EndLoadingDialog); nothing otherwise.
void CloseLoadingDialog();
// The open splash, or null.
LoadingDialog* TheLoadingDialog();

}  // namespace lumora
