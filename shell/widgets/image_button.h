#pragma once

// An owner-drawn push button showing one image of a three-image set: the
// pressed image while it is held down, else the focused image while it has
// the keyboard focus, else the normal one. The image is drawn unscaled at
// the top-left corner and the background is not erased, so the button is
// meant to be exactly as large as its images.
//
// Threads: the UI thread only.

#include <QAbstractButton>

#include "resources/resources.h"

namespace lumora {

class ImageButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit ImageButton(QWidget* parent = nullptr);

    // Switches to another set and repaints.
    void setImages(const ImageSet& images);
    const ImageSet& images() const { return images_; }
    // The image the button shows in its present state.
    ImageState currentState() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ImageSet images_;
};

}  // namespace lumora
