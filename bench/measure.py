#!/usr/bin/env python3
"""Measures treeval against the bare-library floor and the peer tools and
writes the results table (Markdown) and the data behind the plot.

Each case is a group of commands doing the same job on the same file. The
commands of a group run in turn, round after round, so that a slow moment
of the machine falls on all of them alike; a set runs on a fresh copy of
the document each time, and the copy is not timed. Wall time is measured
around spawn and wait by the small runone program, peak memory is the
command's maximum resident set.
"""

import argparse
import datetime
import json
import os
import platform
import shutil
import statistics
import subprocess
import sys

VALUE = "changed"


def run_once(runone, argv, work=None, pristine=None):
    """Runs one command through runone; gives (seconds, KiB, status, processor seconds)."""
    if pristine:
        shutil.copyfile(pristine, work)
    env = dict(os.environ, LC_ALL="C")
    out = subprocess.run([runone] + argv, env=env, capture_output=True, text=True, check=True)
    seconds, kib, status, cpu = out.stdout.split()
    return float(seconds), int(kib), int(status), float(cpu)


class Case:
    """One job done by several commands: (label, argv) pairs."""

    def __init__(self, name, kind, size_mb, commands, work=None, pristine=None):
        self.name, self.kind, self.size_mb = name, kind, size_mb
        self.commands = commands
        self.work, self.pristine = work, pristine
        self.samples = {label: [] for label, _ in commands}
        self.failures = {label: 0 for label, _ in commands}

    def run(self, runone, rounds):
        for round_ in range(rounds):
            # Rotate the order so that no command always runs first.
            shift = round_ % len(self.commands)
            for label, argv in self.commands[shift:] + self.commands[:shift]:
                seconds, kib, status, cpu = run_once(runone, argv, self.work, self.pristine)
                if status != 0:
                    self.failures[label] += 1
                self.samples[label].append((seconds, kib, cpu))

    def stats(self, label):
        times = [t for t, _, _ in self.samples[label]]
        rss = max(k for _, k, _ in self.samples[label]) / 1024.0
        cpu = statistics.median(c for _, _, c in self.samples[label])
        return statistics.median(times), min(times), max(times), rss, cpu


def item_count(data, name):
    with open(os.path.join(data, name + ".count")) as f:
        return int(f.read().split()[0])


