#pragma once

// The rows of a channel list: a read-only list model over a vector of
// channel records of the process-wide catalogue. The whole vector is
// replaced at once (a filter change, a favourite added), so the model only
// ever resets; views with uniform row heights then stay instant with tens of
// thousands of rows.
//
// The model does not own the channels. It must be emptied (or destroyed)
// before the catalogue it points into is reloaded or released.
//
// Threads: the UI thread only.

#include <vector>

#include <QAbstractListModel>

namespace lumora {

struct Channel;

class ChannelListModel final : public QAbstractListModel {
    Q_OBJECT
public:
    // The row's Channel*.
    static constexpr int kChannelRole = Qt::UserRole + 1;

    explicit ChannelListModel(QObject* parent = nullptr);

    void SetChannels(std::vector<Channel*> channels);
    const std::vector<Channel*>& Channels() const { return channels_; }
    // The channel of a row; null outside the rows.
    Channel* ChannelAt(int row) const;
    // The row showing the channel, or -1.
    int RowOf(const Channel* channel) const;

    // Without the base class's checks through rowCount and columnCount: the
    // view asks for an index of every row when it lays the rows out.
    QModelIndex index(int row, int column,
                      const QModelIndex& parent = QModelIndex()) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // Qt::DisplayRole: the channel's display name (type-ahead search uses
    // it); Qt::AccessibleTextRole: the row as a screen reader says it (name,
    // the line below it, favourite); kChannelRole: the record.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    std::vector<Channel*> channels_;
};

// The channel of a model index of a ChannelListModel, or null.
Channel* ChannelOfIndex(const QModelIndex& index);

}  // namespace lumora
