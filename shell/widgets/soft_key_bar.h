#pragma once

// The two soft keys at the bottom of the main window and of every full-screen
// dialog. A key either sends a command or opens a popup menu above itself;
// F1 and F2 press the left and the right key while the key bar's window is
// active.
//
// Screen readers see the keys as two buttons, numbered as SoftKey, with
// the press action (accessible_widgets).
//
// Threads: the UI thread only.

#include <array>

#include <QPointer>
#include <QString>
#include <QWidget>

class QMenu;
class QShortcut;

namespace lumora {

enum class SoftKey { Left = 0, Right = 1 };

class SoftKeyBar : public QWidget {
    Q_OBJECT
public:
    explicit SoftKeyBar(QWidget* parent);

    // A key that sends `command` when pressed.
    void SetKey(SoftKey key, const QString& text, int command);
    // A key that opens `menu` above itself; the menu's actions send the
    // command in their data() (see AddMenuCommand). The bar does not own the
    // menu.
    void SetKeyMenu(SoftKey key, const QString& text, QMenu* menu);
    // Relabels a key, keeping what it does.
    void SetKeyText(SoftKey key, const QString& text);

    QString KeyText(SoftKey key) const;
    int KeyCommand(SoftKey key) const;  // 0 for a menu key or an empty one
    QMenu* KeyMenu(SoftKey key) const;
    // The key's area in the bar's coordinates.
    QRect KeyRect(SoftKey key) const;

    // What a tap on the key or F1/F2 does: send the command or open the menu.
    void PressKey(SoftKey key);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Adds an action sending `command` to a menu built for a soft key.
    static QAction* AddMenuCommand(QMenu& menu, const QString& text, int command);

signals:
    // A key or one of its menu's actions chose this command.
    void commandTriggered(int command);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private slots:
    void OnMenuTriggered(QAction* action);

private:
    struct Key {
        QString text;
        int command = 0;
        QPointer<QMenu> menu;
    };
    Key& KeyAt(SoftKey key) { return keys_[static_cast<int>(key)]; }
    const Key& KeyAt(SoftKey key) const { return keys_[static_cast<int>(key)]; }
    void WatchMenu(QMenu* menu);

    std::array<Key, 2> keys_;
    int pressedKey_ = -1;
};

}  // namespace lumora
