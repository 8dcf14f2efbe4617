#pragma once

// The recordings: scheduled, running, done, failed and missed ones and the
// reminders, newest first, with channel, title, time, state and size.
// Delete asks first, then cancels a scheduled one, stops a running one and
// deletes a recording's file. Full screen, modal, UI thread.

#include <QListWidget>

#include "shell/dialog_frame.h"

namespace lumora {

class RecordingControl;

class RecordingsDialog final : public DialogFrame {
    Q_OBJECT
public:
    static constexpr int kDeleteCommand = 130;
    static constexpr int kCloseCommand = 102;

    RecordingsDialog(QWidget* owner, RecordingControl& recordings);
    ~RecordingsDialog() override;

    QListWidget& List() const { return *list_; }
    // Fills the list again from the recordings (each entry's id is its row's
    // data).
    void Rebuild();

protected:
    bool OnCommand(int command) override;
    void OnSize(int width, int height) override;
    void PaintClient(QPainter& painter) override;

private:
    void DeleteSelected();

    RecordingControl& recordings_;
    QListWidget* list_ = nullptr;
};

}  // namespace lumora
