#include "catalogue/catalogue.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <optional>
#include <utility>

#include "catalogue/catalogue_format.h"
#include "catalogue/channel_views.h"
#include "catalogue/guide_attributes.h"
#include "catalogue/language_pack_format.h"
#include "catalogue/languages.h"
#include "catalogue/resources_format.h"
#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "catalogue/shown_name.h"
#include "catalogue/text_format.h"
#include "document/text_encoding.h"

namespace lumora {

namespace {

constexpr char16_t kWrongCategoryMessage[] = u"%s : %s - Wrong category!";
constexpr char16_t kNoUrlMessage[] = u"%s : %s - No url!";

Catalogue* processCatalogue = nullptr;

ResourceImageLookup& ImageLookup() {
    static ResourceImageLookup lookup;
    return lookup;
}

void ShowEntryMessage(const CatalogueMessageSink* sink, const char16_t* format,
                      const Country& country, const Channel& channel) {
    if (sink != nullptr && *sink)
        (*sink)(FormatText(format, {country.displayName, channel.name}));
}

// The UI text of prefix + key, or the key itself widened when it has none.
std::u16string DisplayName(std::string& scratch, std::string_view prefix, std::string_view key) {
    scratch.assign(prefix).append(key);
    const std::u16string& text = LookupText(scratch);
    return text.empty() ? FromUtf8(key) : text;
}

void ReadGuideAttributes(DocView::Node node, Channel& channel) {
    channel.tvgId = BoundedTvgText(ToUtf8(node.RequireWString(kTvgIdAttribute)));
    channel.tvgName = BoundedTvgText(ToUtf8(node.RequireWString(kTvgNameAttribute)));
    channel.tvgShiftMinutes = BoundedTvgShift(node.GetInt(kTvgShiftAttribute, 0));
}

// "country name (bit rate + unit)", made to its exact size: one
// allocation of the length it needs for each of a load's channels.
void ComposeSubtitle(Channel& channel, const std::u16string& unit) {
    const Stream* selected = SelectedStream(channel);
    char digits[16];
    const char* end =
        std::to_chars(digits, digits + sizeof digits, selected ? selected->bitRate : 0).ptr;
    const std::u16string& country = channel.country->displayName;
    std::u16string& subtitle = channel.subtitle;
    subtitle.clear();
    subtitle.reserve(country.size() + 3 + std::size_t(end - digits) + unit.size());
    subtitle.append(country).append(u" (");
    for (const char* digit = digits; digit != end; ++digit)
        subtitle.push_back(static_cast<char16_t>(*digit));
    subtitle.append(unit).push_back(u')');
    channel.searchText.clear();
}

// Where the stream of that address now is: at the stored index when it is
// still there, else its first place in the list.
std::optional<std::size_t> FindStream(const Channel& channel, const std::u16string& address,
                                      std::int32_t index) {
    const auto& streams = channel.streams;
    if (index >= 0 && static_cast<std::size_t>(index) < streams.size() &&
        streams[index].address == address)
        return static_cast<std::size_t>(index);
    for (std::size_t i = 0; i < streams.size(); ++i) {
        if (streams[i].address == address)
            return i;
    }
    return std::nullopt;
}

void ApplyState(const ChannelState& state, Channel& channel) {
    channel.favourite = state.favourite;
    channel.trackChoice = state.trackChoice;
    channel.streamIndex = 0;
    channel.streamChosen = false;
    if (!state.streamAddress.empty()) {
        // The remembered address outweighs the index: an update may have
        // reordered the streams. A stream that is gone leaves the first one.
        if (auto at = FindStream(channel, state.streamAddress, state.streamIndex)) {
            channel.streamIndex = static_cast<std::int32_t>(*at);
            channel.streamChosen = true;
        }
        return;
    }
    // A stored index that no longer names a stream falls back to the first.
    bool inside = state.streamIndex >= 0 &&
                  static_cast<std::size_t>(state.streamIndex) < channel.streams.size();
    channel.streamIndex = inside ? state.streamIndex : 0;
}

// The state a channel leaves for the next run or load.
ChannelState StateOf(const Channel& channel) {
    ChannelState state{channel.favourite, channel.streamIndex, {}, channel.trackChoice};
    const Stream* selected = SelectedStream(channel);
    if (selected != nullptr && (channel.streamChosen || channel.streamIndex != 0))
        state.streamAddress = selected->address;
    return state;
}

// The order of two node names, byte by byte as std::string_view orders
// them; names are short, so a loop beats a call to compare memory.
int CompareNames(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto unitA = static_cast<unsigned char>(a[i]);
        const auto unitB = static_cast<unsigned char>(b[i]);
        if (unitA != unitB)
            return unitA < unitB ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

}  // namespace

Channel* ChannelsByName::Find(std::string_view name) const {
    auto found = std::lower_bound(
        entries_.begin(), entries_.end(), name,
        [](const Entry& entry, std::string_view key) { return entry.first < key; });
    return found != entries_.end() && found->first == name ? found->second : nullptr;
}

void SetResourceImageLookup(ResourceImageLookup lookup) {
    ImageLookup() = std::move(lookup);
}

Catalogue* TheCatalogue() {
    return processCatalogue;
}

std::vector<Channel*>& AllChannels() {
    static std::vector<Channel*> channels;
    return channels;
}

const Stream* SelectedStream(const Channel& channel) {
    if (channel.streams.empty())
        return nullptr;
    std::size_t index = static_cast<std::size_t>(channel.streamIndex);
    return index < channel.streams.size() ? &channel.streams[index] : &channel.streams.front();
}

bool ChooseStream(Channel& channel, std::size_t index) {
    if (index >= channel.streams.size() || channel.country == nullptr)
        return false;
    channel.streamIndex = static_cast<std::int32_t>(index);
    channel.streamChosen = true;
    ComposeSubtitle(channel, LookupText(kUnitTextKey));
    return true;
}

// What one load needs beside the document: where the per-channel state
// comes from (the settings at a load, the old records or a snapshot of the
// settings otherwise), the list the channels go to, where messages go and
// where flags come from, the unit text of the subtitles and a buffer for
// building text keys.
struct Catalogue::BuildContext {
    const ChannelStateTable* saved = nullptr;
    std::vector<Channel*>* order = &AllChannels();
    const CatalogueMessageSink* sink = nullptr;
    const ResourceImageLookup* flags = &ImageLookup();
    const std::u16string& unit = LookupText(kUnitTextKey);
    std::string key;
    // A country's child nodes by name, and the channel built from each
    // (null for a repeated name); kept between countries for their room.
    std::vector<std::pair<std::string_view, std::uint32_t>> childrenByName;
    std::vector<Channel*> builtChildren;
    // Where the last state was found: the settings list channels in
    // country-code and node-name order, as the states are asked for.
    std::size_t stateCursor = 0;
    // The language pack may name channels of the country being built.
    bool localNames = true;

