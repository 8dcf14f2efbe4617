#pragma once

// One row of the table that `make bench` ends with: what was measured, our
// figure, the peer's figure (the reference measured in the same run), their
// ratio, the target and whether it was met. Each row is printed and, when
// bench/run.sh runs the benchmark, appended to the file it names in
// LUMORA_BENCH_RESULTS (tab-separated, one row a line; bench/README.md).
// bench/bench_results.py writes the same rows from the scripts.

#include <cstdio>
#include <cstdlib>
#include <string>

namespace lumora::bench {

inline std::string FormatFigure(double value, const char* unit) {
    char text[64];
    const int decimals = value < 1 ? 3 : value < 10 ? 2 : value < 100 ? 1 : 0;
    std::snprintf(text, sizeof text, "%.*f %s", decimals, value, unit);
    return text;
}

inline void AppendRow(const std::string& what, const std::string& ours, const std::string& peer,
                      const std::string& ratio, const std::string& target, bool met) {
    const std::string row = what + '\t' + ours + '\t' + peer + '\t' + ratio + '\t' + target + '\t' +
                            (met ? "met" : "missed") + '\n';
    std::printf("result: %s", row.c_str());
    if (const char* path = std::getenv("LUMORA_BENCH_RESULTS"); path != nullptr && *path != '\0') {
        if (std::FILE* file = std::fopen(path, "a")) {
            std::fputs(row.c_str(), file);
            std::fclose(file);
        }
    }
}

// A ratio with two decimals, or two significant digits below 0.1.
inline std::string FormatRatio(double ratio) {
    char text[32];
    std::snprintf(text, sizeof text, ratio < 0.1 ? "%.2gx" : "%.2fx", ratio);
    return text;
}

// A target on the ratio of our figure to the peer's: ours / peer <= limit.
inline void RecordRatio(const std::string& what, double ours, double peer, const char* unit,
                        double limit) {
    const double ratio = peer > 0 ? ours / peer : 0;
    const std::string ratioText = FormatRatio(ratio);
    const std::string targetText = "<= " + FormatRatio(limit);
    AppendRow(what, FormatFigure(ours, unit), FormatFigure(peer, unit), ratioText, targetText,
              peer > 0 && ratio <= limit);
}

// A target on our figure itself, where what the user feels is the measure
// (a frame: 16 ms). The peer column says what the figure is compared with.
inline void RecordAtMost(const std::string& what, double ours, const char* unit, double limit) {
    AppendRow(what, FormatFigure(ours, unit), "-", "-", "<= " + FormatFigure(limit, unit),
              ours <= limit);
}

}  // namespace lumora::bench
