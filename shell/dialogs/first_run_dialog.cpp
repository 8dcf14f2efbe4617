#include "shell/dialogs/first_run_dialog.h"

#include <algorithm>

#include <QComboBox>
#include <QLabel>
#include <QPainter>

#include "catalogue/languages.h"
#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "resources/resources.h"
#include "shell/app/commands.h"
#include "shell/app/localise.h"
#include "shell/dialogs/settings_dialog.h"
#include "shell/widgets/dialog_fonts.h"
#include "shell/widgets/soft_key_bar.h"

namespace lumora {
FirstRunDialog::FirstRunDialog(QWidget* owner) : DialogFrame(owner, DialogSize::FullScreen) {
    setModal(true);
    setFont(DialogTextFont());
    languages_ = new QComboBox(this);
    languageLabel_ = new QLabel(this);
    languageLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    notice_ = new QLabel(this);
    notice_->setWordWrap(true);
    notice_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The text keeps off its frame.
    notice_->setMargin(std::max(2, BarMargin() / 2));
    SetControlId(languages_, kLanguageChooserId);
    SetControlId(languageLabel_, kLanguageLabelId);
    SetControlId(notice_, kNoticeId);
    languageLabel_->setBuddy(languages_);

    // 1. Not confirmed.
    confirmed_ = false;
    // 2. The languages, at the stored one.
    FillLanguageChooser(*languages_);
    // 3. The soft keys, named in the chosen language below.
    SoftKeys()->SetKey(SoftKey::Left, QString(), ID_SOFTKEY_DONE);
    SoftKeys()->SetKey(SoftKey::Right, QString(), ID_SOFTKEY_CANCEL);
    // 4. The chosen language, active and shown.
    ApplySelectedLanguage();

    connect(languages_, &QComboBox::activated, this, [this] { ApplySelectedLanguage(); });
    languages_->setFocus(Qt::OtherFocusReason);
}

FirstRunDialog::~FirstRunDialog() = default;

void FirstRunDialog::ApplySelectedLanguage() {
    // With nothing selected (no language pack, or a stored code the pack
    // does not know) the active language stays as it is.
    if (const int index = languages_->currentIndex(); index >= 0)
        SelectLanguage(index);
    SetWindowTextByKey(this, "str_attention");
    SetWindowTextByKey(notice_, "static_attentionx");
    SetWindowTextByKey(languageLabel_, "static_language");
    SoftKeys()->SetKeyText(SoftKey::Left, Text("button_continue"));
    SoftKeys()->SetKeyText(SoftKey::Right, Text("button_cancel"));
    update();
}

bool FirstRunDialog::OnCommand(int command) {
    switch (command) {
    case ID_SOFTKEY_DONE:
        SetStringSetting(kLanguage, ChosenLanguageCode(*languages_));
        confirmed_ = true;
        done(kDialogResultOk);
        return true;
    case ID_SOFTKEY_CANCEL: done(kDialogResultCancel); return true;
    default: return false;
    }
}

void FirstRunDialog::OnSize(int width, int height) {
    const int bar = BarHeight();
    const int margin = BarMargin();
    notice_->setGeometry(margin, margin + bar, std::max(0, width - 2 * margin),
                         std::max(0, height - 2 * (margin + bar)));
    languageLabel_->setGeometry(margin, height + margin - bar, 4 * bar, bar);
    // The chooser keeps its size: as wide as its longest name allows, within
    // the dialog, and as high as its font needs.
    const int chooserWidth = std::clamp(languages_->sizeHint().width(), 4 * bar,
                                        std::max(4 * bar, width - 4 * bar - margin));
    languages_->setGeometry(4 * bar, height - bar, chooserWidth,
                            std::min(languages_->sizeHint().height(), bar - 1));
}

void FirstRunDialog::PaintClient(QPainter& painter) {
    DrawFrameAround(painter, notice_->geometry());
}

bool RunFirstRunModal(QWidget* owner) {
    FirstRunDialog dialog(owner);
    dialog.exec();
    return dialog.Confirmed();
}

}  // namespace lumora
