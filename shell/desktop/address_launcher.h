#pragma once

// Plays what the command line names, in this instance or handed over from a
// second start: a stream address, an M3U playlist address or an M3U file.
// A playlist plays its first entry that the stream address rule accepts, and
// is then offered (playlistPlayed) as the channel source; an address the rule
// refuses is never opened. The channel catalogue is not touched.
//
// A playlist address is fetched on a worker thread; only the newest request
// is answered (a later Open makes an earlier fetch's result go unused).
//
// Threads: the UI thread; the fetch worker only queues its result back.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <QObject>
#include <QString>

namespace lumora {

class MemoryStream;

// Largest playlist read, from a file or over the network.
inline constexpr std::uint32_t kMaxLaunchPlaylistBytes = 16u * 1024u * 1024u;

// Status texts of a target that cannot be played.
inline constexpr char kAddressRefusedKey[] = "str_address_refused";
inline constexpr char kPlaylistUnusableKey[] = "str_playlist_unusable";

class AddressLauncher : public QObject {
    Q_OBJECT
public:
    // Blocking HTTP GET, run on a worker thread; null on failure.
    using Fetch = std::function<std::unique_ptr<MemoryStream>(const std::u16string& url)>;

    explicit AddressLauncher(Fetch fetch, QObject* parent = nullptr);

    // Plays the target (see above). An empty target does nothing.
    void Open(const QString& target);

signals:
    // Play this address; `name` is the playlist entry's title or the address.
    void playRequested(const QString& address, const QString& name);
    // A playlist's first entry was asked to play; `source` is the playlist's
    // address or absolute path, as a channel source takes it.
    void playlistPlayed(const QString& source);
    // The target cannot be played; `textKey` names the status text.
    void refused(const QString& target, const char* textKey);

private:
    void OpenPlaylistFile(const QString& path);
    void FetchPlaylist(const QString& address);
    void OpenPlaylistText(const QString& source, const std::string& text, bool hlsIsStream);
    void PlayAddress(const QString& address, const QString& name);

    Fetch fetch_;
    // Counts requests, so that a late fetch result of an older one is dropped.
    std::uint64_t request_ = 0;
};

}  // namespace lumora
