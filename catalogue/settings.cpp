#include "catalogue/settings.h"

#include <cerrno>
#include <map>
#include <memory>
#include <utility>

#include "catalogue/catalogue.h"
#include "document/damaged_file.h"

namespace lumora {

namespace {

constexpr std::string_view kRootNode = "set";
constexpr std::string_view kOptionsNode = "options";
constexpr std::string_view kChannelsNode = "channels";
constexpr std::string_view kFavouriteAttribute = "f";
constexpr std::string_view kStreamIndexAttribute = "cu";

template <typename Value>
using SettingMap = std::map<std::string, Value, std::less<>>;

struct SettingsStore {
    SettingMap<bool> booleans;
    SettingMap<std::int32_t> integers;
    SettingMap<std::u16string> strings;
    // The file as loaded; only its "channels" node is read after loading.
    std::unique_ptr<DocNode> loaded = std::make_unique<DocNode>();
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

void ReadOptions(const DocNode& options, SettingsStore& store) {
    for (const auto& attribute : options.Attributes()) {
        const std::string& name = attribute->Name();
        switch (attribute->Type()) {
        case ValueType::Int: store.integers[name] = options.GetInt(name, 0); break;
        case ValueType::Bool: store.booleans[name] = options.GetBool(name, false); break;
        case ValueType::WString: store.strings[name] = *attribute->WString(); break;
        default: break;  // other kinds are not settings; they are dropped at the next save
        }
    }
}

// Without a catalogue (the first-run dialog was cancelled) the marks and
// chosen streams read at start-up are written back as they were, so the
// user's choices survive.
void CopyChannelState(const DocNode* from, DocNode& to) {
    if (from == nullptr)
        return;
    for (const auto& channel : from->Children()) {
        DocNode* copy = to.AddChild(channel->Name());
        if (copy == nullptr)
            continue;
        if (channel->GetBool(kFavouriteAttribute, false))
            copy->SetBool(kFavouriteAttribute, true);
        if (const std::int32_t stream = channel->GetInt(kStreamIndexAttribute, 0); stream != 0)
            copy->SetInt(kStreamIndexAttribute, stream);
    }
}

}  // namespace

void LoadSettings(const std::u16string& path) {
    SettingsStore& store = Store();
    store.path = path;
    if (!ReadSettingsFile(path)) {
        // The next save would write the defaults over it.
        SetDamagedFileAside(path);
        store.loaded = std::make_unique<DocNode>();
    }
}

bool ReadSettingsFile(const std::u16string& path) {
    auto document = std::make_unique<DocNode>();
    if (!document->LoadFromFile(path))
        return false;
    SettingsStore& store = Store();
    store.loaded = std::move(document);
    if (const DocNode* options = std::as_const(*store.loaded).Child(kOptionsNode))
        ReadOptions(*options, store);
    return true;
}

bool SaveSettings() {
    SettingsStore& store = Store();
    DocNode root{std::string(kRootNode)};
    DocNode* options = root.AddChild(kOptionsNode);
    // A name used in two maps is written once: the later map's value
    // replaces the earlier one, so the file never holds a name twice.
    for (const auto& [name, value] : store.booleans)
        options->SetBool(name, value);
    for (const auto& [name, value] : store.integers)
        options->SetInt(name, value);
    for (const auto& [name, value] : store.strings)
        options->SetWString(name, value);

    DocNode* channels = root.AddChild(kChannelsNode);
    if (const Catalogue* catalogue = TheCatalogue())
        catalogue->WriteChannelState(*channels);
    else
        CopyChannelState(ChannelStateNode(), *channels);

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

const DocNode* ChannelStateNode() {
    return std::as_const(*Store().loaded).Child(kChannelsNode);
}

void ResetSettings() {
    SettingsStore& store = Store();
    store.booleans.clear();
    store.integers.clear();
    store.strings.clear();
    store.loaded = std::make_unique<DocNode>();
    store.path.clear();
}

}  // namespace lumora
