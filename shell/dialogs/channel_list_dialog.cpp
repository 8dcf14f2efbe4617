#include "shell/dialogs/channel_list_dialog.h"

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QShortcut>
#include <QStandardItemModel>

#include "catalogue/catalogue.h"
#include "catalogue/channel_search.h"
#include "catalogue/channel_views.h"
#include "catalogue/languages.h"
#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "resources/resources.h"
#include "shell/app/commands.h"
#include "shell/app/interface_collation.h"
#include "shell/app/localise.h"
#include "shell/dialogs/channel_list_model.h"
#include "shell/dialogs/channel_list_view.h"
#include "shell/dialogs/channel_tab_strip.h"
#include "shell/main_window/menu_pop_sound.h"
#include "shell/widgets/dialog_fonts.h"
#include "shell/widgets/soft_key_bar.h"

namespace lumora {
namespace {

// The record of the chosen entry of a chooser (null for the entry for all).
template <typename Record>
const Record* EntryRecord(const QComboBox* chooser) {
    return chooser->currentData().value<const Record*>();
}

// The chooser's entries: `allText` for the entry for all, then the options
// in the order they come, each carrying its record. They go into the
// chooser's model in one insertion rather than one by one.
template <typename Record>
QList<QStandardItem*> ChooserEntries(const QString& allText,
                                     const std::vector<FilterOption<Record>>& options) {
    auto entry = [](const QString& text, const Record* record) {
        auto* item = new QStandardItem(text);
        item->setData(QVariant::fromValue(record), Qt::UserRole);
        return item;
    };
    QList<QStandardItem*> entries;
    entries.reserve(static_cast<qsizetype>(options.size()));
    // The options come sorted by name with the entry for all first; the
    // entry for all gets its own text.
    entries.append(entry(allText, nullptr));
    for (std::size_t i = 1; i < options.size(); ++i)
        entries.append(entry(QString::fromStdU16String(options[i].text), options[i].record));
    return entries;
}

// The one-pixel frame around a control, one pixel outside it on every side.
void DrawControlFrame(QPainter& painter, const QWidget* control) {
    DrawFrameAround(painter, control->geometry());
}

}  // namespace

ChannelListDialog::ChannelListDialog(QWidget* owner, ZapOrder& zapOrder)
    : DialogFrame(owner, DialogSize::FullScreen, TitleStrip::Hidden), zapOrder_(zapOrder) {
    setModal(true);
    setFont(DialogTextFont());
    setWindowTitle(Text("menu_channels"));

    tabStrip_ = new ChannelTabStrip(this, [this](ChannelTab tab) { SwitchTab(tab); });
    countryLabel_ = new QLabel(this);
    countryChooser_ = new QComboBox(this);
    categoryLabel_ = new QLabel(this);
    categoryChooser_ = new QComboBox(this);
    searchLabel_ = new QLabel(this);
    searchField_ = new QLineEdit(this);
    channelList_ = new ChannelListView(this, ChannelTab::Channels);
    favouritesList_ = new ChannelListView(this, ChannelTab::Favourites);
    SetControlId(countryLabel_, kCountryLabelId);
    SetControlId(countryChooser_, kCountryChooserId);
    SetControlId(categoryLabel_, kCategoryLabelId);
    SetControlId(categoryChooser_, kCategoryChooserId);
    SetControlId(channelList_, kChannelListId);
    SetControlId(favouritesList_, kFavouritesListId);
    SetControlId(searchLabel_, kSearchLabelId);
    SetControlId(searchField_, kSearchFieldId);
    // Screen readers name each control by its label.
    countryLabel_->setBuddy(countryChooser_);
    categoryLabel_->setBuddy(categoryChooser_);
    searchLabel_->setBuddy(searchField_);
    setTabOrder(tabStrip_, countryChooser_);
    setTabOrder(countryChooser_, categoryChooser_);
    setTabOrder(categoryChooser_, searchField_);
    setTabOrder(searchField_, channelList_);
    setTabOrder(channelList_, favouritesList_);

    // 1. The result is clear; the tab comes from the settings.
    playRequested_ = false;
    chosen_ = nullptr;
    currentTab_ = StoredChannelTab();

    // 2. and 3. The labels and the choosers at their remembered entries.
    SetWindowTextByKey(categoryLabel_, "static_genre");
    FillChooser(Filter::Category);
    SetWindowTextByKey(countryLabel_, "static_country");
    FillChooser(Filter::Country);

    // The search row: empty at every opening.
    SetWindowTextByKey(searchLabel_, "static_search");
    if (BoldFont())
        searchField_->setFont(*BoldFont());
    searchField_->setClearButtonEnabled(true);
    searchField_->installEventFilter(this);
    connect(searchField_, &QLineEdit::textChanged, this, &ChannelListDialog::OnSearchEdited);
    searchLabel_->hide();
    searchField_->hide();
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, &ChannelListDialog::OpenSearch);

