#include "shell/dialogs/guide_grid_view.h"

#include <algorithm>

#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "catalogue/channel.h"
#include "catalogue/languages.h"
#include "resources/resources.h"
#include "shell/app/localise.h"
#include "shell/main_window/programme_guide.h"
#include "shell/widgets/focus_outline.h"

namespace lumora {
namespace {

const QColor kOutlineColour(0, 0, 0);
const QColor kCellColour(255, 255, 255);
const QColor kOnNowCellColour(255, 248, 214);
const QColor kPastCellColour(232, 232, 236);
const QColor kSelectedCellColour(40, 100, 220);
const QColor kNameCellColour(214, 218, 230);
const QColor kTextColour(0, 0, 0);
const QColor kPastTextColour(96, 96, 104);
const QColor kSelectedTextColour(255, 255, 255);
const QColor kNowLineColour(230, 40, 40);
const QColor kArchiveMarkColour(120, 170, 255);

constexpr std::int64_t kHalfHour = 30 * 60;
// How far a Left/Right step looks for the neighbouring programme.
constexpr std::int64_t kStepReach = 12 * 60 * 60;
// How often the now line moves.
constexpr int kClockMilliseconds = 15 * 1000;

QFont FontOr(const std::optional<QFont>& font) {
    return font ? *font : QFont();
}

}  // namespace

std::int64_t HalfHourFloor(std::int64_t at) {
    const std::int64_t offset = QDateTime::fromSecsSinceEpoch(at).offsetFromUtc();
    const std::int64_t local = at + offset;
    const std::int64_t floored = local - ((local % kHalfHour) + kHalfHour) % kHalfHour;
    return floored - offset;
}

GuideGridView::GuideGridView(QWidget* parent, std::vector<Channel*> channels, ProgrammeGuide* guide)
    : QWidget(parent), channels_(std::move(channels)), guide_(guide) {
    setFocusPolicy(Qt::StrongFocus);
    // The selection shows with or without the keyboard; the outline says
    // the grid has it.
    FocusOutline::Attach(this);
    setAttribute(Qt::WA_OpaquePaintEvent);
    viewStart_ = HalfHourFloor(ProgrammeGuide::Now());
    focusTime_ = ProgrammeGuide::Now();
    clock_.setInterval(kClockMilliseconds);
    connect(&clock_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
    clock_.start();
    if (guide_ != nullptr) {
        // The store opened (or was replaced): the rows are read again.
        connect(guide_, &ProgrammeGuide::changed, this, [this] {
            if (selectedRow_ >= 0)
                SelectAt(selectedRow_, focusTime_);
            update();
        });
    }
}

int GuideGridView::RowHeight() {
    return 3 * BarHeight() / 2;
}

int GuideGridView::HeaderHeight() {
    return 3 * BarHeight() / 4;
}

int GuideGridView::NameWidth() const {
    // A name column of at most a third of the window.
    return std::max(1, std::min(7 * BarHeight() / 2, width() / 3));
}

int GuideGridView::HalfHourWidth() const {
    // Wide enough for a time and a short title, narrower when the window
    // could not show kHoursInView hours otherwise.
    const int fitting = int((width() - NameWidth()) / (2 * kHoursInView));
    return std::max(1, std::clamp(fitting, 3 * BarHeight() / 2, 4 * BarHeight()));
}

int GuideGridView::VisibleRows() const {
    return std::max(1, (height() - HeaderHeight()) / std::max(1, RowHeight()));
}

Channel* GuideGridView::SelectedChannel() const {
    if (selectedRow_ < 0 || selectedRow_ >= RowCount())
        return nullptr;
    return channels_[static_cast<std::size_t>(selectedRow_)];
}

std::int64_t GuideGridView::ViewEnd() const {
    const int width = std::max(HalfHourWidth(), this->width() - NameWidth());
    return viewStart_ + std::int64_t(width) * kHalfHour / HalfHourWidth();
}

const std::vector<ProgrammeSummary>& GuideGridView::RowProgrammes(int row) {
    static const std::vector<ProgrammeSummary> none;
    if (guide_ == nullptr || row < 0 || row >= RowCount())
        return none;
    return guide_->Between(channels_[static_cast<std::size_t>(row)]->id, viewStart_, ViewEnd());
}

void GuideGridView::SelectAt(int row, std::int64_t at) {
    if (RowCount() == 0)
        return;
    selectedRow_ = std::clamp(row, 0, RowCount() - 1);
    focusTime_ = at;
    selected_.reset();
    auto isOn = [at](const ProgrammeSummary& programme) {
        return programme.start <= at && at < programme.stop;
    };
    if (at >= viewStart_ && at < ViewEnd()) {
        const std::vector<ProgrammeSummary>& shown = RowProgrammes(selectedRow_);
        if (const auto found = std::find_if(shown.begin(), shown.end(), isOn); found != shown.end())
            selected_ = *found;
    } else if (guide_ != nullptr) {
        const std::vector<ProgrammeSummary> around =
            guide_->Between(SelectedChannel()->id, at, at + 1);
        if (const auto found = std::find_if(around.begin(), around.end(), isOn);
            found != around.end())
            selected_ = *found;
    }
}

void GuideGridView::SelectNowOn(int row) {
    const std::int64_t now = ProgrammeGuide::Now();
    viewStart_ = HalfHourFloor(now);
    SelectAt(row, now);
    // The row comes to the top of the screen when it was out of view.
    if (selectedRow_ < topRow_ || selectedRow_ >= topRow_ + VisibleRows())
        topRow_ = std::clamp(selectedRow_, 0, std::max(0, RowCount() - VisibleRows()));
    Changed();
}

void GuideGridView::StepProgramme(int step) {
    if (selectedRow_ < 0)
        return;
    if (!selected_ || guide_ == nullptr) {
        // Nothing selected on the row: a step is half an hour.
        SelectAt(selectedRow_, HalfHourFloor(focusTime_) + step * kHalfHour);
        if (focusTime_ < viewStart_ || focusTime_ >= ViewEnd())
            viewStart_ = HalfHourFloor(focusTime_);
        Changed();
        return;
    }
    const std::string& channel = SelectedChannel()->id;
    const ProgrammeSummary current = *selected_;
    std::optional<ProgrammeSummary> next;
    if (step < 0) {
        const std::vector<ProgrammeSummary> before =
            guide_->Between(channel, current.start - kStepReach, current.start);
        for (const ProgrammeSummary& programme : before) {
            if (programme.start < current.start)
                next = programme;
        }
    } else {
        const std::vector<ProgrammeSummary> after =
            guide_->Between(channel, current.stop, current.stop + kStepReach);
        for (const ProgrammeSummary& programme : after) {
            if (programme.start > current.start && programme.stop > current.stop) {
                next = programme;
                break;
            }
        }
    }
    if (!next)
        return;
    selected_ = next;
    if (next->stop <= viewStart_ || next->start >= ViewEnd())
        viewStart_ = HalfHourFloor(next->start);
    focusTime_ = std::max(next->start, viewStart_);
    Changed();
}

void GuideGridView::StepRow(int step) {
    if (RowCount() == 0)
        return;
    SelectAt(std::clamp(selectedRow_ + step, 0, RowCount() - 1), focusTime_);
    Changed();
}

void GuideGridView::StepPage(int step) {
    if (RowCount() == 0)
        return;
    const int page = VisibleRows();
    topRow_ = std::clamp(topRow_ + step * page, 0, std::max(0, RowCount() - page));
    SelectAt(std::clamp(selectedRow_ + step * page, 0, RowCount() - 1), focusTime_);
    Changed();
}

void GuideGridView::BackToNow() {
    SelectNowOn(std::max(0, selectedRow_));
}

void GuideGridView::ScrollRows(int rows) {
    topRow_ = std::clamp(topRow_ + rows, 0, std::max(0, RowCount() - VisibleRows()));
    update();
}

void GuideGridView::ScrollHalfHours(int halfHours) {
    viewStart_ += halfHours * kHalfHour;
    update();
}

void GuideGridView::EnsureSelectionVisible() {
    if (selectedRow_ < 0)
        return;
    const int page = VisibleRows();
    if (selectedRow_ < topRow_)
        topRow_ = selectedRow_;
    else if (selectedRow_ >= topRow_ + page)
        topRow_ = selectedRow_ - page + 1;
    topRow_ = std::clamp(topRow_, 0, std::max(0, RowCount() - page));
}

void GuideGridView::Changed() {
    EnsureSelectionVisible();
    update();
    // Screen readers say the grid's name, so it names the selection.
    setAccessibleName(SelectionText());
    emit selectionChanged();
}

QString GuideGridView::SelectionText() const {
    const Channel* channel = SelectedChannel();
    if (channel == nullptr)
        return {};
    const QString what = selected_ ? ProgrammeGuide::TimeRange(*selected_) + QLatin1Char(' ') +
                                         QString::fromStdString(selected_->title)
                                   : Text("str_guide_no_programme");
    return QString::fromStdU16String(channel->name) + QStringLiteral(", ") + what;
}

int GuideGridView::XOf(std::int64_t at) const {
    return NameWidth() + int((at - viewStart_) * HalfHourWidth() / kHalfHour);
}

std::int64_t GuideGridView::TimeAtX(int x) const {
    return viewStart_ + std::int64_t(x - NameWidth()) * kHalfHour / HalfHourWidth();
}

QRect GuideGridView::Placed(const QRect& rect) const {
    if (!isRightToLeft())
        return rect;
    return QRect(width() - rect.x() - rect.width(), rect.y(), rect.width(), rect.height());
}

bool GuideGridView::HitTest(const QPoint& point, int& row, std::int64_t& at) const {
    const int x = isRightToLeft() ? width() - 1 - point.x() : point.x();
    if (point.y() < HeaderHeight())
        return false;
    row = topRow_ + (point.y() - HeaderHeight()) / RowHeight();
    if (row >= RowCount())
        return false;
    // On the channel's name: what is on at the first time shown.
    at = x < NameWidth() ? std::max(viewStart_, std::min(focusTime_, ViewEnd() - 1)) : TimeAtX(x);
    return true;
}

void GuideGridView::keyPressEvent(QKeyEvent* event) {
    // Left and Right follow the screen: time runs leftwards right-to-left.
    const int forwards = isRightToLeft() ? -1 : 1;
    switch (event->key()) {
    case Qt::Key_Left: StepProgramme(-forwards); break;
    case Qt::Key_Right: StepProgramme(forwards); break;
    case Qt::Key_Up: StepRow(-1); break;
    case Qt::Key_Down: StepRow(1); break;
    case Qt::Key_PageUp: StepPage(-1); break;
    case Qt::Key_PageDown: StepPage(1); break;
    case Qt::Key_Home: BackToNow(); break;
    case Qt::Key_Return:
    case Qt::Key_Enter: emit activated(); break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

bool GuideGridView::SelectClicked(const QMouseEvent& event) {
    int row = 0;
    std::int64_t at = 0;
    if (event.button() != Qt::LeftButton || !HitTest(event.position().toPoint(), row, at))
        return false;
    SelectAt(row, at);
    Changed();
    return true;
}

void GuideGridView::mousePressEvent(QMouseEvent* event) {
    SelectClicked(*event);
}

void GuideGridView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (SelectClicked(*event))
        emit activated();
}

void GuideGridView::wheelEvent(QWheelEvent* event) {
    const QPoint delta = event->angleDelta();
    // Some systems turn Shift+wheel into a sideways wheel.
    const bool sideways =
        event->modifiers().testFlag(Qt::ShiftModifier) || std::abs(delta.x()) > std::abs(delta.y());
    const int amount = std::abs(delta.x()) > std::abs(delta.y()) ? delta.x() : delta.y();
    if (amount == 0) {
        event->ignore();
        return;
    }
    // A touchpad turns in small steps: they add up to notches.
    int& rest = sideways ? wheelRest_.rx() : wheelRest_.ry();
    rest += amount;
    const int notches = rest / 120;
    rest -= notches * 120;
    event->accept();
    if (notches == 0)
        return;
    if (sideways)
        ScrollHalfHours(-notches);
    else
        ScrollRows(-notches * std::max(1, QApplication::wheelScrollLines()));
}

void GuideGridView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(rect(), BackgroundBrush().style() != Qt::NoBrush ? BackgroundBrush()
                                                                      : QBrush(Qt::darkGray));
    const std::int64_t now = ProgrammeGuide::Now();
    PaintHeader(painter);
    const int rowHeight = RowHeight();
    for (int row = topRow_, top = HeaderHeight(); row < RowCount() && top < height();
         ++row, top += rowHeight)
        PaintRow(painter, row, top, now);
    // The now line, over everything below the header.
    if (now >= viewStart_ && now < ViewEnd()) {
        const int lineWidth = std::max(1, BarHeight() / 12);
        painter.fillRect(Placed(QRect(XOf(now) - lineWidth / 2, HeaderHeight() / 2, lineWidth,
                                      height() - HeaderHeight() / 2)),
                         kNowLineColour);
    }
}

void GuideGridView::PaintHeader(QPainter& painter) {
    const int header = HeaderHeight();
    const QColor text = LightTextColour().isValid() ? LightTextColour() : QColor(Qt::white);
    painter.setPen(text);
    painter.setFont(FontOr(SmallBoldFont()));
    // The day of the first half hour above the names.
    const QLocale locale = ProgrammeGuide::InterfaceLocale();
    const QDate day = QDateTime::fromSecsSinceEpoch(viewStart_).date();
    const QString dayText = locale.dayName(day.dayOfWeek(), QLocale::ShortFormat) +
                            QLatin1Char(' ') + QString::number(day.day());
    painter.drawText(Placed(QRect(BarMargin(), 0, NameWidth() - 2 * BarMargin(), header)),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, dayText);
    painter.setFont(FontOr(SmallFont()));
    const int tickWidth = std::max(1, BarHeight() / 24);
    for (std::int64_t at = viewStart_; at < ViewEnd(); at += kHalfHour) {
        const int x = XOf(at);
        painter.fillRect(Placed(QRect(x, header / 2, tickWidth, header - header / 2)), text);
        painter.drawText(Placed(QRect(x + 2 * tickWidth + 1, 0, HalfHourWidth() - 4, header)),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         ProgrammeGuide::TimeOfDay(at));
    }
}

void GuideGridView::PaintRow(QPainter& painter, int row, int top, std::int64_t now) {
    const int rowHeight = RowHeight();
    const int right = width();
    const Channel& channel = *channels_[static_cast<std::size_t>(row)];
    const bool rowSelected = row == selectedRow_;

    // The channel's name.
    const QRect nameCell(0, top, NameWidth(), rowHeight);
    painter.fillRect(Placed(nameCell), kOutlineColour);
    painter.fillRect(Placed(nameCell.adjusted(1, 1, -1, 0)), kNameCellColour);
    painter.setPen(kTextColour);
    painter.setFont(FontOr(SmallBoldFont()));
    const QRect nameText = nameCell.adjusted(BarMargin(), 1, -BarMargin(), 0);
    const QString name = QString::fromStdU16String(channel.name);
    painter.drawText(
        Placed(nameText), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
        painter.fontMetrics().elidedText(name, Qt::ElideRight, std::max(1, 2 * nameText.width())));

    const std::vector<ProgrammeSummary>& programmes = RowProgrammes(row);
    painter.setClipRect(Placed(QRect(NameWidth(), top, right - NameWidth(), rowHeight)));
    if (programmes.empty()) {
        const QRect whole(NameWidth(), top, right - NameWidth() + 1, rowHeight);
        PaintCell(painter, whole, Text("str_guide_no_programme"), {}, rowSelected, true);
    }
    for (const ProgrammeSummary& programme : programmes) {
        const int left = std::max(NameWidth(), XOf(programme.start));
        const int end = std::min(right + 1, XOf(programme.stop));
        if (end <= left)
            continue;
        const bool selected = rowSelected && selected_ && selected_->id == programme.id &&
                              selected_->start == programme.start;
        const bool past = programme.stop <= now;
        const bool onNow = programme.start <= now && now < programme.stop;
        const QRect cell(left, top, end - left + 1, rowHeight);
        painter.fillRect(Placed(cell), kOutlineColour);
        painter.fillRect(Placed(cell.adjusted(1, 1, -1, 0)),
                         selected
                             ? kSelectedCellColour
                             : (onNow ? kOnNowCellColour : (past ? kPastCellColour : kCellColour)));
        PaintCell(painter, cell, QString::fromStdString(programme.title),
                  ProgrammeGuide::TimeRange(programme), selected, past);
        if (past && guide_ != nullptr && guide_->InArchive(channel.id, programme, now))
            PaintArchiveMark(painter, cell);
    }
    // A selected time without a programme: its half hour.
    if (rowSelected && !selected_ && !programmes.empty()) {
        const std::int64_t start = HalfHourFloor(focusTime_);
        const QRect cell(XOf(start), top, HalfHourWidth() + 1, rowHeight);
        PaintCell(painter, cell, {}, {}, true, false);
    }
    painter.setClipping(false);
    // The line under the last row.
    painter.fillRect(Placed(QRect(0, top + rowHeight, right, 1)), kOutlineColour);
}

void GuideGridView::PaintArchiveMark(QPainter& painter, const QRect& cell) {
    // A small "play" triangle in the cell's top end corner: it can be
    // watched again.
    const int size = std::max(4, RowHeight() / 5);
    const QRect corner(cell.right() - size - BarMargin() / 2, cell.top() + 2 + BarMargin() / 2,
                       size, size);
    if (corner.left() <= cell.left())
        return;
    const QRect placed = Placed(corner);
    const bool mirrored = isRightToLeft();
    const QPoint tip = mirrored ? QPoint(placed.left(), placed.center().y())
                                : QPoint(placed.right(), placed.center().y());
    const int back = mirrored ? placed.right() : placed.left();
    const QPoint triangle[] = {QPoint(back, placed.top()), tip, QPoint(back, placed.bottom())};
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kArchiveMarkColour);
    painter.drawPolygon(triangle, 3);
    painter.restore();
}

void GuideGridView::PaintCell(QPainter& painter, const QRect& cell, const QString& title,
                              const QString& times, bool selected, bool past) {
    if (times.isEmpty()) {
        // A cell of its own: the row without programmes, or an empty time.
        painter.fillRect(Placed(cell), kOutlineColour);
        painter.fillRect(Placed(cell.adjusted(1, 1, -1, 0)),
                         selected ? kSelectedCellColour : kPastCellColour);
    }
    const int margin = BarMargin();
    const QRect inside = cell.adjusted(margin, 1, -margin, 0);
    if (inside.width() <= 0 || title.isEmpty())
        return;
    painter.setPen(selected ? kSelectedTextColour : (past ? kPastTextColour : kTextColour));
    const int half = inside.height() / 2;
    painter.setFont(FontOr(SmallBoldFont()));
    const QRect titleRect(inside.left(), inside.top(), inside.width(),
                          times.isEmpty() ? inside.height() : half);
    painter.drawText(
        Placed(titleRect),
        Qt::AlignLeft | (times.isEmpty() ? Qt::AlignVCenter : Qt::AlignBottom) | Qt::TextSingleLine,
        painter.fontMetrics().elidedText(title, Qt::ElideRight, inside.width()));
    if (times.isEmpty())
        return;
    painter.setFont(FontOr(SmallFont()));
    painter.drawText(
        Placed(QRect(inside.left(), inside.top() + half, inside.width(), inside.height() - half)),
        Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
        painter.fontMetrics().elidedText(times, Qt::ElideRight, inside.width()));
}

}  // namespace lumora
