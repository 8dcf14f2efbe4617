#pragma once

// The settings: the interface language, the catalogue update check at
// start ("AutoCU"), trying a channel's other streams when one fails
// ("auto_fallback") and the channel source ("update_server": an update
// server, a playlist address or a playlist file; empty for the built-in
// one) and the programme guide's addresses ("guide_sources": comma
// separated, each may end with a signed offset in hours; empty for the
// guides the playlist names), the preferred languages of audio and
// subtitle tracks (empty: automatic), the provider account (server, user
// name, password, whether its adult channels show) with a check of its
// status on the server, and how recordings run. A full-screen modal dialog
// with the soft keys OK (0xE790,
// stores them and ends with 1) and Cancel (0xE791, stores nothing and ends with 2). Choosing a
// language says at once that it takes effect at the next start; nothing is stored before OK. A
// changed channel source runs the catalogue update, a changed guide line the guide update, once the
// dialog has closed. The password is read and kept by the secret store's
// worker (account_password.h) and the check runs on a worker of its own: the
// UI thread never waits on either.
//
// Threads: the UI thread only.

#include <cstdint>
#include <string>

#include "net/account_source.h"
#include "net/update_state.h"

#include "shell/dialogs/dialog_frame.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QSpinBox;

namespace lumora {

class SettingsDialog final : public DialogFrame {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 205;
    static constexpr int kLanguageChooserId = 1009;
    static constexpr int kLanguageLabelId = 1010;
    static constexpr int kUpdateCheckId = 1018;
    static constexpr int kFallbackCheckId = 1019;
    static constexpr int kSourceLabelId = 1021;
    static constexpr int kSourceFieldId = 1022;
    static constexpr int kGuideLabelId = 1023;
    static constexpr int kGuideFieldId = 1024;
    static constexpr int kTimeshiftLabelId = 1025;
    static constexpr int kTimeshiftFieldId = 1026;
    // 1025 and 1026 are the timeshift line's.
    static constexpr int kAudioLanguageLabelId = 1027;
    static constexpr int kAudioLanguageChooserId = 1028;
    static constexpr int kSubtitleLanguageLabelId = 1029;
    static constexpr int kSubtitleLanguageChooserId = 1030;
    static constexpr int kAccountLabelId = 1031;
    static constexpr int kAccountServerId = 1032;
    static constexpr int kAccountUserId = 1033;
    static constexpr int kAccountPasswordId = 1034;
    static constexpr int kRecordMarginLabelId = 1035;
    static constexpr int kRecordMarginFieldId = 1036;
    static constexpr int kRecordAtOnceLabelId = 1037;
    static constexpr int kRecordAtOnceFieldId = 1038;
    static constexpr int kAdultCheckId = 1039;
    static constexpr int kAccountCheckButtonId = 1040;
    static constexpr int kAccountStatusId = 1041;
    static constexpr int kSecretNoticeId = 1042;

    // `updates`, when given, loses its pending update when the channel
    // source changes; a dialog made without it has none to drop.
    explicit SettingsDialog(QWidget* owner, UpdateState* updates = nullptr);
    ~SettingsDialog() override;

