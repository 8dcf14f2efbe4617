#include "shell/dialogs/settings_dialog.h"

#include <algorithm>
#include <system_error>
#include <thread>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>

#include "catalogue/languages.h"
#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "catalogue/text_format.h"
#include "document/text_encoding.h"
#include "net/account_fetch.h"
#include "net/account_password.h"
#include "net/catalogue_update.h"
#include "resources/resources.h"
#include "shell/app/commands.h"
#include "shell/app/data_folders.h"
#include "shell/app/localise.h"
#include "shell/dialogs/show_text_message.h"
#include "shell/dialogs/track_language_chooser.h"
#include "shell/main_window/main_frame.h"
#include "shell/main_window/playback_control.h"
#include "shell/main_window/recording_control.h"
#include "shell/widgets/dialog_fonts.h"
#include "shell/widgets/focus_outline.h"
#include "shell/widgets/soft_key_bar.h"

namespace lumora {
namespace {

constexpr char16_t kDefaultLanguage[] = u"en";

// Template positions, in dialog units, below the title strip.
const QRect kLanguageLabelUnits(6, 22, 52, 10);
const QRect kLanguageChooserUnits(60, 20, 90, 12);
const QRect kUpdateCheckUnits(6, 40, 150, 12);
const QRect kFallbackCheckUnits(6, 56, 150, 12);
const QRect kSourceLabelUnits(6, 74, 150, 10);
const QRect kSourceFieldUnits(6, 86, 150, 12);
const QRect kGuideLabelUnits(6, 104, 150, 10);
const QRect kGuideFieldUnits(6, 116, 150, 12);
const QRect kTimeshiftLabelUnits(6, 136, 110, 10);
const QRect kTimeshiftFieldUnits(118, 134, 38, 12);
// The preferred track languages leave the row at 134 to the timeshift line.
const QRect kAudioLanguageLabelUnits(6, 154, 62, 10);
const QRect kAudioLanguageChooserUnits(70, 152, 80, 12);
const QRect kSubtitleLanguageLabelUnits(6, 170, 62, 10);
const QRect kSubtitleLanguageChooserUnits(70, 168, 80, 12);
const QRect kAccountLabelUnits(6, 186, 150, 10);
const QRect kAccountServerUnits(6, 198, 150, 12);
const QRect kAccountUserUnits(6, 214, 73, 12);
const QRect kAccountPasswordUnits(83, 214, 73, 12);
const QRect kRecordMarginLabelUnits(6, 290, 110, 10);
const QRect kRecordMarginFieldUnits(118, 288, 38, 12);
const QRect kRecordAtOnceLabelUnits(6, 306, 110, 10);
const QRect kRecordAtOnceFieldUnits(118, 304, 38, 12);
const QRect kAdultCheckUnits(6, 230, 150, 12);
const QRect kAccountCheckButtonUnits(6, 246, 60, 14);
const QRect kAccountStatusUnits(70, 248, 86, 10);
const QRect kSecretNoticeUnits(6, 264, 150, 20);

constexpr char kTextCheckAccount[] = "button_check_account";
constexpr char kTextChecking[] = "str_account_checking";
constexpr char kTextShowAdult[] = "check_show_adult";
constexpr char kTextPasswordFile[] = "msg_account_password_file";

// The account as the settings hold it, its server as the update reads it
// (the secret store files the password under that server and the user).
ProviderAccount AccountOf(const std::u16string& server, const std::u16string& user) {
    const std::string typed = ToUtf8(server);
    return {NormaliseAccountServer(typed).value_or(typed), ToUtf8(user), {}};
}

ProviderAccount StoredAccount() {
    return AccountOf(GetStringSetting(kAccountServer, u""), GetStringSetting(kAccountUser, u""));
}

// Runs `work` on the UI thread, if `dialog` is still there then.
template <typename Work>
void OnUiThread(QPointer<SettingsDialog> dialog, Work work) {
    if (QCoreApplication* application = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            application,
            [dialog, work = std::move(work)] {
                if (dialog)
                    work(*dialog);
            },
            Qt::QueuedConnection);
}

// After the settings are confirmed, on the UI thread: where the typed
// password went, when that is not the secret store.
void TellWherePasswordWent(PasswordPlace place) {
    if (QCoreApplication* application = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            application,
            [place] {
                ShowTextMessage(TheMainFrame(),
                                place == PasswordPlace::File ? kTextPasswordFile : kMsgSaveFailed,
                                kMessageStyleOk);
            },
            Qt::QueuedConnection);
}

}  // namespace

void FillLanguageChooser(QComboBox& chooser) {
    chooser.clear();
    for (int i = 0; i < LanguageCount(); ++i)
        chooser.addItem(QString::fromStdU16String(LanguageName(i)));
    chooser.setCurrentIndex(FindLanguage(GetStringSetting(kLanguage, kDefaultLanguage)));
}

std::u16string ChosenLanguageCode(const QComboBox& chooser) {
    const int index = chooser.currentIndex();
    if (index < 0 || index >= LanguageCount())
        return GetStringSetting(kLanguage, kDefaultLanguage);
    return LanguageCode(index);
}

SettingsDialog::SettingsDialog(QWidget* owner, UpdateState* updates)
    : DialogFrame(owner, DialogSize::FullScreen), updates_(updates) {
    setModal(true);
    setFont(DialogTextFont());
    // The template's texts are keys; the localisation replaces them.
    setWindowTitle(QStringLiteral("menu_settings"));
    // The controls scroll between the title strip and the soft keys, so
    // every one stays reachable with large text on a small screen.
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    content_ = new QWidget;
    scroll_->setWidget(content_);
    scroll_->viewport()->setAutoFillBackground(false);
    content_->setAutoFillBackground(false);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now != nullptr && content_->isAncestorOf(now))
            scroll_->ensureWidgetVisible(now);
    });
    languageLabel_ = new QLabel(QStringLiteral("static_language"), content_);
    languages_ = new QComboBox(content_);
    updateCheck_ = new QCheckBox(QStringLiteral("check_cupdate"), content_);
    fallbackCheck_ = new QCheckBox(QStringLiteral("check_fallback"), content_);
    SetControlId(languages_, kLanguageChooserId);
    SetControlId(languageLabel_, kLanguageLabelId);
    SetControlId(updateCheck_, kUpdateCheckId);
    SetControlId(fallbackCheck_, kFallbackCheckId);
    sourceLabel_ = new QLabel(QStringLiteral("static_channel_source"), content_);
    source_ = new QLineEdit(content_);
    SetControlId(sourceLabel_, kSourceLabelId);
    SetControlId(source_, kSourceFieldId);
    guideLabel_ = new QLabel(QStringLiteral("static_guide"), content_);
    guide_ = new QLineEdit(content_);
    SetControlId(guideLabel_, kGuideLabelId);
    SetControlId(guide_, kGuideFieldId);
    timeshiftLabel_ = new QLabel(QStringLiteral("static_timeshift"), content_);
    timeshift_ = new QSpinBox(content_);
    timeshift_->setRange(0, PlaybackControl::kMostMinutes);
    SetControlId(timeshiftLabel_, kTimeshiftLabelId);
    SetControlId(timeshift_, kTimeshiftFieldId);
    audioLanguageLabel_ = new QLabel(QStringLiteral("static_audio_language"), content_);
    audioLanguage_ = new QComboBox(content_);
    subtitleLanguageLabel_ = new QLabel(QStringLiteral("static_subtitle_language"), content_);
    subtitleLanguage_ = new QComboBox(content_);
    SetControlId(audioLanguageLabel_, kAudioLanguageLabelId);
    SetControlId(audioLanguage_, kAudioLanguageChooserId);
    SetControlId(subtitleLanguageLabel_, kSubtitleLanguageLabelId);
    SetControlId(subtitleLanguage_, kSubtitleLanguageChooserId);
    accountLabel_ = new QLabel(QStringLiteral("static_account"), content_);
    accountServer_ = new QLineEdit(content_);
    accountUser_ = new QLineEdit(content_);
    accountPassword_ = new QLineEdit(content_);
    accountPassword_->setEchoMode(QLineEdit::Password);
    SetControlId(accountLabel_, kAccountLabelId);
    SetControlId(accountServer_, kAccountServerId);
    SetControlId(accountUser_, kAccountUserId);
    SetControlId(accountPassword_, kAccountPasswordId);
    adultCheck_ = new QCheckBox(QString::fromLatin1(kTextShowAdult), content_);
    accountCheck_ = new QPushButton(QString::fromLatin1(kTextCheckAccount), content_);
    accountStatus_ = new QLabel(content_);
    secretNotice_ = new QLabel(content_);
    secretNotice_->setWordWrap(true);
    secretNotice_->hide();
    SetControlId(adultCheck_, kAdultCheckId);
    SetControlId(accountCheck_, kAccountCheckButtonId);
    SetControlId(accountStatus_, kAccountStatusId);
    SetControlId(secretNotice_, kSecretNoticeId);
    connect(accountCheck_, &QPushButton::clicked, this, [this] { CheckAccountNow(); });
    // The flat button looks the same with and without the keyboard.
    FocusOutline::Attach(accountCheck_);
    recordMarginLabel_ = new QLabel(QStringLiteral("static_record_margin"), content_);
    recordMargin_ = new QSpinBox(content_);
    recordMargin_->setRange(0, RecordingControl::kMostMarginMinutes);
    recordAtOnceLabel_ = new QLabel(QStringLiteral("static_record_at_once"), content_);
    recordAtOnce_ = new QSpinBox(content_);
    recordAtOnce_->setRange(1, RecordingControl::kMostAtOnceLimit);
    SetControlId(recordMarginLabel_, kRecordMarginLabelId);
    SetControlId(recordMargin_, kRecordMarginFieldId);
    SetControlId(recordAtOnceLabel_, kRecordAtOnceLabelId);
    SetControlId(recordAtOnce_, kRecordAtOnceFieldId);
    // Screen readers name each control by its label.
    languageLabel_->setBuddy(languages_);
    sourceLabel_->setBuddy(source_);
    guideLabel_->setBuddy(guide_);
    timeshiftLabel_->setBuddy(timeshift_);
    audioLanguageLabel_->setBuddy(audioLanguage_);
    subtitleLanguageLabel_->setBuddy(subtitleLanguage_);
    accountLabel_->setBuddy(accountServer_);
    recordMarginLabel_->setBuddy(recordMargin_);
    recordAtOnceLabel_->setBuddy(recordAtOnce_);
    // The box grows with the text at high resolutions.
    const int box = std::max(13, QFontMetrics(font()).height() * 3 / 4);
    for (QCheckBox* check : {updateCheck_, fallbackCheck_, adultCheck_}) {
        ApplyDialogColours(check);
        check->setStyleSheet(
            QStringLiteral("QCheckBox::indicator { width: %1px; height: %1px; }").arg(box));
    }

    // 1. The texts.
    LocaliseWindowTree(this);
    // 2. The languages.
    FillLanguageChooser(*languages_);
    // 3. The update check.
    updateCheck_->setChecked(GetBoolSetting(kAutoCU, true));
    fallbackCheck_->setChecked(GetBoolSetting(kAutoFallback, true));
    // 4. The channel source: what the user set, empty for the built-in one,
    //    which the field shows greyed.
    const std::u16string inUse = UpdateServer();
    source_->setText(inUse == DefaultUpdateServer() ? QString() : QString::fromStdU16String(inUse));
    source_->setPlaceholderText(QString::fromStdU16String(DefaultUpdateServer()));
    // 5. The guide's addresses.
    guide_->setText(QString::fromStdU16String(GetStringSetting(kGuideSources, u"")));
    // 6. How far back a live stream can be paused and rewound.
    timeshift_->setValue(GetIntSetting(kTimeshiftMinutes, PlaybackControl::kDefaultMinutes));
    // 7. The preferred track languages.
    FillTrackLanguageChooser(*audioLanguage_, GetStringSetting(kAudioLanguage, u""));
    FillTrackLanguageChooser(*subtitleLanguage_, GetStringSetting(kSubtitleLanguage, u""));
    // 8. The provider account.
    ShowAccount();
    // 9. Recordings.
    recordMargin_->setValue(
        GetIntSetting(kRecordMarginMinutes, RecordingControl::kDefaultMarginMinutes));
    recordAtOnce_->setValue(GetIntSetting(kRecordMostAtOnce, RecordingControl::kDefaultMostAtOnce));
    // 10. The soft keys.
    SoftKeys()->SetKey(SoftKey::Left, Text("button_ok"), ID_SOFTKEY_DONE);
    SoftKeys()->SetKey(SoftKey::Right, Text("button_cancel"), ID_SOFTKEY_CANCEL);

    // Every choice the user makes, also of the language already shown.
    connect(languages_, &QComboBox::activated, this,
            [this] { ShowTextMessage(this, "msg_lang_restart", kMessageStyleOk); });
    languages_->setFocus(Qt::OtherFocusReason);
}

