#include "shell/desktop/accessible_widgets.h"

#include <algorithm>
#include <vector>

#include <QAbstractScrollArea>
#include <QAccessibleWidget>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QPointer>

#include "player/video_widget.h"
#include "shell/app/localise.h"
#include "shell/dialogs/channel_tab_strip.h"
#include "shell/main_window/channel_title_bar.h"
#include "shell/main_window/main_frame.h"
#include "shell/main_window/player_view.h"
#include "shell/widgets/position_bar.h"
#include "shell/widgets/soft_key_bar.h"
#include "shell/widgets/volume_slider.h"

namespace lumora {
namespace {

// A widget whose painted parts are its accessible children. Subclasses say
// what each part is; the parts' interfaces are made on first use and live
// as long as the widget's.
class PaintedPartsInterface : public QAccessibleWidget {
public:
    PaintedPartsInterface(QWidget* widget, QAccessible::Role role, int parts)
        : QAccessibleWidget(widget, role), parts_(static_cast<std::size_t>(parts)) {}
    ~PaintedPartsInterface() override {
        for (QAccessible::Id id : parts_)
            if (id != 0)
                QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return static_cast<int>(parts_.size()); }
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;

    virtual QString PartText(int part, QAccessible::Text text) const = 0;
    virtual QAccessible::Role PartRole(int part) const = 0;
    virtual QRect PartRect(int part) const = 0;  // the widget's coordinates
    virtual QAccessible::State PartState(int) const { return {}; }
    // Parts that can be pressed have the press action.
    virtual bool Pressable() const { return false; }
    virtual void PressPart(int) {}
    virtual QStringList PartKeys(int) const { return {}; }

private:
    mutable std::vector<QAccessible::Id> parts_;
};

// One painted part: a plain interface without an object of its own.
class PaintedPart final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    PaintedPart(PaintedPartsInterface* owner, int index) : owner_(owner), index_(index) {}

    bool isValid() const override { return owner_->isValid(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return owner_->window(); }
    QAccessibleInterface* parent() const override { return owner_; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text text) const override { return owner_->PartText(index_, text); }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override { return owner_->PartRole(index_); }
    QAccessible::State state() const override {
        QAccessible::State state = owner_->PartState(index_);
        state.invisible = owner_->state().invisible;
        return state;
    }
    QRect rect() const override {
        const QRect own = owner_->rect();
        return owner_->PartRect(index_).translated(own.topLeft());
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ActionInterface && owner_->Pressable())
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    // A part with a popup also has the show-menu action: the AT-SPI bridge
    // of older Qt versions does not pass the popup state on.
    QStringList actionNames() const override {
        if (state().hasPopup)
            return {pressAction(), showMenuAction()};
        return {pressAction()};
    }
    void doAction(const QString& action) override {
        if (actionNames().contains(action))
            owner_->PressPart(index_);
    }
    QStringList keyBindingsForAction(const QString& action) const override {
        return actionNames().contains(action) ? owner_->PartKeys(index_) : QStringList();
    }

private:
    PaintedPartsInterface* owner_;
    int index_;
};

QAccessibleInterface* PaintedPartsInterface::child(int index) const {
    if (index < 0 || index >= childCount())
        return nullptr;
    QAccessible::Id& id = parts_[static_cast<std::size_t>(index)];
    if (id == 0)
        id = QAccessible::registerAccessibleInterface(
            new PaintedPart(const_cast<PaintedPartsInterface*>(this), index));
    return QAccessible::accessibleInterface(id);
}

int PaintedPartsInterface::indexOfChild(const QAccessibleInterface* child) const {
    for (int i = 0; i < childCount(); ++i)
        if (parts_[static_cast<std::size_t>(i)] != 0 && this->child(i) == child)
            return i;
    return -1;
}

QAccessibleInterface* PaintedPartsInterface::childAt(int x, int y) const {
    const QPoint at = widget()->mapFromGlobal(QPoint(x, y));
    for (int i = 0; i < childCount(); ++i)
        if (PartRect(i).contains(at))
            return child(i);
    return nullptr;
}

// The top strip: the channel's name as a heading, the status line (or the
// programme shown in its place) as a status bar.
class TitleBarInterface final : public PaintedPartsInterface {
public:
    explicit TitleBarInterface(ChannelTitleBar* bar)
        : PaintedPartsInterface(bar, QAccessible::Grouping, 2) {}

