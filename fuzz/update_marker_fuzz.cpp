// Feeds arbitrary bytes to the update check as the marker the server sends,
// and the first line of the input as the version of the catalogue in use.
// The answer must agree with the version comparison, and the comparison
// must be an order: equal to itself, antisymmetric, and the same for texts
// that parse to the same numbers.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "document/doc_node.h"
#include "document/memory_stream.h"
#include "net/update_logic.h"

using namespace lumora;

namespace {

int Sign(int value) {
    return (value > 0) - (value < 0);
}

void CheckVersions(std::string_view a, std::string_view b) {
    if (CompareVersions(a, a) != 0 || CompareVersions(b, b) != 0)
        std::abort();
    if (Sign(CompareVersions(a, b)) != -Sign(CompareVersions(b, a)))
        std::abort();
    if ((ParseVersion(a) == ParseVersion(b)) != (CompareVersions(a, b) == 0))
        std::abort();
    const int order = CompareVersions(a, b);
    if (order < -4 || order > 4)
        std::abort();
    // A well-formed version text is digits and single dots only.
    if (IsVersionText(a)) {
        if (a.empty() || a.front() == '.' || a.back() == '.' ||
            a.find("..") != std::string_view::npos)
            std::abort();
        for (char c : a) {
            if (c != '.' && (c < '0' || c > '9'))
                std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = input.find('\n');
    const std::string_view ours = input.substr(0, newline);
    const std::string_view marker =
        newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);

    UpdateSource source;
    source.catalogueVersion = std::string(ours);
    source.server = u"http://127.0.0.1:9";
    source.fetch = [marker](const std::u16string&) {
        auto body = std::make_unique<MemoryStream>();
        body->Write(marker.data(), static_cast<std::uint32_t>(marker.size()));
        body->Seek(0, SeekOrigin::Begin);
        return body;
    };
    const CheckAnswer answer = AskForNewerCatalogue(source);
    if (answer == CheckAnswer::Unreachable)
        std::abort();

    MemoryStream bytes;
    bytes.Write(marker.data(), static_cast<std::uint32_t>(marker.size()));
    bytes.Seek(0, SeekOrigin::Begin);
    DocNode root;
    const bool readable = root.ReadFrom(bytes);
    const bool newer = readable && CompareVersions(root.Name(), ours) > 0;
    if ((answer == CheckAnswer::Newer) != newer)
        std::abort();

    CheckVersions(ours, readable ? std::string_view(root.Name()) : marker);
    return 0;
}
