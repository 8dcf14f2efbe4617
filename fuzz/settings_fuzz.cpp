// Feeds arbitrary bytes to the settings loader as "Settings.cfg". Whatever
// the file holds, the settings read from it are the ones a save writes back,
// and a damaged file is set aside as "Settings.cfg.bad" rather than lost.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include "catalogue/settings.h"
#include "document/doc_node.h"
#include "document/memory_stream.h"
#include "fuzz_input_file.h"

using namespace lumora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::FuzzInputFile file("Settings.cfg");
    file.Write(data, size);

    // Read the same bytes once more to know what the loader should see.
    MemoryStream bytes;
    bytes.Write(data, static_cast<std::uint32_t>(size));
    bytes.Seek(0, SeekOrigin::Begin);
    DocNode expected;
    const bool readable = expected.ReadFrom(bytes);

    ResetSettings();
    LoadSettings(file.Path());
    std::error_code error;
    const bool setAside = std::filesystem::exists(file.Beside("Settings.cfg.bad"), error);
    if (setAside == readable)
        std::abort();
    std::filesystem::remove(file.Beside("Settings.cfg.bad"), error);

    if (readable) {
        const DocNode* options = std::as_const(expected).Child("options");
        if (options != nullptr) {
            for (const auto& attribute : options->Attributes()) {
                const std::string& name = attribute->Name();
                switch (attribute->Type()) {
                case ValueType::Bool:
                    if (GetBoolSetting(name, false) != GetBoolSetting(name, true))
                        std::abort();
                    break;
                case ValueType::Int:
                    if (GetIntSetting(name, 0) != GetIntSetting(name, 1))
                        std::abort();
                    break;
                case ValueType::WString:
                    if (GetStringSetting(name, u"a") != GetStringSetting(name, u"b"))
                        std::abort();
                    break;
                default: break;
                }
            }
        }
        // Every channel child is in the saved state, as the tree holds it.
        const DocNode* channels = std::as_const(expected).Child("channels");
        const auto saved = SavedChannelStates();
        const std::size_t count = channels == nullptr ? 0 : channels->Children().size();
        if (saved->Size() != count)
            std::abort();
        for (std::size_t i = 0; i < count; ++i) {
            const DocNode& child = *channels->Children()[i];
            const ChannelState* state = saved->Find(child.Name());
            if (state == nullptr || state->favourite != child.GetBool("f", false) ||
                state->streamIndex != child.GetInt("cu", 0) ||
                state->streamAddress != child.GetWString("cu_url"))
                std::abort();
        }
    }
    ResetSettings();
    return 0;
}