SettingsDialog::~SettingsDialog() = default;

bool SettingsDialog::OnCommand(int command) {
    switch (command) {
    case ID_SOFTKEY_DONE:
        Store();
        done(kDialogResultOk);
        return true;
    case ID_SOFTKEY_CANCEL: done(kDialogResultCancel); return true;
    default: return false;
    }
}

void SettingsDialog::Store() {
    SetStringSetting(kLanguage, ChosenLanguageCode(*languages_));
    SetBoolSetting(kAutoCU, updateCheck_->isChecked());
    SetBoolSetting(kAutoFallback, fallbackCheck_->isChecked());
    UpdateState nonePending;
    sourceChanged_ =
        SetUpdateServer(source_->text().toStdU16String(), updates_ ? *updates_ : nonePending);
    const std::u16string guide = guide_->text().trimmed().toStdU16String();
    guideChanged_ = guide != GetStringSetting(kGuideSources, u"");
    if (guideChanged_)
        SetStringSetting(kGuideSources, guide);
    SetIntSetting(kTimeshiftMinutes, timeshift_->value());
    SetStringSetting(kAudioLanguage, ChosenTrackLanguage(*audioLanguage_));
    SetStringSetting(kSubtitleLanguage, ChosenTrackLanguage(*subtitleLanguage_));
    SetIntSetting(kRecordMarginMinutes, recordMargin_->value());
    SetIntSetting(kRecordMostAtOnce, recordAtOnce_->value());
    sourceChanged_ = StoreAccount() || sourceChanged_;
}

