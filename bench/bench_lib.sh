# Shared by the crawl benchmarks (sourced, not run): the trawlkit-cli of a build folder, a work
# folder removed at exit, nginx on a free loopback port serving a folder, and timing a command.
# The sourcing script sets $build first; this sets $cli, $work and, per start_nginx, $port.

# trawlkit-cli sits at the top of the build folder; older builds kept it under cli/.
cli=$build/trawlkit-cli
[ -x "$cli" ] || cli=$build/cli/trawlkit-cli
cli=$(realpath "$cli")
work=$(mktemp -d "${TMPDIR:-/tmp}/trawlkit-bench-XXXXXX")
nginx_pid=

cleanup() {
  if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; fi
  [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# Sets $port and $nginx_pid (not in a subshell, so cleanup sees the pid).
start_nginx() {  # root
  port=$(free_port)
  mkdir -p "$work/nginx/logs" "$work/nginx/tmp"
  cat > "$work/nginx/nginx.conf" <<CONF
daemon off;
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/logs/error.log;
events { worker_connections 256; }
http {
  access_log off;
  client_body_temp_path $work/nginx/tmp;
  proxy_temp_path $work/nginx/tmp;
  fastcgi_temp_path $work/nginx/tmp;
  uwsgi_temp_path $work/nginx/tmp;
  scgi_temp_path $work/nginx/tmp;
  types { text/html html; image/gif gif; }
  keepalive_requests 100000;
  server { listen 127.0.0.1:$port; root $1; }
}
CONF
  /usr/sbin/nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" &
  nginx_pid=$!
  for _ in $(seq 50); do
    curl -s -o /dev/null "http://127.0.0.1:$port/index.html" && return
    sleep 0.1
  done
  echo "nginx did not answer" >&2
  exit 1
}

stop_nginx() {
  kill "$nginx_pid" 2>/dev/null || true
  wait "$nginx_pid" 2>/dev/null || true
  nginx_pid=
}

# Runs a command under /usr/bin/time -v; prints "seconds maxrss_kib". GNU time shows the wall
# clock in hundredths, too coarse for a run of a tenth of a second, so the seconds come from the
# nanosecond clock read around it (time's own start-up is in both tools' figures alike).
measure() {
  local out=$1; shift
  local start end
  start=$(date +%s%N)
  /usr/bin/time -v -o "$out" "$@" >/dev/null 2>&1 || true
  end=$(date +%s%N)
  /usr/bin/python3 - "$out" "$start" "$end" <<'PY'
import sys
text = open(sys.argv[1]).read()
rss = [l for l in text.splitlines() if "Maximum resident set size" in l][0].split()[-1]
print("%.4f %s" % ((int(sys.argv[3]) - int(sys.argv[2])) / 1e9, rss))
PY
}
