#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "catalogue/language_pack_format.h"
#include "document/doc_node.h"
#include "document/text_encoding.h"
#include "tools/commands.h"

namespace lumora::tools {

namespace {

// A language file is a few kilobytes; anything far larger is not one.
constexpr std::uintmax_t kMaxLanguageFileBytes = 16u * 1024 * 1024;

// One language file: {"language": "English", "ext": "en", "order": 0,
// "texts": {"app_kavri": "Lumora", ...}}.
struct LanguageSource {
    std::string fileName;
    std::string displayName;
    std::string code;
    long long order = 0;
    std::vector<std::pair<std::string, std::string>> texts;  // in the file's order
};

void Complain(const std::string& fileName, const std::string& problem) {
    std::fprintf(stderr, "lumora-data lang: %s: %s\n", fileName.c_str(), problem.c_str());
}

bool HasControlCharacters(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

std::optional<std::string> ReadSmallFile(const std::filesystem::path& path, std::string& problem) {
    std::error_code error;
    std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        problem = "cannot be read";
        return std::nullopt;
    }
    if (size > kMaxLanguageFileBytes) {
        problem = "too large for a language file";
        return std::nullopt;
    }
    std::ifstream file(path, std::ios::binary);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!file.read(text.data(), std::streamsize(size))) {
        problem = "cannot be read";
        return std::nullopt;
    }
    return text;
}

// Parses JSON and refuses an object that names a member twice, which the
// parser would otherwise settle silently by keeping the last one.
std::optional<nlohmann::ordered_json> ParseStrictJson(const std::string& text,
                                                      std::string& problem) {
    std::vector<std::set<std::string>> openObjects;
    std::string repeated;
    auto watch = [&](int, nlohmann::ordered_json::parse_event_t event,
                     nlohmann::ordered_json& parsed) {
        using Event = nlohmann::ordered_json::parse_event_t;
        if (event == Event::object_start) {
            openObjects.emplace_back();
        } else if (event == Event::object_end) {
            if (!openObjects.empty())
                openObjects.pop_back();
        } else if (event == Event::key && !openObjects.empty() && repeated.empty()) {
            const std::string& key = parsed.get_ref<const std::string&>();
            if (!openObjects.back().insert(key).second)
                repeated = key;
        }
        return true;
    };
    try {
        nlohmann::ordered_json document = nlohmann::ordered_json::parse(text, watch);
        if (!repeated.empty()) {
            problem = "the key \"" + repeated + "\" appears twice in one object";
            return std::nullopt;
        }
        return document;
    } catch (const nlohmann::json::exception& error) {
        problem = std::string("not valid JSON (") + error.what() + ")";
        return std::nullopt;
    }
}

std::optional<std::string> RequireText(const nlohmann::ordered_json& document, const char* member,
                                       std::string& problem) {
    auto found = document.find(member);
    if (found == document.end() || !found->is_string()) {
        problem = std::string("\"") + member + "\" must be a text";
        return std::nullopt;
    }
    std::string value = found->get<std::string>();
    if (value.empty() || HasControlCharacters(value)) {
        problem = std::string("\"") + member + "\" must not be empty or hold control characters";
        return std::nullopt;
    }
    return value;
}

std::optional<LanguageSource> ReadLanguageFile(const std::filesystem::path& path) {
    LanguageSource source;
    source.fileName = path.filename().string();
    std::string problem;
    std::optional<std::string> text = ReadSmallFile(path, problem);
    std::optional<nlohmann::ordered_json> document;
    if (text)
        document = ParseStrictJson(*text, problem);
    if (!document) {
        Complain(source.fileName, problem);
        return std::nullopt;
    }
    if (!document->is_object()) {
        Complain(source.fileName, "must hold one object with language, ext, order and texts");
        return std::nullopt;
    }
    for (const auto& member : document->items()) {
        const std::string& name = member.key();
        if (name != "language" && name != "ext" && name != "order" && name != "texts") {
            Complain(source.fileName, "unknown member \"" + name + "\"");
            return std::nullopt;
        }
    }
    std::optional<std::string> displayName = RequireText(*document, "language", problem);
    std::optional<std::string> code =
        displayName ? RequireText(*document, "ext", problem) : std::nullopt;
    if (!code) {
        Complain(source.fileName, problem);
        return std::nullopt;
    }
    source.displayName = *displayName;
    source.code = *code;

    auto order = document->find("order");
    if (order == document->end() || !order->is_number_integer() || order->get<long long>() < 0 ||
        order->get<long long>() > 1000000) {
        Complain(source.fileName, "\"order\" must be a whole number from 0 to 1000000");
        return std::nullopt;
    }
    source.order = order->get<long long>();

    auto texts = document->find("texts");
    if (texts == document->end() || !texts->is_object()) {
        Complain(source.fileName, "\"texts\" must be an object of key: text pairs");
        return std::nullopt;
    }
    for (const auto& entry : texts->items()) {
        const std::string& key = entry.key();
        if (key.empty() || HasControlCharacters(key) || key.find(' ') != std::string::npos) {
            Complain(source.fileName, "text key \"" + key + "\" must be a word without blanks");
            return std::nullopt;
        }
        if (!entry.value().is_string()) {
            Complain(source.fileName, "the text of key \"" + key + "\" must be a string");
            return std::nullopt;
        }
        source.texts.emplace_back(key, entry.value().get<std::string>());
    }
    return source;
}

// Two languages with the same order or code would make the pack ambiguous.
bool CheckUnique(const std::vector<LanguageSource>& languages) {
    std::map<long long, const LanguageSource*> orders;
    std::map<std::string, const LanguageSource*> codes;
    for (const LanguageSource& language : languages) {
        auto [order, newOrder] = orders.emplace(language.order, &language);
        if (!newOrder) {
            Complain(language.fileName, "order " + std::to_string(language.order) +
                                            " is taken by " + order->second->fileName);
            return false;
        }
        auto [code, newCode] = codes.emplace(language.code, &language);
        if (!newCode) {
            Complain(language.fileName,
                     "ext \"" + language.code + "\" is taken by " + code->second->fileName);
            return false;
        }
    }
    return true;
}

// A missing text shows the user an empty label; say so, but a pack that is
// partly translated is still a pack.
void WarnAboutMissingTexts(const std::vector<LanguageSource>& languages) {
    const LanguageSource& reference = languages.front();
    for (const LanguageSource& language : languages) {
        std::set<std::string> keys;
        for (const auto& text : language.texts)
            keys.insert(text.first);
        std::size_t missing = 0;
        std::string first;
        for (const auto& text : reference.texts) {
            if (!keys.count(text.first) && missing++ == 0)
                first = text.first;
        }
        if (missing > 0) {
            std::fprintf(stderr, "lumora-data lang: warning: %s lacks %zu keys of %s (first: %s)\n",
                         language.fileName.c_str(), missing, reference.fileName.c_str(),
                         first.c_str());
        }
    }
}

void FillPack(DocNode& pack, const std::vector<LanguageSource>& languages) {
    for (std::size_t index = 0; index < languages.size(); ++index) {
        const LanguageSource& language = languages[index];
        DocNode* node = pack.AddChild(std::string(kLanguageNodePrefix) + std::to_string(index));
        node->SetWString(kLanguageNameAttribute, FromUtf8(language.displayName));
        node->SetWString(kLanguageCodeAttribute, FromUtf8(language.code));
        for (const auto& [key, text] : language.texts)
            node->AddChild(key)->SetWString(kTextAttribute, FromUtf8(text));
    }
}

}  // namespace