void SettingsDialog::ShowAccount() {
    accountServer_->setText(QString::fromStdU16String(GetStringSetting(kAccountServer, u"")));
    accountServer_->setPlaceholderText(QStringLiteral("http://server:8080"));
    accountUser_->setText(QString::fromStdU16String(GetStringSetting(kAccountUser, u"")));
    accountUser_->setPlaceholderText(Text("str_account_user"));
    accountUser_->setAccessibleName(Text("str_account_user"));
    accountPassword_->setAccessibleName(Text("str_account_password"));
    adultCheck_->setChecked(GetBoolSetting(kAccountShowAdult, false));
    // The password is never shown; the field says whether one is kept, once
    // the secret store's worker has looked.
    accountPassword_->setPlaceholderText(Text("str_account_password"));
    QPointer<SettingsDialog> self(this);
    QueuePasswordWork([self, account = StoredAccount(), folder = UserDataFolder().toStdString()] {
        const KeptPassword kept = LoadAccountPassword(account.server, account.user, folder);
        const bool has = !kept.password.empty(), runs = kept.secretStoreRuns;
        OnUiThread(self,
                   [has, runs](SettingsDialog& dialog) { dialog.ShowKeptPassword(has, runs); });
    });
}

void SettingsDialog::ShowKeptPassword(bool kept, bool secretStoreRuns) {
    accountPassword_->setPlaceholderText(
        Text(kept ? "str_account_password_kept" : "str_account_password"));
    // Without a secret store the user hears where a password goes.
    secretNotice_->setText(secretStoreRuns ? QString() : Text(kTextPasswordFile));
    secretNotice_->setVisible(!secretStoreRuns);
    OnSize(width(), height());
}

