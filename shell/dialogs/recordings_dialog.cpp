#include "shell/dialogs/recordings_dialog.h"

#include <algorithm>

#include <QDateTime>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QPainter>

#include "catalogue/text_format.h"
#include "player/playback_position.h"
#include "resources/resources.h"
#include "shell/app/commands.h"
#include "shell/app/localise.h"
#include "shell/dialogs/show_text_message.h"
#include "shell/main_window/recording_control.h"
#include "shell/widgets/dialog_fonts.h"
#include "shell/widgets/soft_key_bar.h"

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

// "gaps: 2 (at 12:34 for 31 s; at 30:00 for 12 s)": where in the recording
// the stream was lost and for how long.
QString GapsText(const ScheduledRecording& entry) {
    QStringList log;
    for (const RecordingGap& gap : entry.gapLog) {
        const std::u16string at =
            QString::fromStdString(DurationText(gap.atSeconds)).toStdU16String();
        log << QString::fromStdU16String(FormatText(Text("str_rec_gap").toStdU16String(),
                                                    {at, static_cast<int>(gap.lengthSeconds)}));
    }
    if (entry.gaps > static_cast<int>(entry.gapLog.size()) && !log.isEmpty())
        log << QStringLiteral("\u2026");
    QString text = QString::fromStdU16String(
        FormatText(Text("str_rec_gaps").toStdU16String(), {static_cast<int>(entry.gaps)}));
    if (!log.isEmpty())
        text += QStringLiteral(" (") + log.join(QStringLiteral("; ")) + QLatin1Char(')');
    return text;
}

// What the title bar names while a recording plays.
QString ShownName(const ScheduledRecording& entry) {
    const QString channel = QString::fromStdString(entry.channelName);
    if (entry.title.empty())
        return channel;
    return channel + QStringLiteral(" \u2013 ") + QString::fromStdString(entry.title);
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
    if (entry.gaps > 0)
        details << GapsText(entry);
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
    connect(list_, &QListWidget::itemActivated, this, [this] { DispatchCommand(kPlayCommand); });
    menu_ = new QMenu(this);
    SoftKeyBar::AddMenuCommand(*menu_, Text("menu_delete"), kDeleteCommand);
    menu_->addSeparator();
    SoftKeyBar::AddMenuCommand(*menu_, Text("menu_close"), kCloseCommand);
    SoftKeys()->SetKey(SoftKey::Left, Text("menu_play"), kPlayCommand);
    SoftKeys()->SetKeyMenu(SoftKey::Right, Text("menu_menu"), menu_);
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
    case kPlayCommand: PlaySelected(); return true;
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

void RecordingsDialog::PlaySelected() {
    const QListWidgetItem* item = list_->currentItem();
    const ScheduledRecording* entry =
        item != nullptr && item->data(Qt::UserRole).isValid()
            ? recordings_.Entries().Find(item->data(Qt::UserRole).toInt())
            : nullptr;
    if (entry == nullptr)
        return;
    if (entry->reminder || entry->file.empty()) {
        // Planned, missed, or never opened: nothing was recorded.
        ShowTextMessage(this, "msg_recording_no_file", kMessageStyleOk);
        return;
    }
    chosen_ = Choice{std::filesystem::path(entry->file), ShownName(*entry),
                     entry->state == ScheduleState::Running ? RecordingGrowth::Growing
                                                            : RecordingGrowth::Finished};
    done(kDialogResultOk);
}

void RecordingsDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        DispatchCommand(kDeleteCommand);
        return;
    }
    DialogFrame::keyPressEvent(event);
}

void RecordingsDialog::showEvent(QShowEvent* event) {
    DialogFrame::showEvent(event);
    // Up and Down choose a recording, Enter plays it.
    list_->setFocus(Qt::OtherFocusReason);
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
