#pragma once

// The two tab captions across the top of the channel list, BarHeight high.
// A tap picks the tab by the half it falls in; with the keyboard focus Left
// and Right do the same. The strip only reports the tab chosen; the dialog
// decides and tells it the current tab back.
//
// Screen readers see the captions as two page tabs, the current one
// selected (accessible_widgets).
//
// Threads: the UI thread only.

#include <functional>

#include <QString>
#include <QWidget>

#include "catalogue/channel_tab.h"

namespace lumora {

class ChannelTabStrip final : public QWidget {
    Q_OBJECT
public:
    ChannelTabStrip(QWidget* parent, std::function<void(ChannelTab)> tabChosen);

    void SetState(ChannelTab currentTab, const QString& channels, const QString& favourites);
    ChannelTab CurrentTab() const { return currentTab_; }
    const QString& Caption(ChannelTab tab) const;
    // Where the tab's caption is drawn.
    QRect TabRect(ChannelTab tab) const;
    // What a tap on the tab does.
    void ChooseTab(ChannelTab tab) { tabChosen_(tab); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    std::function<void(ChannelTab)> tabChosen_;
    ChannelTab currentTab_ = ChannelTab::Channels;
    QString channelsCaption_;
    QString favouritesCaption_;
};

}  // namespace lumora
