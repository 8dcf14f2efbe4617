#include "shell/dialogs/loading_dialog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QWindow>

#include "catalogue/languages.h"
#include "resources/resources.h"
#include "shell/app/commands.h"
#include "shell/app/localise.h"
#include "shell/widgets/dialog_fonts.h"

namespace lumora {
namespace {

// The static text of the template, in dialog units.
const QRect kLoadingTextUnits(11, 19, 118, 9);

// The published splash; QPointer turns null when the dialog is deleted.
QPointer<LoadingDialog>& PublishedSplash() {
    static QPointer<LoadingDialog> splash;
    return splash;
}

// Ends the splash when a modal window it does not own is about to show.
class ModalWatch : public QObject {
public:
    explicit ModalWatch(LoadingDialog* splash) : QObject(splash), splash_(splash) {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show || !watched->isWidgetType())
            return false;
        const auto* widget = static_cast<QWidget*>(watched);
        if (widget->isWindow() && widget->isModal() && !OwnedBySplash(widget) &&
            splash_->isVisible())
            splash_->done(kDialogResultOk);
        return false;
    }

    bool OwnedBySplash(const QWidget* widget) const {
        for (; widget != nullptr; widget = widget->parentWidget()) {
            if (widget == splash_)
                return true;
        }
        return false;
    }

private:
    LoadingDialog* splash_;
};

}  // namespace

SplashPlacement PlaceSplashImage(QSize imageSize, int clientWidth, int windowHeight) {
    int w = imageSize.width();
    int h = imageSize.height();
    if (w <= 0 || h <= 0)
        return {};
    if (w > clientWidth) {
        while (w > clientWidth && w > 0) {
            w /= 2;
            h /= 2;
        }
    } else {
        // Doubling a positive width always reaches half the client width.
        while (w < clientWidth / 2) {
            w *= 2;
            h *= 2;
        }
    }
    SplashPlacement placement;
    const int left = (clientWidth - w) / 2;
    placement.image = QRect(left, windowHeight, w, h);
    placement.growUp = 2 * h / 3;
    placement.grow = 4 * h / 3;
    return placement;
}

LoadingDialog::LoadingDialog(QWidget* owner)
    : DialogFrame(owner, DialogSize::Template, TitleStrip::Shown, kTemplateUnits) {
    setFont(DialogTextFont());
    // Above the main window that is built while it shows; the keyboard
    // stays with the window the user works in.
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    new ModalWatch(this);
    loadingText_ = new QLabel(this);
    loadingText_->setAlignment(Qt::AlignCenter);
    SetControlId(loadingText_, kLoadingTextId);

    // 1. The picture, and the splash is published.
    if (const ResourceImage* splash = SplashImage())
        image_ = splash->image;
    PublishedSplash() = this;
    // 2. The texts.
    setWindowTitle(QString::fromStdU16String(AppTitle()));
    SetItemTextByKey(this, kLoadingTextId, "static_loading");
}

LoadingDialog::~LoadingDialog() = default;

void LoadingDialog::showEvent(QShowEvent* event) {
    if (!initialised_) {
        initialised_ = true;
        // 3. to 6. The template size first, then the window grows around
        //    the picture.
        PlaceWindow();
        PlaceAroundImage();
    }
    DialogFrame::showEvent(event);
}

void LoadingDialog::paintEvent(QPaintEvent* event) {
    DialogFrame::paintEvent(event);
    if (!painted_) {
        painted_ = true;
        emit FirstPainted();
    }
}

void LoadingDialog::PlaceAroundImage() {
    if (image_.isNull())
        return;
    const QRect window = geometry();
    const SplashPlacement placement =
        PlaceSplashImage(image_.size(), window.width(), window.height());
    imageRect_ = placement.image;
    if (imageRect_.isEmpty())
        return;
    setGeometry(window.x(), window.y() - placement.growUp, window.width(),
                window.height() + placement.grow);
}

void LoadingDialog::OnSize(int, int) {
    loadingText_->setGeometry(MapDialogRect(kLoadingTextUnits));
}

void LoadingDialog::PaintClient(QPainter& painter) {
    if (!imageRect_.isEmpty())
        painter.drawImage(imageRect_, image_);
}

bool ShowLoadingDialog() {
    if (PublishedSplash())
        return true;
    auto* splash = new LoadingDialog(nullptr);
    splash->setAttribute(Qt::WA_DeleteOnClose, false);
    // However it ends (the first tick, Esc, the commands 1 and 2), the
    // dialog goes away and can no longer be reached.
    QObject::connect(splash, &QDialog::finished, splash, [splash] {
        if (PublishedSplash() == splash)
            PublishedSplash() = nullptr;
        splash->deleteLater();
    });
    splash->show();
    splash->raise();
    // Painted now, before the main window keeps the event loop busy.
    QCoreApplication::processEvents();
    return true;
}

void WaitForLoadingDialogPainted(int limitMs) {
    LoadingDialog* splash = PublishedSplash();
    if (splash == nullptr || splash->Painted())
        return;
    QEventLoop loop;
    QObject::connect(splash, &LoadingDialog::FirstPainted, &loop, &QEventLoop::quit);
    // Closed with Esc before it was painted.
    QObject::connect(splash, &QObject::destroyed, &loop, &QEventLoop::quit);
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    loop.exec();
}

void KeepLoadingDialogInLine() {
    LoadingDialog* splash = PublishedSplash();
    if (splash == nullptr)
        return;
    // Changed on the shown window itself, which a window manager then moves
    // out of its top layer; setWindowFlags would hide and show it again.
    const Qt::WindowFlags flags = splash->windowFlags() & ~Qt::WindowStaysOnTopHint;
    splash->overrideWindowFlags(flags);
    if (QWindow* window = splash->windowHandle())
        window->setFlags(flags);
}

void CloseLoadingDialog() {
    if (LoadingDialog* splash = PublishedSplash())
        splash->done(kDialogResultOk);
}

LoadingDialog* TheLoadingDialog() {
    return PublishedSplash();
}

}  // namespace lumora
