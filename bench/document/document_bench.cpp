// The document format against its peers on a catalogue-shaped tree:
// 10,000 channels (a name, a page text and a category each, and two
// streams with a bit rate and an address), written to and read from
// memory. The same content goes through nlohmann/json, and the same bytes
// through memcpy, as the ceiling. The target: our read and our write each
// at least 4x faster than nlohmann/json.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "bench/bench_results.h"
#include "document/doc_node.h"
#include "document/memory_stream.h"
#include "document/text_encoding.h"

using namespace lumora;
using nlohmann::json;

namespace {

constexpr int kCountries = 20;
constexpr int kChannels = 10000;
constexpr double kTargetRatio = 4.0;

std::string ChannelId(int i) {
    char id[16];
    std::snprintf(id, sizeof id, "ch%05d", i);
    return id;
}

std::u16string ChannelName(int i) {
    return FromUtf8("Kanal " + std::to_string(i) + " \xD0\xA2\xD0\x92 Nachrichten");
}

std::u16string StreamAddress(int i, int k) {
    return FromUtf8("http://streams.example.net/live/" + ChannelId(i) + "/" + std::to_string(k) +
                    "/index.m3u8");
}

std::unique_ptr<DocNode> BuildCatalogue() {
    auto root = std::make_unique<DocNode>("2.0.1");
    for (int i = 0; i < kChannels; ++i) {
        DocNode* country =
            root->Child("c" + std::to_string(i % kCountries), ChildMode::CreateIfMissing);
        DocNode* channel = country->AddChild(ChannelId(i));
        channel->SetWString("n", ChannelName(i));
        channel->SetString("p", "news sport " + std::to_string(i % 97));
        channel->SetString("c", "cat" + std::to_string(i % 12));
        for (int k = 0; k < 2; ++k) {
            DocNode* stream = channel->AddChild(std::to_string(k));
            stream->SetInt("b", 300 + 500 * k + i % 7);
            stream->SetWString("u", StreamAddress(i, k));
        }
    }
    return root;
}

// The same content in the shape a JSON author would choose.
json CatalogueAsJson(const DocNode& root) {
    json countries = json::object();
    for (const auto& country : root.Children()) {
        json channels = json::object();
        for (const auto& channel : country->Children()) {
            json streams = json::object();
            for (const auto& stream : channel->Children()) {
                streams[stream->Name()] = {{"b", stream->GetInt("b", 0)},
                                           {"u", ToUtf8(stream->GetWString("u"))}};
            }
            channels[channel->Name()] = {{"n", ToUtf8(channel->GetWString("n"))},
                                         {"p", channel->GetString("p")},
                                         {"c", channel->GetString("c")},
                                         {"streams", std::move(streams)}};
        }
        countries[country->Name()] = std::move(channels);
    }
    return {{"version", root.Name()}, {"countries", std::move(countries)}};
}

struct Fixture {
    std::unique_ptr<DocNode> tree = BuildCatalogue();
    MemoryStream bytes = [this] {
        MemoryStream out;
        tree->WriteTo(out);
        return out;
    }();
    json document = CatalogueAsJson(*tree);
    std::string text = document.dump();
};

Fixture& Data() {
    static Fixture fixture;
    return fixture;
}

void BM_DocumentWrite(benchmark::State& state) {
    const DocNode& tree = *Data().tree;
    for (auto _ : state) {
        MemoryStream out;
        tree.WriteTo(out);
        benchmark::DoNotOptimize(out.Data());
    }
    state.SetBytesProcessed(state.iterations() * Data().bytes.Size());
}

void BM_DocumentRead(benchmark::State& state) {
    MemoryStream& in = Data().bytes;
    for (auto _ : state) {
        in.Seek(0, SeekOrigin::Begin);
        DocNode root;
        if (!root.ReadFrom(in))
            state.SkipWithError("the document did not read");
        benchmark::DoNotOptimize(root.Children().data());
    }
    state.SetBytesProcessed(state.iterations() * Data().bytes.Size());
}

void BM_JsonSerialise(benchmark::State& state) {
    const json& document = Data().document;
    for (auto _ : state) {
        std::string text = document.dump();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(state.iterations() * Data().text.size());
}

void BM_JsonParse(benchmark::State& state) {
    const std::string& text = Data().text;
    for (auto _ : state) {
        json document = json::parse(text);
        benchmark::DoNotOptimize(&document);
    }
    state.SetBytesProcessed(state.iterations() * Data().text.size());
}

void BM_Memcpy(benchmark::State& state) {
    const MemoryStream& bytes = Data().bytes;
    std::vector<std::uint8_t> copy(bytes.Size());
    for (auto _ : state) {
        std::memcpy(copy.data(), bytes.Data(), bytes.Size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * bytes.Size());
}

// Five repetitions each; the medians are compared.
BENCHMARK(BM_DocumentWrite)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_DocumentRead)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_JsonSerialise)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_JsonParse)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->Repetitions(5);

// Prints as usual and keeps the median CPU seconds per iteration of each
// benchmark (the machine may be shared, so CPU time compares more fairly
// than wall time).
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" &&
                run.iterations > 0 && !run.error_occurred)
                seconds[run.run_name.function_name] =
                    run.cpu_accumulated_time / static_cast<double>(run.iterations);
        }
    }
    std::map<std::string, double> seconds;
};

void PrintSummary(const std::map<std::string, double>& seconds) {
    auto time = [&](const char* name) {
        auto found = seconds.find(name);
        return found == seconds.end() ? 0.0 : found->second;
    };
    double docBytes = Data().bytes.Size();
    double jsonBytes = static_cast<double>(Data().text.size());
    auto mbps = [](double bytes, double s) { return s > 0 ? bytes / s / 1e6 : 0.0; };
    double write = time("BM_DocumentWrite"), read = time("BM_DocumentRead");
    double dump = time("BM_JsonSerialise"), parse = time("BM_JsonParse"), copy = time("BM_Memcpy");
    if (write <= 0 || read <= 0 || dump <= 0 || parse <= 0 || copy <= 0)
        return;  // a filter left some out

    std::printf("\nCatalogue of %d channels: document %.0f bytes, JSON %.0f bytes\n", kChannels,
                docBytes, jsonBytes);
    std::printf("  document write %8.1f MB/s   nlohmann dump  %8.1f MB/s   ours is %5.1fx faster\n",
                mbps(docBytes, write), mbps(jsonBytes, dump), dump / write);
    std::printf("  document read  %8.1f MB/s   nlohmann parse %8.1f MB/s   ours is %5.1fx faster\n",
                mbps(docBytes, read), mbps(jsonBytes, parse), parse / read);
    std::printf("  memcpy         %8.1f MB/s   write takes %.1fx, read %.1fx the time of memcpy\n",
                mbps(docBytes, copy), write / copy, read / copy);
    // Target: each at least kTargetRatio times faster, so at most 1 / kTargetRatio the time.
    lumora::bench::RecordRatio("document write, 10,000 channels, vs nlohmann/json (CPU)",
                               write * 1e3, dump * 1e3, "ms", 1 / kTargetRatio);
    lumora::bench::RecordRatio("document read, 10,000 channels, vs nlohmann/json (CPU)", read * 1e3,
                               parse * 1e3, "ms", 1 / kTargetRatio);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    PrintSummary(reporter.seconds);
    return 0;
}
