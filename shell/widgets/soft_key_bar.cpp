#include "shell/widgets/soft_key_bar.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>

#include "resources/resources.h"
#include "shell/desktop/accessible_widgets.h"

namespace lumora {
namespace {

const QColor kKeyTextColour(250, 250, 255);
const QColor kPressedKeyShade(0, 0, 0, 60);

}  // namespace

SoftKeyBar::SoftKeyBar(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The shortcuts belong to the bar's window, so each full-screen dialog
    // and the main window have their own F1/F2.
    auto* left = new QShortcut(QKeySequence(Qt::Key_F1), this);
    left->setContext(Qt::WindowShortcut);
    connect(left, &QShortcut::activated, this, [this] { PressKey(SoftKey::Left); });
    auto* right = new QShortcut(QKeySequence(Qt::Key_F2), this);
    right->setContext(Qt::WindowShortcut);
    connect(right, &QShortcut::activated, this, [this] { PressKey(SoftKey::Right); });
}

void SoftKeyBar::SetKey(SoftKey key, const QString& text, int command) {
    KeyAt(key) = Key{text, command, nullptr};
    update();
    NotifyAccessibleNameChanged(this, static_cast<int>(key));
}

void SoftKeyBar::SetKeyMenu(SoftKey key, const QString& text, QMenu* menu) {
    KeyAt(key) = Key{text, 0, menu};
    WatchMenu(menu);
    update();
    NotifyAccessibleNameChanged(this, static_cast<int>(key));
}

void SoftKeyBar::SetKeyText(SoftKey key, const QString& text) {
    KeyAt(key).text = text;
    update();
    NotifyAccessibleNameChanged(this, static_cast<int>(key));
}

QString SoftKeyBar::KeyText(SoftKey key) const {
    return KeyAt(key).text;
}

int SoftKeyBar::KeyCommand(SoftKey key) const {
    return KeyAt(key).command;
}

QMenu* SoftKeyBar::KeyMenu(SoftKey key) const {
    return KeyAt(key).menu;
}

QRect SoftKeyBar::KeyRect(SoftKey key) const {
    const int half = width() / 2;
    return key == SoftKey::Left ? QRect(0, 0, half, height())
                                : QRect(half, 0, width() - half, height());
}

void SoftKeyBar::PressKey(SoftKey key) {
    const Key& pressed = KeyAt(key);
    if (pressed.menu) {
        // The menu opens above the key, right-aligned under the right key.
        const QRect area = KeyRect(key);
        const QSize menuSize = pressed.menu->sizeHint();
        const int x = key == SoftKey::Left ? area.left() : area.right() + 1 - menuSize.width();
        pressed.menu->popup(mapToGlobal(QPoint(std::max(0, x), -menuSize.height())));
        return;
    }
    if (pressed.command != 0)
        emit commandTriggered(pressed.command);
}

QSize SoftKeyBar::sizeHint() const {
    return {10 * BarHeight(), BarHeight()};
}

QSize SoftKeyBar::minimumSizeHint() const {
    return {2 * BarHeight(), BarHeight()};
}

QAction* SoftKeyBar::AddMenuCommand(QMenu& menu, const QString& text, int command) {
    QAction* action = menu.addAction(text);
    action->setData(command);
    return action;
}

void SoftKeyBar::WatchMenu(QMenu* menu) {
    if (menu == nullptr)
        return;
    // One connection per menu, however often the key is set up again.
    connect(menu, &QMenu::triggered, this, &SoftKeyBar::OnMenuTriggered, Qt::UniqueConnection);
}

void SoftKeyBar::OnMenuTriggered(QAction* action) {
    if (const int command = action->data().toInt(); command != 0)
        emit commandTriggered(command);
}

void SoftKeyBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(
        rect(), BackgroundBrush().style() == Qt::NoBrush ? QBrush(Qt::black) : BackgroundBrush());
    DrawBarBackground(painter, rect());
    if (BoldFont())
        painter.setFont(*BoldFont());
    painter.setPen(kKeyTextColour);
    for (SoftKey key : {SoftKey::Left, SoftKey::Right}) {
        const QRect area = KeyRect(key);
        if (pressedKey_ == static_cast<int>(key))
            painter.fillRect(area, kPressedKeyShade);
        painter.drawText(area.adjusted(3, 0, -3, 0), Qt::AlignCenter | Qt::TextSingleLine,
                         KeyAt(key).text);
    }
    // A thin divider between the two keys, one device pixel wide at any scale.
    QPen divider(QColor(0, 0, 0, 80));
    divider.setCosmetic(true);
    painter.setPen(divider);
    painter.drawLine(width() / 2, height() / 5, width() / 2, height() - height() / 5);
}

void SoftKeyBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    pressedKey_ = KeyRect(SoftKey::Left).contains(event->position().toPoint()) ? 0 : 1;
    update();
}

void SoftKeyBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || pressedKey_ < 0)
        return;
    const auto key = static_cast<SoftKey>(pressedKey_);
    pressedKey_ = -1;
    update();
    if (KeyRect(key).contains(event->position().toPoint()))
        PressKey(key);
}

}  // namespace lumora
