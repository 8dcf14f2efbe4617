#include "shell/widgets/image_button.h"

#include <QPainter>

namespace lumora {

ImageButton::ImageButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
}

void ImageButton::setImages(const ImageSet& images) {
    images_ = images;
    updateGeometry();
    update();
}

ImageState ImageButton::currentState() const {
    if (isDown())
        return ImageState::Pressed;
    if (hasFocus())
        return ImageState::Focused;
    return ImageState::Normal;
}

QSize ImageButton::sizeHint() const {
    const QSize size = ImageFor(images_, ImageState::Normal).deviceIndependentSize().toSize();
    return size.isEmpty() ? QSize(ButtonImageSize(), ButtonImageSize()) : size;
}

void ImageButton::paintEvent(QPaintEvent*) {
    const QImage& image = ImageFor(images_, currentState());
    if (image.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), image);
}

}  // namespace lumora
