#include "shell/dialogs/channel_list_model.h"

#include <algorithm>

#include "catalogue/channel.h"
#include "shell/app/localise.h"
#include "shell/main_window/programme_guide.h"

namespace lumora {
namespace {

// What a screen reader says of a row: what the row shows (the name, then
// the programme on now or the subtitle) and whether it is a favourite.
QString AccessibleRowText(const Channel& channel) {
    QString text = QString::fromStdU16String(channel.name);
    std::optional<ProgrammeSummary> programme;
    if (ProgrammeGuide* guide = TheProgrammeGuide())
        programme = guide->On(channel.id, ProgrammeGuide::Now());
    const QString second = programme ? QString::fromStdString(programme->title)
                                     : QString::fromStdU16String(channel.subtitle);
    if (!second.isEmpty())
        text += QStringLiteral(", ") + second;
    if (channel.favourite)
        text += QStringLiteral(", ") + Text("str_favorite");
    return text;
}

}  // namespace

ChannelListModel::ChannelListModel(QObject* parent) : QAbstractListModel(parent) {}

void ChannelListModel::SetChannels(std::vector<Channel*> channels) {
    beginResetModel();
    channels_ = std::move(channels);
    endResetModel();
}

Channel* ChannelListModel::ChannelAt(int row) const {
    if (row < 0 || row >= static_cast<int>(channels_.size()))
        return nullptr;
    return channels_[static_cast<std::size_t>(row)];
}

int ChannelListModel::RowOf(const Channel* channel) const {
    const auto found = std::find(channels_.begin(), channels_.end(), channel);
    return found == channels_.end() ? -1 : static_cast<int>(found - channels_.begin());
}

QModelIndex ChannelListModel::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || column != 0 || row < 0 || row >= static_cast<int>(channels_.size()))
        return {};
    return createIndex(row, 0);
}

int ChannelListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(channels_.size());
}

QVariant ChannelListModel::data(const QModelIndex& index, int role) const {
    const Channel* channel = ChannelAt(index.isValid() ? index.row() : -1);
    if (channel == nullptr)
        return {};
    switch (role) {
    case Qt::DisplayRole: return QString::fromStdU16String(channel->name);
    case Qt::AccessibleTextRole: return AccessibleRowText(*channel);
    case kChannelRole: return QVariant::fromValue(const_cast<Channel*>(channel));
    default: return {};
    }
}

Channel* ChannelOfIndex(const QModelIndex& index) {
    if (!index.isValid())
        return nullptr;
    return index.data(ChannelListModel::kChannelRole).value<Channel*>();
}

}  // namespace lumora
