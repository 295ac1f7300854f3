#!/usr/bin/env python3
"""Prints Google Benchmark JSON files as one ratio table.

Benchmark names are "Case.variant" with Google Benchmark's "/args" behind; within one case
and one argument list, every variant is divided by the variant "ref" of the same run.
"""
import json
import sys


def split(name):
    head, _, args = name.partition("/")
    case, _, variant = head.rpartition(".")
    return (case or head), variant, args


def main(paths):
    benchmarks = []
    for path in paths:
        with open(path) as f:
            benchmarks += json.load(f).get("benchmarks", [])
    rows = {}
    order = []
    for b in benchmarks:
        if b.get("run_type") == "aggregate":
            continue
        case, variant, args = split(b["name"])
        key = (case, args)
        if key not in rows:
            rows[key] = {}
            order.append(key)
        rows[key][variant] = b
    # Interleaved runs arrive shuffled: order by case, then numerically by arguments.
    def arg_key(args):
        return [int(a) if a.isdigit() else 0 for a in args.split("/")] if args else []
    order.sort(key=lambda k: (k[0], arg_key(k[1])))
    print(f"{'case':32} {'args':14} {'variant':12} {'cpu ns':>14} {'ratio':>8}  counters")
    for key in order:
        variants = rows[key]
        ref = variants.get("ref")
        for variant, b in sorted(variants.items(), key=lambda kv: (kv[0] != "ref", kv[0])):
            t = b["cpu_time"] * {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[b.get("time_unit", "ns")]
            ratio = ""
            if ref is not None:
                rt = ref["cpu_time"] * {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[ref.get("time_unit", "ns")]
                ratio = f"{t / rt:8.3f}" if rt > 0 else "     n/a"
            skip = {"name", "run_name", "run_type", "repetitions", "repetition_index", "threads",
                    "iterations", "real_time", "cpu_time", "time_unit", "family_index",
                    "per_family_instance_index", "aggregate_name", "aggregate_unit", "label"}
            counters = " ".join(f"{k}={v:.4g}" for k, v in b.items()
                                if k not in skip and isinstance(v, (int, float)))
            print(f"{key[0]:32} {key[1]:14} {variant:12} {t:14.1f} {ratio:>8}  {counters}")


if __name__ == "__main__":
    main(sys.argv[1:])