    const ChannelState* FindState(const std::string& id) {
        return saved == nullptr ? nullptr : saved->FindNear(id, stateCursor);
    }
};

Catalogue::~Catalogue() {
    ReleaseCatalogue();
    if (processCatalogue == this)
        processCatalogue = nullptr;
}

void Catalogue::BecomeProcessWide() {
    if (processCatalogue != this && processCatalogue != nullptr)
        processCatalogue->current_ = nullptr;
    processCatalogue = this;
}

bool Catalogue::LoadCatalogue(const std::u16string& path) {
    ReleaseCatalogue();
    BecomeProcessWide();
    AllChannels().clear();
    path_ = path;

    std::shared_ptr<const ChannelStateTable> saved = SavedChannelStates();
    BuildContext context;
    context.saved = saved.get();
    context.sink = &messageSink_;
    const bool read = Build(path, context);
    // With nothing to show the marks from the settings are kept, so the
    // next save does not lose them.
    if (!read || !HasChannels())
        heldState_ = std::move(saved);
    if (read)
        MakeSavedChannelCurrent();
    return read;
}

bool Catalogue::LoadDetached(const std::u16string& path,
                             std::shared_ptr<const ChannelStateTable> saved,
                             const CatalogueMessageSink& sink) {
    return LoadDetachedAwaiting(
        path, [&saved] { return std::move(saved); }, sink);
}

bool Catalogue::LoadDetachedAwaiting(const std::u16string& path, const SavedStateWait& awaitSaved,
                                     const CatalogueMessageSink& sink) {
    // A new object: releasing would look at the process-wide pointer, which
    // belongs to the UI thread.
    path_ = path;
    DocView document;
    const bool read = document.LoadFromFile(path);
    std::shared_ptr<const ChannelStateTable> saved = awaitSaved();
    if (read) {
        const ResourceImageLookup noFlags;
        BuildContext context;
        context.saved = saved.get();
        context.order = &detachedOrder_;
        context.sink = &sink;
        context.flags = &noFlags;
        BuildFrom(document, context);
    }
    if (!read || !HasChannels())
        heldState_ = std::move(saved);
    return read;
}

void Catalogue::Publish() {
    BecomeProcessWide();
    AllChannels() = std::move(detachedOrder_);
    detachedOrder_.clear();
    AttachFlags(ImageLookup());
    MakeSavedChannelCurrent();
}

bool Catalogue::Build(const std::u16string& path, BuildContext& context) {
    DocView document;
    if (!document.LoadFromFile(path))
        return false;
    BuildFrom(document, context);
    return true;
}

void Catalogue::BuildFrom(const DocView& document, BuildContext& context) {
    version_ = document.Root().Name();
    origin_ = ReadCatalogueOrigin(document.Root());
    guideAddresses_ = ReadGuideAddresses(document.Root());
    CreateCategories();
    BuildCountries(document, context);
    SortChannels(*context.order);
}

void Catalogue::AttachFlags(const ResourceImageLookup& lookup) {
    if (!lookup)
        return;
    std::string key;
    for (auto& [code, country] : countries_) {
        key.assign(kFlagPrefix).append(code);
        country->flag = lookup(key);
    }
}

void Catalogue::MakeSavedChannelCurrent() {
    std::u16string currentId = GetStringSetting(kCurChannel, u"");
    if (!currentId.empty())
        current_ = FindChannel(NarrowName(currentId));
}

bool Catalogue::ReloadCatalogue() {
    BecomeProcessWide();
    current_ = nullptr;
    // The old records hold the marks as they stand now; take them before
    // the records are freed.
    std::shared_ptr<const ChannelStateTable> carried = CollectState();
    FreeCountries();

    DocView document;
    if (!document.LoadFromFile(path_)) {
        heldState_ = std::move(carried);
        return false;
    }
    version_ = document.Root().Name();
    origin_ = ReadCatalogueOrigin(document.Root());
    guideAddresses_ = ReadGuideAddresses(document.Root());
    // A first load that found no file made no categories; without them
    // every channel of the new file would be an unknown category.
    if (categories_.empty())
        CreateCategories();
    BuildContext context;
    context.saved = carried.get();
    context.sink = &messageSink_;
    BuildCountries(document, context);
    SortChannels(*context.order);
    heldState_.reset();
    if (!HasChannels())
        heldState_ = std::move(carried);
    return true;
}

void Catalogue::ReleaseCatalogue() {
    FreeCountries();
    categories_.clear();
    heldState_.reset();
    version_.clear();
    origin_ = {};
    guideAddresses_.clear();
    path_.clear();
}

void Catalogue::FreeCountries() {
    current_ = nullptr;
    // Nothing may keep pointing at the freed records.
    if (processCatalogue == this)
        AllChannels().clear();
    countries_.clear();
    detachedOrder_.clear();
    LargePageVector<Channel>().swap(channelRecords_);
    LargePageVector<Stream>().swap(streamRecords_);
    LargePageVector<char16_t>().swap(streamText_);
    heldState_.reset();
}

bool Catalogue::HasChannels() const {
    for (const auto& [code, country] : countries_) {
        if (!country->channels.empty())
            return true;
    }
    return false;
}

void Catalogue::CreateCategories() {
    std::string scratch;
    for (std::string_view key : kCategoryKeys) {
        auto category = std::make_unique<Category>();
        category->key = key;
        category->displayName = DisplayName(scratch, kCategoryTextPrefix, key);
        categories_.emplace(category->key, std::move(category));
    }
}

void Catalogue::BuildCountries(const DocView& document, BuildContext& context) {
    const DocView::Node root = document.Root();
    std::size_t channelCount = 0;
    std::size_t streamCount = 0;
    for (DocView::Node country : root.Children()) {
        channelCount += country.ChildCount();
        // Stream nodes are among a channel's children, so their count bounds
        // its streams.
        for (DocView::Node channel : country.Children())
            streamCount += channel.ChildCount();
    }
    context.order->reserve(context.order->size() + channelCount);
    channelRecords_.reserve(channelCount);
    streamRecords_.reserve(streamCount);
    streamText_.reserve(document.ByteSize() / 2);

    for (DocView::Node node : root.Children()) {
        // Of two country nodes with one code the first counts, as in a
        // document tree; the second is not built at all, so none of its
        // channels is listed.
        if (countries_.count(std::string(node.Name())) != 0)
            continue;
        auto country = BuildCountry(node, context);
        std::string code = country->code;
        countries_.emplace(std::move(code), std::move(country));
    }
}

std::unique_ptr<Country> Catalogue::BuildCountry(DocView::Node node, BuildContext& context) {
    auto country = std::make_unique<Country>();
    country->code = node.Name();
    if (const ResourceImageLookup& lookup = *context.flags) {
        context.key.assign(kFlagPrefix).append(country->code);
        country->flag = lookup(context.key);
    }
    country->displayName = DisplayName(context.key, kNameTextPrefix, country->code);
    RemoveHiddenControls(country->displayName);
    // Most packs name no channel of a country: then no channel asks.
    context.key.assign(kNameTextPrefix).append(country->code).append(1, '_');
    context.localNames = HasTextStartingWith(context.key);

    // The children by name, in file order among equal names: of two channel
    // nodes with one name the first counts, as in a document tree.
    auto& byName = context.childrenByName;
    byName.clear();
    for (DocView::Node child : node.Children())
        byName.emplace_back(child.Name(), static_cast<std::uint32_t>(byName.size()));
    // Equal names by their place in the file; a sort that needs no buffer.
    const auto before = [](const auto& a, const auto& b) {
        const int order = CompareNames(a.first, b.first);
        return order != 0 ? order < 0 : a.second < b.second;
    };
    if (!std::is_sorted(byName.begin(), byName.end(), before))
        std::sort(byName.begin(), byName.end(), before);
    auto& built = context.builtChildren;
    built.assign(byName.size(), nullptr);
    std::vector<bool> repeated(byName.size(), false);
    for (std::size_t i = 1; i < byName.size(); ++i) {
        if (byName[i].first == byName[i - 1].first)
            repeated[byName[i].second] = true;
    }
    // Built in file order, so the messages come in the file's order.
    std::uint32_t at = 0;
    for (DocView::Node child : node.Children()) {
        if (!repeated[at])
            built[at] = &BuildChannel(child, *country, context);
        ++at;
    }
    // The saved state and the subtitle, which shows the chosen stream, in
    // node-name order: the order the settings list the channels in.
    std::vector<ChannelsByName::Entry> entries;
    entries.reserve(byName.size());
    for (const auto& [name, index] : byName) {
        Channel* channel = built[index];
        if (channel == nullptr)
            continue;
        if (const ChannelState* state = context.FindState(channel->id))
            ApplyState(*state, *channel);
        // The full title ("country name" + " " + "channel name") is the
        // sort key; SortAllChannels compares it in parts instead of keeping it.
        ComposeSubtitle(*channel, context.unit);
        entries.emplace_back(std::string_view(channel->id).substr(country->code.size() + 1),
                             channel);
    }
    country->channels.Assign(std::move(entries));
    return country;
}

Channel& Catalogue::BuildChannel(DocView::Node node, Country& country, BuildContext& context) {
    // The block has room for every channel node (BuildCountries).
    Channel& channel = channelRecords_.emplace_back();
    // Listed before anything is read, so even a channel with errors shows.
    context.order->push_back(&channel);

    channel.country = &country;
    channel.id.reserve(country.code.size() + 1 + node.Name().size());
    channel.id.append(country.code).append(1, '_').append(node.Name());

    const std::u16string* localName = nullptr;
    if (context.localNames) {
        context.key.assign(kNameTextPrefix).append(channel.id);
        if (const std::u16string& text = LookupText(context.key); !text.empty())
            localName = &text;
    }
    if (localName != nullptr)
        channel.name = *localName;
    else
        channel.name = node.RequireWString(kNameAttribute);
    RemoveHiddenControls(channel.name);
    channel.pText = node.RequireString(kPAttribute);
    ReadGuideAttributes(node, channel);

    channel.category = FindCategory(node.RequireString(kCategoryAttribute));
    if (channel.category == nullptr)
        ShowEntryMessage(context.sink, kWrongCategoryMessage, country, channel);

    ReadStreams(node, channel);
    if (channel.streams.empty())
        ShowEntryMessage(context.sink, kNoUrlMessage, country, channel);
    return channel;
}

// Stream nodes are numbered from 0; the first missing number ends the list.
// The block has room for every child of every channel (BuildCountries).
void Catalogue::ReadStreams(DocView::Node node, Channel& channel) {
    const std::size_t first = streamRecords_.size();
    char number[16];
    DocView::Node streamNode = node;
    for (int n = 0;; ++n) {
        auto end = std::to_chars(number, number + sizeof number, n).ptr;
        if (!node.FindChild(std::string_view(number, end - number), streamNode))
            break;
        streamRecords_.push_back(
            {streamNode.GetInt(kBitRateAttribute, 0),
             KeepStreamText(streamNode.RequireWStringBytes(kAddressAttribute)),
             KeepStreamText(streamNode.RequireWStringBytes(kUserAgentAttribute)),
             KeepStreamText(streamNode.RequireWStringBytes(kReferrerAttribute))});
    }
    channel.streams =
        std::span<const Stream>(streamRecords_.data() + first, streamRecords_.size() - first);
}

std::u16string_view Catalogue::KeepStreamText(std::string_view utf16Bytes) {
    const std::size_t units = utf16Bytes.size() / 2;
    if (units == 0)
        return {};
    // Every text lies in the file, so the reserved room holds them all and
    // the block never moves under the views.
    const std::size_t at = streamText_.size();
    streamText_.resize(at + units);
    std::memcpy(streamText_.data() + at, utf16Bytes.data(), units * 2);
    return {streamText_.data() + at, units};
}

Category* Catalogue::FindCategory(std::string_view key) const {
    auto found = categories_.find(std::string(key));
    return found == categories_.end() ? nullptr : found->second.get();
}

Channel* Catalogue::FindChannel(std::string_view id) const {
    for (const auto& [code, country] : countries_) {
        if (id.size() <= code.size() || id.compare(0, code.size(), code) != 0 ||
            id[code.size()] != '_')
            continue;
        if (Channel* found = country->channels.Find(id.substr(code.size() + 1)))
            return found;
    }
    return nullptr;
}

std::shared_ptr<const ChannelStateTable> Catalogue::CollectState() const {
    if (!HasChannels())
        return heldState_;
    auto state = std::make_shared<ChannelStateTable>();
    std::size_t idBytes = 0;
    for (const Channel& channel : channelRecords_)
        idBytes += channel.id.size();
    state->Reserve(channelRecords_.size(), idBytes);
    // Country-code then node-name order: of two channels with one id the
    // first one's state counts, as in WriteChannelState.
    for (const auto& [code, country] : countries_) {
        for (const auto& [name, channel] : country->channels)
            state->Add(channel->id, StateOf(*channel));
    }
    return state;
}

void Catalogue::WriteChannelState(DocNode& channels) const {
    if (!HasChannels()) {
        if (heldState_ != nullptr) {
            for (std::size_t i = 0; i < heldState_->Size(); ++i)
                AddChannelStateChild(channels, heldState_->IdAt(i), heldState_->StateAt(i));
        }
        return;
    }
    // One child per channel. Two channels share an id only when a country
    // code holds "_" ("a_b" + "c", "a" + "b_c"); AddChild refuses the second
    // child of one id, so the first channel in country-code and node-name
    // order is the one written.
    for (const auto& [code, country] : countries_) {
        for (const auto& [name, channel] : country->channels)
            AddChannelStateChild(channels, channel->id, StateOf(*channel));
    }
}

}  // namespace lumora
