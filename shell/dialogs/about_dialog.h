#pragma once

// The About dialog: the program's icon, its title and version, a line of
// the project's web addresses and the rights notice of the language pack.
// Full screen and modal; OK (the right soft key, Enter or command 1) and Esc
// end it. Nothing is stored.
//
// Threads: the UI thread only.

#include <QPixmap>

#include "shell/dialogs/dialog_frame.h"

class QLabel;

namespace lumora {

// The program's version, shown in the About dialog.
inline constexpr char kProgramVersion[] = "2.0.1";
// The project's own web addresses (static 1006), one a line.
inline constexpr char kProjectAddresses[] =
    "https://lumora.example.org\nhttps://lumora.example.org/channels";

// Icon 128: the program's icon (a television with the play sign), drawn in
// code at the given size in pixels, so it needs no picture file.
QPixmap ProgramIcon(int size);

class AboutDialog final : public DialogFrame {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 100;
    static constexpr int kVersionBlockId = 1011;
    static constexpr int kAddressesId = 1006;
    static constexpr int kCopyrightId = 1012;

    explicit AboutDialog(QWidget* owner);
    ~AboutDialog() override;

    QLabel* VersionBlock() const { return versionBlock_; }
    QLabel* Addresses() const { return addresses_; }
    QLabel* Copyright() const { return copyright_; }
    QLabel* Icon() const { return icon_; }

protected:
    void OnSize(int width, int height) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* icon_ = nullptr;
    QLabel* versionBlock_ = nullptr;
    QLabel* addresses_ = nullptr;
    QLabel* copyright_ = nullptr;
};

// Runs the About dialog modally, owned by `owner` (the shell's
// RunAboutDialog). Returns the modal result.
int RunAboutModal(QWidget* owner);

}  // namespace lumora