    // 4. The lists and their menus.
    for (ChannelListView* list : {channelList_, favouritesList_}) {
        connect(list, &ChannelListView::playRequested, this,
                [this] { DispatchCommand(ID_CHANNELS); });
        connect(list, &ChannelListView::menuCommand, this, [this, list](int command) {
            menuList_ = list;
            DispatchCommand(command);
        });
        connect(list, &ChannelListView::streamChosen, this,
                [this, list](int index) { ChooseStreamAndPlay(list, index); });
        connect(list, &ChannelListView::searchTyped, this, &ChannelListDialog::StartSearch);
    }

    // 5. The rows.
    FillChannelList();
    FillFavouritesList();

    // 6. The soft keys.
    SoftKeys()->SetKey(SoftKey::Left, Text("menu_play"), ID_CHANNELS);
    SoftKeys()->SetKey(SoftKey::Right, Text("menu_close"), kCloseCommand);

    // 7. The remembered rows (scrolled into view once the lists have their
    //    size, see showEvent).
    channelList_->SelectRow(zapOrder_.Place().channelRow);
    favouritesList_->SelectRow(zapOrder_.Place().favouriteRow);

    // 8. The tab. The controls get their places first: a control shown
    //    without a size of its own would measure itself.
    const QRect area = FullScreenArea();
    OnSize(area.width(), std::max(0, area.height() - BarHeight()));
    ShowTab(currentTab_);

    // The choosers refilter from now on.
    connect(countryChooser_, &QComboBox::currentIndexChanged, this,
            [this] { OnFilterChanged(countryChooser_); });
    connect(categoryChooser_, &QComboBox::currentIndexChanged, this,
            [this] { OnFilterChanged(categoryChooser_); });
}

ChannelListDialog::~ChannelListDialog() {
    SetIntSetting(kSelTab, SettingOfChannelTab(currentTab_));
}

QWidget* ChannelListDialog::TabStrip() const {
    return tabStrip_;
}

ChannelListView* ChannelListDialog::VisibleList() const {
    return currentTab_ == ChannelTab::Favourites ? favouritesList_ : channelList_;
}

const QString& ChannelListDialog::TabCaption(ChannelTab tab) const {
    return tab == ChannelTab::Favourites ? favouritesCaption_ : channelsCaption_;
}

void ChannelListDialog::FillChooser(Filter filter) {
    const bool countries = filter == Filter::Country;
    QComboBox* chooser = countries ? countryChooser_ : categoryChooser_;
    if (BoldFont())
        chooser->setFont(*BoldFont());
    // The chooser's size is set by the layout; measuring every entry for a
    // size hint would cost more than filling it.
    chooser->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    chooser->setMinimumContentsLength(8);
    const TextOrdering ordering = InterfaceCollation();
    auto* model = new QStandardItemModel(chooser);
    model->appendColumn(countries
                            ? ChooserEntries(Text("str_all_countries"), CountryOptions(ordering))
                            : ChooserEntries(Text("str_all_channels"), CategoryOptions(ordering)));
    chooser->setModel(model);
    const int remembered =
        countries ? zapOrder_.Place().countryEntry : zapOrder_.Place().categoryEntry;
    // An entry that no longer exists (the catalogue changed) falls back to
    // the entry for all, so a filter is always defined.
    chooser->setCurrentIndex(remembered >= 0 && remembered < chooser->count() ? remembered : 0);
}

