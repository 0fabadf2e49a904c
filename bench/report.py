"""Prints the table of scripts/bench.sh: medians per server and scenario, ratios against nginx,
then every round's figure beside its median.

Reads the results file: one line per wrk run,
    scenario server round requests bytes micros socket_errors non2xx
and prints the extra file (memory, threads, stop and launch figures) as it is.
"""
import statistics
import sys

SCENARIOS = [  # name, label, unit, target ratio to nginx
    ("small-keepalive", "300 B, keep-alive, 32 conn", "req/s", 1.1),
    ("small-close", "300 B, Connection: close, 32 conn", "req/s", 1.0),
    ("small-304", "300 B, revalidated (304), 32 conn", "req/s", 1.0),
    ("64k", "64 KiB, keep-alive, 32 conn", "req/s", 1.0),
    ("20m", "20 MiB, keep-alive, 4 conn", "MB/s", 1.0),
]
SERVERS = ["ours", "nginx", "python"]


def read_runs(path):
    runs = {}
    for line in open(path):
        scenario, server, _round, requests, size, micros, socket_errors, non2xx = line.split()
        seconds = int(micros) / 1e6
        rate = int(size) / 1e6 / seconds if scenario == "20m" else int(requests) / seconds
        entry = runs.setdefault((scenario, server), {"rates": [], "errors": 0})
        entry["rates"].append(rate)
        entry["errors"] += int(socket_errors) + int(non2xx)
    return runs


def main(results, extras):
    runs = read_runs(results)
    print(f"{'scenario':36}" + "".join(f"{s:>14}" for s in SERVERS) +
          f"{'ours/nginx':>12}{'python/nginx':>14}{'target':>9}  result")
    misses = 0
    for name, label, unit, target in SCENARIOS:
        medians = {}
        for server in SERVERS:
            entry = runs.get((name, server))
            medians[server] = statistics.median(entry["rates"]) if entry else None
        cells = "".join(f"{medians[s]:>9.0f} {unit:<4}" if medians[s] is not None else f"{'-':>14}"
                        for s in SERVERS)
        nginx = medians["nginx"]
        ratio = {s: medians[s] / nginx if nginx and medians[s] is not None else None
                 for s in ("ours", "python")}
        ratios = "".join(f"{ratio[s]:>{w}.2f}x" if ratio[s] is not None else f"{'-':>{w + 1}}"
                         for s, w in (("ours", 11), ("python", 13)))
        verdict = "PASS" if ratio["ours"] is not None and ratio["ours"] >= target else "MISS"
        misses += verdict == "MISS"
        print(f"{label:36}{cells}{ratios}{'>=' + format(target, '.1f') + 'x':>9}  {verdict}")
    print()
    print("each round (ours/nginx of that round):")
    for name, label, unit, _target in SCENARIOS:
        print(f"  {label} ({unit})")
        for server in SERVERS:
            entry = runs.get((name, server))
            if entry:
                rates = ", ".join(f"{rate:.0f}" for rate in entry["rates"])
                print(f"    {server:8}median {statistics.median(entry['rates']):>9.0f}   rounds {rates}")
        ours, nginx = runs.get((name, "ours")), runs.get((name, "nginx"))
        if ours and nginx:
            ratios = ", ".join(f"{a / b:.2f}x" for a, b in zip(ours["rates"], nginx["rates"]) if b)
            print(f"    {'ratio':8}{'':16}   rounds {ratios}")
    for (name, server), entry in sorted(runs.items()):
        if entry["errors"]:
            print(f"  note: {server} had {entry['errors']} socket errors or non-2xx answers in {name}")
    print()
    print(open(extras).read(), end="")
    print(f"\ntargets missed: {misses} of {len(SCENARIOS)}")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
