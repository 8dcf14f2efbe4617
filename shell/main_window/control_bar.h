#pragma once

// The bar at the bottom of the playing screen: the play/stop button, the
// full-screen button and the volume slider on the bar background. The bar
// reports what the user does through its signals and changes nothing
// itself; the player view answers with setPlaying and setVolume.
//
// Layout, with B = BarHeight, S = B * 5 / 6 and T = (B - S) / 2: play/stop
// at (B / 2, T), full screen at (B + S, T), both S x S; the volume slider at
// (B / 2 + 2S + B, T), 3B x S. The position bar, shown only while there is
// something to move in (PositionBar), takes the rest of the bar after half
// a bar's gap, less half a bar at the right end.
//
// Threads: the UI thread only.

#include <QWidget>

namespace lumora {

class ImageButton;
class PositionBar;
class VolumeSlider;

class ControlBar : public QWidget {
    Q_OBJECT
public:
    // Starts in the not-playing state with the volume of the setting
    // "sound_volume" (default 50).
    explicit ControlBar(QWidget* parent = nullptr);

    // The play/stop button shows the stop images while playing, the play
    // images otherwise. Setting the state it already has does nothing.
    void setPlaying(bool playing);
    bool isPlaying() const { return playing_; }

    // Moves the slider without emitting volumeChanged; clamped to 0..100.
    void setVolume(int volume);
    int volume() const;

    ImageButton* playButton() const { return playButton_; }
    ImageButton* fullScreenButton() const { return fullScreenButton_; }
    VolumeSlider* volumeSlider() const { return volumeSlider_; }
    PositionBar* positionBar() const { return positionBar_; }

    QSize sizeHint() const override;

signals:
    // The play/stop button was clicked while not playing (play the current
    // channel) or while playing (stop).
    void playClicked();
    void stopClicked();
    void fullScreenClicked();
    // The user moved the slider; the value is 0..100.
    void volumeChanged(int volume);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutControls();
    void onPlayStopClicked();

    ImageButton* playButton_;
    ImageButton* fullScreenButton_;
    VolumeSlider* volumeSlider_;
    PositionBar* positionBar_;
    bool playing_ = false;
    bool settingVolume_ = false;
};

}  // namespace lumora
