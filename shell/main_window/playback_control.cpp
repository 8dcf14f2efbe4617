#include "shell/main_window/playback_control.h"

#include <algorithm>
#include <utility>

#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "player/media_output.h"
#include "shell/app/data_folders.h"
#include "shell/app/localise.h"
#include "shell/main_window/channel_title_bar.h"
#include "shell/main_window/programme_guide.h"
#include "shell/widgets/position_bar.h"

namespace lumora {
namespace {

QString BehindText(double seconds) {
    return QStringLiteral("-") + QString::fromStdString(DurationText(seconds));
}

}  // namespace

PlaybackControl::PlaybackControl(PositionBar& bar, ChannelTitleBar& title, QObject* parent)
    : QObject(parent), bar_(bar), title_(title) {
    RemoveStrayTimeshiftFiles();
    connect(&bar_, &PositionBar::seekRequested, this, &PlaybackControl::SeekTo);
}

int PlaybackControl::WindowSeconds() {
    return 60 * std::clamp(GetIntSetting(kTimeshiftMinutes, kDefaultMinutes), 0, kMostMinutes);
}

void PlaybackControl::PrepareStream(std::optional<ProgrammeSummary> archived) {
    archived_ = std::move(archived);
    focusWhenShown_ = archived_.has_value();
    window_ = WindowSeconds();
    const QString folder = window_ > 0 ? TimeshiftFolder() : QString();
    // Without a folder to keep it in there is no buffer on disk.
    if (folder.isEmpty())
        window_ = 0;
    if (player_ != nullptr)
        player_->SetTimeshift(window_, folder.toStdString());
    last_ = {};
    ShowPosition();
}

bool PlaybackControl::CanPause() const {
    return player_ != nullptr && last_.known && (window_ > 0 || !last_.live || archived_);
}

std::int64_t PlaybackControl::ShownTime(std::int64_t now) const {
    if (archived_)
        return archived_->start + std::int64_t(last_.known ? last_.position : 0);
    return now - std::int64_t(lumora::BehindLive(last_));
}

void PlaybackControl::TogglePause() {
    Refresh();
    if (!CanPause())
        return;
    player_->SetPaused(!last_.paused);
    // Left and Right now move within the buffer.
    if (!last_.paused)
        bar_.setFocus(Qt::OtherFocusReason);
    Refresh();
}

void PlaybackControl::Step(int direction) {
    Refresh();
    SeekTo(last_.position + direction * kSeekStepSeconds);
}

void PlaybackControl::SeekTo(double position) {
    if (player_ == nullptr || !last_.known || (last_.live && window_ <= 0 && !archived_))
        return;
    player_->SeekTo(ClampedSeek(last_, position, window_));
    Refresh();
}

void PlaybackControl::GoLive() {
    if (archived_) {
        emit liveRequested();
        return;
    }
    Refresh();
    if (player_ == nullptr || !last_.known || !last_.live)
        return;
    if (last_.paused)
        player_->SetPaused(false);
    if (!AtLiveEdge(last_))
        player_->SeekTo(ClampedSeek(last_, last_.end, window_));
    Refresh();
}

void PlaybackControl::Refresh() {
    last_ = player_ != nullptr ? player_->Position() : PlaybackPosition{};
    ShowPosition();
    if (!archived_ && NeedsFreshBuffer(last_, window_))
        emit freshBufferNeeded();
}

void PlaybackControl::ShowPosition() {
    const bool movable = last_.known && (!last_.live || window_ > 0 || archived_);
    bar_.setVisible(movable);
    if (movable && std::exchange(focusWhenShown_, false))
        bar_.setFocus(Qt::OtherFocusReason);
    QString mark;
    if (archived_)
        mark = Text("str_not_live");
    if (last_.paused)
        mark += (mark.isEmpty() ? QString() : QStringLiteral(" ")) + Text("str_paused");
    if (BehindLive())
        mark += (mark.isEmpty() ? QString() : QStringLiteral(" ")) +
                BehindText(lumora::BehindLive(last_));
    title_.setMark(mark);
    if (!movable || bar_.Dragging())
        return;
    PositionBar::Shown shown;
    shown.position = last_.position;
    if (archived_) {
        // The programme's own span, whatever the archive sends around it.
        shown.first = 0;
        shown.last = std::max<double>(1, double(archived_->stop - archived_->start));
        shown.heldFrom = last_.start;
        shown.text = ProgrammeGuide::TimeOfDay(ShownTime(0));
    } else if (last_.live) {
        shown.first = last_.end - window_;
        shown.last = last_.end;
        shown.heldFrom = EarliestPosition(last_, window_);
        shown.text = BehindLive() ? BehindText(lumora::BehindLive(last_)) : Text("str_live");
    } else {
        shown.first = last_.start;
        shown.last = last_.end;
        shown.heldFrom = last_.start;
        shown.text = QString::fromStdString(DurationText(last_.position));
    }
    bar_.SetShown(shown);
}

}  // namespace lumora
