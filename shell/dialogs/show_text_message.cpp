#include "shell/dialogs/show_text_message.h"

#include <QMessageBox>
#include <QScreen>

#include "catalogue/languages.h"

namespace lumora {
namespace {

MessagePresenter& Presenter() {
    static MessagePresenter presenter;
    return presenter;
}

int ShowMessageBox(QWidget* owner, const QString& text, const QString& caption, int style) {
    const bool question = style == kMessageStyleYesNo;
    QMessageBox box(QMessageBox::NoIcon, caption, text,
                    question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, owner);
    if (question)
        box.setEscapeButton(QMessageBox::No);
    // The box takes its final size while it is shown, after Qt placed it;
    // centred again then, it sits in the middle of its owner (or of the
    // screen) with or without a window manager.
    box.show();
    QRect area = box.screen() != nullptr ? box.screen()->availableGeometry() : QRect();
    if (owner != nullptr && owner->window()->isVisible())
        area = owner->window()->geometry();
    if (area.isValid()) {
        QRect placed = box.frameGeometry();
        placed.moveCenter(area.center());
        box.move(placed.topLeft());
    }
    const int pressed = box.exec();
    if (!question)
        return kMessageResultOk;
    return pressed == QMessageBox::Yes ? kMessageResultYes : kMessageResultNo;
}

}  // namespace

int ShowPlainMessage(QWidget* owner, const QString& text, const QString& caption, int style) {
    if (Presenter())
        return Presenter()(owner, text, caption, style);
    return ShowMessageBox(owner, text, caption, style);
}

int ShowTextMessage(QWidget* owner, std::string_view key, int style) {
    return ShowPlainMessage(owner, QString::fromStdU16String(LookupText(key)),
                            QString::fromStdU16String(AppTitle()), style);
}

void SetMessagePresenter(MessagePresenter presenter) {
    Presenter() = std::move(presenter);
}

}  // namespace lumora
