#pragma once

// Draws the rows of the channel lists: a white box (light grey when
// selected) with a black outline, the country's flag, the channel's name in
// the bold interface font and below it the subtitle (country and bit rate)
// in the small font. Every row is 3 * BarHeight / 2 high.
//
// Threads: the UI thread only.

#include <QStyledItemDelegate>

namespace lumora {

class ChannelRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit ChannelRowDelegate(QObject* parent = nullptr);

    // 3 * BarHeight / 2.
    static int RowHeight();

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace lumora