void ChannelListDialog::FillChannelList() {
    channels_ = FilterChannels(EntryRecord<Country>(countryChooser_),
                               EntryRecord<Category>(categoryChooser_));
    ShowRows(channelList_, channels_, SelectionAfterRefill());
    UpdateTabCaptions();
}

void ChannelListDialog::FillFavouritesList() {
    favourites_ = FavouriteChannels();
    ShowRows(favouritesList_, favourites_, SelectionAfterRefill());
    UpdateTabCaptions();
}

ChannelListDialog::Selection ChannelListDialog::SelectionAfterRefill() const {
    // A refilled list has no selected row, unless a search picks its match.
    return searchField_->text().isEmpty() ? Selection::None : Selection::FirstMatch;
}

void ChannelListDialog::ShowRows(ChannelListView* list, const std::vector<Channel*>& all,
                                 Selection selection) {
    const std::u16string query = searchField_->text().toStdU16String();
    const Channel* selected =
        selection == Selection::KeepChannel ? list->SelectedChannel() : nullptr;
    list->SetChannels(query.empty() ? all : SearchChannels(all, query));
    if (selection == Selection::FirstMatch)
        list->SelectRow(0);
    else if (selected != nullptr)
        list->SelectRow(std::max(0, list->Model().RowOf(selected)));
}

void ChannelListDialog::OnSearchEdited() {
    // While typing the best match is ready for Enter; once the search is
    // cleared the channel found stays selected in the whole list.
    const std::u16string query = searchField_->text().toStdU16String();
    const Selection selection = query.empty() ? Selection::KeepChannel : Selection::FirstMatch;
    // A character typed onto the search only narrows the rows shown: the
    // next search looks among them alone.
    const bool narrows = SearchNarrows(shownQuery_, query);
    ShowRows(channelList_, narrows ? channelList_->Model().Channels() : channels_, selection);
    ShowRows(favouritesList_, narrows ? favouritesList_->Model().Channels() : favourites_,
             selection);
    shownQuery_ = query;
}

void ChannelListDialog::StartSearch(const QString& text) {
    // A search never starts with a blank.
    if (searchField_->text().isEmpty() && text.trimmed().isEmpty())
        return;
    OpenSearch();
    searchField_->setText(searchField_->text() + text);
}

void ChannelListDialog::OpenSearch() {
    if (!searchOpen_) {
        searchOpen_ = true;
        searchLabel_->show();
        searchField_->show();
        PlaceLists();
        update();
    }
    searchField_->setFocus(Qt::OtherFocusReason);
}

bool ChannelListDialog::EndSearch() {
    if (!searchOpen_)
        return false;
    searchField_->clear();
    searchOpen_ = false;
    searchLabel_->hide();
    searchField_->hide();
    PlaceLists();
    VisibleList()->setFocus(Qt::OtherFocusReason);
    update();
    return true;
}

bool ChannelListDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched != searchField_ || event->type() != QEvent::KeyPress)
        return DialogFrame::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // The search field moves the selection in the list it narrows.
        QApplication::sendEvent(VisibleList(), key);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter: DispatchCommand(ID_CHANNELS); return true;
    default: return false;
    }
}

void ChannelListDialog::UpdateTabCaptions() {
    // The captions count the whole lists, whatever the search shows.
    channelsCaption_ =
        QString::fromStdU16String(::lumora::TabCaption("tab_channels", channels_.size()));
    favouritesCaption_ =
        QString::fromStdU16String(::lumora::TabCaption("tab_favorites", favourites_.size()));
    tabStrip_->SetState(currentTab_, channelsCaption_, favouritesCaption_);
}

