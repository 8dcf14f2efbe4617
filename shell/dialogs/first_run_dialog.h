#pragma once

// The first-run dialog: a welcome notice and the choice of the interface
// language, shown by start-up before any other window on the very first
// start. Choosing a language makes it the active one at once, and the
// dialog relabels itself and its soft keys in it. Continue (0xE790) stores
// the language and sets the confirmation; Cancel (0xE791), Esc and the
// frame's own commands leave the confirmation false, and start-up then ends
// the program.
//
// Threads: the UI thread only.

#include "shell/dialogs/dialog_frame.h"

class QComboBox;
class QLabel;

namespace lumora {

class FirstRunDialog final : public DialogFrame {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 208;
    static constexpr int kLanguageChooserId = 1009;
    static constexpr int kLanguageLabelId = 1010;
    static constexpr int kNoticeId = 1005;

    explicit FirstRunDialog(QWidget* owner);
    ~FirstRunDialog() override;

    // True only after the continue command.
    bool Confirmed() const { return confirmed_; }

    QComboBox* LanguageChooser() const { return languages_; }
    QLabel* Notice() const { return notice_; }
    QLabel* LanguageLabel() const { return languageLabel_; }

protected:
    bool OnCommand(int command) override;
    void OnSize(int width, int height) override;
    void PaintClient(QPainter& painter) override;

private:
    // Makes the chosen language the active one and relabels the dialog.
    void ApplySelectedLanguage();

    bool confirmed_ = false;
    QComboBox* languages_ = nullptr;
    QLabel* languageLabel_ = nullptr;
    QLabel* notice_ = nullptr;
};

// Runs the dialog modally, owned by `owner`; true when the user continued
// (the shell's RunFirstRunDialog).
bool RunFirstRunModal(QWidget* owner);

}  // namespace lumora
