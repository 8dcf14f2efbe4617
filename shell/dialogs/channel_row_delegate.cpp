#include "shell/dialogs/channel_row_delegate.h"

#include <algorithm>

#include <QCoreApplication>
#include <QPainter>

#include "catalogue/channel.h"
#include "resources/resources.h"
#include "shell/dialogs/channel_list_model.h"
#include "shell/main_window/programme_guide.h"

namespace lumora {
namespace {

const QColor kRowColour(255, 255, 255);
const QColor kSelectedRowColour(192, 192, 192);
const QColor kRowOutlineColour(0, 0, 0);
// The rows are drawn in the system's default text colour.
const QColor kRowTextColour(0, 0, 0);
const QColor kProgressColour(40, 100, 220);

// Laid-out texts kept at most; a list shows a few dozen rows at a time.
constexpr int kMaxKeptRows = 4096;

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
    //    Two solid fills give the outline and the inside: much cheaper than
    //    a stroked rectangle, with the same pixels.
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const QRect box(row.left(), row.top() - 1, row.width(), rowHeight + 1);
    painter->fillRect(box, kRowOutlineColour);
    painter->fillRect(box.adjusted(1, 1, -1, -1), selected ? kSelectedRowColour : kRowColour);

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
    const QRect subtitleRect(QPoint(textLeft, row.top() + rowHeight / 2),
                             QPoint(row.right(), row.bottom() - 4 * s));
    const int lineHeight = QFontMetrics(KeptFont(1)).height();
    const int subtitleTop = subtitleRect.bottom() + 1 - lineHeight;
    // A channel with a guide shows what is on instead of its subtitle.
    std::optional<ProgrammeSummary> programme;
    std::int64_t now = 0;
    if (ProgrammeGuide* guide = TheProgrammeGuide()) {
        now = ProgrammeGuide::Now();
        programme = guide->On(channel->id, now);
    }
    const QString programmeTitle = programme ? QString::fromStdString(programme->title) : QString();
    const QStringView subtitle =
        programme ? QStringView(programmeTitle) : QStringView(channel->subtitle);
    const RowTexts& texts = TextsFor(*channel, subtitle, nameRect.width(), subtitleTop - row.top());
    painter->setFont(KeptFont(0));
    painter->setClipRect(nameRect.intersected(option.rect));
    painter->drawStaticText(nameRect.topLeft(), texts.nameText);

    // 5. The subtitle, one line at the bottom of the lower half.
    painter->setFont(KeptFont(1));
    painter->setClipRect(subtitleRect.intersected(option.rect));
    painter->drawStaticText(QPoint(textLeft, subtitleTop), texts.subtitleText);
    painter->setClipping(false);

    // 6. How far the programme has run: a thin line along the row's foot.
    if (programme) {
        const int width = row.right() - 1 - textLeft;
        const int run = int(ProgrammeGuide::Progress(*programme, now) * width);
        painter->fillRect(QRect(textLeft, row.bottom() - 2 * s, run, s), kProgressColour);
    }
    painter->restore();
}

QHash<const Channel*, ChannelRowDelegate::RowTexts>& ChannelRowDelegate::KeptTexts() {
    static QHash<const Channel*, RowTexts> texts;
    static bool cleanupRegistered = false;
    if (!cleanupRegistered) {
        cleanupRegistered = true;
        // Laid-out texts hold font engines: they go while the application
        // and its fonts still exist, not with the program's statics.
        auto forget = [] { KeptTexts().clear(); };
        if (QCoreApplication* application = QCoreApplication::instance())
            QObject::connect(application, &QCoreApplication::aboutToQuit, forget);
        qAddPostRoutine(forget);
    }
    return texts;
}

QFont& ChannelRowDelegate::KeptFont(int which) {
    static QFont fonts[2];
    return fonts[which == 0 ? 0 : 1];
}

const ChannelRowDelegate::RowTexts& ChannelRowDelegate::TextsFor(const Channel& channel,
                                                                 QStringView subtitle,
                                                                 int nameWidth, int nameHeight) {
    QHash<const Channel*, RowTexts>& kept = KeptTexts();
    QFont& boldFont = KeptFont(0);
    QFont& smallFont = KeptFont(1);
    // New fonts (the resources were loaded again) lay every text out anew.
    const QFont bold = BoldFont() ? *BoldFont() : QFont();
    const QFont small = SmallFont() ? *SmallFont() : QFont();
    if (bold != boldFont || small != smallFont) {
        kept.clear();
        boldFont = bold;
        smallFont = small;
    }
    RowTexts& texts = kept[&channel];
    const bool sameName = QStringView(channel.name) == QStringView(texts.name);
    if (!sameName || texts.nameWidth != nameWidth || texts.nameHeight != nameHeight) {
        if (!sameName)
            texts.name = QString::fromStdU16String(channel.name);
        texts.nameWidth = nameWidth;
        texts.nameHeight = nameHeight;
        const QFontMetrics metrics(boldFont);
        if (nameHeight >= 2 * metrics.height()) {
            // Room for more than one line above the subtitle: word-wrapped.
            texts.nameText = QStaticText(texts.name);
            texts.nameText.setTextWidth(std::max(1, nameWidth));
        } else {
            // One line: a wrapped second line would run into the subtitle,
            // so a name too long for the row ends in an ellipsis.
            texts.nameText =
                QStaticText(metrics.elidedText(texts.name, Qt::ElideRight, std::max(1, nameWidth)));
        }
        texts.nameText.setTextFormat(Qt::PlainText);
        texts.nameText.prepare(QTransform(), boldFont);
    }
    if (subtitle != QStringView(texts.subtitle) || texts.subtitleText.text().isEmpty()) {
        texts.subtitle = subtitle.toString();
        texts.subtitleText = QStaticText(texts.subtitle);
        texts.subtitleText.setTextFormat(Qt::PlainText);
        texts.subtitleText.prepare(QTransform(), smallFont);
    }
    if (kept.size() > kMaxKeptRows) {
        // Forget the others; this row's texts are made again at once.
        const RowTexts current = texts;
        kept.clear();
        return kept[&channel] = current;
    }
    return texts;
}

}  // namespace lumora
