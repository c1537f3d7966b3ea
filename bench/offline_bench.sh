#!/bin/bash
# Whole-crawl benchmark with links rewritten, and how well each copy browses offline:
# trawlkit-cli against GNU Wget (-r -l inf -k -E) on the two synthetic sites of make_site.py
# (a tree, and one with cross links in every spelling), served by nginx on 127.0.0.1. Run by
# hand, never by CTest:
#   [REPEAT=5] [TMPDIR=/dev/shm] bench/offline_bench.sh BUILD_DIR [PAGES...]  (default: 1000 10000)
# Both tools write tens of thousands of small files; in a tmpfs TMPDIR the figures measure the
# tools rather than the disk's writeback, which on a shared machine varies run to run.
# BUILD_DIR holds a Release build without sanitizers, e.g.
#   cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRAWLKIT_GUI=OFF
#   cmake --build build-release --target trawlkit-cli
# Prints, per size and tool: files saved, seconds (fastest of REPEAT alternating runs), files
# per second, peak memory (largest of the runs), and from offline_links.py the links of the
# saved pages that lead to a local file, that lead nowhere (dangling), that name the server
# (remote: absolute URLs), and the site's files that have no copy. Then the ratios and the goals: at least 2x Wget's files per
# second, under 64 MiB at 10,000 pages, 10x the pages in at most 12x the time.
set -euo pipefail

build=${1:?usage: offline_bench.sh BUILD_DIR [PAGES...]}
shift
sizes=("$@")
[ $# -eq 0 ] && sizes=(1000 10000)
repeat=${REPEAT:-5}
here=$(dirname "$(realpath "$0")")
py=/usr/bin/python3
# shellcheck source=bench_lib.sh
. "$here/bench_lib.sh"

run_trawlkit() {  # dir url
  XDG_CACHE_HOME="$work/cache" measure "$work/time.txt" \
    "$cli" -q -u "$2" -d "$1" -l 10 --server-tree --no-cache --no-confirm
}
run_wget() {  # dir url
  (cd "$work" && measure "$work/time.txt" wget -q -r -l inf -k -E -P "$1" "$2")
}

results=$work/results.txt
: > "$results"
printf "%-6s %-6s %-9s %6s %8s %9s %8s %7s %7s %7s %7s %7s\n" \
  site pages tool files seconds files/s peakMiB links local dangling remote missing
for kind in ${KINDS:-tree cross}; do
for pages in "${sizes[@]}"; do
  site="$work/site$pages"
  mkdir -p "$site"
  # nginx's workers drop root to an unprivileged user, who must be able to read the site.
  chmod -R a+rX "$work"
  # Started first: the cross site's absolute links name the server's own address.
  start_nginx "$site"
  $py "$here/make_site.py" "$site" "$pages" "$kind" "http://127.0.0.1:$port"
  chmod -R a+rX "$site"
  url="http://127.0.0.1:$port/index.html"
  declare -A best=([trawlkit]=1e9 [wget]=1e9) peak=([trawlkit]=0 [wget]=0)
  # The machine is shared: the tools alternate, and each one's fastest run counts.
  for _ in $(seq "$repeat"); do
    for tool in trawlkit wget; do
      rm -rf "$work/$tool$pages" "$work/cache"
      read -r secs rss < <("run_$tool" "$work/$tool$pages" "$url")
      best[$tool]=$($py -c "import sys; print(min(float(sys.argv[1]), float(sys.argv[2])))" "${best[$tool]}" "$secs")
      peak[$tool]=$(( rss > ${peak[$tool]} ? rss : ${peak[$tool]} ))
    done
  done
  stop_nginx
  for tool in trawlkit wget; do
    counts=$($py "$here/offline_links.py" "$work/$tool$pages" "$site")
    echo "$kind $pages $tool ${best[$tool]} ${peak[$tool]} $counts" >> "$results"
    $py - "$kind" "$pages" "$tool" "${best[$tool]}" "${peak[$tool]}" "$counts" <<'PY'
import sys
kind, pages, tool, secs, rss, counts = sys.argv[1], sys.argv[2], sys.argv[3], float(sys.argv[4]), int(sys.argv[5]), sys.argv[6]
c = dict(kv.split("=") for kv in counts.split())
print("%-6s %-6s %-9s %6s %8.3f %9.1f %8.1f %7s %7s %7s %7s %7s" % (
    kind, pages, tool, c["files"], secs, int(c["files"]) / max(secs, 1e-3), rss / 1024,
    c["links"], c["local"], c["dangling"], c["remote"], c["missing"]))
PY
  done
  rm -rf "$work/trawlkit$pages" "$work/wget$pages" "$site"
done
done

$py - "$results" <<'PY'
import sys
every = {}
for line in open(sys.argv[1]):
    kind, pages, tool, secs, rss, *counts = line.split()
    c = dict(kv.split("=") for kv in counts)
    every.setdefault(kind, {})[(int(pages), tool)] = (float(secs), int(rss), int(c["files"]), int(c["dangling"]))
for kind, rows in every.items():
  sizes = sorted({p for p, _ in rows})
  print("\n%s site:" % kind)
  for p in sizes:
    dangling = rows[(p, "trawlkit")][3]
    print("%6d pages: trawlkit links leading nowhere %d (goal 0: %s), wget %d" % (
        p, dangling, "met" if dangling == 0 else "MISSED", rows[(p, "wget")][3]))
    ts, tr, tf, _ = rows[(p, "trawlkit")]
    ws, wr, wf, _ = rows[(p, "wget")]
    ratio = (tf / ts) / (wf / ws)
    print("%6d pages: files/s trawlkit/wget %.2f (goal >= 2: %s); peak MiB %.1f vs %.1f%s" % (
        p, ratio, "met" if ratio >= 2 else "MISSED", tr / 1024, wr / 1024,
        "" if p != 10000 else " (goal < 64: %s)" % ("met" if tr / 1024 < 64 else "MISSED")))
  for small, large in zip(sizes, sizes[1:]):
    if large == 10 * small:
        for tool in ("trawlkit", "wget"):
            growth = rows[(large, tool)][0] / rows[(small, tool)][0]
            goal = " (goal <= 12: %s)" % ("met" if growth <= 12 else "MISSED") if tool == "trawlkit" else ""
            print("%s: %d pages take %.1fx the time of %d%s" % (tool, large, growth, small, goal))
PY
