// Feeds arbitrary bytes to the catalogue loader as "Channels.lmch". Whatever
// the file holds, the catalogue that comes out is consistent: every listed
// channel belongs to one of its countries, its stream index lies inside its
// streams, its name carries no hidden control characters, a failed load
// lists nothing, and a reload of the same file lists the same channels.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/shown_name.h"
#include "fuzz_input_file.h"

using namespace lumora;

namespace {

bool Shown(const std::u16string& name) {
    std::u16string cleaned = name;
    RemoveHiddenControls(cleaned);
    return cleaned == name;
}

void CheckChannel(const Catalogue& catalogue, const Channel& channel) {
    if (channel.country == nullptr)
        std::abort();
    auto country = catalogue.Countries().find(channel.country->code);
    if (country == catalogue.Countries().end() || country->second.get() != channel.country)
        std::abort();
    if (channel.id.compare(0, channel.country->code.size(), channel.country->code) != 0)
        std::abort();
    const bool inside = channel.streamIndex >= 0 &&
                        static_cast<std::size_t>(channel.streamIndex) < channel.streams.size();
    if (!inside && !(channel.streams.empty() && channel.streamIndex == 0))
        std::abort();
    if (!Shown(channel.name) || !Shown(channel.country->displayName))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::FuzzInputFile file("Channels.lmch");
    file.Write(data, size);

    Catalogue catalogue;
    const bool loaded = catalogue.LoadCatalogue(file.Path());
    if (!loaded && !AllChannels().empty())
        std::abort();
    for (const Channel* channel : AllChannels())
        CheckChannel(catalogue, *channel);

    DocNode state("channels");
    catalogue.WriteChannelState(state);

    if (loaded) {
        const std::size_t listed = AllChannels().size();
        if (!catalogue.ReloadCatalogue() || AllChannels().size() != listed)
            std::abort();
        for (const Channel* channel : AllChannels())
            CheckChannel(catalogue, *channel);
    }
    catalogue.ReleaseCatalogue();
    if (!AllChannels().empty())
        std::abort();
    return 0;
}
