#include "shell/dialogs/update_dialog.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>

#include "net/update_logic_run.h"
#include "shell/app/commands.h"
#include "shell/app/localise.h"

namespace lumora {
namespace {

const QRect kWaitTextUnits(11, 19, 118, 9);

}  // namespace

UpdateDialog::UpdateDialog(QWidget* owner, std::shared_ptr<UpdateRun> run)
    : DialogFrame(owner, DialogSize::Template, TitleStrip::Shown, kTemplateUnits),
      run_(std::move(run)) {
    setModal(true);
    waitText_ = new QLabel(this);
    waitText_->setAttribute(Qt::WA_TranslucentBackground);
    waitText_->setAutoFillBackground(false);
    SetControlId(waitText_, kWaitTextId);
}

UpdateDialog::~UpdateDialog() = default;

void UpdateDialog::OnSize(int, int) {
    waitText_->setGeometry(MapDialogRect(kWaitTextUnits));
}

void UpdateDialog::showEvent(QShowEvent* event) {
    DialogFrame::showEvent(event);
    if (!initialised_)
        Initialise();
}

void UpdateDialog::Initialise() {
    initialised_ = true;
    SetWindowTextByKey(this, kTextCheckUpdates);
    SetItemTextByKey(this, kWaitTextId, kTextWait);
    if (!run_)
        return;
    // Called on the worker thread. It only queues a call to the UI thread,
    // where the guard tells whether the dialog still exists.
    QPointer<UpdateDialog> self(this);
    // A run whose worker cannot be started finishes at once through the
    // same call.
    run_->Start([self] {
        if (QCoreApplication* application = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                application,
                [self] {
                    if (self)
                        self->OnRunChanged();
                },
                Qt::QueuedConnection);
    });
}

void UpdateDialog::OnRunChanged() {
    switch (run_->Stage()) {
    case UpdateStage::Checking: break;
    case UpdateStage::Downloading:
        SetWindowTextByKey(this, kTextDownChannels);
        repaint();
        break;
    case UpdateStage::Finished:
        if (isVisible())
            done(kDialogResultOk);
        break;
    }
}

void RunUpdateModal(QWidget* owner, const std::shared_ptr<UpdateRun>& run) {
    UpdateDialog dialog(owner, run);
    dialog.exec();
}

}  // namespace lumora
