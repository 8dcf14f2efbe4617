#pragma once

// The recordings: scheduled, running, done, failed and missed ones and the
// reminders, newest first, with channel, title, time, state, size and where
// the stream was lost. Play (the left soft key, Enter) ends the dialog with
// the recording chosen, for the player; one still being written plays too.
// Delete (the menu, the Delete key) asks first, then cancels a scheduled
// one, stops a running one and deletes a recording's file. Full screen,
// modal, UI thread.

#include <filesystem>
#include <optional>

#include <QListWidget>

#include "record/recording_files.h"
#include "shell/dialogs/dialog_frame.h"

class QMenu;

namespace lumora {

class RecordingControl;

class RecordingsDialog final : public DialogFrame {
    Q_OBJECT
public:
    static constexpr int kDeleteCommand = 130;
    static constexpr int kCloseCommand = 102;
    static constexpr int kPlayCommand = 131;

    // A recording to play: its file, what the title bar names, and whether
    // it is still being written.
    struct Choice {
        std::filesystem::path file;
        QString name;
        RecordingGrowth growth = RecordingGrowth::Finished;
    };

    RecordingsDialog(QWidget* owner, RecordingControl& recordings);
    ~RecordingsDialog() override;

    QListWidget& List() const { return *list_; }
    // Fills the list again from the recordings (each entry's id is its row's
    // data).
    void Rebuild();
    // The result of Play, read after the modal run.
    const std::optional<Choice>& ChosenRecording() const { return chosen_; }

protected:
    bool OnCommand(int command) override;
    void OnSize(int width, int height) override;
    void PaintClient(QPainter& painter) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void DeleteSelected();
    void PlaySelected();

    RecordingControl& recordings_;
    QListWidget* list_ = nullptr;
    QMenu* menu_ = nullptr;
    std::optional<Choice> chosen_;
};

}  // namespace lumora
