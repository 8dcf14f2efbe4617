// check IN.lmch OUT.lmch [--report FILE.csv] [--jobs N] [--timeout S]
//       [--drop-dead] [--only COUNTRY,...]
// Probes every stream of a catalogue and writes it back with measured bit
// rates and each channel's working streams first.

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "document/doc_node.h"
#include "document/text_encoding.h"
#include "probe/probe_engine.h"
#include "probe/probe_pool.h"
#include "tools/check_report.h"
#include "tools/checked_catalogue.h"
#include "tools/commands.h"

namespace lumora::tools {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultJobs = 32;
constexpr int kMaxJobs = 512;
constexpr double kDefaultTimeoutSeconds = 15;
constexpr double kMaxTimeoutSeconds = 3600;
constexpr std::chrono::milliseconds kProgressPeriod{200};

struct CheckOptions {
    std::string input;
    std::string output;
    std::optional<std::string> report;
    int jobs = kDefaultJobs;
    double timeoutSeconds = kDefaultTimeoutSeconds;
    DeadChannels dead = DeadChannels::Keep;
    CheckScope scope;
};

int Usage(const std::string& problem) {
    std::fprintf(stderr, "lumora-data check: %s\n", problem.c_str());
    std::fprintf(
        stderr,
        "usage: lumora-data check IN.lmch OUT.lmch [--report FILE.csv] [--jobs N] [--timeout S] "
        "[--drop-dead] [--only COUNTRY,...]\n");
    return 2;
}

std::optional<double> NumberIn(const std::string& text, double low, double high) {
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value) || value < low || value > high)
        return std::nullopt;
    return value;
}

// "de, AT" -> {"de", "AT"}: the codes as typed, blanks trimmed.
std::set<std::string> CountryList(const std::string& text) {
    std::set<std::string> countries;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = std::min(text.find(',', start), text.size());
        std::size_t first = text.find_first_not_of(' ', start);
        std::size_t last = text.find_last_not_of(' ', comma == 0 ? 0 : comma - 1);
        if (first < comma && last != std::string::npos && last >= first)
            countries.insert(text.substr(first, last - first + 1));
        start = comma + 1;
    }
    return countries;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

// The catalogue's own spelling of each code typed after --only ("DE" finds
// "de"); false, with a message, for a code the catalogue does not have.
bool ResolveCountries(const DocNode& catalogue, CheckScope& scope) {
    std::set<std::string> resolved;
    for (const std::string& code : scope.countries) {
        const DocNode* match = catalogue.Child(code);
        for (std::size_t i = 0; match == nullptr && i < catalogue.Children().size(); ++i) {
            if (SameIgnoringCase(catalogue.Children()[i]->Name(), code))
                match = catalogue.Children()[i].get();
        }
        if (match == nullptr) {
            std::fprintf(stderr, "lumora-data check: the catalogue has no country '%s'\n",
                         code.c_str());
            return false;
        }
        resolved.insert(match->Name());
    }
    scope.countries = std::move(resolved);
    return true;
}

// Nothing, with the exit code set, when the command line is wrong.
std::optional<CheckOptions> ParseOptions(const Arguments& args, int& exitCode) {
    CheckOptions options;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool takesValue =
            arg == "--report" || arg == "--jobs" || arg == "--timeout" || arg == "--only";
        if (takesValue && i + 1 >= args.size()) {
            exitCode = Usage(arg + " needs a value");
            return std::nullopt;
        }
        if (arg == "--report") {
            options.report = args[++i];
        } else if (arg == "--jobs") {
            std::optional<double> jobs = NumberIn(args[++i], 1, kMaxJobs);
            if (!jobs || *jobs != std::floor(*jobs)) {
                exitCode =
                    Usage("--jobs needs a whole number from 1 to " + std::to_string(kMaxJobs));
                return std::nullopt;
            }
            options.jobs = int(*jobs);
        } else if (arg == "--timeout") {
            std::optional<double> seconds = NumberIn(args[++i], 0.1, kMaxTimeoutSeconds);
            if (!seconds) {
                exitCode = Usage("--timeout needs seconds from 0.1 to 3600");
                return std::nullopt;
            }
            options.timeoutSeconds = *seconds;
        } else if (arg == "--only") {
            options.scope.countries = CountryList(args[++i]);
            if (options.scope.countries.empty()) {
                exitCode = Usage("--only needs at least one country code");
                return std::nullopt;
            }
        } else if (arg == "--drop-dead") {
            options.dead = DeadChannels::Drop;
        } else if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            exitCode = Usage("unknown option " + arg);
            return std::nullopt;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) {
        exitCode = Usage("an input and an output catalogue are required");
        return std::nullopt;
    }
    options.input = positional[0];
    options.output = positional[1];
    return options;
}

