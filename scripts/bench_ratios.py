#!/usr/bin/env python3
"""Prints Google Benchmark JSON files as one ratio table, each ratio beside its target.

Benchmark names are "Case.variant" with Google Benchmark's "/args" behind; within one case
and one argument list, every variant is divided by the variant "ref" of the same run.
"""
import fnmatch
import json
import os
import sys

TARGETS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "bench", "targets.txt")


def load_targets(path=TARGETS):
    """(pattern, largest ratio) pairs of bench/targets.txt, in file order."""
    rules = []
    if not os.path.exists(path):
        return rules
    with open(path) as f:
        for line in f:
            fields = line.split("#", 1)[0].split()
            if len(fields) >= 2:
                rules.append((fields[0], float(fields[1])))
    return rules


def target_of(rules, case, variant, args):
    name = f"{case}.{variant}" + (f"/{args}" if args else "")
    for pattern, target in rules:
        if fnmatch.fnmatchcase(name, pattern):
            return target
    return None


def split(name):
    head, _, args = name.partition("/")
    case, _, variant = head.rpartition(".")
    return (case or head), variant, args


def main(paths):
    benchmarks = []
    for path in paths:
        with open(path) as f:
            benchmarks += json.load(f).get("benchmarks", [])
    rules = load_targets()
    rows = {}
    order = []
    # With --benchmark_repetitions a case is its median; without, its one run.
    medians = {b["run_name"] for b in benchmarks
               if b.get("run_type") == "aggregate" and b.get("aggregate_name") == "median"}
    for b in benchmarks:
        if b.get("run_type") == "aggregate":
            if b.get("aggregate_name") != "median":
                continue
        elif b.get("run_name", b["name"]) in medians:
            continue
        case, variant, args = split(b.get("run_name", b["name"]) if b.get("run_type") == "aggregate" else b["name"])
        key = (case, args)
        if key not in rows:
            rows[key] = {}
            order.append(key)
        rows[key][variant] = b
    # Interleaved runs arrive shuffled: order by case, then numerically by arguments.
    def arg_key(args):
        return [int(a) if a.isdigit() else 0 for a in args.split("/")] if args else []
    order.sort(key=lambda k: (k[0], arg_key(k[1])))
    print(f"{'case':32} {'args':14} {'variant':12} {'cpu ns':>14} {'ratio':>8} {'target':>7} {'':4}  counters")
    misses = []
    for key in order:
        variants = rows[key]
        ref = variants.get("ref")
        for variant, b in sorted(variants.items(), key=lambda kv: (kv[0] != "ref", kv[0])):
            t = b["cpu_time"] * {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[b.get("time_unit", "ns")]
            ratio = ""
            value = None
            if ref is not None:
                rt = ref["cpu_time"] * {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[ref.get("time_unit", "ns")]
                value = t / rt if rt > 0 else None
                ratio = f"{value:8.3f}" if value is not None else "     n/a"
            target = target_of(rules, key[0], variant, key[1]) if variant != "ref" else None
            verdict = ""
            if target is not None and value is not None:
                verdict = "ok" if value <= target else "MISS"
                if verdict == "MISS":
                    misses.append(f"{key[0]}.{variant}" + (f"/{key[1]}" if key[1] else "") +
                                  f" {value:.3f} > {target:g}")
            shown = f"{target:7g}" if target is not None else ""
            skip = {"name", "run_name", "run_type", "repetitions", "repetition_index", "threads",
                    "iterations", "real_time", "cpu_time", "time_unit", "family_index",
                    "per_family_instance_index", "aggregate_name", "aggregate_unit", "label"}
            counters = " ".join(f"{k}={v:.4g}" for k, v in b.items()
                                if k not in skip and isinstance(v, (int, float)))
            print(f"{key[0]:32} {key[1]:14} {variant:12} {t:14.1f} {ratio:>8} {shown:>7} {verdict:4}  {counters}")
    if misses:
        print("missed targets: " + "; ".join(misses))


if __name__ == "__main__":
    main(sys.argv[1:])
