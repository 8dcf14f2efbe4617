#pragma once

// The channel list: a full-screen modal dialog with two tabs drawn as a
// strip across its top. The channel tab holds a country chooser and a
// category chooser above the list of the matching channels; the favourites
// tab holds the list of the channels marked as favourites. A channel is
// played by the left soft key, a double click, Enter, or its tap-and-hold
// menu, which also adds it to or removes it from the favourites.
//
// A search row above each list narrows the current tab to the channels
// whose name or subtitle holds the typed text (case and accents aside);
// the tab captions keep counting the whole lists. The row appears once a
// search starts (typing in a list, or Ctrl+F) and moves the list one bar
// down; ending the search hides it again, so the lists otherwise keep
// their places. The search is not kept between openings.
//
// Between openings in one run the ZapOrder it is given remembers the
// selected row of each list and the chosen country and category; the
// current tab is the setting "sel_tab", written when the dialog is
// destroyed. The choosers list their entries in the order of the interface
// language.
//
// Keyboard: arrows move in the focused list or chooser (also from the
// search field), Enter plays, a printable character typed in a list starts
// the search with it, F1 and F2 are the soft keys, Tab and Shift+Tab go
// round tab strip, choosers, search field (while shown) and list, Left and
// Right on the focused tab strip switch tabs, Esc ends the search and then
// closes.
//
// Threads: the UI thread only.

#include <string>
#include <vector>

#include <QString>

#include "catalogue/channel_tab.h"
#include "catalogue/zap_order.h"
#include "shell/app/shell_hooks.h"
#include "shell/dialogs/dialog_frame.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace lumora {

struct Channel;
class ChannelListView;
class ChannelTabStrip;

class ChannelListDialog final : public DialogFrame {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 201;
    // Controls.
    static constexpr int kCountryLabelId = 1014;
    static constexpr int kCountryChooserId = 1015;
    static constexpr int kCategoryLabelId = 1016;
    static constexpr int kCategoryChooserId = 1017;
    static constexpr int kChannelListId = 1003;
    static constexpr int kFavouritesListId = 1053;
    static constexpr int kSearchLabelId = 1060;
    static constexpr int kSearchFieldId = 1061;
    // Commands besides ID_CHANNELS (play) and the row menus' commands
    // (ChannelListView).
    static constexpr int kCloseCommand = 102;

    // `zapOrder` holds where the user left the list; it outlives the dialog.
    ChannelListDialog(QWidget* owner, ZapOrder& zapOrder);
    // Writes the current tab to "sel_tab".
    ~ChannelListDialog() override;

    // The result, read after the modal run.
    bool PlayRequested() const { return playRequested_; }
    Channel* ChosenChannel() const { return chosen_; }

    ChannelTab CurrentTab() const { return currentTab_; }
    // Shows the tab without a sound, as the initialisation does.
    void ShowTab(ChannelTab tab);
    // What a tap on the tab strip or Left/Right on it does: a sound and the
    // tab, when it is not the current one already.
    void SwitchTab(ChannelTab tab);
    // "tab_channels (n)" and "tab_favorites (n)".
    const QString& TabCaption(ChannelTab tab) const;

    QComboBox* CountryChooser() const { return countryChooser_; }
    QComboBox* CategoryChooser() const { return categoryChooser_; }
    ChannelListView* ChannelList() const { return channelList_; }
    ChannelListView* FavouritesList() const { return favouritesList_; }
    QLineEdit* SearchField() const { return searchField_; }
    // Whether the search row is shown.
    bool SearchOpen() const { return searchOpen_; }
    QWidget* TabStrip() const;
    // The list of the current tab.
    ChannelListView* VisibleList() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

    bool OnCommand(int command) override;
    void OnSize(int width, int height) override;
    void PaintClient(QPainter& painter) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The two choosers, each narrowing the channel tab by one field.
    enum class Filter { Country, Category };
    void FillChooser(Filter filter);
    void FillChannelList();
    void FillFavouritesList();
    // Shows the rows of `all` that match the search, then selects the first
    // row, the channel that was selected before, or nothing.
    enum class Selection { FirstMatch, KeepChannel, None };
    void ShowRows(ChannelListView* list, const std::vector<Channel*>& all, Selection selection);
    Selection SelectionAfterRefill() const;
    void OnSearchEdited();
    void StartSearch(const QString& text);
    void OpenSearch();
    // Clears and hides the search row; false when it was not shown.
    bool EndSearch();
    void PlaceLists();
    void PlaceSearchRow();
    void ChooseStreamAndPlay(ChannelListView* list, int index);
    void UpdateTabCaptions();
    void OnFilterChanged(QComboBox* chooser);
    void Play();
    void Close();
    // The programme grid over this list; a channel chosen there is played.
    void OpenGuide();
    void RememberRows();
    void AddSelectedToFavourites();
    void RemoveMenuChannelFromFavourites();

    ZapOrder& zapOrder_;
    bool playRequested_ = false;
    Channel* chosen_ = nullptr;
    ChannelTab currentTab_ = ChannelTab::Channels;
    QString channelsCaption_;
    QString favouritesCaption_;
    bool shownOnce_ = false;
    bool searchOpen_ = false;
    QSize clientSize_;

    QLabel* countryLabel_ = nullptr;
    QComboBox* countryChooser_ = nullptr;
    QLabel* categoryLabel_ = nullptr;
    QComboBox* categoryChooser_ = nullptr;
    ChannelListView* channelList_ = nullptr;
    ChannelListView* favouritesList_ = nullptr;
    QLabel* searchLabel_ = nullptr;
    QLineEdit* searchField_ = nullptr;
    ChannelTabStrip* tabStrip_ = nullptr;
    // The whole lists, before the search.
    std::vector<Channel*> channels_;
    std::vector<Channel*> favourites_;
    // The search both lists show now.
    std::u16string shownQuery_;
    // The list whose row menu sent the last menu command.
    ChannelListView* menuList_ = nullptr;
};

// Runs the channel list modally, owned by `owner`, and returns what the
// user chose (the shell's RunChannelListDialog).
ChannelChoice RunChannelListModal(QWidget* owner, ZapOrder& zapOrder);

}  // namespace lumora
