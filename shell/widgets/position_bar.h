#pragma once

// The position bar of the control bar, beside the volume slider: where
// playback stands within what can be played again. For a live stream with
// a back buffer the bar spans the buffer's window, the part the buffer
// holds is lighter and the thumb is what is shown; its text says how far
// behind live ("-04:12") or "Live". For a programme from the archive the
// bar spans the programme and the text is the programme's own time of day
// ("20:13").
//
// Left/Right step 30 s back and forth, Home goes to the earliest second,
// End to live (or the end); a press or a drag on the track goes there.
// While the bar has the focus these keys are its own, as the volume
// slider's are. The bar changes nothing itself: it asks through
// seekRequested, and the playback control moves the player.
//
// Screen readers see a slider whose value text is the bar's text
// (accessible_widgets).
//
// Threads: the UI thread only.

#include <QString>
#include <QWidget>

#include "player/playback_position.h"

namespace lumora {

class PositionBar final : public QWidget {
    Q_OBJECT
public:
    explicit PositionBar(QWidget* parent = nullptr);

    // What the bar shows: the span from `first` to `last` (stream clock
    // seconds), the part from `heldFrom` on that can be played, the
    // position, and the text at the right end.
    struct Shown {
        double first = 0;
        double last = 0;
        double heldFrom = 0;
        double position = 0;
        QString text;
        bool operator==(const Shown&) const = default;
    };
    void SetShown(const Shown& shown);
    const Shown& shown() const { return shown_; }

    // The stream-clock second under x (the bar's coordinates).
    double PositionAt(int x) const;
    // A drag is on: what the player says does not move the thumb.
    bool Dragging() const { return dragging_; }
    QSize sizeHint() const override;

signals:
    void seekRequested(double position);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The track's extent in logical pixels: the bar less the text.
    int TrackLeft() const;
    int TrackWidth() const;
    int TextWidth() const;
    int XOf(double position) const;

    Shown shown_;
    bool dragging_ = false;
};

}  // namespace lumora
