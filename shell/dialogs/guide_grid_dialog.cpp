#include "shell/dialogs/guide_grid_dialog.h"

#include <algorithm>

#include <QMenu>

#include "catalogue/catalogue.h"
#include "catalogue/channel.h"
#include "catalogue/zap_order.h"
#include "resources/resources.h"
#include "shell/app/commands.h"
#include "shell/app/interface_collation.h"
#include "shell/app/localise.h"
#include "shell/dialogs/guide_grid_view.h"
#include "shell/dialogs/programme_details_dialog.h"
#include "shell/dialogs/show_text_message.h"
#include "shell/main_window/programme_guide.h"
#include "shell/main_window/recording_control.h"
#include "shell/widgets/dialog_fonts.h"
#include "shell/widgets/soft_key_bar.h"

namespace lumora {

GuideGridDialog::GuideGridDialog(QWidget* owner, std::vector<Channel*> channels,
                                 ProgrammeGuide* guide)
    : DialogFrame(owner, DialogSize::FullScreen), guide_(guide) {
    setModal(true);
    setFont(DialogTextFont());
    setWindowTitle(Text("menu_guide"));

    // The row of the channel playing, when the list holds it.
    const Catalogue* catalogue = TheCatalogue();
    const Channel* current = catalogue != nullptr ? catalogue->CurrentChannel() : nullptr;
    const auto found = std::find(channels.begin(), channels.end(), current);
    const int row = found == channels.end() ? 0 : static_cast<int>(found - channels.begin());

    grid_ = new GuideGridView(this, std::move(channels), guide);
    connect(grid_, &GuideGridView::activated, this, [this] { DispatchCommand(kWatchCommand); });

    menu_ = new QMenu(this);
    SoftKeyBar::AddMenuCommand(*menu_, Text("menu_details"), kDetailsCommand);
    fromStart_ =
        SoftKeyBar::AddMenuCommand(*menu_, Text("menu_watch_from_start"), kFromStartCommand);
    record_ = SoftKeyBar::AddMenuCommand(*menu_, Text("menu_record"), kRecordCommand);
    remind_ = SoftKeyBar::AddMenuCommand(*menu_, Text("menu_remind"), kRemindCommand);
    connect(menu_, &QMenu::aboutToShow, this, &GuideGridDialog::UpdateMenu);
    menu_->addSeparator();
    SoftKeyBar::AddMenuCommand(*menu_, Text("menu_close"), kCloseCommand);
    SoftKeys()->SetKey(SoftKey::Left, Text("menu_watch"), kWatchCommand);
    SoftKeys()->SetKeyMenu(SoftKey::Right, Text("menu_menu"), menu_);

    const QRect area = FullScreenArea();
    OnSize(area.width(), std::max(0, area.height() - BarHeight()));
    grid_->SelectNowOn(row);
}

GuideGridDialog::~GuideGridDialog() = default;

bool GuideGridDialog::OnCommand(int command) {
    switch (command) {
    case kWatchCommand: Watch(); return true;
    case kDetailsCommand: ShowDetails(); return true;
    case kFromStartCommand: WatchFromStart(); return true;
    case kRecordCommand: Record(); return true;
    case kRemindCommand: Remind(); return true;
    case kCloseCommand: done(kDialogResultCancel); return true;
    default: return false;
    }
}

void GuideGridDialog::Watch() {
    Channel* channel = grid_->SelectedChannel();
    if (channel == nullptr)
        return;
    const std::optional<ProgrammeSummary>& programme = grid_->SelectedProgramme();
    const std::int64_t now = ProgrammeGuide::Now();
    // A channel without a programme at that time is live all the same.
    if (!programme || (programme->start <= now && now < programme->stop)) {
        Play(channel);
        return;
    }
    if (programme->stop <= now && InArchive(*channel, *programme)) {
        PlayArchived(channel, *programme);
        return;
    }
    ShowTextMessage(this,
                    programme->stop <= now ? "msg_programme_ended" : "msg_programme_not_started");
}

bool GuideGridDialog::InArchive(const Channel& channel, const ProgrammeSummary& programme) const {
    return guide_ != nullptr && guide_->InArchive(channel.id, programme, ProgrammeGuide::Now());
}

void GuideGridDialog::UpdateMenu() {
    Channel* channel = grid_->SelectedChannel();
    const std::optional<ProgrammeSummary>& programme = grid_->SelectedProgramme();
    const std::int64_t now = ProgrammeGuide::Now();
    fromStart_->setEnabled(channel != nullptr && programme && programme->stop > now &&
                           InArchive(*channel, *programme));
    record_->setEnabled(channel != nullptr && programme && programme->stop > now &&
                        TheRecordings() != nullptr);
    remind_->setEnabled(channel != nullptr && programme && programme->start > now &&
                        TheRecordings() != nullptr);
}

void GuideGridDialog::Remind() {
    UpdateMenu();
    Channel* channel = grid_->SelectedChannel();
    const std::optional<ProgrammeSummary>& programme = grid_->SelectedProgramme();
    if (!remind_->isEnabled() || channel == nullptr || !programme)
        return;
    ShowTextMessage(this, RemindMessageKey(TheRecordings()->Remind(*channel, *programme)));
}

void GuideGridDialog::Record() {
    UpdateMenu();
    Channel* channel = grid_->SelectedChannel();
    const std::optional<ProgrammeSummary>& programme = grid_->SelectedProgramme();
    if (!record_->isEnabled() || channel == nullptr || !programme)
        return;
    ShowTextMessage(this, RecordMessageKey(TheRecordings()->Schedule(*channel, *programme)));
}

void GuideGridDialog::WatchFromStart() {
    UpdateMenu();
    Channel* channel = grid_->SelectedChannel();
    const std::optional<ProgrammeSummary>& programme = grid_->SelectedProgramme();
    if (fromStart_->isEnabled() && channel != nullptr && programme)
        PlayArchived(channel, *programme);
}

void GuideGridDialog::PlayArchived(Channel* channel, const ProgrammeSummary& programme) {
    archived_ = programme;
    Play(channel);
}

void GuideGridDialog::ShowDetails() {
    Channel* channel = grid_->SelectedChannel();
    const std::optional<ProgrammeSummary>& programme = grid_->SelectedProgramme();
    if (channel == nullptr || !programme)
        return;
    std::optional<ProgrammeDetails> details;
    if (guide_ != nullptr)
        details = guide_->Details(channel->id, programme->id);
    if (!details) {
        // The store was replaced meanwhile: what the grid knows.
        details.emplace();
        details->summary = *programme;
    }
    const std::int64_t now = ProgrammeGuide::Now();
    const bool onNow = programme->start <= now && now < programme->stop;
    const bool inArchive = !onNow && InArchive(*channel, *programme);
    ProgrammeDetailsDialog page(this, *channel, *details, inArchive);
    page.exec();
    if (page.WatchRequested() && inArchive)
        PlayArchived(channel, *programme);
    else if (page.WatchRequested())
        Play(channel);
}

void GuideGridDialog::Play(Channel* channel) {
    playRequested_ = true;
    chosen_ = channel;
    done(kDialogResultOk);
}

void GuideGridDialog::OnSize(int width, int height) {
    const int bar = BarHeight();
    grid_->setGeometry(0, bar, width, std::max(0, height - bar));
}

void GuideGridDialog::showEvent(QShowEvent* event) {
    DialogFrame::showEvent(event);
    grid_->setFocus(Qt::OtherFocusReason);
}

ChannelChoice RunGuideGridModal(QWidget* owner, const ZapOrder& zapOrder) {
    GuideGridDialog dialog(owner, zapOrder.Channels(InterfaceCollation()), TheProgrammeGuide());
    dialog.exec();
    return {dialog.PlayRequested(), dialog.ChosenChannel(), dialog.ChosenArchived()};
}

}  // namespace lumora
