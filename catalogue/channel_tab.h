#pragma once

// The two tabs of the channel list, and the list each of them shows. The
// numbers are the values of the setting "sel_tab".

#include "catalogue/settings.h"
#include "catalogue/settings_format.h"

namespace lumora {

enum class ChannelTab { Channels = 0, Favourites = 1 };

// The tab a stored "sel_tab" names; anything but the favourites' number is
// the channel tab.
constexpr ChannelTab ChannelTabFromSetting(int value) {
    return value == static_cast<int>(ChannelTab::Favourites) ? ChannelTab::Favourites
                                                             : ChannelTab::Channels;
}

constexpr int SettingOfChannelTab(ChannelTab tab) {
    return static_cast<int>(tab);
}

// The tab in "sel_tab"; the channel tab when there is none.
inline ChannelTab StoredChannelTab() {
    return ChannelTabFromSetting(GetIntSetting(kSelTab, SettingOfChannelTab(ChannelTab::Channels)));
}

}  // namespace lumora
