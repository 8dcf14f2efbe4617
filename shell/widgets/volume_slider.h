#pragma once

// The volume trackbar of the control bar: a horizontal slider over 0..100
// that paints itself from TrackBitmap and ThumbImages. The track bitmap is
// drawn in three slices (its left half, its middle column stretched, its
// right half) and the thumb image, unscaled, centred in the thumb rectangle;
// the whole picture is composed off-screen and copied in one block.
//
// Input as on the platform's trackbar: dragging the thumb follows the mouse,
// a press on the track beside the thumb moves one page (20) towards the
// press, the arrow keys move one line (5), Page Up/Down one page, Home/End
// to the ends. Every change by the user emits valueChanged; setValue does
// too (the control bar tells the two apart). While the slider has the focus
// these keys are its own, even where the window has shortcuts for them (the
// zapping keys).
//
// Screen readers see a slider whose value text is the volume in percent
// (accessible_widgets).
//
// Threads: the UI thread only.

#include <QAbstractSlider>

namespace lumora {

class VolumeSlider : public QAbstractSlider {
    Q_OBJECT
public:
    explicit VolumeSlider(QWidget* parent = nullptr);

    // Where the thumb is drawn, in the slider's coordinates: as wide as the
    // thumb image, full height, placed along the track by the value.
    QRect thumbRect() const;
    // The value for a thumb dragged so that its left edge is at `left`.
    int valueForThumbLeft(int left) const;

    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // In device pixels: the slider is drawn at the device's real pixels.
    int thumbWidth() const;
    int travel() const;  // the pixels the thumb's left edge can move
    int thumbLeft() const;

    int dragOffset_ = -1;  // press point minus thumb left edge while dragging
};

}  // namespace lumora
