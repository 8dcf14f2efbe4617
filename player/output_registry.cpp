#include "player/output_registry.h"

#include <algorithm>

#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "player/media_output.h"

namespace lumora {

OutputRegistry& TheOutputRegistry() {
    static OutputRegistry registry;
    return registry;
}

void OutputRegistry::Register(const std::string& name, MediaOutput* output) {
    outputs_[name] = output;
}

void OutputRegistry::Unregister(const std::string& name, const MediaOutput* output) {
    auto it = outputs_.find(name);
    if (it != outputs_.end() && it->second == output)
        outputs_.erase(it);
}

MediaOutput* OutputRegistry::Find(std::string_view name) const {
    auto it = outputs_.find(name);
    return it == outputs_.end() ? nullptr : it->second;
}

void ApplyVolume(int volume) {
    // The trackbar only gives 0..100; the clamp keeps any other caller from
    // saving a volume the player would reject.
    const int clamped = std::clamp(volume, 0, 100);
    for (const auto& [name, output] : TheOutputRegistry().Outputs())
        output->SetVolume(clamped);
    SetIntSetting(kSoundVolume, clamped);
}

}  // namespace lumora
