#include "shell/recordings_dialog.h"

#include <algorithm>

#include <QDateTime>
#include <QLocale>
#include <QPainter>

#include "resources/resources.h"
#include "shell/commands.h"
#include "shell/dialog_fonts.h"
#include "shell/localise.h"
#include "shell/recording_control.h"
#include "shell/show_text_message.h"
#include "shell/soft_key_bar.h"

namespace lumora {
namespace {

const char* StateKey(const ScheduledRecording& entry) {
    if (entry.reminder)
        return entry.state == ScheduleState::Scheduled ? "str_reminder" : "str_reminded";
    switch (entry.state) {
    case ScheduleState::Scheduled: return "str_rec_scheduled";
    case ScheduleState::Running: return "str_rec_running";
    case ScheduleState::Done: return "str_rec_done";
    case ScheduleState::Failed: return "str_rec_failed";
    case ScheduleState::Missed: return "str_rec_missed";
    }
    return "str_rec_scheduled";
}

QString RowText(const ScheduledRecording& entry) {
    const QLocale locale;
    const QDateTime start = QDateTime::fromSecsSinceEpoch(entry.start);
    const QDateTime stop = QDateTime::fromSecsSinceEpoch(entry.stop);
    const QString channel = QString::fromStdString(entry.channelName);
    const QString title = entry.title.empty() ? channel : QString::fromStdString(entry.title);
    QStringList details{channel,
                        locale.toString(start, QLocale::ShortFormat) + QStringLiteral("\u2013") +
                            locale.toString(stop.time(), QLocale::ShortFormat),
                        Text(StateKey(entry))};
    if (entry.bytes > 0)
        details << locale.formattedDataSize(entry.bytes);
    return title + QLatin1Char('\n') + details.join(QStringLiteral(" \u00b7 "));
}

}  // namespace

RecordingsDialog::RecordingsDialog(QWidget* owner, RecordingControl& recordings)
    : DialogFrame(owner, DialogSize::FullScreen), recordings_(recordings) {
    setModal(true);
    setFont(DialogTextFont());
    setWindowTitle(Text("menu_recordings"));
    list_ = new QListWidget(this);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setFont(DialogTextFont());
    QPalette palette = list_->palette();
    if (BackgroundBrush().style() != Qt::NoBrush)
        palette.setBrush(QPalette::Base, BackgroundBrush());
    if (LightTextColour().isValid())
        palette.setColor(QPalette::Text, LightTextColour());
    list_->setPalette(palette);
    SoftKeys()->SetKey(SoftKey::Left, Text("menu_delete"), kDeleteCommand);
    SoftKeys()->SetKey(SoftKey::Right, Text("menu_close"), kCloseCommand);
    connect(&recordings_, &RecordingControl::ended, this, &RecordingsDialog::Rebuild);
    Rebuild();
    const QRect area = FullScreenArea();
    OnSize(area.width(), std::max(0, area.height() - BarHeight()));
}

RecordingsDialog::~RecordingsDialog() = default;

void RecordingsDialog::Rebuild() {
    const int row = std::max(0, list_->currentRow());
    list_->clear();
    const auto& entries = recordings_.Entries().Entries();
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        auto* item = new QListWidgetItem(RowText(*entry), list_);
        item->setData(Qt::UserRole, entry->id);
    }
    if (list_->count() == 0)
        list_->addItem(Text("str_no_recordings"));
    list_->setCurrentRow(std::min(row, list_->count() - 1));
}

bool RecordingsDialog::OnCommand(int command) {
    switch (command) {
    case kDeleteCommand: DeleteSelected(); return true;
    case kCloseCommand: done(kDialogResultCancel); return true;
    default: return false;
    }
}

void RecordingsDialog::DeleteSelected() {
    const QListWidgetItem* item = list_->currentItem();
    if (item == nullptr || !item->data(Qt::UserRole).isValid())
        return;
    if (ShowTextMessage(this, "msg_recording_delete", kMessageStyleYesNo) != kMessageResultYes)
        return;
    recordings_.Delete(item->data(Qt::UserRole).toInt());
    Rebuild();
}

void RecordingsDialog::OnSize(int width, int height) {
    const int bar = BarHeight();
    const int margin = BarMargin();
    list_->setGeometry(margin, bar + margin, std::max(0, width - 2 * margin),
                       std::max(0, height - bar - 2 * margin));
}

void RecordingsDialog::PaintClient(QPainter& painter) {
    DrawFrameAround(painter, list_->geometry());
}

}  // namespace lumora
