#pragma once

// The programme grid: one row per channel, time running across, a name
// column at the start and a header of half hours on top. A vertical line
// marks now and moves with the clock.
//
// One programme is selected (or, on a row without one at that time, the
// row itself). Left/Right step to the previous/next programme of the row;
// Up/Down to the programme of the row before/after at the same time (the
// time a Left/Right step chose is kept while moving across rows); Page
// Up/Down step a screen of rows; Home comes back to now. Enter and a
// double click ask for the selection to be acted on (activated). A click
// selects; the wheel scrolls rows, with Shift time.
//
// Only the rows in view are asked of the programme guide and painted, so
// any number of channels opens at once. Right-to-left interfaces see time
// running from the right, and Left/Right follow what is shown.
//
// The grid's accessible name is the selection ("Channel, 20:00–21:00
// Title"), so a screen reader says each move.
//
// Threads: the UI thread only.

#include <cstdint>
#include <optional>
#include <vector>

#include <QTimer>
#include <QWidget>

#include "guide/guide_store.h"

namespace lumora {

struct Channel;
class ProgrammeGuide;

class GuideGridView final : public QWidget {
    Q_OBJECT
public:
    // `guide` may be null (no guide: every row is empty).
    GuideGridView(QWidget* parent, std::vector<Channel*> channels, ProgrammeGuide* guide);

    // Selects what is on now on `row` and scrolls it into view.
    void SelectNowOn(int row);

    int SelectedRow() const { return selectedRow_; }
    Channel* SelectedChannel() const;
    // None on a row without a programme at the selected time.
    const std::optional<ProgrammeSummary>& SelectedProgramme() const { return selected_; }
    int TopRow() const { return topRow_; }
    // The first half hour shown, UTC seconds.
    std::int64_t ViewStart() const { return viewStart_; }
    // Rows that fit the height (at least one).
    int VisibleRows() const;
    int RowCount() const { return static_cast<int>(channels_.size()); }

    // The moves the keys make.
    void StepProgramme(int step);  // -1 previous, +1 next
    void StepRow(int step);
    void StepPage(int step);
    void BackToNow();
    // What the wheel does.
    void ScrollRows(int rows);
    void ScrollHalfHours(int halfHours);

    // Layout, logical pixels. The name column and the half hours narrow in a
    // narrow window, so that at least kHoursInView hours stay in view.
    static int RowHeight();
    static int HeaderHeight();
    int NameWidth() const;
    int HalfHourWidth() const;
    static constexpr double kHoursInView = 1.5;

signals:
    // Enter or a double click on a programme.
    void activated();
    // The selection moved.
    void selectionChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // The programmes of the row in view.
    const std::vector<ProgrammeSummary>& RowProgrammes(int row);
    std::int64_t ViewEnd() const;
    // Selects the programme on `row` at `at` and keeps `at` for Up/Down.
    void SelectAt(int row, std::int64_t at);
    void EnsureSelectionVisible();
    void Changed();
    QString SelectionText() const;
    // Time to x (left-to-right), and the mirror for right-to-left.
    int XOf(std::int64_t at) const;
    std::int64_t TimeAtX(int x) const;
    QRect Placed(const QRect& rect) const;
    // The row and time under a point; false outside the rows.
    bool HitTest(const QPoint& point, int& row, std::int64_t& at) const;
    // Selects the programme under a left click; false when there is none.
    bool SelectClicked(const QMouseEvent& event);

    void PaintHeader(QPainter& painter);
    void PaintRow(QPainter& painter, int row, int top, std::int64_t now);
    void PaintCell(QPainter& painter, const QRect& cell, const QString& title, const QString& times,
                   bool selected, bool past);
    void PaintArchiveMark(QPainter& painter, const QRect& cell);

    std::vector<Channel*> channels_;
    ProgrammeGuide* guide_ = nullptr;
    int topRow_ = 0;
    int selectedRow_ = -1;
    std::optional<ProgrammeSummary> selected_;
    std::int64_t focusTime_ = 0;  // the time Up/Down look at
    std::int64_t viewStart_ = 0;
    // Wheel turns below a notch (touchpads), kept until they make one.
    QPoint wheelRest_;
    QTimer clock_;
};

// The start of the local half hour `at` falls in, UTC seconds.
std::int64_t HalfHourFloor(std::int64_t at);

}  // namespace lumora
