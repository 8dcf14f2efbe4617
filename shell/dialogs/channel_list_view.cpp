#include "shell/dialogs/channel_list_view.h"
#include "catalogue/language_pack_format.h"
#include "shell/main_window/programme_guide.h"

#include <QActionGroup>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QUrl>

#include "catalogue/channel.h"
#include "catalogue/languages.h"
#include "shell/app/localise.h"
#include "shell/dialogs/channel_list_model.h"
#include "shell/dialogs/channel_row_delegate.h"
#include "shell/main_window/programme_guide.h"

namespace lumora {
namespace {

// The flat "Windows" scroll bar of Qt, the handheld's own look, and a
// fraction of the cost of the default style's shaded one, which every
// filter change repaints. Null when the style is not available.
QStyle* PlainScrollBarStyle() {
    static QPointer<QStyle> style;
    static bool made = false;
    if (!made) {
        made = true;
        style = QStyleFactory::create(QStringLiteral("Windows"));
        if (style != nullptr)
            style->setParent(QCoreApplication::instance());
    }
    return style;
}

// Where a stream comes from, for the streams menu: the host of its address,
// or the start of the address when it has none.
QString StreamSource(std::u16string_view address) {
    const QString text = QStringView(address).toString();
    const QString host = QUrl(text).host();
    constexpr int kLongest = 40;
    if (!host.isEmpty())
        return host;
    return text.size() <= kLongest ? text : text.left(kLongest - 1) + QChar(0x2026);
}

// "2: 1500 kb/s · cdn.example.net": number from 1, bit rate and unit, source.
QString StreamEntryText(int index, const Stream& stream) {
    return QStringLiteral("%1: %2%3 \u00B7 %4")
        .arg(index + 1)
        .arg(stream.bitRate)
        .arg(Text(kUnitTextKey), StreamSource(stream.address));
}

// A printable character (a blank too: it may go on a search begun).
bool IsTyping(const QKeyEvent& event) {
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = event.text();
    return !text.isEmpty() && text.at(0).isPrint();
}

}  // namespace

ChannelListView::ChannelListView(QWidget* parent, ChannelTab kind)
    : QListView(parent), kind_(kind), model_(new ChannelListModel(this)) {
    setModel(model_);
    setItemDelegate(new ChannelRowDelegate(this));
    // One row height for all rows: the view then lays out any number of
    // rows without asking for each one's size.
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setFrameShape(QFrame::NoFrame);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(Text(kind == ChannelTab::Channels ? "tab_channels" : "tab_favorites"));
    if (QStyle* plain = PlainScrollBarStyle())
        verticalScrollBar()->setStyle(plain);

    holdTimer_.setSingleShot(true);
    holdTimer_.setInterval(kTapAndHoldMs);
    connect(&holdTimer_, &QTimer::timeout, this, &ChannelListView::OnTapAndHold);
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            emit playRequested();
    });

    // Rows show what is on: they follow the clock and a guide just read.
    if (ProgrammeGuide* guide = TheProgrammeGuide()) {
        connect(guide, &ProgrammeGuide::changed, viewport(), qOverload<>(&QWidget::update));
        guideClock_.setInterval(kGuideRepaintMs);
        connect(&guideClock_, &QTimer::timeout, viewport(), qOverload<>(&QWidget::update));
        guideClock_.start();
    }
}

ChannelListView::~ChannelListView() = default;

QMenu* ChannelListView::BuildMenu(const char* secondKey, int secondCommand) {
    auto* menu = new QMenu(this);
    menu->addAction(Text("menu_play"))->setData(kMenuPlay);
    if (streamsMenu_ == nullptr) {
        streamsMenu_ = new QMenu(Text("menu_streams"), this);
        connect(streamsMenu_, &QMenu::triggered, this,
                [this](QAction* action) { emit streamChosen(action->data().toInt()); });
    }
    menu->addSeparator();
    menu->addAction(Text(secondKey))->setData(secondCommand);
    menu->addSeparator();
    menu->addAction(Text("menu_guide"))->setData(kMenuGuide);
    connect(menu, &QMenu::triggered, this, [this, menu](QAction* action) {
        // The streams submenu's choices pass through here too.
        if (action->parent() != menu)
            return;
        if (const int command = action->data().toInt(); command != 0)
            emit menuCommand(command);
    });
    return menu;
}

