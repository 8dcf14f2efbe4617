#include "shell/programme_title.h"

#include "catalogue/channel.h"
#include "player/player_texts.h"
#include "shell/channel_title_bar.h"
#include "shell/player_view.h"
#include "shell/programme_guide.h"

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
    const std::int64_t now = ProgrammeGuide::Now();
    const std::optional<ProgrammeSummary> programme =
        channel != nullptr && playing ? guide_.On(channel->id, now) : std::nullopt;
    ChannelTitleBar& bar = *view_.TitleBar();
    if (programme)
        bar.setProgramme(ProgrammeGuide::Describe(*programme),
                         ProgrammeGuide::Progress(*programme, now));
    else
        bar.setProgramme({}, 0);
    const std::int64_t shown = programme ? programme->id : 0;
    if (shown != shown_) {
        shown_ = shown;
        emit programmeChanged();
    }
}

}  // namespace lumora
