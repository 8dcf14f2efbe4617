#include "shell/volume_slider.h"

#include <algorithm>

#include <QMouseEvent>
#include <QPainter>

#include "resources/resources.h"

namespace lumora {
namespace {

constexpr int kMinimumVolume = 0;
constexpr int kMaximumVolume = 100;
constexpr int kLineSize = 5;
// The platform trackbar's default page: a fifth of the range.
constexpr int kPageSize = 20;

// The track bitmap across the whole width: left half, middle column
// stretched, right half, each at the bitmap's own height.
void DrawTrack(QPainter& painter, int width) {
    const QImage& track = TrackBitmap();
    if (track.isNull())
        return;
    const int w = track.width();
    const int h = track.height();
    const int half = w / 2;
    const int middle = std::max(0, width - 2 * half);
    painter.drawImage(QRect(0, 0, half, h), track, QRect(0, 0, half, h));
    painter.drawImage(QRect(half, 0, middle, h), track, QRect(half, 0, 1, h));
    painter.drawImage(QRect(half + middle, 0, half, h), track, QRect(w - half, 0, half, h));
}

}  // namespace

VolumeSlider::VolumeSlider(QWidget* parent) : QAbstractSlider(parent) {
    setOrientation(Qt::Horizontal);
    setRange(kMinimumVolume, kMaximumVolume);
    setSingleStep(kLineSize);
    setPageStep(kPageSize);
    setFocusPolicy(Qt::StrongFocus);
}

int VolumeSlider::thumbWidth() const {
    const QImage& thumb = ImageFor(ThumbImages(), ImageState::Normal);
    return thumb.isNull() ? std::max(1, BarHeight() / 4) : thumb.width();
}

int VolumeSlider::travel() const {
    return std::max(0, width() - thumbWidth());
}

QRect VolumeSlider::thumbRect() const {
    const int range = maximum() - minimum();
    const int left = range > 0 ? travel() * (sliderPosition() - minimum()) / range : 0;
    return QRect(left, 0, thumbWidth(), height());
}

int VolumeSlider::valueForThumbLeft(int left) const {
    const int span = travel();
    if (span <= 0)
        return minimum();
    const int clamped = std::clamp(left, 0, span);
    const int range = maximum() - minimum();
    // The smallest value whose thumb is drawn at or right of `left`: with
    // more values than pixels, the thumb then lands on the pixel it was
    // dragged to.
    return minimum() + (clamped * range + span - 1) / span;
}

QSize VolumeSlider::sizeHint() const {
    return QSize(3 * BarHeight(), ButtonImageSize());
}

void VolumeSlider::paintEvent(QPaintEvent*) {
    const qreal ratio = devicePixelRatioF();
    QImage buffer = BackgroundBuffer(size(), ratio);
    {
        QPainter painter(&buffer);
        DrawTrack(painter, width());
        const ImageState state = hasFocus() ? ImageState::Focused : ImageState::Normal;
        const QImage& thumb = ImageFor(ThumbImages(), state);
        if (!thumb.isNull()) {
            const QRect r = thumbRect();
            painter.drawImage(QPoint(r.x() + (r.width() - thumb.width()) / 2,
                                     r.y() + (r.height() - thumb.height()) / 2),
                              thumb);
        }
    }
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), buffer);
}

void VolumeSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const QRect thumb = thumbRect();
    const int x = event->position().toPoint().x();
    if (thumb.contains(event->position().toPoint())) {
        dragOffset_ = x - thumb.left();
        setSliderDown(true);
    } else {
        triggerAction(x < thumb.left() ? SliderPageStepSub : SliderPageStepAdd);
    }
    event->accept();
}

void VolumeSlider::mouseMoveEvent(QMouseEvent* event) {
    if (dragOffset_ < 0) {
        event->ignore();
        return;
    }
    setSliderPosition(valueForThumbLeft(event->position().toPoint().x() - dragOffset_));
    event->accept();
}

void VolumeSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (dragOffset_ < 0 || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    dragOffset_ = -1;
    setSliderDown(false);
    event->accept();
}

}  // namespace lumora