bool SettingsDialog::StoreAccount() {
    const std::u16string server = accountServer_->text().trimmed().toStdU16String();
    const std::u16string user = accountUser_->text().trimmed().toStdU16String();
    ProviderAccount now = AccountOf(server, user);
    now.password = accountPassword_->text().toStdString();
    const ProviderAccount before = StoredAccount();
    bool changed = server != GetStringSetting(kAccountServer, u"") ||
                   user != GetStringSetting(kAccountUser, u"");
    const bool adult = adultCheck_->isChecked();
    // Another set of channels from the same account.
    changed = (adult != GetBoolSetting(kAccountShowAdult, false) && !server.empty()) || changed;
    SetStringSetting(kAccountServer, server);
    SetStringSetting(kAccountUser, user);
    SetBoolSetting(kAccountShowAdult, adult);
    const bool typed = !now.password.empty() && !server.empty() && !user.empty();
    changed = typed || changed;
    // The update this may start reads the password through the same queue,
    // so it sees the one kept here.
    QueuePasswordWork([before, now, typed, folder = UserDataFolder().toStdString()] {
        const PasswordPlace place = KeepAccountPassword(before, now, folder);
        if (typed && place != PasswordPlace::SecretStore)
            TellWherePasswordWent(place);
    });
    return changed;
}

