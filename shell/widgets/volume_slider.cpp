#include "shell/widgets/volume_slider.h"

#include <algorithm>

#include <QKeyEvent>
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
    // Explicit rectangles: one track pixel on one pixel of the device buffer.
    painter.drawImage(QRect(0, 0, half, h), track, QRect(0, 0, half, h));
    painter.drawImage(QRect(half, 0, middle, h), track, QRect(half, 0, 1, h));
    painter.drawImage(QRect(half + middle, 0, half, h), track, QRect(w - half, 0, half, h));
}

// The keys that move the slider (the platform trackbar's).
bool IsSliderKey(int key) {
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End: return true;
    default: return false;
    }
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
    return thumb.isNull() ? std::max(1, BarHeight(Pixels::Device) / 4) : thumb.width();
}

int VolumeSlider::travel() const {
    return std::max(0, ToDevice(width()) - thumbWidth());
}

int VolumeSlider::thumbLeft() const {
    const int range = maximum() - minimum();
    return range > 0 ? travel() * (sliderPosition() - minimum()) / range : 0;
}

QRect VolumeSlider::thumbRect() const {
    const QRect device(thumbLeft(), 0, thumbWidth(), 1);
    const QRect logical = ToLogical(device);
    return QRect(logical.x(), 0, logical.width(), height());
}

int VolumeSlider::valueForThumbLeft(int left) const {
    const int span = travel();
    if (span <= 0)
        return minimum();
    const int clamped = std::clamp(ToDevice(left), 0, span);
    const int range = maximum() - minimum();
    // The smallest value whose thumb is drawn at or right of `left`: with
    // more values than pixels, the thumb then lands on the pixel it was
    // dragged to.
    return minimum() + (clamped * range + span - 1) / span;
}

QSize VolumeSlider::sizeHint() const {
    const QRect device(0, 0, 3 * BarHeight(Pixels::Device), ButtonImageSize(Pixels::Device));
    return ToLogical(device).size();
}

bool VolumeSlider::event(QEvent* event) {
    // Qt offers a key to the focused widget before it fires a window
    // shortcut for it; accepting the offer keeps the key for the slider.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier && IsSliderKey(key->key())) {
            event->accept();
            return true;
        }
    }
    return QAbstractSlider::event(event);
}

void VolumeSlider::paintEvent(QPaintEvent*) {
    // Drawn in device pixels: on a scaled screen the slider is the one a
    // build for the screen's real DPI draws.
    QImage buffer = DeviceBuffer(size());
    {
        QPainter painter(&buffer);
        DrawTrack(painter, buffer.width());
        const ImageState state = hasFocus() ? ImageState::Focused : ImageState::Normal;
        const QImage& thumb = ImageFor(ThumbImages(), state);
        if (!thumb.isNull()) {
            const QPoint at(thumbLeft() + (thumbWidth() - thumb.width()) / 2,
                            (buffer.height() - thumb.height()) / 2);
            painter.drawImage(QRect(at, thumb.size()), thumb);
        }
    }
    QPainter painter(this);
    DrawDeviceBuffer(painter, std::move(buffer));
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
