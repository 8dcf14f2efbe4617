#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_origin.h"
#include "catalogue/channel.h"
#include "catalogue/channel_state.h"
#include "catalogue/settings.h"
#include "document/doc_node.h"
#include "document/doc_view.h"
#include "document/large_page_allocator.h"

namespace lumora {

// The flags of the interface resources, installed with them (and by
// tests). Without it flags are absent. Install it on the UI thread before
// loading.
using ResourceImageLookup = std::function<const ResourceImage*(std::string_view name)>;
void SetResourceImageLookup(ResourceImageLookup lookup);
// A sink receives each per-entry message ("... - Wrong category!",
// "... - No url!") while the catalogue is being built: it must not touch
// the catalogue or AllChannels, and a hostile file can send one message per
// channel, so whatever it shows should be bounded.
using CatalogueMessageSink = std::function<void(const std::u16string& text)>;

// The channel catalogue: countries with their channels, the nine categories,
// the current channel and the version of the file. One per process; the
// object whose LoadCatalogue ran last is the process-wide one.
//
// Threads: everything on the UI thread, except that the update worker may
// read copies of Version() and Path() taken on the UI thread, and that a
// worker may run LoadDetached on an object no other thread touches.
class Catalogue {
public:
    Catalogue() = default;
    Catalogue(const Catalogue&) = delete;
    Catalogue& operator=(const Catalogue&) = delete;
    // Releases the records; the process-wide pointer forgets this object.
    ~Catalogue();

    // Builds the catalogue from the file at the full path (favourite marks
    // and chosen streams from the settings, the current channel from the
    // setting "cur_channel") and makes this the process-wide catalogue.
    // False when the file could not be read: the catalogue is then empty.
    bool LoadCatalogue(const std::u16string& path);
    // Where the messages of LoadCatalogue and ReloadCatalogue go; without a
    // sink they are dropped.
    void SetMessageSink(CatalogueMessageSink sink) { messageSink_ = std::move(sink); }
    // The same load, on any thread, of a catalogue that has not loaded
    // before, away from the process-wide state: the state comes from `saved`
    // (SavedChannelStates, taken on the UI thread), the per-entry messages
    // go to `sink`, and no flag is attached. Publish then makes it the
    // process-wide catalogue on the UI thread.
    bool LoadDetached(const std::u16string& path, std::shared_ptr<const ChannelStateTable> saved,
                      const CatalogueMessageSink& sink);
    // The same, with the state asked for once the file has been read:
    // `awaitSaved` may wait for it, and until it returns nothing of the
    // language pack is used, so the pack may still be loading meanwhile.
    using SavedStateWait = std::function<std::shared_ptr<const ChannelStateTable>()>;
    bool LoadDetachedAwaiting(const std::u16string& path, const SavedStateWait& awaitSaved,
                              const CatalogueMessageSink& sink);
    // After LoadDetached, on the UI thread: this becomes the process-wide
    // catalogue, its channels AllChannels, its countries get their flags and
    // the setting "cur_channel" its current channel, as after LoadCatalogue.
    void Publish();
    // Rebuilds countries and channels from the remembered path after an
    // update; every Channel is destroyed, so stop playback first. Favourite
    // marks and chosen streams are carried over by channel id; no channel is
    // current afterwards. False when the file could not be read: no country
    // is left and the version stays.
    bool ReloadCatalogue();
    // Frees every record.
    void ReleaseCatalogue();

    Category* FindCategory(std::string_view key) const;
    // The first channel with exactly that id (countries in code order).
    Channel* FindChannel(std::string_view id) const;

    const std::string& Version() const { return version_; }
    // The playlist the file was built from, when it was built from one.
    const CatalogueOrigin& Origin() const { return origin_; }
    // The guides the playlists it was built from named (root "url-tvg").
    const std::vector<std::string>& GuideAddresses() const { return guideAddresses_; }
    const std::u16string& Path() const { return path_; }

    Channel* CurrentChannel() const { return current_; }
    // Used by SetCurrentChannel (channel views); null makes none current.
    void MakeCurrent(Channel* channel) { current_ = channel; }

    const std::map<std::string, std::unique_ptr<Country>>& Countries() const { return countries_; }
    const std::map<std::string, std::unique_ptr<Category>>& Categories() const {
        return categories_;
    }

    // Adds one child per channel of the catalogue, named by its id: with
    // "f" = true for a favourite and the Int "cu" for a chosen stream other
    // than the first, empty for a channel in neither state. Of two channels
    // with one id the first in country-code and node-name order is written.
    // While the catalogue holds no channel at all (its file is missing or
    // damaged) the state it was given is written back unchanged, so it is
    // not lost.
    void WriteChannelState(DocNode& channels) const;

private:
    struct BuildContext;

    bool HasChannels() const;
    void BecomeProcessWide();
    // Reads the file and builds the categories, countries and channels,
    // listing the channels in the context's order, sorted.
    bool Build(const std::u16string& path, BuildContext& context);
    void BuildFrom(const DocView& document, BuildContext& context);
    void AttachFlags(const ResourceImageLookup& lookup);
    void MakeSavedChannelCurrent();
    void FreeCountries();
    void CreateCategories();
    // The file is read as a DocView: no tree of heap records is built and
    // freed on the way to the channels.
    void BuildCountries(const DocView& document, BuildContext& context);
    std::unique_ptr<Country> BuildCountry(DocView::Node node, BuildContext& context);
    Channel& BuildChannel(DocView::Node node, Country& country, BuildContext& context);
    void ReadStreams(DocView::Node node, Channel& channel);
    // A copy of stored UTF-16 bytes in the stream text block.
    std::u16string_view KeepStreamText(std::string_view utf16Bytes);
    std::shared_ptr<const ChannelStateTable> CollectState() const;

    std::u16string path_;
    CatalogueMessageSink messageSink_;
    std::string version_;
    CatalogueOrigin origin_;
    std::vector<std::string> guideAddresses_;
    std::map<std::string, std::unique_ptr<Country>> countries_;
    // Every channel record of the countries, in one block of large pages:
    // a load makes one allocation for them, not one per channel. Reserved
    // for every channel node of the file before the first is built, so it
    // never moves while the countries point into it.
    LargePageVector<Channel> channelRecords_;
    // Every stream record of the channels, in one block on the same terms,
    // and the texts they view. The text block is reserved for every text
    // the file can hold (half its bytes in UTF-16 units), so it never moves
    // either.
    LargePageVector<Stream> streamRecords_;
    LargePageVector<char16_t> streamText_;
    std::map<std::string, std::unique_ptr<Category>> categories_;
    Channel* current_ = nullptr;
    // Per-channel state kept while there are no channel records to hold it.
    std::shared_ptr<const ChannelStateTable> heldState_;
    // The channels of a detached load, sorted, until Publish lists them.
    std::vector<Channel*> detachedOrder_;
};

// The process-wide catalogue; null before the first LoadCatalogue.
Catalogue* TheCatalogue();
// Every channel of the process-wide catalogue, in the order of
// SortAllChannels (channel views).
std::vector<Channel*>& AllChannels();
// The channel's stream at its stream index; null when it has no streams.
const Stream* SelectedStream(const Channel& channel);
// Makes the stream at `index` the channel's chosen one (kept in the
// settings as "cu" with its address beside it) and composes the subtitle for its bit rate again.
// False, changing nothing, when the channel has no such stream.
bool ChooseStream(Channel& channel, std::size_t index);

}  // namespace lumora
