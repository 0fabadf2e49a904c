"""Prints the page-load table of scripts/bench.sh from the lines bench/page_load.js wrote.

Each line: load SERVER ROUND KIND PAGE MS DOC NET REQUESTS NETWORK BYTES. Per server and kind
(first load, reload) it prints the sum over the pages of each page's median time to the load
event, the ratio to nginx, and how many of a page's requests reached the server (median over
pages), which shows who revalidates what on a reload; then the same sums for the time to the last
byte of any request, the part the server decides, with less of the browser's own work in it; then
each page's medians, and PASS/MISS for ours <= nginx (load event).
"""
import statistics
import sys

SERVERS = ["ours", "nginx", "python"]
KINDS = [("first", "first load (empty cache)"), ("reload", "reload (revalidation)")]


def read_loads(path):
    times, last_byte, network, pages, rounds = {}, {}, {}, [], set()
    for line in open(path):
        fields = line.split()
        if len(fields) != 11 or fields[0] != "load":
            continue
        _, server, round_number, kind, page, ms, _doc, net, _requests, reached, _bytes = fields
        times.setdefault((server, kind, page), []).append(float(ms))
        last_byte.setdefault((server, kind, page), []).append(float(net))
        network.setdefault((server, kind, page), []).append(int(reached))
        rounds.add(round_number)
        if page not in pages:
            pages.append(page)
    return times, last_byte, network, pages, len(rounds)


def sums(times, pages, kind):
    """Per server, the sum over the pages of each page's median, or None when one is missing."""
    total = {}
    for server in SERVERS:
        medians = [statistics.median(times[(server, kind, p)])
                   for p in pages if (server, kind, p) in times]
        total[server] = sum(medians) if len(medians) == len(pages) else None
    return total


def ratio_cells(total):
    nginx = total["nginx"]
    return "".join(
        f"{total[s] / nginx:>{w}.2f}x" if nginx and total[s] is not None else f"{'-':>{w + 1}}"
        for s, w in (("ours", 11), ("python", 13)))


def time_cells(total):
    return "".join(f"{total[s]:>9.0f} ms" if total[s] is not None else f"{'-':>12}"
                   for s in SERVERS)


def main(path):
    times, last_byte, network, pages, rounds = read_loads(path)
    if not pages:
        print("page load: no measurements (see the messages above)")
        return 1
    print(f"Page loads in headless Chromium, {len(pages)} pages of python3.11-doc, {rounds} rounds "
          "interleaved; time to the load event, sum of the per-page medians:")
    print(f"{'':28}" + "".join(f"{s:>12}" for s in SERVERS) +
          f"{'ours/nginx':>12}{'python/nginx':>14}{'requests to server':>22}  result")
    misses = 0
    for kind, label in KINDS:
        total = sums(times, pages, kind)
        nginx = total["nginx"]
        reached = {}
        for server in SERVERS:
            counts = [statistics.median(network[(server, kind, p)])
                      for p in pages if (server, kind, p) in network]
            reached[server] = statistics.median(counts) if counts else None
        cells = time_cells(total)
        ratios = ratio_cells(total)
        requests = "/".join(f"{reached[s]:.0f}" if reached[s] is not None else "-" for s in SERVERS)
        verdict = ("PASS" if nginx and total["ours"] is not None and total["ours"] <= nginx
                   else "MISS")
        misses += verdict == "MISS"
        print(f"{label:28}{cells}{ratios}{requests:>22}  {verdict}")
    print("  (requests to server: median per page, ours/nginx/python; the rest came from the "
          "browser's cache)")
    print("time to the last byte of any request, sum of the per-page medians:")
    for kind, label in KINDS:
        total = sums(last_byte, pages, kind)
        print(f"{label:28}{time_cells(total)}{ratio_cells(total)}")
    print("per page, median ms to the load event (first / reload):")
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
