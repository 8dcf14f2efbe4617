#include "catalogue/settings.h"

#include <cerrno>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "catalogue/catalogue.h"
#include "catalogue/settings_format.h"
#include "document/damaged_file.h"
#include "document/doc_view.h"

namespace lumora {

namespace {

template <typename Value>
using SettingMap = std::map<std::string, Value, std::less<>>;

struct SettingsStore {
    SettingMap<bool> booleans;
    SettingMap<std::int32_t> integers;
    SettingMap<std::u16string> strings;
    // The file's per-channel state, read by the catalogue's loads.
    std::shared_ptr<const ChannelStateTable> channels = std::make_shared<ChannelStateTable>();
    // The file read by LoadSettingsOptions, until FinishLoadingSettings
    // reads its per-channel state.
    std::unique_ptr<DocView> pending;
    std::u16string path;
};

SettingsStore& Store() {
    static SettingsStore store;
    return store;
}

template <typename Value>
Value GetOrStore(SettingMap<Value>& map, std::string_view name, const Value& fallback) {
    auto found = map.find(name);
    if (found == map.end())
        found = map.emplace(std::string(name), fallback).first;
    return found->second;
}

template <typename Value>
void Put(SettingMap<Value>& map, std::string_view name, const Value& value) {
    auto found = map.find(name);
    if (found == map.end())
        map.emplace(std::string(name), value);
    else
        found->second = value;
}

// Whether a setting of that name may live in the map of `kind`: a known
// name only in its own.
bool BelongsTo(std::string_view name, SettingKind kind) {
    const std::optional<SettingKind> known = KnownSettingKind(name);
    return !known || *known == kind;
}

std::optional<SettingKind> KindOf(ValueType type) {
    switch (type) {
    case ValueType::Bool: return SettingKind::Bool;
    case ValueType::Int: return SettingKind::Int;
    case ValueType::WString: return SettingKind::String;
    default: return std::nullopt;
    }
}

// Of two attributes with one name the first counts, as in a document tree.
// A known setting stored under another type is dropped, so its default
// (or the user's next choice) counts instead.
void ReadOptions(DocView::Node options, SettingsStore& store) {
    std::set<std::string_view> seen;
    for (std::uint32_t i = 0; i < options.AttributeCount(); ++i) {
        const std::string_view name = options.AttributeName(i);
        if (!seen.insert(name).second)
            continue;
        const std::optional<SettingKind> kind = KindOf(options.AttributeType(i));
        if (kind && !BelongsTo(name, *kind))
            continue;
        switch (options.AttributeType(i)) {
        case ValueType::Int: Put(store.integers, name, options.GetInt(name, 0)); break;
        case ValueType::Bool: Put(store.booleans, name, options.GetBool(name, false)); break;
        case ValueType::WString: Put(store.strings, name, options.RequireWString(name)); break;
        default: break;  // other kinds are not settings; they are dropped at the next save
        }
    }
}

// Without a catalogue (the first-run dialog was cancelled) the marks and
// chosen streams read at start-up are written back as they were, so the
// user's choices survive.
void CopyChannelState(const ChannelStateTable& from, DocNode& to) {
    for (std::size_t i = 0; i < from.Size(); ++i)
        AddChannelStateChild(to, from.IdAt(i), from.StateAt(i));
}

// Reads the options of the file; its per-channel state too, or else keeps
// the read file for FinishLoadingSettings. False, with the store unchanged,
// when the file is missing or damaged.
bool ReadSettings(const std::u16string& path, bool channelsNow) {
    // Read as a view: a file with a child for each of 100,000 channels is
    // read without building a tree of them.
    auto document = std::make_unique<DocView>();
    if (!document->LoadFromFile(path))
        return false;
    SettingsStore& store = Store();
    DocView::Node node = document->Root();
    if (document->Root().FindChild(kOptionsNode, node))
        ReadOptions(node, store);
    store.channels = std::make_shared<ChannelStateTable>();
    store.pending = std::move(document);
    if (channelsNow)
        FinishLoadingSettings();
    return true;
}

void LoadSettingsFrom(const std::u16string& path, bool channelsNow) {
    SettingsStore& store = Store();
    store.path = path;
    if (!ReadSettings(path, channelsNow)) {
        // The next save would write the defaults over it.
        SetDamagedFileAside(path);
        store.channels = std::make_shared<ChannelStateTable>();
        store.pending.reset();
    }
}

}  // namespace

void LoadSettings(const std::u16string& path) {
    LoadSettingsFrom(path, true);
}

void LoadSettingsOptions(const std::u16string& path) {
    LoadSettingsFrom(path, false);
}

void FinishLoadingSettings() {
    SettingsStore& store = Store();
    if (!store.pending)
        return;
    auto channels = std::make_shared<ChannelStateTable>();
    DocView::Node node = store.pending->Root();
    if (store.pending->Root().FindChild(kChannelStateNode, node))
        *channels = ReadChannelStates(node);
    store.channels = std::move(channels);
    store.pending.reset();
}

bool ReadSettingsFile(const std::u16string& path) {
    return ReadSettings(path, true);
}

bool SaveSettings() {
    SettingsStore& store = Store();
    DocNode root{std::string(kSettingsRoot)};
    DocNode* options = root.AddChild(kOptionsNode);
    // A known setting is written from its own map only. Another name used
    // in two maps is written once: the later map's value replaces the
    // earlier one, so the file never holds a name twice.
    for (const auto& [name, value] : store.booleans) {
        if (BelongsTo(name, SettingKind::Bool))
            options->SetBool(name, value);
    }
    for (const auto& [name, value] : store.integers) {
        if (BelongsTo(name, SettingKind::Int))
            options->SetInt(name, value);
    }
    for (const auto& [name, value] : store.strings) {
        if (BelongsTo(name, SettingKind::String))
            options->SetWString(name, value);
    }

    DocNode* channels = root.AddChild(kChannelStateNode);
    if (const Catalogue* catalogue = TheCatalogue())
        catalogue->WriteChannelState(*channels);
    else
        CopyChannelState(*store.channels, *channels);

    if (store.path.empty()) {
        errno = ENOENT;
        return false;
    }
    return root.SaveToFile(store.path);
}

bool GetBoolSetting(std::string_view name, bool fallback) {
    return GetOrStore(Store().booleans, name, fallback);
}

std::int32_t GetIntSetting(std::string_view name, std::int32_t fallback) {
    return GetOrStore(Store().integers, name, fallback);
}

std::u16string GetStringSetting(std::string_view name, const std::u16string& fallback) {
    return GetOrStore(Store().strings, name, fallback);
}

std::optional<std::u16string> FindStringSetting(std::string_view name) {
    const auto& strings = Store().strings;
    auto found = strings.find(name);
    if (found == strings.end())
        return std::nullopt;
    return found->second;
}

void RemoveStringSetting(std::string_view name) {
    auto& strings = Store().strings;
    auto found = strings.find(name);
    if (found != strings.end())
        strings.erase(found);
}

void SetBoolSetting(std::string_view name, bool value) {
    Put(Store().booleans, name, value);
}

void SetIntSetting(std::string_view name, std::int32_t value) {
    Put(Store().integers, name, value);
}

void SetStringSetting(std::string_view name, const std::u16string& value) {
    Put(Store().strings, name, value);
}

std::shared_ptr<const ChannelStateTable> SavedChannelStates() {
    return Store().channels;
}

void ResetSettings() {
    SettingsStore& store = Store();
    store.booleans.clear();
    store.integers.clear();
    store.strings.clear();
    store.channels = std::make_shared<ChannelStateTable>();
    store.pending.reset();
    store.path.clear();
}

}  // namespace lumora
