#!/bin/bash
# Crawl benchmark: trawlkit-cli against GNU Wget on a synthetic site served by nginx on
# 127.0.0.1. Run by hand, never by CTest:
#   [REPEAT=3] [TMPDIR=/dev/shm] bench/crawl_bench.sh BUILD_DIR [PAGES...]      (default pages: 1000 10000)
# Prints files per second (fastest of REPEAT runs) and peak memory of both and their ratio.
# Build trawlkit-cli with -DCMAKE_BUILD_TYPE=Release and without sanitizers for real figures.
set -euo pipefail

build=${1:?usage: crawl_bench.sh BUILD_DIR [PAGES...]}
shift
sizes=("${@:-1000 10000}")
[ $# -eq 0 ] && sizes=(1000 10000)
repeat=${REPEAT:-3}
here=$(dirname "$(realpath "$0")")
# shellcheck source=bench_lib.sh
. "$here/bench_lib.sh"

min() { /usr/bin/python3 -c "import sys; print(min(float(sys.argv[1]), float(sys.argv[2])))" "$1" "$2"; }
max() { /usr/bin/python3 -c "import sys; print(max(int(float(sys.argv[1])), int(float(sys.argv[2]))))" "$1" "$2"; }
count_files() { find "$1" -type f ! -name Trawlkit.txt | wc -l; }

printf "%-7s %-9s %8s %9s %10s %9s\n" pages tool files seconds files/s peak_MiB
for pages in "${sizes[@]}"; do
  site="$work/site$pages"
  /usr/bin/python3 "$here/make_site.py" "$site" "$pages"
  # nginx's workers drop root to an unprivileged user, who must be able to read the site.
  chmod -R a+rX "$work"
  start_nginx "$site"
  url="http://127.0.0.1:$port/index.html"

  # The machine is shared: each tool runs $repeat times, alternating, and its fastest run counts.
  t_secs=1e9; w_secs=1e9; t_rss=0; w_rss=0
  for _ in $(seq "$repeat"); do
    rm -rf "$work/t$pages" "$work/w$pages" "$work/cache"
    read -r secs rss < <(XDG_CACHE_HOME="$work/cache" measure "$work/t.time" \
      "$cli" -q -u "$url" -d "$work/t$pages" -l 10 --server-tree --no-cache --no-confirm)
    t_secs=$(min "$t_secs" "$secs"); t_rss=$(max "$t_rss" "$rss")
    read -r secs rss < <(cd "$work" && measure "$work/w.time" wget -q -r -l inf -k -P "$work/w$pages" "$url")
    w_secs=$(min "$w_secs" "$secs"); w_rss=$(max "$w_rss" "$rss")
  done
  t_files=$(count_files "$work/t$pages")
  w_files=$(count_files "$work/w$pages")

  /usr/bin/python3 - "$pages" "$t_files" "$t_secs" "$t_rss" "$w_files" "$w_secs" "$w_rss" <<'PY'
import sys
pages, tf, ts, tr, wf, ws, wr = sys.argv[1:]
tf, wf, ts, ws, tr, wr = int(tf), int(wf), float(ts), float(ws), int(tr), int(wr)
trate, wrate = tf / max(ts, 1e-3), wf / max(ws, 1e-3)
print("%-7s %-9s %8d %9.2f %10.1f %9.1f" % (pages, "trawlkit", tf, ts, trate, tr / 1024))
print("%-7s %-9s %8d %9.2f %10.1f %9.1f" % (pages, "wget", wf, ws, wrate, wr / 1024))
print("%-7s ratio files/s trawlkit/wget: %.2f" % (pages, trate / max(wrate, 1e-9)))
PY
  kill "$nginx_pid" 2>/dev/null; wait "$nginx_pid" 2>/dev/null || true
  nginx_pid=
  rm -rf "$work/t$pages" "$work/w$pages"
done
