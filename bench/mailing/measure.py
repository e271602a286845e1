#!/usr/bin/python3
"""Runs a command and prints its wall time, peak memory and exit status.

    measure.py STDOUT_FILE COMMAND [ARGUMENT...]

The command's standard output goes to STDOUT_FILE (its standard error is
left as it is). Prints one line: "seconds SECONDS cpu_seconds SECONDS
peak_rss_kib KIB status N": wall time, the processor time the child used
(user and system), and the kernel's ru_maxrss of the child.
"""
import os
import sys
import time


def main() -> int:
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    out = os.open(sys.argv[1], os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    start = time.monotonic()
    pid = os.posix_spawnp(sys.argv[2], sys.argv[2:], os.environ, file_actions=[(os.POSIX_SPAWN_DUP2, out, 1)])
    _, status, usage = os.wait4(pid, 0)
    seconds = time.monotonic() - start
    os.close(out)
    cpu = usage.ru_utime + usage.ru_stime
    print(f"seconds {seconds:.3f} cpu_seconds {cpu:.3f} peak_rss_kib {usage.ru_maxrss} "
          f"status {os.waitstatus_to_exitcode(status)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