    QString PartText(int part, QAccessible::Text text) const override {
        if (text != QAccessible::Name)
            return {};
        const auto* bar = static_cast<const ChannelTitleBar*>(widget());
        const QString& line = part == ChannelTitleBar::kNamePart ? bar->channelName()
                              : bar->programme().isEmpty()       ? bar->status()
                                                                 : bar->programme();
        const QString& note = part == ChannelTitleBar::kNamePart ? bar->mark() : bar->note();
        return note.isEmpty() ? line : line + QStringLiteral(", ") + note;
    }
    QAccessible::Role PartRole(int part) const override {
        return part == ChannelTitleBar::kNamePart ? QAccessible::Heading : QAccessible::StatusBar;
    }
    QRect PartRect(int part) const override {
        const QRect all = widget()->rect();
        const int half = all.height() / 2;
        return part == ChannelTitleBar::kNamePart
                   ? QRect(0, 0, all.width(), half)
                   : QRect(0, half, all.width(), all.height() - half);
    }
    QAccessible::State PartState(int) const override {
        QAccessible::State state;
        state.readOnly = true;
        return state;
    }
};

// The soft keys: two buttons, the one that opens a menu marked so.
class SoftKeysInterface final : public PaintedPartsInterface {
public:
    explicit SoftKeysInterface(SoftKeyBar* bar)
        : PaintedPartsInterface(bar, QAccessible::ToolBar, 2) {}

    QString PartText(int part, QAccessible::Text text) const override {
        return text == QAccessible::Name ? Bar()->KeyText(Key(part)) : QString();
    }
    // A key with a menu is a menu button, as a tool button with a menu is.
    QAccessible::Role PartRole(int part) const override {
        return Bar()->KeyMenu(Key(part)) != nullptr ? QAccessible::ButtonMenu
                                                    : QAccessible::PushButton;
    }
    QRect PartRect(int part) const override { return Bar()->KeyRect(Key(part)); }
    QAccessible::State PartState(int part) const override {
        QAccessible::State state;
        state.hasPopup = Bar()->KeyMenu(Key(part)) != nullptr;
        state.disabled = Bar()->KeyText(Key(part)).isEmpty();
        return state;
    }
    bool Pressable() const override { return true; }
    void PressPart(int part) override {
        // After the call returns: a key may open a modal dialog, and the
        // assistive technology waits for the answer to its request.
        QPointer<SoftKeyBar> bar = Bar();
        const SoftKey key = Key(part);
        QMetaObject::invokeMethod(
            bar,
            [bar, key] {
                if (bar)
                    bar->PressKey(key);
            },
            Qt::QueuedConnection);
    }
    QStringList PartKeys(int part) const override {
        return {QKeySequence(part == 0 ? Qt::Key_F1 : Qt::Key_F2).toString()};
    }

private:
    SoftKeyBar* Bar() const { return static_cast<SoftKeyBar*>(widget()); }
    static SoftKey Key(int part) { return part == 0 ? SoftKey::Left : SoftKey::Right; }
};

// The channel list's two tabs.
class TabStripInterface final : public PaintedPartsInterface {
public:
    explicit TabStripInterface(ChannelTabStrip* strip)
        : PaintedPartsInterface(strip, QAccessible::PageTabList, 2) {}

    QString PartText(int part, QAccessible::Text text) const override {
        return text == QAccessible::Name ? Strip()->Caption(Tab(part)) : QString();
    }
    QAccessible::Role PartRole(int) const override { return QAccessible::PageTab; }
    // The strip itself is named by its window.
    QString text(QAccessible::Text text) const override {
        const QString own = PaintedPartsInterface::text(text);
        return own.isEmpty() && text == QAccessible::Name ? widget()->window()->windowTitle() : own;
    }
    QRect PartRect(int part) const override { return Strip()->TabRect(Tab(part)); }
    QAccessible::State PartState(int part) const override {
        QAccessible::State state;
        state.selectable = true;
        state.selected = Strip()->CurrentTab() == Tab(part);
        state.focusable = true;
        state.focused = state.selected && Strip()->hasFocus();
        return state;
    }
    bool Pressable() const override { return true; }
    void PressPart(int part) override { Strip()->ChooseTab(Tab(part)); }
    // With the keyboard in the strip, the current tab has it.
    QAccessibleInterface* focusChild() const override {
        return Strip()->hasFocus() ? child(static_cast<int>(Strip()->CurrentTab())) : nullptr;
    }

private:
    ChannelTabStrip* Strip() const { return static_cast<ChannelTabStrip*>(widget()); }
    static ChannelTab Tab(int part) {
        return part == 0 ? ChannelTab::Channels : ChannelTab::Favourites;
    }
};

// A painted slider: the widget's accessible name, a value and its text.
class SliderInterface : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SliderInterface(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text text) const override {
        return text == QAccessible::Value ? ValueText() : QAccessibleWidget::text(text);
    }
    virtual QString ValueText() const = 0;
};

// The volume, 0 to 100 percent.
class VolumeInterface final : public SliderInterface {
public:
    using SliderInterface::SliderInterface;

    QString ValueText() const override { return QStringLiteral("%1%").arg(Slider()->value()); }
    QVariant currentValue() const override { return Slider()->value(); }
    void setCurrentValue(const QVariant& value) override { Slider()->setValue(value.toInt()); }
    QVariant maximumValue() const override { return Slider()->maximum(); }
    QVariant minimumValue() const override { return Slider()->minimum(); }
    QVariant minimumStepSize() const override { return Slider()->singleStep(); }

private:
    VolumeSlider* Slider() const { return static_cast<VolumeSlider*>(widget()); }
};

// The position: seconds from the start of what can be played again; the
// text is the bar's own ("-04:12", "Live", "20:13").
class PositionInterface final : public SliderInterface {
public:
    using SliderInterface::SliderInterface;