void ChannelListDialog::ShowTab(ChannelTab tab) {
    currentTab_ = tab;
    const bool channels = currentTab_ == ChannelTab::Channels;
    // A focused control that is about to be hidden hands the focus to the
    // list that is shown; the tab strip keeps it.
    QWidget* focused = focusWidget();
    const bool moveFocus = focused != nullptr && focused != tabStrip_;
    for (QWidget* control :
         {static_cast<QWidget*>(countryLabel_), static_cast<QWidget*>(countryChooser_),
          static_cast<QWidget*>(categoryLabel_), static_cast<QWidget*>(categoryChooser_),
          static_cast<QWidget*>(channelList_)})
        control->setVisible(channels);
    favouritesList_->setVisible(!channels);
    if (moveFocus && focused != searchField_)
        VisibleList()->setFocus(Qt::OtherFocusReason);
    PlaceSearchRow();
    tabStrip_->SetState(currentTab_, channelsCaption_, favouritesCaption_);
    update();
}

void ChannelListDialog::SwitchTab(ChannelTab tab) {
    if (tab == currentTab_)
        return;
    PlayMenuPopSound();
    ShowTab(tab);
}

void ChannelListDialog::OnFilterChanged(QComboBox* chooser) {
    FillChannelList();
    if (chooser == countryChooser_)
        zapOrder_.Place().countryEntry = chooser->currentIndex();
    else
        zapOrder_.Place().categoryEntry = chooser->currentIndex();
}

bool ChannelListDialog::OnCommand(int command) {
    switch (command) {
    case ID_CHANNELS:
    case ChannelListView::kMenuPlay: Play(); return true;
    case IDCANCEL:  // Esc ends a search, then closes the way the right soft key does
        if (!EndSearch())
            Close();
        return true;
    case kCloseCommand: Close(); return true;
    case ChannelListView::kMenuAddFavourite: AddSelectedToFavourites(); return true;
    case ChannelListView::kMenuRemoveFavourite: RemoveMenuChannelFromFavourites(); return true;
    case ChannelListView::kMenuGuide: OpenGuide(); return true;
    default: return false;
    }
}

void ChannelListDialog::Play() {
    Channel* channel = VisibleList()->SelectedChannel();
    if (channel == nullptr)
        return;
    RememberRows();
    playRequested_ = true;
    chosen_ = channel;
    done(kDialogResultOk);
}

void ChannelListDialog::OpenGuide() {
    // The grid shows the list shown here: its rows and tab are remembered
    // first.
    RememberRows();
    SetIntSetting(kSelTab, SettingOfChannelTab(currentTab_));
    const ChannelChoice choice = RunGuideGridDialog(this, zapOrder_);
    if (!choice.playRequested || choice.channel == nullptr)
        return;
    playRequested_ = true;
    chosen_ = choice.channel;
    done(kDialogResultOk);
}

void ChannelListDialog::Close() {
    RememberRows();
    done(kDialogResultCancel);
}

void ChannelListDialog::RememberRows() {
    // The next opening starts without a search: a row found by searching is
    // remembered by its place in the whole list.
    auto rowInWhole = [](const ChannelListView* list, const std::vector<Channel*>& whole) {
        const Channel* selected = list->SelectedChannel();
        if (selected == nullptr)
            return -1;
        const auto found = std::find(whole.begin(), whole.end(), selected);
        return found == whole.end() ? -1 : static_cast<int>(found - whole.begin());
    };
    zapOrder_.Place().channelRow = rowInWhole(channelList_, channels_);
    zapOrder_.Place().favouriteRow = rowInWhole(favouritesList_, favourites_);
}

void ChannelListDialog::ChooseStreamAndPlay(ChannelListView* list, int index) {
    Channel* channel = list->SelectedChannel();
    if (channel == nullptr || index < 0 || !ChooseStream(*channel, static_cast<std::size_t>(index)))
        return;
    menuList_ = list;
    if (list == VisibleList())
        Play();
}

void ChannelListDialog::AddSelectedToFavourites() {
    Channel* channel = channelList_->SelectedChannel();
    if (channel == nullptr)
        return;
    AddFavourite(*channel);
    FillFavouritesList();
}

