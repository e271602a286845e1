#!/bin/bash
# Runs the FTP benchmark program (its path is the first argument; the rest
# go to it) in a network namespace of its own with pyftpdlib on
# 127.0.0.1:21, started and stopped by the tests' namespace script.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
shift
exec "$here/../../../tests/lib/net/ftp/ftp_namespace.sh" "$program" --benchmark_counters_tabular=true "$@"