    QString ValueText() const override { return Bar()->shown().text; }
    QVariant currentValue() const override {
        return Bar()->shown().position - Bar()->shown().first;
    }
    // A value outside the span goes to its nearer end.
    void setCurrentValue(const QVariant& value) override {
        const PositionBar::Shown& shown = Bar()->shown();
        const double offset = std::clamp(value.toDouble(), 0.0, shown.last - shown.first);
        emit Bar()->seekRequested(shown.first + offset);
    }
    QVariant maximumValue() const override { return Bar()->shown().last - Bar()->shown().first; }
    QVariant minimumValue() const override { return 0.0; }
    QVariant minimumStepSize() const override { return kSeekStepSeconds; }

private:
    PositionBar* Bar() const { return static_cast<PositionBar*>(widget()); }
};

// The main window is a window (a plain widget would be a filler).
class MainWindowInterface final : public QAccessibleWidget {
public:
    explicit MainWindowInterface(MainFrame* frame)
        : QAccessibleWidget(frame, QAccessible::Window) {}
};

// The playing screen has the keyboard in the main window: it is named by
// the channel, and the status line describes it, so that a screen reader
// says what plays when the window opens and whenever the keyboard comes back.
class PlayerViewInterface final : public QAccessibleWidget {
public:
    explicit PlayerViewInterface(PlayerView* view) : QAccessibleWidget(view, QAccessible::Pane) {}

    QString text(QAccessible::Text text) const override {
        const QString own = QAccessibleWidget::text(text);
        const ChannelTitleBar* bar = static_cast<PlayerView*>(widget())->TitleBar();
        if (!own.isEmpty() || bar == nullptr)
            return own;
        QAccessibleInterface* strip =
            QAccessible::queryAccessibleInterface(const_cast<ChannelTitleBar*>(bar));
        if (text == QAccessible::Name)
            return strip->child(ChannelTitleBar::kNamePart)->text(QAccessible::Name);
        if (text == QAccessible::Description)
            return strip->child(ChannelTitleBar::kStatusPart)->text(QAccessible::Name);
        return own;
    }
};

// The picture: it takes the keyboard when clicked.
class VideoInterface final : public QAccessibleWidget {
public:
    explicit VideoInterface(QWidget* video) : QAccessibleWidget(video, QAccessible::Animation) {}

    QString text(QAccessible::Text text) const override {
        const QString own = QAccessibleWidget::text(text);
        return own.isEmpty() && text == QAccessible::Name ? Text("str_video") : own;
    }
};

QAccessibleInterface* PaintedWidgetFactory(const QString&, QObject* object) {
    if (auto* frame = qobject_cast<MainFrame*>(object))
        return new MainWindowInterface(frame);
    if (auto* view = qobject_cast<PlayerView*>(object))
        return new PlayerViewInterface(view);
    if (auto* video = qobject_cast<VideoWidget*>(object))
        return new VideoInterface(video);
    if (auto* bar = qobject_cast<ChannelTitleBar*>(object))
        return new TitleBarInterface(bar);
    if (auto* bar = qobject_cast<SoftKeyBar*>(object))
        return new SoftKeysInterface(bar);
    if (auto* strip = qobject_cast<ChannelTabStrip*>(object))
        return new TabStripInterface(strip);
    if (auto* slider = qobject_cast<VolumeSlider*>(object))
        return new VolumeInterface(slider);
    if (auto* bar = qobject_cast<PositionBar*>(object))
        return new PositionInterface(bar);
    return nullptr;
}

QAccessibleInterface* PartOf(QWidget* widget, int child) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    return iface != nullptr && child >= 0 ? iface->child(child) : iface;
}

}  // namespace

void InstallAccessibleWidgets() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(&PaintedWidgetFactory);
}

void NameScrollAreasByTheirWindow(QWidget* window) {
    for (QAbstractScrollArea* area : window->findChildren<QAbstractScrollArea*>()) {
        if (area->focusPolicy() == Qt::NoFocus || !area->accessibleName().isEmpty())
            continue;
        const QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(area);
        if (iface == nullptr || iface->text(QAccessible::Name).isEmpty())
            area->setAccessibleName(window->windowTitle());
    }
}

void NotifyAccessibleNameChanged(QWidget* widget, int child) {
    if (QAccessibleInterface* part = PartOf(widget, child)) {
        QAccessibleEvent event(part, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void NotifyAccessibleStateChanged(QWidget* widget, int child, QAccessible::State changed) {
    if (QAccessibleInterface* part = PartOf(widget, child)) {
        QAccessibleStateChangeEvent event(part, changed);
        QAccessible::updateAccessibility(&event);
    }
}

}  // namespace lumora
