#!/bin/bash
# The wizard's download page against trawlkit-cli on the same crawl of a synthetic site served by
# nginx on 127.0.0.1, both with the settings
#   -l 10 --server-tree --no-cache --no-confirm
# Run by hand, never by CTest, on a Release build without sanitizers:
#   cmake --build BUILD_DIR --target trawlkit-cli wizard_bench
#   [REPEAT=3] [CANCEL_AFTER_MS=1000] [TMPDIR=/var/tmp] bench/wizard_bench.sh BUILD_DIR [PAGES] [cross]
# (default 10000 pages of the tree site; "cross" for the site with cross links). Prints the
# fastest of REPEAT alternating runs of each and their ratio; for the wizard also the longest
# time its GUI thread did not answer (stall), what one display update costs once the log box
# holds the whole run (drain), and whether the box holds the run log exactly. Then one run
# cancelled CANCEL_AFTER_MS into it: from OK in the question to the worker's end and to the
# window closing. The wizard runs headless (QT_QPA_PLATFORM=offscreen); its figure is from
# entering the download page until Finish is offered, the CLI's the whole process.
set -euo pipefail

build=${1:?usage: wizard_bench.sh BUILD_DIR [PAGES] [cross]}
pages=${2:-10000}
kind=${3:-tree}
repeat=${REPEAT:-3}
here=$(dirname "$(realpath "$0")")
# The copies and the settings on the disk, as a user has them.
export TMPDIR=${TMPDIR:-/var/tmp}
# shellcheck source=bench_lib.sh
. "$here/bench_lib.sh"
gui=$build/bench/wizard_bench
[ -x "$gui" ] || { echo "build the wizard_bench target in $build first" >&2; exit 1; }
gui=$(realpath "$gui")

min() { /usr/bin/python3 -c "import sys; print(min(float(sys.argv[1]), float(sys.argv[2])))" "$1" "$2"; }
field() { sed -n "s/.*\b$1=\([^ ]*\).*/\1/p" <<<"$2"; }
count_files() { find "$1" -type f ! -name Trawlkit.txt | wc -l; }

site="$work/site"
start_nginx "$site"  # the port goes into the absolute links of the cross site
if [ "$kind" = cross ]; then
  /usr/bin/python3 "$here/make_site.py" "$site" "$pages" cross "http://127.0.0.1:$port"
else
  /usr/bin/python3 "$here/make_site.py" "$site" "$pages"
fi
chmod -R a+rX "$work"
url="http://127.0.0.1:$port/index.html"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache"
export QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_CONFIG_HOME"

c_secs=1e9; g_secs=1e9; g_best=
for _ in $(seq "$repeat"); do
  rm -rf "$work/c" "$work/g"
  read -r secs _ < <(measure "$work/c.time" "$cli" -q -u "$url" -d "$work/c" -l 10 --server-tree --no-cache --no-confirm)
  c_secs=$(min "$c_secs" "$secs")
  # A run whose box differs from the run log still has its time; log_ok below shows it.
  line=$("$gui" "$url" "$work/g") || [ -n "$(field seconds "$line")" ] || { echo "wizard run failed: $line" >&2; exit 1; }
  secs=$(field seconds "$line")
  if [ "$(min "$g_secs" "$secs")" != "$g_secs" ]; then g_secs=$secs; g_best=$line; fi
done
c_files=$(count_files "$work/c"); g_files=$(count_files "$work/g")
[ "$c_files" = "$g_files" ] || echo "warning: the CLI saved $c_files files, the wizard $g_files" >&2

rm -rf "$work/x"
cancel=$("$gui" "$url" "$work/x" "${CANCEL_AFTER_MS:-1000}") || echo "warning: the cancelled run did not stop" >&2

printf "%-6s %-6s %7s %8s %8s %8s %10s %9s %9s %7s\n" site pages files cli_s wiz_s wiz/cli wiz_gui_cpu stall_ms drain_ms log_ok
printf "%-6s %-6s %7s %8.3f %8.3f %8.2f %10s %9s %9s %7s\n" "$kind" "$pages" "$g_files" "$c_secs" "$g_secs" \
  "$(/usr/bin/python3 -c "import sys; print(float(sys.argv[2]) / float(sys.argv[1]))" "$c_secs" "$g_secs")" \
  "$(field gui_cpu_s "$g_best")" "$(field stall_ms "$g_best")" "$(field drain_ms "$g_best")" "$(field log_same "$g_best")"
echo "log box lines: $(field lines "$g_best"), one more batch appended in $(field append_ms "$g_best") ms; longest stall began $(field stall_at_ms "$g_best") ms into the run," \
  "the GUI thread busy $(field stall_cpu_ms "$g_best") ms of it"
echo "cancel after ${CANCEL_AFTER_MS:-1000} ms: worker ended $(field cancel_ms "$cancel") ms after OK," \
  "window closed after $(field closed_ms "$cancel") ms," \
  "longest stall $(field stall_ms "$cancel") ms at $(field stall_at_ms "$cancel") ms" \
  "(busy $(field stall_cpu_ms "$cancel") ms)"
