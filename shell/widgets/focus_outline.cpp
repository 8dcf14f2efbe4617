#include "shell/widgets/focus_outline.h"

#include <algorithm>

#include <QAbstractScrollArea>
#include <QEvent>
#include <QPainter>

#include "resources/resources.h"

namespace lumora {

void FocusOutline::Attach(QWidget* control) {
    if (control->findChild<FocusOutline*>(QString(), Qt::FindDirectChildrenOnly) == nullptr)
        new FocusOutline(control);
}

FocusOutline::FocusOutline(QWidget* control) : QWidget(control), control_(control) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    control->installEventFilter(this);
    Follow();
}

void FocusOutline::Follow() {
    setGeometry(control_->rect());
    setVisible(control_->hasFocus());
    raise();
}

bool FocusOutline::eventFilter(QObject* watched, QEvent* event) {
    if (watched == control_) {
        switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::FocusOut:
        case QEvent::Resize:
        case QEvent::ChildAdded: Follow(); break;
        default: break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FocusOutline::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int width = std::max(2, BarMargin() / 2);
    QColor colour = FramePen().color();
    if (!colour.isValid())
        colour = palette().highlight().color();
    QPen pen(colour, width);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.drawRect(QRectF(rect()).adjusted(width / 2.0, width / 2.0, -width / 2.0, -width / 2.0));
}

void OutlineFramelessAreas(QWidget* window) {
    for (QAbstractScrollArea* area : window->findChildren<QAbstractScrollArea*>())
        if (area->frameShape() == QFrame::NoFrame && (area->focusPolicy() & Qt::TabFocus))
            FocusOutline::Attach(area);
}

}  // namespace lumora