void ChannelListDialog::RemoveMenuChannelFromFavourites() {
    ChannelListView* list = menuList_ != nullptr ? menuList_ : VisibleList();
    Channel* channel = list->SelectedChannel();
    if (channel == nullptr)
        return;
    RemoveFavourite(*channel);
    FillFavouritesList();
}

void ChannelListDialog::OnSize(int width, int height) {
    const int bar = BarHeight();
    const int margin = BarMargin();
    const int chooserLeft = 3 * bar + bar / 6 + margin;
    // The choosers are one bar apart; they keep a line free between their
    // frames.
    const int chooserHeight = std::min(countryChooser_->sizeHint().height(), bar - 3);
    tabStrip_->setGeometry(0, 0, width, bar);
    countryLabel_->setGeometry(margin, bar + margin + bar / 12, 3 * bar, 2 * bar / 3);
    countryChooser_->setGeometry(chooserLeft, bar + margin, 6 * bar, chooserHeight);
    categoryLabel_->setGeometry(margin, 2 * bar + margin + bar / 12, 3 * bar, 2 * bar / 3);
    categoryChooser_->setGeometry(chooserLeft, 2 * bar + margin, 6 * bar, chooserHeight);
    clientSize_ = QSize(width, height);
    PlaceLists();
}

void ChannelListDialog::PlaceLists() {
    // The channel list under the choosers, the favourites under the tab
    // strip; a shown search row takes one bar above each.
    const int bar = BarHeight();
    const int margin = BarMargin();
    const int width = clientSize_.width();
    const int height = clientSize_.height();
    const int search = searchOpen_ ? bar : 0;
    channelList_->setGeometry(margin, margin + 3 * bar + search, std::max(0, width - 2 * margin),
                              std::max(0, height - 2 * margin - 3 * bar - search));
    favouritesList_->setGeometry(margin, margin + bar + search, std::max(0, width - 2 * margin),
                                 std::max(0, height - 2 * margin - bar - search));
    PlaceSearchRow();
}

void ChannelListDialog::PlaceSearchRow() {
    // Under the choosers on the channel tab, under the tab strip on the
    // favourites tab: always right above the list it narrows.
    const int bar = BarHeight();
    const int margin = BarMargin();
    const int top = (currentTab_ == ChannelTab::Channels ? 3 * bar : bar) + margin;
    const int left = 3 * bar + bar / 6 + margin;
    const int height = std::min(searchField_->sizeHint().height(), bar - 3);
    searchLabel_->setGeometry(margin, top + bar / 12, 3 * bar, 2 * bar / 3);
    searchField_->setGeometry(left, top, 6 * bar, height);
}

void ChannelListDialog::PaintClient(QPainter& painter) {
    if (!FramePen().color().isValid())
        return;
    if (currentTab_ == ChannelTab::Channels) {
        DrawControlFrame(painter, channelList_);
        DrawControlFrame(painter, countryChooser_);
        DrawControlFrame(painter, categoryChooser_);
    } else {
        DrawControlFrame(painter, favouritesList_);
    }
    if (searchOpen_)
        DrawControlFrame(painter, searchField_);
}

void ChannelListDialog::showEvent(QShowEvent* event) {
    DialogFrame::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    // Now that the lists have their size, the remembered rows come into view.
    for (ChannelListView* list : {channelList_, favouritesList_}) {
        if (const int row = list->SelectedRow(); row >= 0)
            list->scrollTo(list->model()->index(row, 0), QAbstractItemView::EnsureVisible);
    }
    VisibleList()->setFocus(Qt::OtherFocusReason);
}

void ChannelListDialog::closeEvent(QCloseEvent* event) {
    // The dialog ends only through its commands.
    event->ignore();
}

ChannelChoice RunChannelListModal(QWidget* owner, ZapOrder& zapOrder) {
    ChannelListDialog dialog(owner, zapOrder);
    dialog.exec();
    return {dialog.PlayRequested(), dialog.ChosenChannel(), std::nullopt};
}

}  // namespace lumora
