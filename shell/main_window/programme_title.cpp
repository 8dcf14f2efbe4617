#include "shell/main_window/programme_title.h"

#include "catalogue/channel.h"
#include "player/player_texts.h"
#include "shell/main_window/channel_title_bar.h"
#include "shell/main_window/playback_control.h"
#include "shell/main_window/player_view.h"
#include "shell/main_window/programme_guide.h"

namespace lumora {
namespace {

// Often enough for the progress line and for a programme's end to show
// within a second.
constexpr int kClockMs = 1000;

}  // namespace

ProgrammeTitle::ProgrammeTitle(PlayerView& view, ProgrammeGuide& guide, QObject* parent)
    : QObject(parent), view_(view), guide_(guide) {
    connect(&view_, &PlayerView::statusShown, this, &ProgrammeTitle::Refresh);
    connect(&view_, &PlayerView::shownChanged, this, &ProgrammeTitle::Refresh);
    connect(&guide_, &ProgrammeGuide::changed, this, &ProgrammeTitle::Refresh);
    clock_.setInterval(kClockMs);
    connect(&clock_, &QTimer::timeout, this, &ProgrammeTitle::Refresh);
    clock_.start();
}

void ProgrammeTitle::Refresh() {
    const Channel* channel = view_.ShownChannel();
    const bool playing =
        view_.Playing() && view_.StatusText() == QString::fromStdU16String(Localised(kTextPlaying));
    const PlaybackControl& playback = view_.Playback();
    const std::int64_t at = playback.ShownTime(ProgrammeGuide::Now());
    std::optional<ProgrammeSummary> programme;
    if (channel != nullptr && playing)
        programme = playback.Archived() ? playback.Archived() : guide_.On(channel->id, at);
    ChannelTitleBar& bar = *view_.TitleBar();
    if (programme)
        bar.setProgramme(ProgrammeGuide::Describe(*programme),
                         ProgrammeGuide::Progress(*programme, at));
    else
        bar.setProgramme({}, 0);
    const bool same =
        programme.has_value() == shown_.has_value() &&
        (!programme || (programme->id == shown_->id && programme->start == shown_->start));
    shown_ = programme;
    if (!same)
        emit programmeChanged();
}

}  // namespace lumora
