#!/bin/bash
# Crawl benchmark, as a user runs the program: trawlkit-cli against GNU Wget on two synthetic
# sites served by nginx on 127.0.0.1 — a tree whose pages link to their children, and one with
# cross links between branches in every spelling, and a book of documentation whose every page
# links to its neighbours — with Trawlkit's cache off and on, the cache in its default place under
# a HOME on the disk. Trawlkit follows 10 layers of links on the tree and cross sites and no limit
# on the book, as a user copying documentation would (LAYERS=N or inf sets it for every site).
# Run by hand, never by CTest:
#   [REPEAT=3] [SITES="tree cross book"] [CACHE_PREFILL=100000] bench/crawl_bench.sh BUILD_DIR [PAGES...]
# (default pages: 1000 10000). Prints files per second (fastest of REPEAT runs), peak memory,
# what each URL adds to it (the peak beyond that of a one-page site's run, shared by the URLs
# fetched), the ratio to Wget's files per second and how the time grows with ten times the pages.
# CACHE_PREFILL=N starts every cache-on run with a cache that already holds N entries of earlier
# runs (made by the build's cache_fill tool: cmake --build BUILD_DIR --target cache_fill). TMPDIR
# chooses where the work folder (sites, copies, HOME and its cache) lives; it must be on a disk,
# as a user's home is, not tmpfs.
# Build trawlkit-cli with -DCMAKE_BUILD_TYPE=Release and without sanitizers for real figures.
set -euo pipefail