    QComboBox* LanguageChooser() const { return languages_; }
    QCheckBox* UpdateCheck() const { return updateCheck_; }
    QCheckBox* FallbackCheck() const { return fallbackCheck_; }
    QLineEdit* SourceField() const { return source_; }
    QLineEdit* GuideField() const { return guide_; }
    QSpinBox* TimeshiftField() const { return timeshift_; }
    // Recordings: minutes recorded on after a programme's end
    // ("record_margin_minutes"), how many may run at once
    // ("record_most_at_once").
    QSpinBox* RecordMarginField() const { return recordMargin_; }
    QSpinBox* RecordAtOnceField() const { return recordAtOnce_; }
    // The preferred track languages ("audio_language", "subtitle_language").
    QComboBox* AudioLanguageChooser() const { return audioLanguage_; }
    QComboBox* SubtitleLanguageChooser() const { return subtitleLanguage_; }
    // The provider account: server, user name, password (never shown).
    QLineEdit* AccountServerField() const { return accountServer_; }
    QLineEdit* AccountUserField() const { return accountUser_; }
    QLineEdit* AccountPasswordField() const { return accountPassword_; }
    // "account_adult": the account's adult channels show.
    QCheckBox* AdultCheck() const { return adultCheck_; }
    QPushButton* AccountCheckButton() const { return accountCheck_; }
    // What the last check found ("Active until 2027-03-01", "Expired", ...).
    QLabel* AccountStatus() const { return accountStatus_; }
    // Shown when no secret store runs: the password then goes to a file.
    QLabel* SecretNotice() const { return secretNotice_; }
    // Asks the server in the fields for the account's status, with the
    // password typed or else the one kept; AccountStatus says the answer.
    void CheckAccountNow();
    // OK stored a source other than the one in use before.
    bool SourceChanged() const { return sourceChanged_; }
    // OK stored other guide addresses.
    bool GuideChanged() const { return guideChanged_; }

protected:
    bool OnCommand(int command) override;
    void OnSize(int width, int height) override;

private:
    void Store();
    void ShowAccount();
    // True when the account changed (the channel source then did too).
    bool StoreAccount();
    void ShowKeptPassword(bool kept, bool secretStoreRuns);
    void ShowAccountStatus(const AccountStatusLine& line);
    // The width the vertical scroll bar takes from the controls.
    int ScrollBarRoom() const;
    // Makes the scrolled content as tall as its controls reach.
    void FitContent(int width);

    QScrollArea* scroll_ = nullptr;
    QWidget* content_ = nullptr;

    QLabel* languageLabel_ = nullptr;
    QComboBox* languages_ = nullptr;
    QCheckBox* updateCheck_ = nullptr;
    QCheckBox* fallbackCheck_ = nullptr;
    QLabel* sourceLabel_ = nullptr;
    QLineEdit* source_ = nullptr;
    QLabel* guideLabel_ = nullptr;
    QLineEdit* guide_ = nullptr;
    QLabel* timeshiftLabel_ = nullptr;
    QSpinBox* timeshift_ = nullptr;
    QLabel* recordMarginLabel_ = nullptr;
    QSpinBox* recordMargin_ = nullptr;
    QLabel* recordAtOnceLabel_ = nullptr;
    QSpinBox* recordAtOnce_ = nullptr;
    QLabel* audioLanguageLabel_ = nullptr;
    QComboBox* audioLanguage_ = nullptr;
    QLabel* subtitleLanguageLabel_ = nullptr;
    QComboBox* subtitleLanguage_ = nullptr;
    QLabel* accountLabel_ = nullptr;
    QLineEdit* accountServer_ = nullptr;
    QLineEdit* accountUser_ = nullptr;
    QLineEdit* accountPassword_ = nullptr;
    QCheckBox* adultCheck_ = nullptr;
    QPushButton* accountCheck_ = nullptr;
    QLabel* accountStatus_ = nullptr;
    QLabel* secretNotice_ = nullptr;
    // Tells the answer of the latest check from those of earlier ones.
    std::uint64_t checkRequest_ = 0;
    bool sourceChanged_ = false;
    bool guideChanged_ = false;
    UpdateState* updates_ = nullptr;
};

// Runs the settings dialog modally, owned by `owner` (the shell's
// RunSettingsDialog), and when it changed the channel source, queues the
// catalogue update (ID_CHANNEL_UPDATE) to the main window, when it changed
// the guide line, the guide update (ID_GUIDE_UPDATE). Returns the modal
// result.
int RunSettingsModal(QWidget* owner);

// Fills a language chooser with the display names of the language pack, in
// its order (so an entry's index is the language's index), and selects the
// language whose code is the setting "Language" ("en" by default); a code
// that is not in the pack selects nothing.
void FillLanguageChooser(QComboBox& chooser);

// The code the setting "Language" gets for the chooser's entry: that
// language's code, or the stored code when nothing is selected (no language
// pack, or a stored code the pack does not know).
std::u16string ChosenLanguageCode(const QComboBox& chooser);

}  // namespace lumora