void ChannelListView::SetChannels(std::vector<Channel*> channels) {
    model_->SetChannels(std::move(channels));
}

int ChannelListView::RowCount() const {
    return model_->rowCount();
}

int ChannelListView::SelectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

Channel* ChannelListView::SelectedChannel() const {
    return model_->ChannelAt(SelectedRow());
}

void ChannelListView::SelectRow(int row) {
    const QModelIndex index = model_->index(row, 0);
    if (!index.isValid()) {
        selectionModel()->clearSelection();
        return;
    }
    setCurrentIndex(index);
    // A hidden list has no rows laid out yet; it scrolls when it is shown.
    if (isVisible())
        scrollTo(index, QAbstractItemView::EnsureVisible);
}

QMenu* ChannelListView::MenuForSelection() const {
    const Channel* channel = SelectedChannel();
    if (channel == nullptr)
        return nullptr;
    // The menus are made when first needed: most openings of the dialog
    // never show one.
    auto* self = const_cast<ChannelListView*>(this);
    QMenu* menu = nullptr;
    if (channel->favourite) {
        if (removeMenu_ == nullptr)
            self->removeMenu_ = self->BuildMenu("menu_remove_favorites", kMenuRemoveFavourite);
        menu = removeMenu_;
    } else {
        if (addMenu_ == nullptr)
            self->addMenu_ = self->BuildMenu("menu_add_favorites", kMenuAddFavourite);
        menu = addMenu_;
    }
    self->FillStreamsMenu(*menu, *channel);
    return menu;
}

void ChannelListView::FillStreamsMenu(QMenu& menu, const Channel& channel) {
    streamsMenu_->clear();
    // The entry stands right after "menu_play", and only for a choice.
    QAction* entry = streamsMenu_->menuAction();
    menu.removeAction(entry);
    if (channel.streams.size() < 2)
        return;
    menu.insertAction(menu.actions().value(1), entry);
    auto* choices = new QActionGroup(streamsMenu_);
    for (std::size_t i = 0; i < channel.streams.size(); ++i) {
        QAction* stream =
            streamsMenu_->addAction(StreamEntryText(static_cast<int>(i), channel.streams[i]));
        stream->setData(static_cast<int>(i));
        stream->setCheckable(true);
        stream->setChecked(static_cast<std::int32_t>(i) == channel.streamIndex);
        choices->addAction(stream);
    }
}

bool ChannelListView::OpenMenu(const QPoint& globalPos) {
    QMenu* menu = MenuForSelection();
    if (menu == nullptr)
        return false;
    // The menu's bottom edge lies on the tap point.
    menu->popup(globalPos - QPoint(0, menu->sizeHint().height()));
    return true;
}

void ChannelListView::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && event->modifiers() == Qt::NoModifier) {
        // Enter plays the selected row, as the left soft key does; the key is
        // used either way, so it never reaches the dialog.
        if (SelectedRow() >= 0)
            emit playRequested();
        event->accept();
        return;
    }
    if (IsTyping(*event)) {
        // Instead of the view's own jump to a row starting with the letter
        // (and Space, which would only select the current row again).
        emit searchTyped(event->text());
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void ChannelListView::mousePressEvent(QMouseEvent* event) {
    QListView::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) {
        pressPos_ = event->position().toPoint();
        holdTimer_.start();
    }
}

void ChannelListView::mouseMoveEvent(QMouseEvent* event) {
    if (holdTimer_.isActive() && (event->position().toPoint() - pressPos_).manhattanLength() >=
                                     QApplication::startDragDistance())
        holdTimer_.stop();
    QListView::mouseMoveEvent(event);
}

void ChannelListView::mouseReleaseEvent(QMouseEvent* event) {
    holdTimer_.stop();
    QListView::mouseReleaseEvent(event);
}

void ChannelListView::OnTapAndHold() {
    OpenMenu(viewport()->mapToGlobal(pressPos_));
}

void ChannelListView::contextMenuEvent(QContextMenuEvent* event) {
    holdTimer_.stop();
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        // From the keyboard: under the selected row's left end.
        const QRect row = visualRect(model_->index(SelectedRow(), 0));
        at = viewport()->mapToGlobal(row.isValid() ? row.bottomLeft() : QPoint(0, 0));
    }
    OpenMenu(at);
    event->accept();
}

}  // namespace lumora