build=${1:?usage: crawl_bench.sh BUILD_DIR [PAGES...]}
shift
sizes=("$@")
[ $# -eq 0 ] && sizes=(1000 10000)
repeat=${REPEAT:-3}
prefill=${CACHE_PREFILL:-0}
here=$(dirname "$(realpath "$0")")
py=/usr/bin/python3
# shellcheck source=bench_lib.sh
. "$here/bench_lib.sh"

if [ "$(stat -f -c %T "$work")" = tmpfs ]; then
  echo "crawl_bench: $work is on tmpfs; set TMPDIR to a folder on the disk" >&2
  exit 1
fi
filled=
if [ "$prefill" -gt 0 ]; then
  fill=$build/bench/cache_fill
  [ -x "$fill" ] || { echo "crawl_bench: CACHE_PREFILL needs $fill (cmake --build $build --target cache_fill)" >&2; exit 1; }
  # Filled once; each run gets its own copy, linked (the cache replaces files by rename, never
  # in place) except the lock file, which holds the folder's total and is rewritten.
  filled="$work/filled"
  mkdir -p "$filled"
  HOME="$filled" XDG_CACHE_HOME= "$fill" "$prefill" >/dev/null
fi

count_files() { find "$1" -type f ! -name Trawlkit.txt | wc -l; }
fastest() { $py -c "import sys; print(min(float(sys.argv[1]), float(sys.argv[2])))" "$1" "$2"; }
largest() { $py -c "import sys; print(max(int(sys.argv[1]), int(sys.argv[2])))" "$1" "$2"; }

results="$work/results"
: > "$results"

# Every run writes into folders of its own, and nothing is removed until a site's runs are all
# done: on ext4, creating files just after tens of thousands were deleted costs several times the
# kernel time, which would charge one run for the clean-up of the one before it.
runs="$work/runs"
run_number=0
# Sets $out to a new run's folder (not in a subshell, so that the count goes on).
next_run() { run_number=$((run_number + 1)); out="$runs/$run_number"; }

# One Trawlkit run with a fresh copy folder and HOME; the cache starts empty, or as
# CACHE_PREFILL says.
run_trawlkit() {  # out cacheflag
  home="$1.home"
  cache="$home/.cache/trawlkit"
  mkdir -p "$home"
  if [ "$2" = --cache ] && [ -n "$filled" ]; then
    mkdir -p "$home/.cache"
    cp -al "$filled/.cache/trawlkit" "$cache"
    rm "$cache/lock" && cp "$filled/.cache/trawlkit/lock" "$cache/lock"
  fi
  HOME="$home" XDG_CACHE_HOME= measure "$work/t.time" \
    "$cli" -q -u "$url" -d "$1" -l "$layers" --server-tree "$2" --no-confirm
}

for kind in ${SITES:-tree cross book}; do
  layers=${LAYERS:-10}
  [ "$kind" = book ] && layers=${LAYERS:-inf}
  # One page first: what every run holds whatever the site, so that what remains of a run's peak
  # is what its URLs cost.
  for pages in 1 "${sizes[@]}"; do
    site="$work/site-$kind-$pages"
    mkdir -p "$site"
    # nginx's workers drop root to an unprivileged user, who must be able to read the site.
    chmod a+rx "$work"
    # Started first: the cross site's absolute links name the server's own address.
    start_nginx "$site"
    $py "$here/make_site.py" "$site" "$pages" "$kind" "http://127.0.0.1:$port"
    chmod -R a+rX "$site"
    url="http://127.0.0.1:$port/index.html"

    # The machine may be shared: the runs alternate, and each one's fastest counts.
    declare -A secs=([off]=1e9 [on]=1e9 [wget]=1e9) rss=([off]=0 [on]=0 [wget]=0) files=()
    for _ in $(seq "$repeat"); do
      for mode in off on; do
        flag=--no-cache; [ "$mode" = on ] && flag=--cache
        next_run
        run_trawlkit "$out" "$flag" > "$work/t.out"
        read -r s r < "$work/t.out"
        secs[$mode]=$(fastest "${secs[$mode]}" "$s"); rss[$mode]=$(largest "${rss[$mode]}" "$r")
        files[$mode]=$(count_files "$out")
      done
      next_run
      mkdir -p "$out"
      read -r s r < <(cd "$out" && measure "$work/w.time" wget -q -r -l inf -k -P "$out/wget" "$url")
      secs[wget]=$(fastest "${secs[wget]}" "$s"); rss[wget]=$(largest "${rss[wget]}" "$r")
      files[wget]=$(count_files "$out/wget")
    done
    for tool in off on wget; do
      echo "$kind $pages $tool ${files[$tool]} ${secs[$tool]} ${rss[$tool]}" >> "$results"
    done
    stop_nginx
    rm -rf "$site" "$runs"
    unset secs rss files
  done
done

$py - "$results" "$prefill" <<'PY'
import sys
rows = [l.split() for l in open(sys.argv[1])]
prefill = int(sys.argv[2])
by = {(k, int(p), t): (int(f), float(s), int(r)) for k, p, t, f, s, r in rows}
names = {"off": "cache off", "on": "cache on" + (" (%d held)" % prefill if prefill else ""), "wget": "wget -r -k"}


def per_url(kind, pages, tool):
    # The peak beyond a one-page run's, in bytes per URL fetched (each one a file of the copy).
    files, _, rss = by[(kind, pages, tool)]
    base = by[(kind, 1, tool)][2]
    return (rss - base) * 1024 / max(files, 1)


print("%-6s %6s  %-22s %7s %8s %9s %9s %8s %9s" % ("site", "pages", "run", "files", "seconds", "files/s",
                                                   "x wget", "peak MiB", "B/URL"))
for (kind, pages, tool), (files, secs, rss) in by.items():
    if pages == 1:
        continue
    rate = files / max(secs, 1e-3)
    wf, ws, _ = by[(kind, pages, "wget")]
    ratio = rate / max(wf / max(ws, 1e-3), 1e-9)
    print("%-6s %6d  %-22s %7d %8.2f %9.0f %9.2f %8.1f %9.0f" % (kind, pages, names[tool], files, secs, rate,
                                                                ratio, rss / 1024, per_url(kind, pages, tool)))
for kind in sorted({k for k, _, _ in by}):
    print("%-6s one page: peak %.1f MiB with the cache off, %.1f MiB on, wget %.1f MiB" % (
        kind, by[(kind, 1, "off")][2] / 1024, by[(kind, 1, "on")][2] / 1024, by[(kind, 1, "wget")][2] / 1024))
    sizes = sorted({p for k, p, _ in by if k == kind and p > 1})
    for tool in ("off", "on"):
        for small, big in zip(sizes, sizes[1:]):
            a, b = by[(kind, small, tool)], by[(kind, big, tool)]
            print("%-6s %s: %dx the pages in %.1fx the time" % (kind, names[tool], big // small, b[1] / max(a[1], 1e-3)))
    for pages in sizes:
        off, on = by[(kind, pages, "off")], by[(kind, pages, "on")]
        print("%-6s %6d  the cache costs %+.0f%% of the cache-off run time" % (kind, pages,
                                                                           100 * (on[1] - off[1]) / max(off[1], 1e-3)))


# Each goal of the speed and memory work, met or missed, from the figures above.
def verdict(ok):
    return "met" if ok else "MISSED"


def times_wget(kind, pages, tool):
    files, secs, _ = by[(kind, pages, tool)]
    wf, ws, _ = by[(kind, pages, "wget")]
    return (files / max(secs, 1e-3)) / max(wf / max(ws, 1e-3), 1e-9)


print("goals:")
for kind in sorted({k for k, _, _ in by}):
    sizes = sorted({p for k, p, _ in by if k == kind and p > 1})
    for pages in sizes:
        on, off = times_wget(kind, pages, "on"), times_wget(kind, pages, "off")
        cost = (by[(kind, pages, "on")][1] - by[(kind, pages, "off")][1]) / max(by[(kind, pages, "off")][1], 1e-3)
        print("  %-6s %6d  cache on %.2fx wget (>= 2: %s), off %.2fx (>= 3: %s), cache cost %+.0f%% (<= 15%%: %s)" % (
            kind, pages, on, verdict(on >= 2), off, verdict(off >= 3), 100 * cost, verdict(cost <= 0.15)))
        if pages >= 100000:
            for tool in ("off", "on"):
                peak, growth = by[(kind, pages, tool)][2] / 1024, per_url(kind, pages, tool)
                print("  %-6s %6d  %s: peak %.1f MiB (<= 64: %s), %.0f B/URL (<= 300: %s)" % (
                    kind, pages, names[tool], peak, verdict(peak <= 64), growth, verdict(growth <= 300)))
    for small, big in zip(sizes, sizes[1:]):
        for tool in ("off", "on"):
            grow = by[(kind, big, tool)][1] / max(by[(kind, small, tool)][1], 1e-3)
            print("  %-6s %dx the pages, %s: %.1fx the time (<= %.1f: %s)" % (
                kind, big // small, names[tool], grow, 1.05 * big / small, verdict(grow <= 1.05 * big / small)))
PY