int RunLang(const Arguments& args) {
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: lumora-data lang DIR OUT\n");
        return 2;
    }
    const std::filesystem::path folder = args[0];
    std::error_code error;
    std::vector<std::filesystem::path> files;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().extension() == ".json")
            files.push_back(it->path());
    }
    if (error) {
        std::fprintf(stderr, "lumora-data lang: %s: cannot be listed (%s)\n", args[0].c_str(),
                     error.message().c_str());
        return 1;
    }
    if (files.empty()) {
        std::fprintf(stderr, "lumora-data lang: %s holds no *.json language file\n",
                     args[0].c_str());
        return 1;
    }
    std::sort(files.begin(), files.end());

    std::vector<LanguageSource> languages;
    for (const std::filesystem::path& file : files) {
        std::optional<LanguageSource> language = ReadLanguageFile(file);
        if (!language)
            return 1;
        languages.push_back(std::move(*language));
    }
    if (!CheckUnique(languages))
        return 1;
    std::sort(languages.begin(), languages.end(),
              [](const LanguageSource& a, const LanguageSource& b) { return a.order < b.order; });
    WarnAboutMissingTexts(languages);

    DocNode pack{std::string(kPackRoot)};
    FillPack(pack, languages);
    if (!pack.SaveToFile(FromUtf8(args[1]))) {
        std::fprintf(stderr, "lumora-data lang: %s: cannot be written\n", args[1].c_str());
        return 1;
    }
    return 0;
}

}  // namespace lumora::tools
