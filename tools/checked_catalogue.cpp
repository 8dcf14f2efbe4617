#include "tools/checked_catalogue.h"

#include <algorithm>
#include <string_view>

#include "catalogue/catalogue_format.h"
#include "document/text_encoding.h"

namespace lumora::tools {
namespace {

// The stream nodes of a channel: "0", "1" ... up to the first gap.
std::vector<const DocNode*> StreamNodes(const DocNode& channel) {
    std::vector<const DocNode*> streams;
    while (const DocNode* stream = channel.Child(std::to_string(streams.size())))
        streams.push_back(stream);
    return streams;
}

// A text attribute as UTF-8, read as the player reads it: a wide string or
// nothing. An address the player would not see must not be probed and
// ranked as if it played.
std::string TextAttribute(const DocNode& node, std::string_view name) {
    const DocAttribute* attribute = node.FindAttribute(name);
    if (attribute == nullptr)
        return {};
    if (const std::u16string* wide = attribute->WString())
        return ToUtf8(*wide);
    return {};
}

std::unique_ptr<DocAttribute> CopyOf(const DocAttribute& attribute) {
    auto copy = std::make_unique<DocAttribute>(attribute.Name());
    switch (attribute.Type()) {
    case ValueType::Unset:
    case ValueType::Int:
    case ValueType::Bool:
    case ValueType::Raw32A:
    case ValueType::Raw32B: copy->SetWord(attribute.Type(), attribute.Word()); break;
    case ValueType::Raw64: copy->SetRaw64(*attribute.Raw64()); break;
    case ValueType::String: copy->SetString(*attribute.String()); break;
    case ValueType::WString: copy->SetWString(*attribute.WString()); break;
    case ValueType::Blob: copy->SetBlob(MemoryStream(*attribute.Blob())); break;
    default: copy->SetBareType(attribute.TypeCode()); break;
    }
    return copy;
}

void CopyAttributes(const DocNode& from, DocNode& to) {
    for (const auto& attribute : from.Attributes())
        to.SetAttribute(CopyOf(*attribute));
}

void CopyInto(const DocNode& from, DocNode& to) {
    CopyAttributes(from, to);
    for (const auto& child : from.Children())
        CopyInto(*child, *to.AddChild(child->Name()));
}

const ProbeResult* ResultOf(const ResultOfStream& results, const DocNode* stream) {
    auto found = results.find(stream);
    return found == results.end() ? nullptr : found->second;
}

bool Works(const ProbeResult* result) {
    return result != nullptr && result->Working();
}

// Working first; among working streams the taller picture, then the higher
// bit rate. A stable sort keeps the file order for everything else.
std::vector<const DocNode*> RankedStreams(std::vector<const DocNode*> streams,
                                          const ResultOfStream& results) {
    std::stable_sort(streams.begin(), streams.end(), [&](const DocNode* a, const DocNode* b) {
        const ProbeResult* first = ResultOf(results, a);
        const ProbeResult* second = ResultOf(results, b);
        if (Works(first) != Works(second))
            return Works(first);
        if (!Works(first))
            return false;
        if (first->height != second->height)
            return first->height > second->height;
        return first->kbps > second->kbps;
    });
    return streams;
}

// The number k of a channel child named "k" in plain decimal when
// k < count, else -1.
int StreamSlot(const std::string& name, std::size_t count) {
    if (name.empty() || name.size() > 9 || (name.size() > 1 && name[0] == '0'))
        return -1;
    std::size_t k = 0;
    for (char c : name) {
        if (c < '0' || c > '9')
            return -1;
        k = k * 10 + std::size_t(c - '0');
    }
    return k < count ? int(k) : -1;
}

// The channel with its stream slots filled in rank order: the child that
// was stream k now holds the k-th best stream, so every other child keeps
// its name and place.
void CopyRankedChannel(const DocNode& channel, const ResultOfStream& results, DocNode& out) {
    const std::vector<const DocNode*> ranked = RankedStreams(StreamNodes(channel), results);
    CopyAttributes(channel, out);
    for (const auto& child : channel.Children()) {
        DocNode* slot = out.AddChild(child->Name());
        int k = StreamSlot(child->Name(), ranked.size());
        if (k < 0) {
            CopyInto(*child, *slot);
            continue;
        }
        CopyInto(*ranked[k], *slot);
        const ProbeResult* result = ResultOf(results, ranked[k]);
        if (Works(result) && result->kbps > 0)
            slot->SetInt(kBitRateAttribute, result->kbps);
    }
}

bool HasWorkingStream(const DocNode& channel, const ResultOfStream& results) {
    const std::vector<const DocNode*> streams = StreamNodes(channel);
    return std::any_of(streams.begin(), streams.end(),
                       [&](const DocNode* stream) { return Works(ResultOf(results, stream)); });
}

}  // namespace

std::vector<CatalogueStream> CollectStreams(const DocNode& root, const CheckScope& scope) {
    std::vector<CatalogueStream> streams;
    for (const auto& country : root.Children()) {
        if (!scope.Includes(country->Name()))
            continue;
        for (const auto& channel : country->Children()) {
            const std::vector<const DocNode*> nodes = StreamNodes(*channel);
            for (std::size_t i = 0; i < nodes.size(); ++i) {
                CatalogueStream stream;
                stream.node = nodes[i];
                stream.country = country->Name();
                stream.channelId = country->Name() + "_" + channel->Name();
                stream.channelName = TextAttribute(*channel, kNameAttribute);
                stream.index = int(i);
                stream.address = TextAttribute(*nodes[i], kAddressAttribute);
                stream.userAgent = TextAttribute(*nodes[i], kUserAgentAttribute);
                stream.referrer = TextAttribute(*nodes[i], kReferrerAttribute);
                streams.push_back(std::move(stream));
            }
        }
    }
    return streams;
}

RankedCatalogue RankStreams(const DocNode& root, const CheckScope& scope,
                            const ResultOfStream& results, DeadChannels dead) {
    RankedCatalogue ranked;
    ranked.document = std::make_unique<DocNode>(root.Name());
    CopyAttributes(root, *ranked.document);
    for (const auto& country : root.Children()) {
        if (!scope.Includes(country->Name())) {
            CopyInto(*country, *ranked.document->AddChild(country->Name()));
            ranked.channels += country->Children().size();
            continue;
        }
        std::vector<const DocNode*> kept;
        for (const auto& channel : country->Children()) {
            if (dead == DeadChannels::Drop && !HasWorkingStream(*channel, results))
                ++ranked.dropped;
            else
                kept.push_back(channel.get());
        }
        if (kept.empty() && !country->Children().empty())
            continue;
        DocNode* out = ranked.document->AddChild(country->Name());
        CopyAttributes(*country, *out);
        for (const DocNode* channel : kept)
            CopyRankedChannel(*channel, results, *out->AddChild(channel->Name()));
        ranked.channels += kept.size();
    }
    return ranked;
}

}  // namespace lumora::tools
