#!/bin/sh
# http_servers.sh start|stop DIR: nginx serving www/ (and DIR/www/data.bin, 16 KiB of random
# bytes) and tinyproxy, each on a free loopback port in a session of its own; "start" writes
# DIR/server.env (HTTP_PORT, PROXY_PORT, HTTP_ROOT, NGINX_PID, TINYPROXY_PID), "stop" ends both.
set -eu
here=$(dirname "$(readlink -f "$0")")
dir=$(mkdir -p "$2" && readlink -f "$2")

stop() {
  [ -f "$dir/server.env" ] || return 0
  for pid in $(sed -n 's/^\(NGINX\|TINYPROXY\)_PID=//p' "$dir/server.env"); do
    # Only a server of this folder: the PID of one long gone may be another program's by now.
    grep -qF "$dir" "/proc/$pid/cmdline" 2>/dev/null && kill "$pid"
    for _ in $(seq 100); do grep -qF "$dir" "/proc/$pid/cmdline" 2>/dev/null || break; sleep 0.1; done
  done
  rm -f "$dir/server.env"
}

# start_server NAME COMMAND...: NAME.conf.in filled in; up to five free ports tried (one may be taken meanwhile).
start_server() {
  name=$1; shift
  for _ in 1 2 3 4 5; do
    port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    sed "s|@DIR@|$dir|g; s|@PORT@|$port|g" "$here/$name.conf.in" > "$dir/$name.conf"
    setsid "$@" < /dev/null > "$dir/$name.out" 2>&1 & pid=$!
    for _ in $(seq 100); do  # curl succeeds on any HTTP answer, tinyproxy's 400 included
      kill -0 "$pid" 2>/dev/null && curl -so /dev/null "http://127.0.0.1:$port/" && return 0
      sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
  done
  echo "http_servers: $name did not start:" >&2; cat "$dir/$name.out" >&2; return 1
}
case $1 in
  stop) stop ;;
  start)
    stop
    rm -rf "$dir/www" && mkdir -p "$dir/temp" && cp -r "$here/www" "$dir/www"
    head -c 16384 /dev/urandom > "$dir/www/data.bin"
    chmod -R a+rX "$dir"  # nginx's workers run as nobody
    start_server nginx nginx -p "$dir" -c "$dir/nginx.conf" -e "$dir/nginx-error.log" || exit 1
    http_port=$port nginx_pid=$pid
    start_server tinyproxy tinyproxy -d -c "$dir/tinyproxy.conf" || { kill "$nginx_pid"; exit 1; }
    printf 'HTTP_PORT=%s\nPROXY_PORT=%s\nHTTP_ROOT=%s\nNGINX_PID=%s\nTINYPROXY_PID=%s\n' \
      "$http_port" "$port" "$dir/www" "$nginx_pid" "$pid" | tee "$dir/server.env" ;;
  *) echo "usage: $0 start|stop DIR" >&2; exit 2 ;;
esac
