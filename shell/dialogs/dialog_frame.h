#pragma once

// The frame every dialog of the program is built on.
//
// A full-screen dialog covers the main window's area (or a handheld-sized
// area when there is no main window yet) and carries a SoftKeyBar at its
// bottom. A template-size dialog (the update wait dialog, the splash) keeps
// the size of its template, given in dialog units, and is centred.
//
// Commands reach the dialog through DispatchCommand: the dialog's OnCommand
// sees them first; the commands it does not handle end the dialog the frame's
// way (1 and 0xE790 with 1, 2 and 0xE791 with 2). Esc is command 2.
//
// Painting: the background brush of the interface, then (unless switched
// off) the title strip with the window title, then PaintClient; a
// template-size dialog is a bordered pop-up, outlined last in the frame
// colour.
// Labels and check boxes are drawn in the light text colour. At the first
// show, a frameless list or text view that takes the keyboard is named by
// the dialog's title when nothing else names it, and is outlined while it
// has the keyboard.
//
// Threads: the UI thread only.

#include <QDialog>
#include <QRect>
#include <QSize>

class QPainter;

namespace lumora {

class SoftKeyBar;

enum class DialogSize { FullScreen, Template };
enum class TitleStrip { Shown, Hidden };

class DialogFrame : public QDialog {
    Q_OBJECT
public:
    // templateUnits: the template's size in dialog units (used by
    // DialogSize::Template only).
    DialogFrame(QWidget* owner, DialogSize size, TitleStrip strip = TitleStrip::Shown,
                QSize templateUnits = {});
    ~DialogFrame() override;

    // Offers the command to OnCommand, then applies the frame's handling.
    void DispatchCommand(int command);

    // The soft keys of a full-screen dialog; null in template size.
    SoftKeyBar* SoftKeys() const { return softKeys_; }
    DialogSize SizeMode() const { return sizeMode_; }

    // The dialog's own area: the whole dialog above the soft keys.
    QRect ClientRect() const;

    // Dialog units (the average character width / 4, the character height
    // / 8 of the dialog font) to pixels, for controls kept at their template
    // positions.
    QRect MapDialogRect(const QRect& units) const;

public slots:
    void accept() override;  // ends with 1
    void reject() override;  // Esc and the window's close button: command 2

protected:
    // Return true when the command was handled; the frame then does nothing.
    virtual bool OnCommand(int command);
    // Lays out the dialog's controls in its client area (w x h).
    virtual void OnSize(int width, int height);
    // Paints over the background and the title strip.
    virtual void PaintClient(QPainter& painter);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

    // Gives the window its frame size and place (full-screen area, or the
    // template size centred over the owner). Runs once, at the first show,
    // unless the dialog ran it before (a dialog that sizes itself, like the
    // splash, calls it first and then changes the geometry).
    void PlaceWindow();

private:
    bool placed_ = false;

    DialogSize sizeMode_;
    TitleStrip titleStrip_;
    QSize templateUnits_;
    SoftKeyBar* softKeys_ = nullptr;
};

// Paints the dialog title strip: the bar background in three slices across
// the top, BarHeight high, and `title` in the bold interface font,
// RGB(250, 250, 255), one line, vertically centred in the rectangle narrowed
// by 3 pixels left and right and 5 * BarHeight / 6 high.
void PaintTitleStrip(QPainter& painter, int width, const QString& title);

// Applies the dialog colours to a widget tree: interface background, light
// text for labels and check boxes.
void ApplyDialogColours(QWidget* widget);

// The area a full-screen window takes: the main window's client area in
// global coordinates, or a handheld-like portrait area (360 x 640 logical
// pixels, smaller when the screen is) centred on the primary screen.
QRect FullScreenArea();
QSize HandheldWindowSize();

}  // namespace lumora
