#!/bin/bash
# Runs a program in a network namespace of its own with two FTP servers on
# port 21, the control port the FTP client always uses:
#   ftp_namespace.sh PROGRAM [ARGS...]
# pyftpdlib (ftp_server.py) on 127.0.0.1 serves a new empty folder, named to
# the program in FTP_ROOT; misbehaving_ftp.py listens on 127.0.0.2. Both are
# stopped by their PIDs when the program ends; the program's exit status is
# the script's. Listing a GoogleTest program's tests needs no servers.
set -u
here=$(cd "$(dirname "$0")" && pwd)
case " $* " in *" --gtest_list_tests "*) exec "$@" ;; esac

if [ -z "${FTP_NAMESPACE_MADE:-}" ]; then
  if ! unshare -n true 2>/dev/null; then
    echo "ftp_namespace.sh: FAILED: cannot make a network namespace (unshare -n needs root);" \
      "the FTP tests need one so that port 21 is free and nothing leaves the machine." >&2
    exit 1
  fi
  FTP_NAMESPACE_MADE=1 exec unshare -n "$0" "$@"
fi

ip link set lo up || { echo "ftp_namespace.sh: FAILED: cannot bring up the namespace's loopback" >&2; exit 1; }
root=$(mktemp -d /tmp/tarvo-ftp-XXXXXX)
/usr/bin/python3 "$here/ftp_server.py" "$root" 2>"$root.log" &
pids=$!
/usr/bin/python3 "$here/misbehaving_ftp.py" 2>>"$root.log" &
pids="$pids $!"
stop() {
  kill $pids 2>/dev/null
  wait $pids 2>/dev/null
  rm -rf "$root" "$root.log"
}
trap stop EXIT
for host in 127.0.0.1 127.0.0.2; do
  for try in $(seq 201); do
    (exec 3<>/dev/tcp/$host/21) 2>/dev/null && break
    if [ "$try" = 201 ] || ! kill -0 $pids 2>/dev/null; then
      echo "ftp_namespace.sh: FAILED: no FTP server on $host:21:" >&2
      cat "$root.log" >&2
      exit 1
    fi
    sleep 0.05
  done
done
FTP_ROOT=$root "$@"
