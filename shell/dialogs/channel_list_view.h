#pragma once

// One list of the channel list dialog: the channel list or the favourites
// list. Rows are drawn by ChannelRowDelegate, all of one height, selected a
// whole row at a time, one at most.
//
// A tap and hold (a long left press that does not move), a right click or
// the context-menu key on a selected row opens the row's menu: "menu_play",
// a separator and "menu_add_favorites", or "menu_remove_favorites" when the
// channel already is a favourite, then a separator and "menu_guide" (the
// programme grid over the list). When the channel has more than one
// stream, "menu_streams" after "menu_play" lists them ("2: 1500 kb/s ·
// host"), the chosen one checked. A double click and Enter ask to play the
// selected row; a printable character starts a search with it.
//
// Threads: the UI thread only.

#include <vector>

#include <QListView>
#include <QTimer>

#include "catalogue/channel_tab.h"

class QMenu;

namespace lumora {

struct Channel;
class ChannelListModel;

class ChannelListView final : public QListView {
    Q_OBJECT
public:
    // Commands of the tap-and-hold menus.
    static constexpr int kMenuPlay = 0x8009;
    static constexpr int kMenuAddFavourite = 0x800A;
    static constexpr int kMenuRemoveFavourite = 0x800C;
    static constexpr int kMenuGuide = 0x800D;
    // How long a press must last to count as tap and hold.
    static constexpr int kTapAndHoldMs = 600;
    // How often rows with a programme are painted again (its progress line).
    static constexpr int kGuideRepaintMs = 30000;

    ChannelListView(QWidget* parent, ChannelTab kind);
    ~ChannelListView() override;

    ChannelTab Kind() const { return kind_; }
    ChannelListModel& Model() const { return *model_; }

    // Replaces the rows; no row is selected afterwards.
    void SetChannels(std::vector<Channel*> channels);
    int RowCount() const;

    // The selected row, or -1.
    int SelectedRow() const;
    Channel* SelectedChannel() const;
    // Selects and focuses the row and scrolls it into view; a row outside
    // the list (-1 among them) leaves no row selected.
    void SelectRow(int row);

    // The menu a tap and hold would open now: null without a selected row.
    QMenu* MenuForSelection() const;
    // Opens that menu with its bottom-left corner at `globalPos`, without
    // waiting for a choice. False when there is no selected row.
    bool OpenMenu(const QPoint& globalPos);

signals:
    // Double click or Enter on a selected row.
    void playRequested();
    // A command of the row menu was chosen.
    void menuCommand(int command);
    // The stream at this index (from 0) of the selected row's channel was
    // chosen in the row menu.
    void streamChosen(int index);
    // A printable character (or a blank) was typed while the list had the
    // focus.
    void searchTyped(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QMenu* BuildMenu(const char* secondKey, int secondCommand);
    void FillStreamsMenu(QMenu& menu, const Channel& channel);
    void OnTapAndHold();

    ChannelTab kind_;
    ChannelListModel* model_ = nullptr;
    QMenu* addMenu_ = nullptr;      // popup 0, made when first needed
    QMenu* removeMenu_ = nullptr;   // popup 1, made when first needed
    QMenu* streamsMenu_ = nullptr;  // the submenu of both, filled per opening
    QTimer holdTimer_;
    QTimer guideClock_;
    QPoint pressPos_;  // viewport coordinates of the press being timed
};

}  // namespace lumora
