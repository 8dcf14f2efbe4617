#pragma once

// Draws the rows of the channel lists: a white box (light grey when
// selected) with a black outline, the country's flag, the channel's name in
// the bold interface font and below it the subtitle (country and bit rate)
// in the small font; a channel with a guide shows the programme on now
// there instead, with a thin line along the row's foot for how far it has
// run. Every row is 3 * BarHeight / 2 high. A name is
// word-wrapped where two lines fit above the subtitle, else shortened with
// an ellipsis, so that it never runs into the subtitle.
//
// Threads: the UI thread only.

#include <QFont>
#include <QHash>
#include <QStaticText>
#include <QStyledItemDelegate>

namespace lumora {

struct Channel;

class ChannelRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit ChannelRowDelegate(QObject* parent = nullptr);

    // 3 * BarHeight / 2.
    static int RowHeight();

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    // The laid-out texts of a row, kept so that a row painted again (a
    // repaint, a filter or tab change, the next opening) is not laid out
    // again. An entry is checked against the channel's current texts before
    // use, so a record freed and reused after a catalogue reload can never
    // show another channel's texts.
    struct RowTexts {
        QString name;
        QString subtitle;
        int nameWidth = -1;
        int nameHeight = -1;
        QStaticText nameText;
        QStaticText subtitleText;
    };
    // Kept for all lists of the process (UI thread only), so that the next
    // opening of the dialog finds its rows laid out.
    static const RowTexts& TextsFor(const Channel& channel, QStringView subtitle, int nameWidth,
                                    int nameHeight);
    static QHash<const Channel*, RowTexts>& KeptTexts();
    static QFont& KeptFont(int which);
};

}  // namespace lumora
