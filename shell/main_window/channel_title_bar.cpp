#include "shell/main_window/channel_title_bar.h"

#include <algorithm>

#include <QPainter>

#include "resources/resources.h"
#include "shell/desktop/accessible_widgets.h"

namespace lumora {
namespace {

constexpr QRgb kNameColour = qRgb(250, 250, 255);
constexpr QRgb kStatusColour = qRgb(200, 200, 210);
constexpr QRgb kProgressColour = qRgb(120, 170, 255);
constexpr int kTextInset = 3;  // left and right of both lines
constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
constexpr int kNoteFlags = Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine;

void DrawTextLine(QPainter& painter, const QRect& rect, const QString& text,
                  const std::optional<QFont>& font, QRgb colour) {
    if (text.isEmpty())
        return;
    if (font)
        painter.setFont(*font);
    painter.setPen(QColor(colour));
    painter.drawText(rect, kTextFlags, text);
}

// A note at the right end of `line`, which then ends before it: the note
// keeps its place, the line's own text gives way.
void DrawNote(QPainter& painter, QRect& line, const QString& note, QRgb colour) {
    if (note.isEmpty())
        return;
    if (const std::optional<QFont>& font = SmallFont(Pixels::Device))
        painter.setFont(*font);
    const QRect noteRect = painter.boundingRect(line, kNoteFlags, note);
    painter.setPen(QColor(colour));
    painter.drawText(line, kNoteFlags, note);
    line.setRight(noteRect.left() - 2 * kTextInset);
}

}  // namespace

ChannelTitleBar::ChannelTitleBar(QWidget* parent) : QWidget(parent) {
    // Every pixel is painted from the off-screen picture.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ChannelTitleBar::setChannelName(const QString& name) {
    if (name == channelName_)
        return;
    channelName_ = name;
    update();
    NotifyAccessibleNameChanged(this, kNamePart);
}

void ChannelTitleBar::setStatus(const QString& status) {
    if (status == status_)
        return;
    status_ = status;
    update();
    if (programme_.isEmpty())
        NotifyAccessibleNameChanged(this, kStatusPart);
}

void ChannelTitleBar::setProgramme(const QString& text, double progress) {
    progress = text.isEmpty() ? 0 : std::clamp(progress, 0.0, 1.0);
    // Repainted when the line would move by a device pixel or more.
    const int width = ToDevice(this->width());
    if (text == programme_ && int(progress * width) == int(progress_ * width))
        return;
    const bool shownLineChanged = text != programme_;
    programme_ = text;
    progress_ = progress;
    update();
    if (shownLineChanged)
        NotifyAccessibleNameChanged(this, kStatusPart);
}

void ChannelTitleBar::setNote(const QString& note) {
    if (note == note_)
        return;
    note_ = note;
    update();
    NotifyAccessibleNameChanged(this, kStatusPart);
}

void ChannelTitleBar::setMark(const QString& mark) {
    if (mark == mark_)
        return;
    mark_ = mark;
    update();
    NotifyAccessibleNameChanged(this, kNamePart);
}

QSize ChannelTitleBar::sizeHint() const {
    return QSize(8 * BarHeight(), BarHeight());
}

void ChannelTitleBar::paintEvent(QPaintEvent*) {
    // Drawn in device pixels with the device fonts: on a scaled screen the
    // bar is the one a build for the screen's real DPI draws.
    QImage buffer = DeviceBuffer(size());
    {
        QPainter painter(&buffer);
        const int b = BarHeight(Pixels::Device);
        DrawBarBackground(painter, QRect(0, 0, buffer.width(), b));
        const int textWidth = buffer.width() - 2 * kTextInset;
        QRect nameLine(kTextInset, 0, textWidth, b / 2);
        DrawNote(painter, nameLine, mark_, kNameColour);
        DrawTextLine(painter, nameLine, channelName_, SmallBoldFont(Pixels::Device), kNameColour);
        QRect statusLine(kTextInset, b / 2, textWidth, b - b / 2);
        DrawNote(painter, statusLine, note_, kStatusColour);
        DrawTextLine(painter, statusLine, programme_.isEmpty() ? status_ : programme_,
                     SmallFont(Pixels::Device), kStatusColour);
        if (!programme_.isEmpty()) {
            const int thickness = std::max(2, b / 16);
            painter.fillRect(QRect(0, b - thickness, int(progress_ * buffer.width()), thickness),
                             QColor(kProgressColour));
        }
    }
    QPainter painter(this);
    DrawDeviceBuffer(painter, std::move(buffer));
}

}  // namespace lumora
