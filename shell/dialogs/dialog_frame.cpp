#include "shell/dialogs/dialog_frame.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

#include "resources/resources.h"
#include "shell/app/commands.h"
#include "shell/desktop/accessible_widgets.h"
#include "shell/main_window/main_frame.h"
#include "shell/widgets/focus_outline.h"
#include "shell/widgets/soft_key_bar.h"

namespace lumora {
namespace {

const QColor kTitleTextColour(250, 250, 255);
constexpr int kHandheldWidth = 360;
constexpr int kHandheldHeight = 640;

// The one-pixel border of a template-size pop-up (the splash, the update
// wait dialog), in the frame colour, on the window's outermost device
// pixels, so it stands out from the player area it floats on.
void PaintPopupBorder(QPainter& painter, const QSize& size) {
    const QColor colour = FramePen().color();
    if (!colour.isValid())
        return;
    const qreal pixel =
        1.0 / (painter.device() != nullptr ? painter.device()->devicePixelRatio() : 1.0);
    painter.fillRect(QRectF(0, 0, size.width(), pixel), colour);
    painter.fillRect(QRectF(0, size.height() - pixel, size.width(), pixel), colour);
    painter.fillRect(QRectF(0, 0, pixel, size.height()), colour);
    painter.fillRect(QRectF(size.width() - pixel, 0, pixel, size.height()), colour);
}

}  // namespace

QSize HandheldWindowSize() {
    QSize size(kHandheldWidth, kHandheldHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize available = screen->availableSize();
        size = size.boundedTo(available);
    }
    return size;
}

QRect FullScreenArea() {
    if (const MainFrame* frame = TheMainFrame(); frame != nullptr && frame->isVisible())
        return QRect(frame->mapToGlobal(QPoint(0, 0)), frame->size());
    QRect area(QPoint(0, 0), HandheldWindowSize());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        area.moveCenter(screen->availableGeometry().center());
    return area;
}

void PaintTitleStrip(QPainter& painter, int width, const QString& title) {
    const int barHeight = BarHeight();
    DrawBarBackground(painter, QRect(0, 0, width, barHeight));
    painter.save();
    if (BoldFont())
        painter.setFont(*BoldFont());
    painter.setPen(kTitleTextColour);
    const QRect textRect(3, 0, width - 6, 5 * barHeight / 6);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);
    painter.restore();
}

void ApplyDialogColours(QWidget* widget) {
    QPalette palette = widget->palette();
    if (BackgroundBrush().style() != Qt::NoBrush)
        palette.setBrush(QPalette::Window, BackgroundBrush());
    if (LightTextColour().isValid())
        palette.setColor(QPalette::WindowText, LightTextColour());
    widget->setPalette(palette);
}

DialogFrame::DialogFrame(QWidget* owner, DialogSize size, TitleStrip strip, QSize templateUnits)
    : QDialog(owner), sizeMode_(size), titleStrip_(strip), templateUnits_(templateUnits) {
    ApplyDialogColours(this);
    if (sizeMode_ == DialogSize::FullScreen) {
        // A full-screen dialog is a page over the main window, without a
        // frame of its own.
        setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
        softKeys_ = new SoftKeyBar(this);
        connect(softKeys_, &SoftKeyBar::commandTriggered, this, &DialogFrame::DispatchCommand);
    } else if (titleStrip_ == TitleStrip::Shown) {
        // The dialog paints its own title strip: a second one from the
        // window manager would only repeat it.
        setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    } else {
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    }
}

DialogFrame::~DialogFrame() = default;

void DialogFrame::DispatchCommand(int command) {
    if (OnCommand(command))
        return;
    switch (command) {
    case IDOK:
    case ID_SOFTKEY_DONE: done(kDialogResultOk); break;
    case IDCANCEL:
    case ID_SOFTKEY_CANCEL: done(kDialogResultCancel); break;
    default: break;
    }
}

QRect DialogFrame::ClientRect() const {
    const int keysHeight = softKeys_ != nullptr ? BarHeight() : 0;
    return QRect(0, 0, width(), std::max(0, height() - keysHeight));
}

QRect DialogFrame::MapDialogRect(const QRect& units) const {
    const QFontMetrics metrics(font());
    const int charWidth = std::max(1, metrics.averageCharWidth());
    const int charHeight = std::max(1, metrics.height());
    return QRect(units.x() * charWidth / 4, units.y() * charHeight / 8,
                 units.width() * charWidth / 4, units.height() * charHeight / 8);
}

void DialogFrame::accept() {
    done(kDialogResultOk);
}

void DialogFrame::reject() {
    DispatchCommand(IDCANCEL);
}

bool DialogFrame::OnCommand(int) {
    return false;
}

void DialogFrame::OnSize(int, int) {}

void DialogFrame::PaintClient(QPainter&) {}

void DialogFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (titleStrip_ == TitleStrip::Shown)
        PaintTitleStrip(painter, width(), windowTitle());
    PaintClient(painter);
    if (sizeMode_ == DialogSize::Template)
        PaintPopupBorder(painter, size());
}

void DialogFrame::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const QRect client = ClientRect();
    if (softKeys_ != nullptr)
        softKeys_->setGeometry(0, client.height(), width(), height() - client.height());
    OnSize(client.width(), client.height());
}

void DialogFrame::showEvent(QShowEvent* event) {
    if (!placed_)
        PlaceWindow();
    NameScrollAreasByTheirWindow(this);
    OutlineFramelessAreas(this);
    QDialog::showEvent(event);
}

void DialogFrame::PlaceWindow() {
    placed_ = true;
    if (sizeMode_ == DialogSize::FullScreen) {
        setGeometry(FullScreenArea());
        return;
    }
    const QRect units(QPoint(0, 0), templateUnits_);
    QRect area(QPoint(0, 0), MapDialogRect(units).size());
    if (area.isEmpty())
        area.setSize(sizeHint());
    const QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    if (owner != nullptr && owner->isVisible())
        area.moveCenter(owner->geometry().center());
    else
        area.moveCenter(FullScreenArea().center());
    setGeometry(area);
}

}  // namespace lumora
