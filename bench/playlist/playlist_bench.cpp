// The program's playlist update, as a ratio to reading the same playlist's
// bytes from disk in the same run.
//
// A generated provider playlist of 100,000 entries (groups, player options,
// Kodi headers, ids with countries and without). Measured: the whole build
// as the update does it (read and hash the file, parse, build, write
// "Channels.lmch" through its temporary file) against a plain read of the
// playlist file. The counter "x_read" is that ratio.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "document/text_encoding.h"
#include "net/playlist_source.h"
#include "net/update_logic.h"

namespace lumora {
namespace {

constexpr int kEntries = 100000;

struct Fixture {
    std::filesystem::path folder;
    std::filesystem::path playlist;
    std::u16string cataloguePath;

    Fixture() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "lumora-bench-XXXXXX").string();
        folder = mkdtemp(pattern.data());
        playlist = folder / "provider.m3u";
        cataloguePath = FromUtf8((folder / "Channels.lmch").string());
        WritePlaylist();
    }
    ~Fixture() { std::filesystem::remove_all(folder); }

    void WritePlaylist() const {
        const char* groups[] = {"Sport", "News", "Kids", "Movies", "Music", "VIP"};
        const char* countries[] = {"fr", "de", "it", "es", "us", "pl"};
        std::ofstream out(playlist, std::ios::binary);
        out << "#EXTM3U\n";
        for (int i = 0; i < kEntries; ++i) {
            out << "#EXTINF:-1";
            if (i % 3 == 0)
                out << " tvg-id=\"Channel" << i << '.' << countries[i % 6] << "@SD\"";
            out << " group-title=\"" << groups[i % 6] << "\",Channel " << i << " (720p)\n";
            if (i % 4 == 0)
                out << "#EXTVLCOPT:http-user-agent=Mozilla/5.0 (X11; Linux x86_64)\n";
            out << "http://streams.example/live/" << i << "/index.m3u8";
            if (i % 5 == 0)
                out << "|Referer=https%3A%2F%2Fsite.example%2F";
            out << '\n';
        }
    }

    UpdateSource Source() const {
        UpdateSource source;
        source.server = FromUtf8(playlist.string());
        source.cataloguePath = cataloguePath;
        return source;
    }
};

Fixture& TheFixture() {
    static Fixture fixture;
    return fixture;
}

std::string ReadWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(std::filesystem::file_size(path), '\0');
    in.read(bytes.data(), std::streamsize(bytes.size()));
    return bytes;
}

// The reference: the best of several plain reads, in seconds.
double ReadSeconds() {
    static const double seconds = [] {
        double best = 1e9;
        for (int i = 0; i < 7; ++i) {
            auto start = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(ReadWhole(TheFixture().playlist));
            best = std::min(
                best,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        return best;
    }();
    return seconds;
}

void BM_ReadPlaylistBytes(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadWhole(TheFixture().playlist));
    state.counters["x_read"] = 1.0;
}
BENCHMARK(BM_ReadPlaylistBytes)->Unit(benchmark::kMillisecond);

void BM_BuildCatalogueFromPlaylist(benchmark::State& state) {
    const UpdateSource source = TheFixture().Source();
    double total = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        PlaylistFetch fetched = FetchPlaylist(source, false);
        std::unique_ptr<MemoryStream> catalogue =
            BuildPlaylistCatalogue(fetched, source, std::chrono::system_clock::now());
        if (!catalogue ||
            WriteCatalogueFile(*catalogue, source.cataloguePath) != StoreResult::Stored)
            state.SkipWithError("the catalogue was not built");
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["x_read"] = total / double(state.iterations()) / ReadSeconds();
}
BENCHMARK(BM_BuildCatalogueFromPlaylist)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace lumora

BENCHMARK_MAIN();
