"""Prints the page-load table of scripts/bench.sh from the lines bench/page_load.js wrote.

Each line: load SERVER ROUND KIND PAGE MS REQUESTS NETWORK BYTES. Per server and kind (first load,
reload) it prints the sum over the pages of each page's median time, the ratio to nginx, and how
many of a page's requests reached the server (median over pages), which shows who revalidates
what on a reload. Then each page's medians, and PASS/MISS for ours <= nginx.
"""
import statistics
import sys

SERVERS = ["ours", "nginx", "python"]
KINDS = [("first", "first load (empty cache)"), ("reload", "reload (revalidation)")]


def read_loads(path):
    times, network, pages, rounds = {}, {}, [], set()
    for line in open(path):
        fields = line.split()
        if len(fields) != 9 or fields[0] != "load":
            continue
        _, server, round_number, kind, page, ms, _requests, reached, _bytes = fields
        times.setdefault((server, kind, page), []).append(float(ms))
        network.setdefault((server, kind, page), []).append(int(reached))
        rounds.add(round_number)
        if page not in pages:
            pages.append(page)
    return times, network, pages, len(rounds)


def main(path):
    times, network, pages, rounds = read_loads(path)
    if not pages:
        print("page load: no measurements (see the messages above)")
        return 1
    print(f"Page loads in headless Chromium, {len(pages)} pages of python3.11-doc, {rounds} rounds "
          "interleaved; time to the load event, sum of the per-page medians:")
    print(f"{'':28}" + "".join(f"{s:>12}" for s in SERVERS) +
          f"{'ours/nginx':>12}{'python/nginx':>14}{'requests to server':>22}  result")
    misses = 0
    for kind, label in KINDS:
        total = {}
        reached = {}
        for server in SERVERS:
            medians = [statistics.median(times[(server, kind, p)])
                       for p in pages if (server, kind, p) in times]
            total[server] = sum(medians) if len(medians) == len(pages) else None
            counts = [statistics.median(network[(server, kind, p)])
                      for p in pages if (server, kind, p) in network]
            reached[server] = statistics.median(counts) if counts else None
        cells = "".join(f"{total[s]:>9.0f} ms" if total[s] is not None else f"{'-':>12}"
                        for s in SERVERS)
        nginx = total["nginx"]
        ratios = "".join(
            f"{total[s] / nginx:>{w}.2f}x" if nginx and total[s] is not None else f"{'-':>{w + 1}}"
            for s, w in (("ours", 11), ("python", 13)))
        requests = "/".join(f"{reached[s]:.0f}" if reached[s] is not None else "-" for s in SERVERS)
        verdict = ("PASS" if nginx and total["ours"] is not None and total["ours"] <= nginx
                   else "MISS")
        misses += verdict == "MISS"
        print(f"{label:28}{cells}{ratios}{requests:>22}  {verdict}")
    print("  (requests to server: median per page, ours/nginx/python; the rest came from the "
          "browser's cache)")
    print("per page, median ms (first / reload):")
    for page in pages:
        cells = "".join(
            f"{statistics.median(times[(s, 'first', page)]):>8.0f} /"
            f"{statistics.median(times[(s, 'reload', page)]):>6.0f}"
            if (s, "first", page) in times and (s, "reload", page) in times else f"{'-':>16}"
            for s in SERVERS)
        print(f"  {page:30}{cells}")
    print(f"page-load targets missed: {misses} of {len(KINDS)}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
