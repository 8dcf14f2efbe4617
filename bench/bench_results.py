"""Rows of the table that `make bench` ends with, written by the benchmark
scripts; the same format as bench/bench_results.h (see bench/README.md).

    import sys; sys.path.insert(0, BENCH_DIR); import bench_results
    bench_results.record_ratio("exec to main window", ours_ms, mpv_ms, "ms", 0.8)
    bench_results.record_at_most("filter change", ours_ms, "ms", 16)

Run as a program it prints the table of a results file:
    python3 bench/bench_results.py RESULTS_FILE
"""
import os
import sys

COLUMNS = ("what", "ours", "peer", "ratio", "target", "verdict")


def figure(value, unit):
    decimals = 3 if value < 1 else 2 if value < 10 else 1 if value < 100 else 0
    return f"{value:.{decimals}f} {unit}"


def ratio_text(ratio):
    """Two decimals, or two significant digits below 0.1."""
    return f"{ratio:.2g}x" if ratio < 0.1 else f"{ratio:.2f}x"


def append_row(what, ours, peer, ratio, target, met):
    row = "\t".join((what, ours, peer, ratio, target, "met" if met else "missed"))
    print(f"result: {row}", flush=True)
    path = os.environ.get("LUMORA_BENCH_RESULTS")
    if path:
        with open(path, "a", encoding="utf-8") as results:
            results.write(row + "\n")


def record_ratio(what, ours, peer, unit, limit):
    """A target on ours / peer <= limit."""
    ratio = ours / peer if peer > 0 else 0.0
    append_row(what, figure(ours, unit), figure(peer, unit), ratio_text(ratio), f"<= {ratio_text(limit)}",
               peer > 0 and ratio <= limit)


def record_at_most(what, ours, unit, limit):
    """A target on our figure itself (ours <= limit)."""
    append_row(what, figure(ours, unit), "-", "-", f"<= {figure(limit, unit)}", ours <= limit)


def print_table(path):
    rows = []
    if os.path.exists(path):
        with open(path, encoding="utf-8") as results:
            rows = [line.rstrip("\n").split("\t") for line in results if line.strip()]
    rows = [row for row in rows if len(row) == len(COLUMNS)]
    widths = [max([len(name)] + [len(row[i]) for row in rows]) for i, name in enumerate(COLUMNS)]
    line = lambda cells: "  ".join(cell.ljust(width) for cell, width in zip(cells, widths)).rstrip()
    print(line(COLUMNS))
    print(line(["-" * width for width in widths]))
    for row in rows:
        print(line(row))
    missed = sum(1 for row in rows if row[-1] != "met")
    print(f"{len(rows)} targets: {len(rows) - missed} met, {missed} missed")


if __name__ == "__main__":
    print_table(sys.argv[1])
