#pragma once

// The small wait dialog shown while a catalogue update runs (template 202).
// Its initialisation starts the run's worker; the worker never touches the
// dialog: it changes the shared UpdateRun and asks for a queued call here,
// which the dialog answers only while it exists. So the user may end the
// dialog early (Esc, commands 1, 2, 0xE790, 0xE791) at any moment.
//
// Threads: the UI thread only.

#include <memory>

#include <QSize>

#include "shell/dialogs/dialog_frame.h"

class QLabel;

namespace lumora {

class UpdateRun;

class UpdateDialog final : public DialogFrame {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 202;
    static constexpr QSize kTemplateUnits{137, 35};
    static constexpr int kWaitTextId = 1016;  // the static text, at (11, 19), 118 x 9 units

    UpdateDialog(QWidget* owner, std::shared_ptr<UpdateRun> run);
    ~UpdateDialog() override;

protected:
    void OnSize(int width, int height) override;
    void showEvent(QShowEvent* event) override;

private:
    void Initialise();
    // The worker moved the run on: a new heading, or the end of the dialog.
    void OnRunChanged();

    std::shared_ptr<UpdateRun> run_;
    QLabel* waitText_ = nullptr;
    bool initialised_ = false;
};

// Runs the wait dialog for `run` modally, owned by `owner`. This is what the
// main window's update command shows (the shell's RunUpdateDialog).
void RunUpdateModal(QWidget* owner, const std::shared_ptr<UpdateRun>& run);

}  // namespace lumora
