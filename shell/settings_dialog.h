#pragma once

// The settings: the interface language, the catalogue update check at
// start ("AutoCU") and trying a channel's other streams when one fails
// ("auto_fallback"). A full-screen modal dialog with the soft keys OK
// (0xE790, stores both and ends with 1) and Cancel (0xE791, stores nothing
// and ends with 2). Choosing a language says at once that it takes effect
// at the next start; nothing is stored before OK.
//
// Threads: the UI thread only.

#include "shell/dialog_frame.h"

class QCheckBox;
class QComboBox;
class QLabel;

namespace lumora {

class SettingsDialog final : public DialogFrame {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 205;
    static constexpr int kLanguageChooserId = 1009;
    static constexpr int kLanguageLabelId = 1010;
    static constexpr int kUpdateCheckId = 1018;
    static constexpr int kFallbackCheckId = 1019;

    explicit SettingsDialog(QWidget* owner);
    ~SettingsDialog() override;

    QComboBox* LanguageChooser() const { return languages_; }
    QCheckBox* UpdateCheck() const { return updateCheck_; }
    QCheckBox* FallbackCheck() const { return fallbackCheck_; }

protected:
    bool OnCommand(int command) override;
    void OnSize(int width, int height) override;

private:
    void Store();

    QLabel* languageLabel_ = nullptr;
    QComboBox* languages_ = nullptr;
    QCheckBox* updateCheck_ = nullptr;
    QCheckBox* fallbackCheck_ = nullptr;
};

// Runs the settings dialog modally, owned by `owner` (the shell's
// RunSettingsDialog). Returns the modal result.
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