// Ctrl+C and SIGTERM end the probes and leave OUT unwritten. The handler
// only stores the signal; the controlling loop passes it on to the probes.
std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int signal) {
    g_signal.store(signal);
}

// Installs the handlers for one run and puts the old ones back. A second
// Ctrl+C ends the tool at once (the handler resets itself), for a probe
// stuck in a name lookup.
class StopSignals {
public:
    StopSignals() {
        g_signal.store(0);
        struct sigaction action = {};
        action.sa_handler = OnStopSignal;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &oldInterrupt_);
        sigaction(SIGTERM, &action, &oldTerminate_);
    }
    ~StopSignals() {
        sigaction(SIGINT, &oldInterrupt_, nullptr);
        sigaction(SIGTERM, &oldTerminate_, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    int Received() const { return g_signal.load(); }

private:
    struct sigaction oldInterrupt_ = {};
    struct sigaction oldTerminate_ = {};
};

// The same address with the same headers is probed once.
struct ProbePlan {
    std::vector<ProbeRequest> requests;
    std::vector<std::size_t> requestOfStream;
};

ProbePlan PlanProbes(const std::vector<CatalogueStream>& streams, const CheckOptions& options) {
    ProbePlan plan;
    std::unordered_map<std::string, std::size_t> known;
    auto deadline = std::chrono::milliseconds(std::llround(options.timeoutSeconds * 1000));
    for (const CatalogueStream& stream : streams) {
        std::string key = stream.address + '\n' + stream.userAgent + '\n' + stream.referrer;
        auto [found, added] = known.emplace(key, plan.requests.size());
        if (added) {
            ProbeRequest request;
            request.address = stream.address;
            request.userAgent = stream.userAgent;
            request.referrer = stream.referrer;
            request.deadline = deadline;
            plan.requests.push_back(std::move(request));
        }
        plan.requestOfStream.push_back(found->second);
    }
    return plan;
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// "45 s", "12 min", "2 h 5 min"
std::string DurationText(long long seconds) {
    if (seconds < 120)
        return std::to_string(seconds) + " s";
    long long minutes = (seconds + 30) / 60;
    if (minutes < 120)
        return std::to_string(minutes) + " min";
    return std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min";
}

// "  120/400 checked, 61 working, 35.2/s, about 8 s left", redrawn in place.
void ShowProgress(const ProbePool& pool, Clock::time_point start) {
    double seconds = SecondsSince(start);
    std::size_t done = pool.Done();
    double rate = seconds > 0 ? double(done) / seconds : 0;
    std::string left =
        rate > 0 ? DurationText(std::llround(double(pool.Total() - done) / rate)) : "?";
    std::fprintf(stderr, "\r%6zu/%zu checked, %zu working, %.1f/s, about %s left\033[K", done,
                 pool.Total(), pool.Working(), rate, left.c_str());
    std::fflush(stderr);
}

// Runs the probes, showing progress on a terminal. Nothing when a signal
// stopped the run (its number in `signal`).
std::optional<std::vector<ProbeResult>> RunProbes(std::vector<ProbeRequest> requests, int jobs,
                                                  int& signal) {
    StopSignals signals;
    const bool terminal = isatty(STDERR_FILENO) == 1;
    const Clock::time_point start = Clock::now();
    ProbePool pool(std::move(requests), jobs);
    pool.Start();
    while (!pool.WaitFor(kProgressPeriod)) {
        if (signals.Received() != 0)
            pool.Stop();
        if (terminal)
            ShowProgress(pool, start);
    }
    if (terminal) {
        ShowProgress(pool, start);
        std::fputc('\n', stderr);
    }
    std::vector<ProbeResult> results = pool.Join();
    signal = signals.Received();
    if (signal != 0)
        return std::nullopt;
    return results;
}

void PrintSummary(const std::vector<CatalogueStream>& streams,
                  const std::vector<ProbeResult>& results, std::size_t probes, double seconds) {
    std::map<std::string_view, std::size_t> byResult;
    for (const ProbeResult& result : results)
        ++byResult[OutcomeText(result.outcome)];
    std::printf("checked %zu streams (%zu addresses) in %.1f s\n", streams.size(), probes, seconds);
    for (const auto& [result, count] : byResult)
        std::printf("  %-16s %zu\n", std::string(result).c_str(), count);
}

void PrintWritten(const CheckOptions& options, const RankedCatalogue& ranked) {
    std::printf("wrote %s: %zu channels", options.output.c_str(), ranked.channels);
    if (options.dead == DeadChannels::Drop)
        std::printf(", %zu without a working stream left out", ranked.dropped);
    std::printf("\n");
}

// Whether a file can be made next to `path` (its "PATH.tmp", removed again).
bool CanWrite(const std::string& path) {
    const std::string probe = path + ".tmp";
    std::FILE* file = std::fopen(probe.c_str(), "wb");
    if (file == nullptr)
        return false;
    std::fclose(file);
    std::remove(probe.c_str());
    return true;
}

}  // namespace

int RunCheck(const Arguments& args) {
    int exitCode = 0;
    std::optional<CheckOptions> options = ParseOptions(args, exitCode);
    if (!options)
        return exitCode;

    DocNode input;
    if (!input.LoadFromFile(FromUtf8(options->input))) {
        std::fprintf(stderr, "lumora-data check: %s: cannot be read as a document\n",
                     options->input.c_str());
        return 1;
    }
    if (!ResolveCountries(input, options->scope))
        return 1;
    // Found out now rather than after an hour of probing.
    for (const std::optional<std::string>& path :
         {std::optional(options->output), options->report}) {
        if (path && !CanWrite(*path)) {
            std::fprintf(stderr, "lumora-data check: %s: cannot be written\n", path->c_str());
            return 1;
        }
    }

    const Clock::time_point start = Clock::now();
    const std::vector<CatalogueStream> streams = CollectStreams(input, options->scope);
    ProbePlan plan = PlanProbes(streams, *options);
    const std::size_t probes = plan.requests.size();
    std::string problem;
    if (probes > 0 && LoadProbeEngine(&problem) == nullptr) {
        std::fprintf(stderr, "lumora-data check: %s\n", problem.c_str());
        return 1;
    }
    int signal = 0;
    std::optional<std::vector<ProbeResult>> probed =
        RunProbes(std::move(plan.requests), options->jobs, signal);
    if (!probed) {
        std::fprintf(stderr, "lumora-data check: stopped; %s was not written\n",
                     options->output.c_str());
        return 128 + signal;
    }
    std::vector<ProbeResult> results;
    for (std::size_t request : plan.requestOfStream)
        results.push_back((*probed)[request]);
    ResultOfStream resultOfStream;
    for (std::size_t i = 0; i < streams.size(); ++i)
        resultOfStream[streams[i].node] = &results[i];

    RankedCatalogue ranked = RankStreams(input, options->scope, resultOfStream, options->dead);
    if (!ranked.document->SaveToFile(FromUtf8(options->output))) {
        std::fprintf(stderr, "lumora-data check: %s: cannot be written\n", options->output.c_str());
        return 1;
    }
    if (options->report && !WriteCheckReport(*options->report, CheckReportText(streams, results))) {
        std::fprintf(stderr, "lumora-data check: %s: cannot be written\n",
                     options->report->c_str());
        return 1;
    }
    PrintSummary(streams, results, probes, SecondsSince(start));
    PrintWritten(*options, ranked);
    return 0;
}

}  // namespace lumora::tools