def middle_item_path(data, name):
    return '/config/item[@id="%d"]/name' % max(1, item_count(data, name) // 2)


def build_cases(args, peers):
    bins = args.bin_dir
    treeval = os.path.join(bins, "src", "treeval", "treeval")
    floor = os.path.join(bins, "bench", "floor")
    cases = []

    def get_commands(path, xpath):
        commands = [("treeval", [treeval, path, xpath]), ("floor", [floor, path, xpath])]
        if "xmllint" in peers:
            commands.append(("xmllint --xpath", ["xmllint", "--xpath", xpath, path]))
        if "xmlstarlet" in peers:
            commands.append(("xmlstarlet sel", ["xmlstarlet", "sel", "-t", "-v", xpath, path]))
        return commands

    def add_get(name, kind, size, path, xpath):
        cases.append(Case(name, kind, size, get_commands(path, xpath)))

    def add_set(name, kind, size, pristine, xpath, create_path=None):
        work = os.path.join(args.data, "work.xml")
        commands = [
            ("treeval", [treeval, work, xpath, VALUE]),
            ("floor", [floor, work, xpath, VALUE]),
        ]
        if create_path:
            commands.append(("treeval, new 10-level path", [treeval, work, create_path, VALUE]))
        if "xmlstarlet" in peers:
            commands.append(
                ("xmlstarlet ed -L", ["xmlstarlet", "ed", "-L", "-u", xpath, "-v", VALUE, work]))
        cases.append(Case(name, kind, size, commands, work, pristine))

    tiny = os.path.join(args.data, "tiny.xml")
    add_get("start-up, tiny file, get", "tiny-get", 0, tiny, "/config/item/name")
    ten_levels = "/config/" + "/".join("level%d" % i for i in range(1, 11))
    for size in args.sizes:
        name = "wide-%s" % size
        path = os.path.join(args.data, name + ".xml")
        xpath = middle_item_path(args.data, name)
        add_get("get, wide %s MB" % size, "get", float(size), path, xpath)
        add_set("set, wide %s MB" % size, "set", float(size), path, xpath, ten_levels)
    deep = os.path.join(args.data, "deep.xml")
    deep_leaf = '/config/chain[@n="%d"]/' % max(1, item_count(args.data, "deep") // 2)
    deep_leaf += "d/" * 198 + "leaf"
    add_get("get, deep", "deep-get", 0, deep, deep_leaf)
    add_set("set, deep", "deep-set", 0, deep, deep_leaf)
    text = os.path.join(args.data, "text.xml")
    add_get("get, large text", "text-get", 0, text, "/config/text")
    add_set("set, large text", "text-set", 0, text, "/config/text")
    return cases


def reference_label(case):
    """The peer a case's ratios are taken against."""
    if case.kind.endswith("set"):
        return "xmlstarlet ed -L"
    return "xmllint --xpath"


def ratio(a, b):
    return "%.2f" % (a / b) if b else "-"


def table(case):
    ref = reference_label(case)
    floor_stats = case.stats("floor")
    ref_stats = case.stats(ref) if ref in case.samples else None
    lines = [
        "### " + case.name,
        "",
        "| command | median s | min-max s | processor s | peak RSS MiB | time / floor "
        "| time / %s | RSS / floor | RSS / %s |" % (ref, ref),
        "|---|---:|---:|---:|---:|---:|---:|---:|---:|",
    ]
    for label, _ in case.commands:
        median, low, high, rss, cpu = case.stats(label)
        failed = " (%d failed)" % case.failures[label] if case.failures[label] else ""
        lines.append("| %s%s | %.4f | %.4f-%.4f | %.4f | %.1f | %s | %s | %s | %s |" % (
            label, failed, median, low, high, cpu, rss,
            ratio(median, floor_stats[0]), ratio(median, ref_stats[0]) if ref_stats else "-",
            ratio(rss, floor_stats[3]), ratio(rss, ref_stats[3]) if ref_stats else "-"))
    return lines + [""]


def benchmark_results(path):
    """Google Benchmark's JSON output by benchmark name: (real, processor) time in ns."""
    if not path or not os.path.exists(path):
        return {}
    with open(path) as f:
        data = json.load(f)
    units = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}
    return {b["name"]: (b["real_time"] * units[b.get("time_unit", "ns")],
                        b["cpu_time"] * units[b.get("time_unit", "ns")])
            for b in data.get("benchmarks", []) if b.get("run_type") != "aggregate"}


def goal(text, value, limit, cpu=None):
    """One row: the measured ratio, the processor-time ratio where there is one."""
    shown_cpu = "%.3f" % cpu if cpu is not None else "-"
    if value is None:
        return "| %s | not measured | %s | %s | - |" % (text, shown_cpu, limit)
    return "| %s | %.3f | %s | %s | %s |" % (text, value, shown_cpu, limit,
                                           "met" if value <= limit else "**not met**")


WALL, RSS, CPU = 0, 3, 4


def goals(cases, micro):
    def find(kind, size=None):
        for case in cases:
            if case.kind == kind and (size is None or case.size_mb == size):
                return case
        return None

    def case_ratio(case, label, ref, column=WALL):
        if not case or label not in case.samples or ref not in case.samples:
            return None
        return case.stats(label)[column] / case.stats(ref)[column]

    def time_goal(text, case, label, ref, limit):
        return goal(text, case_ratio(case, label, ref), limit, case_ratio(case, label, ref, CPU))

    rows = ["| goal | measured | processor time | limit | |", "|---|---:|---:|---:|---|"]
    for size in (10.0, 100.0):
        get = find("get", size)
        rows.append(time_goal("get %g MB: time / xmllint" % size, get, "treeval",
                              "xmllint --xpath", 0.4))
        rows.append(goal("get %g MB: peak RSS / xmllint" % size,
                         case_ratio(get, "treeval", "xmllint --xpath", RSS), 1.0))
    for size in (10.0, 100.0):
        rows.append(time_goal("set %g MB: time / xmlstarlet ed -L" % size, find("set", size),
                              "treeval", "xmlstarlet ed -L", 0.5))
    for size in (10.0, 100.0):
        rows.append(time_goal("set %g MB: new 10-level path / existing value" % size,
                              find("set", size), "treeval, new 10-level path", "treeval", 1.1))
    rows.append(time_goal("start-up, tiny file: time / xmllint", find("tiny-get"), "treeval",
                          "xmllint --xpath", 1.05))
    # Processor time, which other processes on the machine disturb less.
    cpu = {name: times[1] for name, times in micro.items()}
    # The time at 0 is the evaluation every run pays; linear work above it
    # grows tenfold from 10,000 to 100,000 nodes.
    for name in ("removeSurplusItems", "deleteNodes"):
        fixed, small, large = (cpu.get("%s/%d" % (name, n)) for n in (0, 10000, 100000))
        value = None
        if fixed is not None and small and large and small > fixed:
            value = (large - fixed) / (small - fixed) / 10
        rows.append(goal("%s: ((t(100,000) - t(0)) / (t(10,000) - t(0))) / 10, processor time"
                         % name, value, 1.2))
    functor, cheapest = cpu.get("functorShortName"), cpu.get("storeGetVectorTiny")
    rows.append(goal("silent trace functor / cheapest store operation (getVector, tiny), "
                     "processor time",
                     functor / cheapest if functor and cheapest else None, 0.05))
    return rows


def micro_table(micro):
    def shown(ns):
        if ns < 1e4:
            return "%.1f ns" % ns
        return "%.2f us" % (ns / 1e3) if ns < 1e7 else "%.2f ms" % (ns / 1e6)

    lines = ["| benchmark | real time | processor time |", "|---|---:|---:|"]
    for name, (real, cpu) in micro.items():
        lines.append("| %s | %s | %s |" % (name, shown(real), shown(cpu)))
    return lines


def environment(notes):
    def output(argv):
        try:
            return subprocess.run(argv, capture_output=True, text=True).stdout.strip()
        except OSError:
            return "unknown"

    cpu = "unknown"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    thp = "unknown"
    if os.path.exists("/sys/kernel/mm/transparent_hugepage/enabled"):
        with open("/sys/kernel/mm/transparent_hugepage/enabled") as f:
            thp = f.read().strip()
    here = os.path.dirname(os.path.abspath(__file__))
    return [
        "- date: %s" % datetime.datetime.now().strftime("%Y-%m-%d %H:%M"),
        "- commit: %s" % output(["git", "-C", here, "rev-parse", "--short", "HEAD"]),
        "- machine: %s, %d cores, kernel %s, transparent huge pages: %s" % (
            cpu, os.cpu_count(), platform.release(), thp),
        "- libxml2: %s" % output(["xml2-config", "--version"]),
    ] + ["- " + note for note in notes]


def write_plot_data(cases, prefix):
    """Median seconds by size of the wide cases, one file per kind (get, set)
    and in it one block per command, its title on its first line."""
    for kind in ("get", "set"):
        series = {}
        for case in cases:
            if case.kind != kind:
                continue
            for label, _ in case.commands:
                series.setdefault(label, []).append((case.size_mb, case.stats(label)[0]))
        blocks = []
        for label, points in series.items():
            rows = ['"%s"' % label] + ["%g %.6f" % point for point in points]
            blocks.append("\n".join(rows) + "\n")
        with open("%s-%s.dat" % (prefix, kind), "w") as f:
            f.write("\n\n".join(blocks))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--bin-dir", required=True, help="the build directory")
    parser.add_argument("--data", required=True, help="where the documents are")
    parser.add_argument("--sizes", default="1,10,100", help="sizes of the wide documents, MB")
    parser.add_argument("--runs", type=int, default=5, help="rounds per case")
    parser.add_argument("--tiny-runs", type=int, default=60, help="rounds of the start-up case")
    parser.add_argument("--micro", help="Google Benchmark JSON results to include")
    parser.add_argument("--note", action="append", default=[], help="a line for the header")
    parser.add_argument("--out", required=True, help="the Markdown table to write")
    parser.add_argument("--plot-data", required=True, help="prefix of the plot's data files")
    args = parser.parse_args()
    args.sizes = [s for s in args.sizes.split(",") if s]

    peers = {tool for tool in ("xmllint", "xmlstarlet") if shutil.which(tool)}
    notes = list(args.note)
    for tool in ("xmllint", "xmlstarlet"):
        if tool not in peers:
            notes.append("%s is not installed: its rows are missing" % tool)

    cases = build_cases(args, peers)
    for case in cases:
        rounds = args.tiny_runs if case.kind == "tiny-get" else args.runs
        print("measuring %s (%d rounds)" % (case.name, rounds), file=sys.stderr, flush=True)
        case.run(os.path.join(args.bin_dir, "bench", "runone"), rounds)

    micro = benchmark_results(args.micro)
    lines = ["# Benchmark results", "",
             "Regenerate with `bench/run.sh` (see bench/README.md). Medians of alternating runs "
             "(wall time; processor time is user plus system); a set works on a fresh copy of "
             "the document each run. Ratios are of wall time and peak RSS.", ""]
    lines += environment(notes) + ["", "![time against size](results.png)", "", "## Goals", ""]
    lines += goals(cases, micro) + ["", "## Commands", ""]
    for case in cases:
        lines += table(case)
    if micro:
        lines += ["## Microbenchmarks", ""] + micro_table(micro) + [""]
    with open(args.out, "w") as f:
        f.write("\n".join(lines))
    write_plot_data(cases, args.plot_data)


if __name__ == "__main__":
    main()
