#include "shell/settings_dialog.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include "catalogue/languages.h"
#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "net/account_secret.h"
#include "net/catalogue_update.h"
#include "resources/resources.h"
#include "shell/commands.h"
#include "shell/data_folders.h"
#include "shell/dialog_fonts.h"
#include "shell/localise.h"
#include "shell/main_frame.h"
#include "shell/playback_control.h"
#include "shell/recording_control.h"
#include "shell/show_text_message.h"
#include "shell/soft_key_bar.h"
#include "shell/track_language_chooser.h"

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
const QRect kRecordMarginLabelUnits(6, 234, 110, 10);
const QRect kRecordMarginFieldUnits(118, 232, 38, 12);
const QRect kRecordAtOnceLabelUnits(6, 250, 110, 10);
const QRect kRecordAtOnceFieldUnits(118, 248, 38, 12);

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

SettingsDialog::SettingsDialog(QWidget* owner) : DialogFrame(owner, DialogSize::FullScreen) {
    setModal(true);
    setFont(DialogTextFont());
    // The template's texts are keys; the localisation replaces them.
    setWindowTitle(QStringLiteral("menu_settings"));
    languageLabel_ = new QLabel(QStringLiteral("static_language"), this);
    languages_ = new QComboBox(this);
    updateCheck_ = new QCheckBox(QStringLiteral("check_cupdate"), this);
    fallbackCheck_ = new QCheckBox(QStringLiteral("check_fallback"), this);
    SetControlId(languages_, kLanguageChooserId);
    SetControlId(languageLabel_, kLanguageLabelId);
    SetControlId(updateCheck_, kUpdateCheckId);
    SetControlId(fallbackCheck_, kFallbackCheckId);
    sourceLabel_ = new QLabel(QStringLiteral("static_channel_source"), this);
    source_ = new QLineEdit(this);
    SetControlId(sourceLabel_, kSourceLabelId);
    SetControlId(source_, kSourceFieldId);
    guideLabel_ = new QLabel(QStringLiteral("static_guide"), this);
    guide_ = new QLineEdit(this);
    SetControlId(guideLabel_, kGuideLabelId);
    SetControlId(guide_, kGuideFieldId);
    timeshiftLabel_ = new QLabel(QStringLiteral("static_timeshift"), this);
    timeshift_ = new QSpinBox(this);
    timeshift_->setRange(0, PlaybackControl::kMostMinutes);
    SetControlId(timeshiftLabel_, kTimeshiftLabelId);
    SetControlId(timeshift_, kTimeshiftFieldId);
    audioLanguageLabel_ = new QLabel(QStringLiteral("static_audio_language"), this);
    audioLanguage_ = new QComboBox(this);
    subtitleLanguageLabel_ = new QLabel(QStringLiteral("static_subtitle_language"), this);
    subtitleLanguage_ = new QComboBox(this);
    SetControlId(audioLanguageLabel_, kAudioLanguageLabelId);
    SetControlId(audioLanguage_, kAudioLanguageChooserId);
    SetControlId(subtitleLanguageLabel_, kSubtitleLanguageLabelId);
    SetControlId(subtitleLanguage_, kSubtitleLanguageChooserId);
    accountLabel_ = new QLabel(QStringLiteral("static_account"), this);
    accountServer_ = new QLineEdit(this);
    accountUser_ = new QLineEdit(this);
    accountPassword_ = new QLineEdit(this);
    accountPassword_->setEchoMode(QLineEdit::Password);
    SetControlId(accountLabel_, kAccountLabelId);
    SetControlId(accountServer_, kAccountServerId);
    SetControlId(accountUser_, kAccountUserId);
    SetControlId(accountPassword_, kAccountPasswordId);
    recordMarginLabel_ = new QLabel(QStringLiteral("static_record_margin"), this);
    recordMargin_ = new QSpinBox(this);
    recordMargin_->setRange(0, RecordingControl::kMostMarginMinutes);
    recordAtOnceLabel_ = new QLabel(QStringLiteral("static_record_at_once"), this);
    recordAtOnce_ = new QSpinBox(this);
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
    for (QCheckBox* check : {updateCheck_, fallbackCheck_}) {
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
    // 6. The preferred track languages.
    FillTrackLanguageChooser(*audioLanguage_, GetStringSetting(kAudioLanguage, u""));
    FillTrackLanguageChooser(*subtitleLanguage_, GetStringSetting(kSubtitleLanguage, u""));
    // 7. The provider account.
    ShowAccount();
    // 8. Recordings.
    recordMargin_->setValue(
        GetIntSetting(kRecordMarginMinutes, RecordingControl::kDefaultMarginMinutes));
    recordAtOnce_->setValue(GetIntSetting(kRecordMostAtOnce, RecordingControl::kDefaultMostAtOnce));
    // 9. The soft keys.
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
    sourceChanged_ = SetUpdateServer(source_->text().toStdU16String());
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
    // The password is never shown; the field says whether one is kept.
    const bool kept = !LoadAccountSecret(UserDataFolder().toStdString()).empty();
    accountPassword_->setPlaceholderText(
        Text(kept ? "str_account_password_kept" : "str_account_password"));
}

bool SettingsDialog::StoreAccount() {
    const std::u16string server = accountServer_->text().trimmed().toStdU16String();
    const std::u16string user = accountUser_->text().trimmed().toStdU16String();
    const std::string password = accountPassword_->text().toStdString();
    bool changed = server != GetStringSetting(kAccountServer, u"") ||
                   user != GetStringSetting(kAccountUser, u"");
    SetStringSetting(kAccountServer, server);
    SetStringSetting(kAccountUser, user);
    const std::string folder = UserDataFolder().toStdString();
    if (server.empty() || user.empty()) {
        ForgetAccountSecret(folder);
        return changed;
    }
    if (!password.empty()) {
        changed = true;
        // No desktop secret store is used: the user hears where it is kept.
        if (SaveAccountSecret(folder, password))
            ShowTextMessage(this, "msg_account_password_file", kMessageStyleOk);
        else
            ShowTextMessage(this, "msg_error_save", kMessageStyleOk);
    }
    return changed;
}

void SettingsDialog::OnSize(int width, int) {
    // The template positions; a text longer than the screen is cut at its
    // right margin rather than running off it.
    const int rightEdge = width - BarMargin();
    auto place = [rightEdge, this](QWidget* control, const QRect& units) {
        QRect area = MapDialogRect(units);
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
    // The choosers keep the height they need for their font.
    for (QComboBox* chooser : {languages_, audioLanguage_, subtitleLanguage_})
        chooser->resize(chooser->width(), chooser->sizeHint().height());
    for (QCheckBox* check : {updateCheck_, fallbackCheck_}) {
        check->resize(
            std::max(check->width(), std::min(check->sizeHint().width(), rightEdge - check->x())),
            std::max(check->height(), check->sizeHint().height()));
    }
}

int RunSettingsModal(QWidget* owner) {
    SettingsDialog dialog(owner);
    const int result = dialog.exec();
    // After the dialog has gone, as if the user had chosen the command.
    MainFrame* frame = TheMainFrame();
    for (const auto& [changed, command] : {std::pair(dialog.SourceChanged(), ID_CHANNEL_UPDATE),
                                           std::pair(dialog.GuideChanged(), ID_GUIDE_UPDATE)}) {
        if (changed && frame != nullptr)
            QMetaObject::invokeMethod(
                frame, [frame, command] { frame->OnCommand(command); }, Qt::QueuedConnection);
    }
    return result;
}

}  // namespace lumora