void SettingsDialog::CheckAccountNow() {
    ProviderAccount account = AccountOf(accountServer_->text().trimmed().toStdU16String(),
                                        accountUser_->text().trimmed().toStdU16String());
    account.password = accountPassword_->text().toStdString();
    const std::uint64_t request = ++checkRequest_;
    if (!NormaliseAccountServer(account.server) || account.user.empty()) {
        ShowAccountStatus({kTextAccountUnreachable, {}});
        return;
    }
    accountStatus_->setText(Text(kTextChecking));
    QPointer<SettingsDialog> self(this);
    const auto check = [self, request, account, stored = StoredAccount(),
                        folder = UserDataFolder().toStdString()]() mutable {
        // No password typed: the one kept for the account as stored.
        if (account.password.empty())
            account.password =
                LoadAccountPasswordQueued(stored.server, stored.user, folder).password;
        FetchOptions options;
        options.totalTimeout = kMarkerTotalTimeout;
        AccountCheck checked;
        checked.outcome = AccountImport::Outcome::Refused;
        if (!account.password.empty())
            checked = CheckAccount(account, options);
        OnUiThread(self, [request, line = AccountStatusOf(checked)](SettingsDialog& dialog) {
            if (dialog.checkRequest_ == request)
                dialog.ShowAccountStatus(line);
        });
    };
    try {
        std::thread(check).detach();
    } catch (const std::system_error&) {
        ShowAccountStatus({kTextAccountUnreachable, {}});
    }
}

void SettingsDialog::ShowAccountStatus(const AccountStatusLine& line) {
    const QString text = Text(line.key);
    accountStatus_->setText(line.date.empty() ? text
                                              : QString::fromStdU16String(FormatText(
                                                    text.toStdU16String(), {FromUtf8(line.date)})));
}

