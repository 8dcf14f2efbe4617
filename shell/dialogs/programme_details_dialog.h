#pragma once

// The programme page: one programme of the guide with everything the store
// keeps of it — title, sub-title, channel, day and time, categories,
// episode, rating — and its description, in a pane that scrolls. The left
// soft key ("Watch") and Enter ask to watch the channel while the
// programme is on. The right soft key's menu records the programme (R does
// too: a future one is scheduled, one on now starts at once), sets a
// reminder of a future one, and closes the page, as Esc does.
//
// Threads: the UI thread only.

#include "guide/guide_store.h"
#include "shell/dialogs/dialog_frame.h"

class QAction;
class QMenu;
class QTextBrowser;

namespace lumora {

struct Channel;

class ProgrammeDetailsDialog final : public DialogFrame {
    Q_OBJECT
public:
    static constexpr int kWatchCommand = 110;
    static constexpr int kRecordCommand = 113;
    static constexpr int kRemindCommand = 114;

    // `inArchive`: the programme has begun and the channel's archive keeps
    // it, so it can be watched from its start.
    ProgrammeDetailsDialog(QWidget* owner, const Channel& channel, ProgrammeDetails details,
                           bool inArchive = false);
    ~ProgrammeDetailsDialog() override;

    // Whether the programme was on when the page opened, or can be watched
    // from the archive ("Watch" is shown).
    bool CanWatch() const { return canWatch_; }
    // The result, read after the modal run.
    bool WatchRequested() const { return watchRequested_; }
    // The page's text, as shown.
    QTextBrowser& Body() const { return *body_; }
    QMenu& Menu() const { return *menu_; }

protected:
    bool OnCommand(int command) override;
    void OnSize(int width, int height) override;
    void PaintClient(QPainter& painter) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Through the recordings of the main window (TheRecordings).
    void Record();
    void Remind();
    // Record while the programme has not ended, Remind me before it starts.
    void UpdateMenu();

    const Channel& channel_;
    const ProgrammeSummary programme_;
    QTextBrowser* body_ = nullptr;
    QMenu* menu_ = nullptr;
    QAction* record_ = nullptr;
    QAction* remind_ = nullptr;
    bool canWatch_ = false;
    bool watchRequested_ = false;
};

// "S2 E5" from an episode number in the xmltv_ns form ("1.4.0/1", counted
// from zero), or the on-screen text when the guide gives one; empty when
// neither says anything.
QString EpisodeText(const ProgrammeDetails& details);

}  // namespace lumora
