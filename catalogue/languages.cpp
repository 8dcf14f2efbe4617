#include "catalogue/languages.h"

#include <map>
#include <memory>
#include <vector>

#include "catalogue/language_pack_format.h"
#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "catalogue/text_fallbacks.h"
#include "document/doc_node.h"
#include "document/text_encoding.h"

namespace lumora {

namespace {

constexpr char16_t kDefaultLanguage[] = u"en";

struct TextEntry {
    std::string key;
    // Only "text" is ever looked up; other names are kept as they came.
    std::map<std::string, std::u16string, std::less<>> texts;
};

struct LanguageEntry {
    std::u16string name;
    std::u16string code;
    std::map<std::string, TextEntry, std::less<>> entries;
};

struct LanguagePack {
    std::vector<std::unique_ptr<LanguageEntry>> languages;
    const LanguageEntry* current = nullptr;
    bool loaded = false;
};

LanguagePack& Pack() {
    static LanguagePack pack;
    return pack;
}

const std::u16string& EmptyText() {
    static const std::u16string empty;
    return empty;
}

std::unique_ptr<LanguageEntry> ReadLanguage(const DocNode& node, std::u16string name,
                                            std::u16string code) {
    auto language = std::make_unique<LanguageEntry>();
    language->name = std::move(name);
    language->code = std::move(code);
    for (const auto& child : node.Children()) {
        TextEntry entry;
        entry.key = child->Name();
        for (const auto& attribute : child->Attributes()) {
            if (attribute->Type() == ValueType::WString)
                entry.texts.emplace(attribute->Name(), *attribute->WString());
        }
        language->entries.emplace(child->Name(), std::move(entry));
    }
    return language;
}

const LanguageEntry* FindByCode(const LanguagePack& pack, const std::u16string& code) {
    for (const auto& language : pack.languages) {
        if (language->code == code)
            return language.get();
    }
    return nullptr;
}

void ReadLanguages(const DocNode& root, LanguagePack& pack) {
    for (int n = 0;; ++n) {
        const DocNode* node = root.Child(std::string(kLanguageNodePrefix) + std::to_string(n));
        if (node == nullptr) {
            // The enumeration is complete: pick the language of the settings.
            pack.current = FindByCode(pack, GetStringSetting(kLanguage, kDefaultLanguage));
            return;
        }
        std::u16string name = node->GetWString(kLanguageNameAttribute);
        std::u16string code = node->GetWString(kLanguageCodeAttribute);
        if (name.empty() || code.empty())
            return;  // an incomplete language ends the list, and none is chosen
        pack.languages.push_back(ReadLanguage(*node, std::move(name), std::move(code)));
    }
}

bool InsideList(int index) {
    return index >= 0 && static_cast<std::size_t>(index) < Pack().languages.size();
}

// The pack's own text of the key, or the empty text.
const std::u16string& PackText(std::string_view key) {
    const LanguageEntry* current = Pack().current;
    if (current == nullptr)
        return EmptyText();
    auto entry = current->entries.find(key);
    if (entry == current->entries.end())
        return EmptyText();
    auto text = entry->second.texts.find(kTextAttribute);
    return text == entry->second.texts.end() ? EmptyText() : text->second;
}

}  // namespace

bool LoadLanguages(const std::u16string& path) {
    ReleaseLanguages();
    LanguagePack& pack = Pack();
    pack.loaded = true;
    DocNode document;
    if (!document.LoadFromFile(path) || document.Name() != kPackRoot)
        return false;
    ReadLanguages(document, pack);
    return true;
}

void ReleaseLanguages() {
    LanguagePack& pack = Pack();
    if (!pack.loaded)
        return;
    pack.loaded = false;
    pack.current = nullptr;
    pack.languages.clear();
}

const std::u16string& LookupText(std::string_view key) {
    const std::u16string& text = PackText(key);
    if (!text.empty())
        return text;
    // A key the program added since the first packs: its English text.
    const std::u16string* english = EnglishFallback(key);
    return english != nullptr ? *english : text;
}

bool HasTextStartingWith(std::string_view prefix) {
    if (const LanguageEntry* current = Pack().current) {
        auto entry = current->entries.lower_bound(prefix);
        if (entry != current->entries.end() && std::string_view(entry->first).starts_with(prefix))
            return true;
    }
    return HasEnglishFallbackStartingWith(prefix);
}

std::u16string LookupTextOr(std::string_view key, std::u16string_view english) {
    const std::u16string& text = LookupText(key);
    return text.empty() ? std::u16string(english) : text;
}

std::u16string AppTitle() {
    return LookupText(kAppTitleKey);
}

int LanguageCount() {
    return static_cast<int>(Pack().languages.size());
}

std::u16string LanguageName(int index) {
    return InsideList(index) ? Pack().languages[index]->name : std::u16string();
}

std::u16string LanguageCode(int index) {
    return InsideList(index) ? Pack().languages[index]->code : std::u16string();
}

int FindLanguage(const std::u16string& code) {
    const auto& languages = Pack().languages;
    for (std::size_t i = 0; i < languages.size(); ++i) {
        if (languages[i]->code == code)
            return static_cast<int>(i);
    }
    return -1;
}

int CurrentLanguage() {
    const auto& languages = Pack().languages;
    for (std::size_t i = 0; i < languages.size(); ++i) {
        if (languages[i].get() == Pack().current)
            return static_cast<int>(i);
    }
    return -1;
}

void SelectLanguage(int index) {
    if (InsideList(index))
        Pack().current = Pack().languages[index].get();
}

std::optional<std::u16string> LocalisedText(const std::u16string& current) {
    if (current.empty())
        return std::nullopt;
    const std::u16string& text = LookupText(ToUtf8(current));
    if (text.empty())
        return std::nullopt;
    return text;
}

}  // namespace lumora
