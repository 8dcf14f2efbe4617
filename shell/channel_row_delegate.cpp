#include "shell/channel_row_delegate.h"

#include <algorithm>

#include <QPainter>

#include "catalogue/channel.h"
#include "catalogue/resources.h"
#include "shell/channel_list_model.h"

namespace lumora {
namespace {

const QColor kRowColour(255, 255, 255);
const QColor kSelectedRowColour(192, 192, 192);
const QColor kRowOutlineColour(0, 0, 0);
// The rows are drawn in the system's default text colour.
const QColor kRowTextColour(0, 0, 0);

// Flags are 16 x 11 pictures; rows scale them with the row height.
constexpr int kFlagWidth = 16;
constexpr int kFlagHeight = 11;

}  // namespace

ChannelRowDelegate::ChannelRowDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

int ChannelRowDelegate::RowHeight() {
    return 3 * BarHeight() / 2;
}

QSize ChannelRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return {std::max(1, option.rect.width()), RowHeight()};
}

void ChannelRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    const QRect row = option.rect;
    const int rowHeight = row.height();
    const int s = std::max(1, rowHeight / 32);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);

    // 1. The row box, from one pixel above the row (it shares its top line
    //    with the row before) to the row's last line.
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    painter->setPen(kRowOutlineColour);
    painter->setBrush(selected ? kSelectedRowColour : kRowColour);
    painter->drawRect(QRect(row.left(), row.top() - 1, row.width() - 1, rowHeight));

    // 2. The channel.
    const Channel* channel = ChannelOfIndex(index);
    if (channel == nullptr) {
        painter->restore();
        return;
    }

    // 3. The flag, vertically centred.
    if (channel->country != nullptr && channel->country->flag != nullptr &&
        !channel->country->flag->image.isNull()) {
        const int top = row.top() + (rowHeight - kFlagHeight * s) / 2;
        const QRect flag(row.left() + 2 * s, top, kFlagWidth * s, kFlagHeight * s);
        painter->drawImage(flag, channel->country->flag->image);
    }

    // 4. The name, word-wrapped from the top.
    painter->setPen(kRowTextColour);
    const int textLeft = row.left() + 24 * s;
    const QRect nameRect(QPoint(textLeft, row.top()), QPoint(row.right(), row.bottom() - 8 * s));
    if (BoldFont())
        painter->setFont(*BoldFont());
    painter->setClipRect(nameRect.intersected(option.rect));
    painter->drawText(nameRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                      QString::fromStdU16String(channel->name));
    painter->setClipping(false);

    // 5. The subtitle, one line at the bottom of the lower half.
    if (SmallFont())
        painter->setFont(*SmallFont());
    const QRect subtitleRect(QPoint(textLeft, row.top() + rowHeight / 2),
                             QPoint(row.right(), row.bottom() - 4 * s));
    painter->drawText(subtitleRect, Qt::AlignLeft | Qt::AlignBottom | Qt::TextSingleLine,
                      QString::fromStdU16String(channel->subtitle));
    painter->restore();
}

}  // namespace lumora