void SettingsDialog::OnSize(int width, int) {
    // The template positions; a text longer than the screen is cut at its
    // right margin rather than running off it.
    const QRect client = ClientRect();
    const int top = BarHeight();
    scroll_->setGeometry(0, top, width, std::max(0, client.bottom() + 1 - top));
    const int rightEdge = width - BarMargin() - ScrollBarRoom();
    auto place = [rightEdge, top, this](QWidget* control, const QRect& units) {
        QRect area = MapDialogRect(units).translated(0, -top);
        area.setWidth(std::max(0, std::min(area.width(), rightEdge - area.left())));
        control->setGeometry(area);
    };
    place(languageLabel_, kLanguageLabelUnits);
    place(languages_, kLanguageChooserUnits);
    place(updateCheck_, kUpdateCheckUnits);
    place(fallbackCheck_, kFallbackCheckUnits);
    place(sourceLabel_, kSourceLabelUnits);
    place(source_, kSourceFieldUnits);
    place(guideLabel_, kGuideLabelUnits);
    place(guide_, kGuideFieldUnits);
    place(timeshiftLabel_, kTimeshiftLabelUnits);
    place(timeshift_, kTimeshiftFieldUnits);
    timeshift_->resize(timeshift_->width(),
                       std::max(timeshift_->height(), timeshift_->sizeHint().height()));
    for (QLineEdit* field : {source_, guide_})
        field->resize(field->width(), std::max(field->height(), field->sizeHint().height()));
    place(audioLanguageLabel_, kAudioLanguageLabelUnits);
    place(audioLanguage_, kAudioLanguageChooserUnits);
    place(subtitleLanguageLabel_, kSubtitleLanguageLabelUnits);
    place(subtitleLanguage_, kSubtitleLanguageChooserUnits);
    place(accountLabel_, kAccountLabelUnits);
    place(accountServer_, kAccountServerUnits);
    place(accountUser_, kAccountUserUnits);
    place(accountPassword_, kAccountPasswordUnits);
    for (QLineEdit* field : {accountServer_, accountUser_, accountPassword_})
        field->resize(field->width(), std::max(field->height(), field->sizeHint().height()));
    place(recordMarginLabel_, kRecordMarginLabelUnits);
    place(recordMargin_, kRecordMarginFieldUnits);
    place(recordAtOnceLabel_, kRecordAtOnceLabelUnits);
    place(recordAtOnce_, kRecordAtOnceFieldUnits);
    for (QSpinBox* field : {recordMargin_, recordAtOnce_})
        field->resize(field->width(), std::max(field->height(), field->sizeHint().height()));
    place(adultCheck_, kAdultCheckUnits);
    place(accountCheck_, kAccountCheckButtonUnits);
    accountCheck_->resize(std::max(accountCheck_->width(), accountCheck_->sizeHint().width()),
                          std::max(accountCheck_->height(), accountCheck_->sizeHint().height()));
    // The status follows the button, however wide its text made it.
    place(accountStatus_, kAccountStatusUnits);
    const int statusLeft = std::max(accountStatus_->x(), accountCheck_->geometry().right() + 8);
    accountStatus_->setGeometry(
        statusLeft, accountStatus_->y(), std::max(0, rightEdge - statusLeft),
        std::max(accountStatus_->height(), accountStatus_->sizeHint().height()));
    place(secretNotice_, kSecretNoticeUnits);
    // The choosers keep the height they need for their font.
    for (QComboBox* chooser : {languages_, audioLanguage_, subtitleLanguage_})
        chooser->resize(chooser->width(), chooser->sizeHint().height());
    for (QCheckBox* check : {updateCheck_, fallbackCheck_, adultCheck_}) {
        check->resize(
            std::max(check->width(), std::min(check->sizeHint().width(), rightEdge - check->x())),
            std::max(check->height(), check->sizeHint().height()));
    }
    secretNotice_->resize(
        secretNotice_->width(),
        std::max(secretNotice_->height(), secretNotice_->heightForWidth(secretNotice_->width())));
    // The recording lines follow the account's, however many lines its
    // notice took.
    const QWidget* accountEnd =
        secretNotice_->isHidden() ? static_cast<QWidget*>(accountCheck_) : secretNotice_;
    const int shift = accountEnd->geometry().bottom() + BarMargin() - recordMargin_->y();
    if (shift > 0) {
        for (QWidget* control : std::initializer_list<QWidget*>{recordMarginLabel_, recordMargin_,
                                                                recordAtOnceLabel_, recordAtOnce_})
            control->move(control->x(), control->y() + shift);
    }
    FitContent(width);
}

int SettingsDialog::ScrollBarRoom() const {
    // Kept whether the bar shows or not, so showing it moves nothing.
    return scroll_->verticalScrollBar()->sizeHint().width();
}

void SettingsDialog::FitContent(int width) {
    int bottom = 0;
    for (const QWidget* control : content_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!control->isHidden())
            bottom = std::max(bottom, control->geometry().bottom() + 1);
    }
    content_->resize(width - ScrollBarRoom(), bottom + BarMargin());
}

int RunSettingsModal(QWidget* owner) {
    MainFrame* frame = TheMainFrame();
    SettingsDialog dialog(owner, frame != nullptr ? &frame->Updates() : nullptr);
    const int result = dialog.exec();
    // After the dialog has gone, as if the user had chosen the command.
    for (const auto& [changed, command] : {std::pair(dialog.SourceChanged(), ID_CHANNEL_UPDATE),
                                           std::pair(dialog.GuideChanged(), ID_GUIDE_UPDATE)}) {
        if (changed && frame != nullptr)
            QMetaObject::invokeMethod(
                frame, [frame, command] { frame->OnCommand(command); }, Qt::QueuedConnection);
    }
    return result;
}

}  // namespace lumora
