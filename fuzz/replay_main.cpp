// Runs a fuzz target's function over files, without libFuzzer: every file
// named, and every file of every folder named. The test suite replays the
// seed inputs and the inputs that once failed this way, with the program's
// own compiler, so they keep failing cleanly. Exit code 0 when all ran (a
// broken check aborts), 1 when a path could not be read or held nothing.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool Replay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path = argv[i];
        std::error_code error;
        if (std::filesystem::is_directory(path, error)) {
            for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
                if (entry.is_regular_file() && !Replay(entry.path())) {
                    std::fprintf(stderr, "cannot read %s\n", entry.path().c_str());
                    return 1;
                }
                ++replayed;
            }
        } else if (Replay(path)) {
            ++replayed;
        } else {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            return 1;
        }
    }
    std::printf("%d inputs replayed\n", replayed);
    return replayed > 0 ? 0 : 1;
}
