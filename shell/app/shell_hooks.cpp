#include "shell/app/shell_hooks.h"

#include "net/update_logic_run.h"
#include "shell/dialogs/about_dialog.h"
#include "shell/dialogs/channel_list_dialog.h"
#include "shell/dialogs/first_run_dialog.h"
#include "shell/dialogs/guide_grid_dialog.h"
#include "shell/dialogs/loading_dialog.h"
#include "shell/dialogs/settings_dialog.h"
#include "shell/dialogs/update_dialog.h"

namespace lumora {

ShellHooks& TheShellHooks() {
    static ShellHooks hooks;
    return hooks;
}

bool RunFirstRunDialog(QWidget* owner) {
    if (auto& hook = TheShellHooks().firstRunDialog)
        return hook(owner);
    return RunFirstRunModal(owner);
}

bool StartLoadingDialog() {
    if (auto& hook = TheShellHooks().startLoadingDialog)
        return hook();
    return ShowLoadingDialog();
}

void EndLoadingDialog() {
    if (auto& hook = TheShellHooks().endLoadingDialog) {
        hook();
        return;
    }
    CloseLoadingDialog();
}

ChannelChoice RunChannelListDialog(QWidget* owner, ZapOrder& zapOrder) {
    if (auto& hook = TheShellHooks().channelListDialog)
        return hook(owner);
    return RunChannelListModal(owner, zapOrder);
}

ChannelChoice RunGuideGridDialog(QWidget* owner, const ZapOrder& zapOrder) {
    if (auto& hook = TheShellHooks().guideGridDialog)
        return hook(owner);
    return RunGuideGridModal(owner, zapOrder);
}

void RunSettingsDialog(QWidget* owner) {
    if (auto& hook = TheShellHooks().settingsDialog) {
        hook(owner);
        return;
    }
    RunSettingsModal(owner);
}

void RunAboutDialog(QWidget* owner) {
    if (auto& hook = TheShellHooks().aboutDialog) {
        hook(owner);
        return;
    }
    RunAboutModal(owner);
}

void RunUpdateDialog(QWidget* owner, const std::shared_ptr<UpdateRun>& run) {
    if (auto& hook = TheShellHooks().updateDialog) {
        hook(owner, run);
        return;
    }
    RunUpdateModal(owner, run);
}

}  // namespace lumora
