#include "shell/dialogs/channel_tab_strip.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "resources/resources.h"
#include "shell/desktop/accessible_widgets.h"

namespace lumora {
namespace {

const QColor kActiveCaptionColour(250, 250, 255);
const QColor kInactiveCaptionColour(150, 150, 155);

}  // namespace

ChannelTabStrip::ChannelTabStrip(QWidget* parent, std::function<void(ChannelTab)> tabChosen)
    : QWidget(parent), tabChosen_(std::move(tabChosen)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Tab reaches the strip; a tap does not take the focus from the list.
    setFocusPolicy(Qt::TabFocus);
}

void ChannelTabStrip::SetState(ChannelTab currentTab, const QString& channels,
                               const QString& favourites) {
    const bool moved = currentTab != currentTab_;
    const bool renamed = channels != channelsCaption_ || favourites != favouritesCaption_;
    currentTab_ = currentTab;
    channelsCaption_ = channels;
    favouritesCaption_ = favourites;
    update();
    for (ChannelTab tab : {ChannelTab::Channels, ChannelTab::Favourites}) {
        if (renamed)
            NotifyAccessibleNameChanged(this, static_cast<int>(tab));
        if (moved) {
            QAccessible::State selected;
            selected.selected = true;
            NotifyAccessibleStateChanged(this, static_cast<int>(tab), selected);
        }
    }
}

const QString& ChannelTabStrip::Caption(ChannelTab tab) const {
    return tab == ChannelTab::Favourites ? favouritesCaption_ : channelsCaption_;
}

QRect ChannelTabStrip::TabRect(ChannelTab tab) const {
    const int w = width();
    const int bar = BarHeight();
    return tab == ChannelTab::Channels ? QRect(0, 0, w / 2, 5 * bar / 6)
                                       : QRect(w / 2, 0, w - w / 2, 5 * bar / 6);
}

void ChannelTabStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), BackgroundBrush());
    DrawBarBackground(painter, QRect(0, 0, width(), BarHeight()));
    if (BoldFont())
        painter.setFont(*BoldFont());
    for (ChannelTab tab : {ChannelTab::Channels, ChannelTab::Favourites}) {
        painter.setPen(tab == currentTab_ ? kActiveCaptionColour : kInactiveCaptionColour);
        painter.drawText(TabRect(tab), Qt::AlignCenter | Qt::TextSingleLine, Caption(tab));
    }
    if (hasFocus()) {
        // The keyboard focus: a dotted box around the current caption.
        QRect box = painter.fontMetrics().boundingRect(
            TabRect(currentTab_), Qt::AlignCenter | Qt::TextSingleLine, Caption(currentTab_));
        box = box.adjusted(-3, 0, 2, -1).intersected(rect().adjusted(0, 0, -1, -1));
        QPen dots(kActiveCaptionColour, 1, Qt::DotLine);
        dots.setCosmetic(true);  // one device pixel at any scale
        painter.setPen(dots);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(box);
    }
}

void ChannelTabStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    if (at.y() > BarHeight())
        return;
    tabChosen_(at.x() > width() / 2 ? ChannelTab::Favourites : ChannelTab::Channels);
}

void ChannelTabStrip::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left: tabChosen_(ChannelTab::Channels); break;
    case Qt::Key_Right: tabChosen_(ChannelTab::Favourites); break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void ChannelTabStrip::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void ChannelTabStrip::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

}  // namespace lumora
