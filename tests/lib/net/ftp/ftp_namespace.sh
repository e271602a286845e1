#!/bin/bash
# ftp_namespace.sh PROGRAM [ARGS...]: runs the program in a network namespace
# of its own (the FTP client's control port is always 21) with pyftpdlib
# (ftp_server.py) on 127.0.0.1:21 serving a new empty folder, named to the
# program in FTP_ROOT, and misbehaving_ftp.py on 127.0.0.2:21; both are
# stopped by their PIDs at the end. Exits with the program's status.
set -u
here=$(cd "$(dirname "$0")" && pwd)
case " $* " in *" --gtest_list_tests "*) exec "$@" ;; esac  # listing tests needs no server
fail() { echo "ftp_namespace.sh: FAILED: $*" >&2; exit 1; }
if [ -z "${FTP_NAMESPACE_MADE:-}" ]; then
  unshare -n true 2>/dev/null || fail "cannot make a network namespace (unshare -n needs root); the FTP tests need one"
  FTP_NAMESPACE_MADE=1 exec unshare -n "$0" "$@"
fi
ip link set lo up || fail "cannot bring up the namespace's loopback"
root=$(mktemp -d /tmp/tarvo-ftp-XXXXXX)
/usr/bin/python3 "$here/ftp_server.py" "$root" 2>"$root.log" & pids=$!
/usr/bin/python3 "$here/misbehaving_ftp.py" 2>>"$root.log" & pids="$pids $!"
trap 'kill $pids 2>/dev/null; wait $pids 2>/dev/null; rm -rf "$root" "$root.log"' EXIT
for host in 127.0.0.1 127.0.0.2; do
  for try in $(seq 200) 0; do
    (exec 3<>/dev/tcp/$host/21) 2>/dev/null && break
    [ "$try" != 0 ] && kill -0 $pids 2>/dev/null || fail "no FTP server on $host:21: $(cat "$root.log")"
    sleep 0.05
  done
done
FTP_ROOT=$root "$@"
