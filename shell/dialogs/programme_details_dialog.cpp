#include "shell/dialogs/programme_details_dialog.h"

#include <charconv>

#include <QDateTime>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QTextBrowser>

#include "catalogue/channel.h"
#include "resources/resources.h"
#include "shell/app/commands.h"
#include "shell/app/localise.h"
#include "shell/dialogs/show_text_message.h"
#include "shell/main_window/programme_guide.h"
#include "shell/main_window/recording_control.h"
#include "shell/widgets/dialog_fonts.h"
#include "shell/widgets/soft_key_bar.h"

namespace lumora {
namespace {

// Season and episode numbers above this are not believed.
constexpr int kMaxEpisodeNumber = 100000;

// The zero-based number at the start of one part of an xmltv_ns text
// ("4" of "4/12"), or -1.
int LeadingNumber(std::string_view part) {
    const auto first = part.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return -1;
    part.remove_prefix(first);
    int value = -1;
    const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
    if (error != std::errc() || value < 0 || value >= kMaxEpisodeNumber)
        return -1;
    return value;
}

QString Escaped(const std::string& text) {
    return QString::fromStdString(text).toHtmlEscaped().replace(QLatin1Char('\n'),
                                                                QStringLiteral("<br>"));
}

// One line of the page: "Label: value", the label in bold.
QString Line(const char* labelKey, const QString& value) {
    if (value.isEmpty())
        return {};
    return QStringLiteral("<p><b>%1</b> %2</p>").arg(Text(labelKey).toHtmlEscaped(), value);
}

QString DayAndTimes(const ProgrammeSummary& programme) {
    const QDate day = QDateTime::fromSecsSinceEpoch(programme.start).date();
    return ProgrammeGuide::InterfaceLocale().toString(day, QLocale::LongFormat) +
           QStringLiteral(", ") + ProgrammeGuide::TimeRange(programme);
}

}  // namespace

QString EpisodeText(const ProgrammeDetails& details) {
    if (!details.episodeOnscreen.empty())
        return QString::fromStdString(details.episodeOnscreen);
    const std::string_view ns = details.episodeXmltvNs;
    const auto dot = ns.find('.');
    if (dot == std::string_view::npos)
        return {};
    const int season = LeadingNumber(ns.substr(0, dot));
    const std::string_view rest = ns.substr(dot + 1);
    const int episode = LeadingNumber(rest.substr(0, rest.find('.')));
    QStringList parts;
    if (season >= 0)
        parts << QStringLiteral("S%1").arg(season + 1);
    if (episode >= 0)
        parts << QStringLiteral("E%1").arg(episode + 1);
    return parts.join(QLatin1Char(' '));
}

ProgrammeDetailsDialog::ProgrammeDetailsDialog(QWidget* owner, const Channel& channel,
                                               ProgrammeDetails details, bool inArchive)
    : DialogFrame(owner, DialogSize::FullScreen), channel_(channel), programme_(details.summary) {
    setModal(true);
    setFont(DialogTextFont());
    setWindowTitle(Text("menu_details"));
    const ProgrammeSummary& programme = details.summary;
    const std::int64_t now = ProgrammeGuide::Now();
    canWatch_ = inArchive || (programme.start <= now && now < programme.stop);

    body_ = new QTextBrowser(this);
    body_->setFrameShape(QFrame::NoFrame);
    body_->setOpenLinks(false);
    body_->setFont(DialogTextFont());
    QPalette palette = body_->palette();
    if (BackgroundBrush().style() != Qt::NoBrush)
        palette.setBrush(QPalette::Base, BackgroundBrush());
    if (LightTextColour().isValid())
        palette.setColor(QPalette::Text, LightTextColour());
    body_->setPalette(palette);

    QStringList categories;
    for (const std::string& category : details.categories)
        categories << QString::fromStdString(category);
    QString html =
        QStringLiteral("<p style='font-size:large'><b>%1</b></p>").arg(Escaped(programme.title));
    if (!details.subTitle.empty())
        html += QStringLiteral("<p><i>%1</i></p>").arg(Escaped(details.subTitle));
    html +=
        Line("static_programme_channel", QString::fromStdU16String(channel.name).toHtmlEscaped());
    html += Line("static_programme_time", DayAndTimes(programme).toHtmlEscaped());
    html +=
        Line("static_programme_category", categories.join(QStringLiteral(", ")).toHtmlEscaped());
    html += Line("static_programme_episode", EpisodeText(details).toHtmlEscaped());
    html += Line("static_programme_rating", Escaped(details.rating));
    if (!details.description.empty())
        html += QStringLiteral("<p>%1</p>").arg(Escaped(details.description));
    body_->setHtml(html);

    if (canWatch_)
        SoftKeys()->SetKey(SoftKey::Left, Text("menu_watch"), kWatchCommand);
    menu_ = new QMenu(this);
    record_ = SoftKeyBar::AddMenuCommand(*menu_, Text("menu_record") + QStringLiteral("\tR"),
                                         kRecordCommand);
    remind_ = SoftKeyBar::AddMenuCommand(*menu_, Text("menu_remind"), kRemindCommand);
    connect(menu_, &QMenu::aboutToShow, this, &ProgrammeDetailsDialog::UpdateMenu);
    menu_->addSeparator();
    SoftKeyBar::AddMenuCommand(*menu_, Text("menu_close"), IDCANCEL);
    SoftKeys()->SetKeyMenu(SoftKey::Right, Text("menu_menu"), menu_);
    UpdateMenu();

    const QRect area = FullScreenArea();
    OnSize(area.width(), std::max(0, area.height() - BarHeight()));
}

ProgrammeDetailsDialog::~ProgrammeDetailsDialog() = default;

bool ProgrammeDetailsDialog::OnCommand(int command) {
    if (command == kRecordCommand) {
        Record();
        return true;
    }
    if (command == kRemindCommand) {
        Remind();
        return true;
    }
    if (command != kWatchCommand)
        return false;
    if (canWatch_) {
        watchRequested_ = true;
        done(kDialogResultOk);
    }
    return true;
}

void ProgrammeDetailsDialog::UpdateMenu() {
    const std::int64_t now = ProgrammeGuide::Now();
    const bool recordings = TheRecordings() != nullptr;
    record_->setEnabled(recordings && programme_.stop > now);
    remind_->setEnabled(recordings && programme_.start > now);
}

void ProgrammeDetailsDialog::Record() {
    UpdateMenu();
    if (record_->isEnabled())
        ShowTextMessage(this, RecordMessageKey(TheRecordings()->Schedule(channel_, programme_)));
}

void ProgrammeDetailsDialog::Remind() {
    UpdateMenu();
    if (remind_->isEnabled())
        ShowTextMessage(this, RemindMessageKey(TheRecordings()->Remind(channel_, programme_)));
}

void ProgrammeDetailsDialog::OnSize(int width, int height) {
    const int bar = BarHeight();
    const int margin = BarMargin();
    body_->setGeometry(margin, bar + margin, std::max(0, width - 2 * margin),
                       std::max(0, height - bar - 2 * margin));
}

void ProgrammeDetailsDialog::PaintClient(QPainter& painter) {
    DrawFrameAround(painter, body_->geometry());
}

void ProgrammeDetailsDialog::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        DispatchCommand(kWatchCommand);
        return;
    }
    if ((event->key() == Qt::Key_R || event->key() == Qt::Key_MediaRecord) &&
        event->modifiers() == Qt::NoModifier) {
        DispatchCommand(kRecordCommand);
        return;
    }
    DialogFrame::keyPressEvent(event);
}

void ProgrammeDetailsDialog::showEvent(QShowEvent* event) {
    DialogFrame::showEvent(event);
    // The arrows and page keys scroll the description.
    body_->setFocus(Qt::OtherFocusReason);
}

}  // namespace lumora
