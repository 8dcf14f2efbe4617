#pragma once

// The places where the start-up sequence and the main window reach the
// dialogs of the program. Each Run...Dialog calls the installed override
// when there is one (tests), else the program's own dialog, whose entry is
// the matching Run...Modal beside the dialog.
//
// Threads: the UI thread only.

#include <functional>
#include <memory>
#include <optional>

#include "guide/guide_store.h"

class QWidget;

namespace lumora {

struct Channel;
class UpdateRun;
class ZapOrder;

// What the channel list gives back.
struct ChannelChoice {
    bool playRequested = false;
    Channel* channel = nullptr;
    // A programme to play from the channel's archive instead of live.
    std::optional<ProgrammeSummary> archived;
};

// The first-run language dialog, modal; true when the user pressed its
// continue command (its confirmation member), false when cancelled.
bool RunFirstRunDialog(QWidget* owner);

// Starts the loading (splash) dialog; true when one is now on screen, so
// that start-up gives it a moment to paint before the main window is built.
bool StartLoadingDialog();
// Ends the loading dialog with 1 if it is still open (the player view's
// first timer tick). Does nothing when it was closed or never shown.
void EndLoadingDialog();

// The channel list, modal; it remembers where the user left it in
// `zapOrder`.
ChannelChoice RunChannelListDialog(QWidget* owner, ZapOrder& zapOrder);
// The programme grid over the channels of `zapOrder`, modal: a channel to
// play when the user chose one.
ChannelChoice RunGuideGridDialog(QWidget* owner, const ZapOrder& zapOrder);
// The settings dialog, modal.
void RunSettingsDialog(QWidget* owner);
// The about dialog, modal.
void RunAboutDialog(QWidget* owner);
// The update wait dialog for `run`, modal; its initialisation starts the run.
void RunUpdateDialog(QWidget* owner, const std::shared_ptr<UpdateRun>& run);

// Overrides, for tests (and for a dialog that is wired in at run time).
// An empty function restores the program's own dialog.
struct ShellHooks {
    std::function<bool(QWidget*)> firstRunDialog;
    std::function<bool()> startLoadingDialog;
    std::function<void()> endLoadingDialog;
    std::function<ChannelChoice(QWidget*)> channelListDialog;
    std::function<ChannelChoice(QWidget*)> guideGridDialog;
    std::function<void(QWidget*)> settingsDialog;
    std::function<void(QWidget*)> aboutDialog;
    std::function<void(QWidget*, const std::shared_ptr<UpdateRun>&)> updateDialog;
};
ShellHooks& TheShellHooks();

}  // namespace lumora
