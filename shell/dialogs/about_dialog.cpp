#include "shell/dialogs/about_dialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "catalogue/languages.h"
#include "catalogue/text_format.h"
#include "document/text_encoding.h"
#include "resources/resources.h"
#include "shell/app/commands.h"
#include "shell/app/localise.h"
#include "shell/widgets/dialog_fonts.h"
#include "shell/widgets/soft_key_bar.h"

namespace lumora {
QPixmap ProgramIcon(int size) {
    // The shapes of shell/desktop/lumora.svg, on a 64 x 64 grid.
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.scale(size / 64.0, size / 64.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x3d, 0x44, 0x56));
    painter.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);
    QLinearGradient screen(0, 14, 0, 46);
    screen.setColorAt(0, QColor(0xc8, 0xc8, 0xff));
    screen.setColorAt(1, QColor(0x96, 0x96, 0xc8));
    painter.setBrush(screen);
    painter.setPen(QPen(QColor(0xc3, 0xaa, 0x45), 2));
    painter.drawRoundedRect(QRectF(9, 14, 46, 32), 4, 4);
    QPainterPath play;
    play.moveTo(28, 22);
    play.lineTo(40, 30);
    play.lineTo(28, 38);
    play.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.fillPath(play, QColor(0x3d, 0x44, 0x56));
    painter.setBrush(QColor(0xdc, 0xdc, 0xeb));
    painter.drawRoundedRect(QRectF(24, 50, 16, 4), 2, 2);
    painter.setPen(QPen(QColor(0xdc, 0xdc, 0xeb), 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(24, 14), QPointF(18, 6));
    painter.drawLine(QPointF(40, 14), QPointF(46, 6));
    return pixmap;
}

AboutDialog::AboutDialog(QWidget* owner) : DialogFrame(owner, DialogSize::FullScreen) {
    setModal(true);
    setFont(DialogTextFont());
    icon_ = new QLabel(this);
    versionBlock_ = new QLabel(this);
    versionBlock_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    addresses_ = new QLabel(QString::fromUtf8(kProjectAddresses), this);
    addresses_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    copyright_ = new QLabel(this);
    copyright_->setWordWrap(true);
    SetControlId(versionBlock_, kVersionBlockId);
    SetControlId(addresses_, kAddressesId);
    SetControlId(copyright_, kCopyrightId);

    // 1. The soft keys: the frame's OK, so that a touch screen can close it.
    SoftKeys()->SetKey(SoftKey::Right, Text("button_ok"), IDOK);
    // 2. The title.
    setWindowTitle(Text("menu_about") + QLatin1Char(' ') + QString::fromStdU16String(AppTitle()));
    // 3. The title and version.
    const std::u16string version =
        FormatText(LookupText("str_version"), {FromUtf8(kProgramVersion)});
    versionBlock_->setText(QString::fromStdU16String(AppTitle()) + QLatin1Char('\n') +
                           QString::fromStdU16String(version));
    // 4. The rights notice.
    SetWindowTextByKey(copyright_, "static_copyright");
}

AboutDialog::~AboutDialog() = default;

void AboutDialog::OnSize(int width, int height) {
    const int bar = BarHeight();
    const int margin = BarMargin();
    // Icon 128 stands left of the version block, as large as a big icon.
    const int iconSize = 4 * bar / 3;
    icon_->setGeometry(margin, 5 * bar / 4, iconSize, iconSize);
    icon_->setPixmap(ProgramIcon(iconSize));
    versionBlock_->setGeometry(2 * bar, 5 * bar / 4, std::max(0, width - 4 * bar), 5 * bar / 4);
    // Two addresses, one a line: as high as both lines with their
    // descenders need, which is more than the one line's place at some
    // font sizes.
    const int addressesWidth = std::max(0, width - 8 * bar / 3);
    const int addressesNeed = addresses_->fontMetrics()
                                  .boundingRect(QRect(0, 0, addressesWidth, height),
                                                int(addresses_->alignment()), addresses_->text())
                                  .height();
    addresses_->setGeometry(4 * bar / 3, 5 * bar, addressesWidth,
                            std::max(5 * bar / 4, addressesNeed));
    copyright_->setGeometry(margin, height - 4 * bar / 3, std::max(0, width - 2 * margin),
                            4 * bar / 3);
}

void AboutDialog::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        DispatchCommand(IDOK);
        return;
    }
    DialogFrame::keyPressEvent(event);
}

int RunAboutModal(QWidget* owner) {
    AboutDialog dialog(owner);
    return dialog.exec();
}

}  // namespace lumora
