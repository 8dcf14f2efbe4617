#pragma once

// The programme guide as a grid: a full-screen dialog over the channels of
// the list the user last had (the ZapOrder), with
// the GuideGridView under the title strip. It opens on what is on now, on
// the row of the channel playing when it is in the list.
//
// The left soft key ("Watch"), Enter and a double click play the channel
// of a programme that is on now and close the grid; a programme that has
// ended or not begun says so instead. The right soft key opens a menu with
// "Details" (the ProgrammeDetailsDialog, which can also start watching)
// and "Close". Esc closes.
//
// Threads: the UI thread only.

#include <optional>
#include <vector>

#include "guide/guide_store.h"
#include "shell/app/shell_hooks.h"
#include "shell/dialogs/dialog_frame.h"

class QAction;
class QMenu;

namespace lumora {

struct Channel;
class GuideGridView;
class ProgrammeGuide;

class GuideGridDialog final : public DialogFrame {
    Q_OBJECT
public:
    static constexpr int kWatchCommand = 110;
    static constexpr int kDetailsCommand = 111;
    static constexpr int kCloseCommand = 102;
    static constexpr int kFromStartCommand = 112;
    static constexpr int kRecordCommand = 113;
    static constexpr int kRemindCommand = 114;

    // `guide` may be null: every row is then empty.
    GuideGridDialog(QWidget* owner, std::vector<Channel*> channels, ProgrammeGuide* guide);
    ~GuideGridDialog() override;

    GuideGridView& Grid() const { return *grid_; }
    QMenu& Menu() const { return *menu_; }

    // The result, read after the modal run.
    bool PlayRequested() const { return playRequested_; }
    Channel* ChosenChannel() const { return chosen_; }
    // Set when the choice is a programme from the channel's archive.
    const std::optional<ProgrammeSummary>& ChosenArchived() const { return archived_; }

protected:
    bool OnCommand(int command) override;
    void OnSize(int width, int height) override;
    void showEvent(QShowEvent* event) override;

private:
    void Watch();
    void ShowDetails();
    void Play(Channel* channel);
    void PlayArchived(Channel* channel, const ProgrammeSummary& programme);
    bool InArchive(const Channel& channel, const ProgrammeSummary& programme) const;
    void WatchFromStart();
    // Plans the recording of the programme chosen (one on now starts).
    void Record();
    // A reminder a minute before the programme chosen starts.
    void Remind();
    // "Watch from start" only for a programme on now that the archive keeps.
    void UpdateMenu();

    GuideGridView* grid_ = nullptr;
    QMenu* menu_ = nullptr;
    QAction* record_ = nullptr;
    QAction* remind_ = nullptr;
    ProgrammeGuide* guide_ = nullptr;
    bool playRequested_ = false;
    std::optional<ProgrammeSummary> archived_;
    QAction* fromStart_ = nullptr;
    Channel* chosen_ = nullptr;
};

// Runs the grid over the channels of `zapOrder` modally, owned by `owner`
// (the shell's RunGuideGridDialog).
ChannelChoice RunGuideGridModal(QWidget* owner, const ZapOrder& zapOrder);

}  // namespace lumora
