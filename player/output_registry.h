#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace lumora {

class MediaOutput;

// The process-wide map from output name to output. It does not own the
// outputs; an output enters it when it is built and leaves it when it is
// destroyed. A new output under a name already present replaces the entry.
//
// Threads: the UI thread only.
class OutputRegistry {
public:
    using Map = std::map<std::string, MediaOutput*, std::less<>>;

    void Register(const std::string& name, MediaOutput* output);
    // Removes the entry only while it still refers to this output, so an
    // output that was replaced under its name cannot remove its successor.
    void Unregister(const std::string& name, const MediaOutput* output);
    MediaOutput* Find(std::string_view name) const;
    // In name order.
    const Map& Outputs() const { return outputs_; }

private:
    Map outputs_;
};

// Gives the volume (clamped to 0..100) to every registered output in name
// order, then saves it as the integer setting "sound_volume".
// Threads: the UI thread only.
void ApplyVolume(int volume);

// The process's registry.
OutputRegistry& TheOutputRegistry();

}  // namespace lumora
