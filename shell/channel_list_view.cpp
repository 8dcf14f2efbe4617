#include "shell/channel_list_view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>

#include "catalogue/channel.h"
#include "catalogue/languages.h"
#include "shell/channel_list_model.h"
#include "shell/channel_row_delegate.h"

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

QString Text(const char* key) {
    return QString::fromStdU16String(LookupText(key));
}

}  // namespace

ChannelListView::ChannelListView(QWidget* parent, ChannelListKind kind)
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
    if (QStyle* plain = PlainScrollBarStyle())
        verticalScrollBar()->setStyle(plain);

    holdTimer_.setSingleShot(true);
    holdTimer_.setInterval(kTapAndHoldMs);
    connect(&holdTimer_, &QTimer::timeout, this, &ChannelListView::OnTapAndHold);
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            emit playRequested();
    });
}

ChannelListView::~ChannelListView() = default;

QMenu* ChannelListView::BuildMenu(const char* secondKey, int secondCommand) {
    auto* menu = new QMenu(this);
    menu->addAction(Text("menu_play"))->setData(kMenuPlay);
    menu->addSeparator();
    menu->addAction(Text(secondKey))->setData(secondCommand);
    connect(menu, &QMenu::triggered, this, [this](QAction* action) {
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
    if (channel->favourite) {
        if (removeMenu_ == nullptr)
            self->removeMenu_ = self->BuildMenu("menu_remove_favorites", kMenuRemoveFavourite);
        return removeMenu_;
    }
    if (addMenu_ == nullptr)
        self->addMenu_ = self->BuildMenu("menu_add_favorites", kMenuAddFavourite);
    return addMenu_;
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
    if (holdTimer_.isActive() &&
        (event->position().toPoint() - pressPos_).manhattanLength() >= QApplication::startDragDistance())
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
