#include "shell/main_window/control_bar.h"

#include <algorithm>

#include <QPainter>

#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "resources/resources.h"
#include "shell/app/localise.h"
#include "shell/widgets/image_button.h"
#include "shell/widgets/position_bar.h"
#include "shell/widgets/volume_slider.h"

namespace lumora {
namespace {

constexpr int kDefaultVolume = 50;

}  // namespace

ControlBar::ControlBar(QWidget* parent)
    : QWidget(parent),
      playButton_(new ImageButton(this)),
      fullScreenButton_(new ImageButton(this)),
      volumeSlider_(new VolumeSlider(this)),
      positionBar_(new PositionBar(this)) {
    playButton_->setObjectName(QStringLiteral("playButton"));
    fullScreenButton_->setObjectName(QStringLiteral("fullScreenButton"));
    volumeSlider_->setObjectName(QStringLiteral("volumeSlider"));
    positionBar_->setObjectName(QStringLiteral("positionBar"));
    positionBar_->hide();
    // The names screen readers say; the pictures say the same on screen.
    playButton_->setAccessibleName(Text("menu_play"));
    fullScreenButton_->setAccessibleName(Text("menu_fullscreen"));
    volumeSlider_->setAccessibleName(Text("str_volume"));
    positionBar_->setAccessibleName(Text("str_position"));
    playButton_->setImages(PlayImages());
    fullScreenButton_->setImages(FullScreenImages());
    setVolume(GetIntSetting(kSoundVolume, kDefaultVolume));

    connect(playButton_, &ImageButton::clicked, this, &ControlBar::onPlayStopClicked);
    connect(fullScreenButton_, &ImageButton::clicked, this, &ControlBar::fullScreenClicked);
    connect(volumeSlider_, &VolumeSlider::valueChanged, this, [this](int value) {
        if (!settingVolume_)
            emit volumeChanged(value);
    });
    layoutControls();
}

void ControlBar::setPlaying(bool playing) {
    if (playing == playing_)
        return;
    playing_ = playing;
    playButton_->setImages(playing ? StopImages() : PlayImages());
    playButton_->setAccessibleName(Text(playing ? "str_stop" : "menu_play"));
}

void ControlBar::setVolume(int volume) {
    settingVolume_ = true;
    volumeSlider_->setValue(volume);
    settingVolume_ = false;
}

int ControlBar::volume() const {
    return volumeSlider_->value();
}

QSize ControlBar::sizeHint() const {
    const int b = BarHeight(Pixels::Device);
    const int s = b * 5 / 6;
    return ToLogical(QRect(0, 0, b / 2 + 2 * s + b + 3 * b + b / 2, b)).size();
}

void ControlBar::onPlayStopClicked() {
    if (playing_)
        emit stopClicked();
    else
        emit playClicked();
}

void ControlBar::layoutControls() {
    // Laid out in device pixels, so that a scaled screen places the buttons
    // where a build for its real DPI would.
    const int b = BarHeight(Pixels::Device);
    const int s = b * 5 / 6;
    const int t = (b - s) / 2;
    playButton_->setGeometry(ToLogical(QRect(b / 2, t, s, s)));
    fullScreenButton_->setGeometry(ToLogical(QRect(b + s, t, s, s)));
    volumeSlider_->setGeometry(ToLogical(QRect(b / 2 + 2 * s + b, t, 3 * b, s)));
    const int positionLeft = b / 2 + 2 * s + b + 3 * b + b / 2;
    positionBar_->setGeometry(ToLogical(
        QRect(positionLeft, t, std::max(0, ToDevice(width()) - positionLeft - b / 2), s)));
}

void ControlBar::resizeEvent(QResizeEvent*) {
    layoutControls();
}

void ControlBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawBarBackground(painter, QRect(0, 0, width(), BarHeight()));
}

}  // namespace lumora
