#include "shell/widgets/position_bar.h"

#include <algorithm>
#include <cmath>

#include <QAccessible>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "resources/resources.h"

namespace lumora {
namespace {

constexpr QRgb kWindowColour = qRgb(70, 70, 90);
constexpr QRgb kHeldColour = qRgb(150, 150, 190);
constexpr QRgb kTextColour = qRgb(220, 220, 235);

bool IsBarKey(int key) {
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End: return true;
    default: return false;
    }
}

}  // namespace

PositionBar::PositionBar(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void PositionBar::SetShown(const Shown& shown) {
    if (shown == shown_)
        return;
    const bool moved = shown.position != shown_.position || shown.text != shown_.text;
    shown_ = shown;
    update();
    if (moved) {
        QAccessibleValueChangeEvent event(this, shown_.position - shown_.first);
        QAccessible::updateAccessibility(&event);
    }
}

int PositionBar::TextWidth() const {
    const std::optional<QFont>& font = SmallFont();
    const QFontMetrics metrics(font ? *font : this->font());
    // Room for "-1:04:12" whatever is shown now, so the track does not jump.
    return metrics.horizontalAdvance(QStringLiteral("-0:00:00")) + BarHeight() / 4;
}

int PositionBar::TrackLeft() const {
    return BarHeight() / 8;
}

int PositionBar::TrackWidth() const {
    return std::max(1, width() - TextWidth() - 2 * TrackLeft());
}

int PositionBar::XOf(double position) const {
    const double span = shown_.last - shown_.first;
    const double part = span > 0 ? std::clamp((position - shown_.first) / span, 0.0, 1.0) : 1.0;
    return TrackLeft() + int(std::lround(part * TrackWidth()));
}

double PositionBar::PositionAt(int x) const {
    const double part = std::clamp(double(x - TrackLeft()) / TrackWidth(), 0.0, 1.0);
    return shown_.first + part * (shown_.last - shown_.first);
}

QSize PositionBar::sizeHint() const {
    return QSize(4 * BarHeight(), ButtonImageSize());
}

bool PositionBar::event(QEvent* event) {
    // The bar's keys are its own while it has the focus, as the slider's.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier && IsBarKey(key->key())) {
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

void PositionBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int thickness = std::max(2, BarHeight() / 8);
    const int middle = height() / 2;
    const QRect track(TrackLeft(), middle - thickness / 2, TrackWidth(), thickness);
    painter.fillRect(track, QColor(kWindowColour));
    const int heldLeft = XOf(shown_.heldFrom);
    const int at = XOf(shown_.position);
    painter.fillRect(QRect(heldLeft, track.top(), XOf(shown_.last) - heldLeft, thickness),
                     QColor(kHeldColour));
    // The thumb: the volume slider's, so both read as one family.
    const ImageState state = hasFocus() ? ImageState::Focused : ImageState::Normal;
    const QImage& thumb = ImageFor(ThumbImages(), state);
    if (!thumb.isNull()) {
        const QRect device(0, 0, thumb.width(), thumb.height());
        const QSize size = ToLogical(device).size();
        painter.drawImage(
            QRect(QPoint(at - size.width() / 2, (height() - size.height()) / 2), size), thumb);
    } else {
        painter.fillRect(QRect(at - thickness / 2, 0, thickness, height()), QColor(kHeldColour));
    }
    if (const std::optional<QFont>& font = SmallFont())
        painter.setFont(*font);
    painter.setPen(QColor(kTextColour));
    painter.drawText(QRect(width() - TextWidth(), 0, TextWidth(), height()),
                     Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, shown_.text);
}

void PositionBar::keyPressEvent(QKeyEvent* event) {
    double target = shown_.position;
    switch (event->key()) {
    case Qt::Key_Left: target -= kSeekStepSeconds; break;
    case Qt::Key_Right: target += kSeekStepSeconds; break;
    case Qt::Key_Home: target = shown_.heldFrom; break;
    case Qt::Key_End: target = shown_.last; break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
    emit seekRequested(target);
}

void PositionBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    dragging_ = true;
    event->accept();
}

void PositionBar::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) {
        event->ignore();
        return;
    }
    // The thumb follows the mouse; the player moves once it is let go.
    Shown moved = shown_;
    moved.position = PositionAt(event->position().toPoint().x());
    SetShown(moved);
    event->accept();
}

void PositionBar::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    dragging_ = false;
    event->accept();
    emit seekRequested(PositionAt(event->position().toPoint().x()));
}

}  // namespace lumora
