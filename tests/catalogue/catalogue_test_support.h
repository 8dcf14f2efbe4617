#pragma once

// Helpers shared by the catalogue tests: a scratch folder per test, and
// builders for the settings, language pack and catalogue documents.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/languages.h"
#include "catalogue/settings.h"
#include "document/doc_node.h"
#include "document/text_encoding.h"
#include "process_state.h"
#include "scratch_folder.h"

namespace lumora::test {

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline std::unique_ptr<DocNode> ReadDocument(const std::u16string& path) {
    auto node = std::make_unique<DocNode>();
    if (!node->LoadFromFile(path))
        return nullptr;
    return node;
}

// One stream node of a channel: its number, bit rate and address.
struct StreamSpec {
    int number;
    std::int32_t bitRate;
    std::u16string address;
};

struct ChannelSpec {
    std::string node;
    std::u16string name;
    std::string category;
    std::vector<StreamSpec> streams;
};

struct CountrySpec {
    std::string code;
    std::vector<ChannelSpec> channels;
};

inline void AddChannel(DocNode& country, const ChannelSpec& spec) {
    DocNode* channel = country.AddChild(spec.node);
    if (!spec.name.empty())
        channel->SetWString("n", spec.name);
    channel->SetString("p", "p-" + spec.node);
    channel->SetString("c", spec.category);
    for (const StreamSpec& stream : spec.streams) {
        DocNode* node = channel->AddChild(std::to_string(stream.number));
        node->SetInt("b", stream.bitRate);
        node->SetWString("u", stream.address);
    }
}

inline void WriteCatalogue(const std::u16string& path, const std::string& version,
                           const std::vector<CountrySpec>& countries) {
    DocNode root(version);
    for (const CountrySpec& spec : countries) {
        DocNode* country = root.AddChild(spec.code);
        for (const ChannelSpec& channel : spec.channels)
            AddChannel(*country, channel);
    }
    ASSERT_TRUE(root.SaveToFile(path));
}

// A language: display name, code and key → text.
struct LanguageSpec {
    std::u16string name;
    std::u16string code;
    std::vector<std::pair<std::string, std::u16string>> texts;
};

// Writes a pack with the languages at the given node numbers.
inline void WriteLanguagePack(const std::u16string& path,
                              const std::vector<std::pair<int, LanguageSpec>>& languages,
                              const std::string& rootName = "lang_doc_1.0") {
    DocNode root(rootName);
    for (const auto& [number, spec] : languages) {
        DocNode* language = root.AddChild("lang_" + std::to_string(number));
        if (!spec.name.empty())
            language->SetWString("language", spec.name);
        if (!spec.code.empty())
            language->SetWString("ext", spec.code);
        for (const auto& [key, text] : spec.texts)
            language->AddChild(key)->SetWString("text", text);
    }
    ASSERT_TRUE(root.SaveToFile(path));
}

// Per-channel state as the settings file keeps it.
struct StateSpec {
    std::string id;
    bool favourite;
    std::optional<std::int32_t> streamIndex;
};

inline void WriteSettings(const std::u16string& path, const std::vector<StateSpec>& channels,
                          const std::u16string& currentChannel = {}) {
    DocNode root("set");
    DocNode* options = root.AddChild("options");
    if (!currentChannel.empty())
        options->SetWString("cur_channel", currentChannel);
    DocNode* state = root.AddChild("channels");
    for (const StateSpec& spec : channels) {
        DocNode* child = state->AddChild(spec.id);
        if (spec.favourite)
            child->SetBool("f", true);
        if (spec.streamIndex)
            child->SetInt("cu", *spec.streamIndex);
    }
    ASSERT_TRUE(root.SaveToFile(path));
}

// Every test starts from a clean process: no settings, no pack, no hooks.
class CatalogueTestBase : public ::testing::Test {
protected:
    void SetUp() override { ResetAll(); }
    void TearDown() override { ResetAll(); }

    static void ResetAll() {
        ResetProcessState();
        ReleaseLanguages();
        SetResourceImageLookup(nullptr);
    }

    // Gives the catalogue a sink that collects its messages.
    void CollectMessages(Catalogue& catalogue) {
        catalogue.SetMessageSink([this](const std::u16string& text) { messages.push_back(text); });
    }

    ScratchFolder folder;
    std::vector<std::u16string> messages;
};

inline std::vector<std::string> Ids(const std::vector<Channel*>& channels) {
    std::vector<std::string> ids;
    for (const Channel* channel : channels)
        ids.push_back(channel->id);
    return ids;
}

}  // namespace lumora::test
