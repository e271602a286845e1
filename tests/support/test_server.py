"""The life cycle of a test server for ctest fixtures.

A server script calls main() with its own serve() coroutine function. "start"
runs the script again as "serve" in a session of its own, waits until it has
written its state file (server.env, shell-sourceable KEY=value lines, among
them its PID) and prints that file; "stop" ends the server by that PID, once
it has checked that the PID still belongs to this script and state folder.
"""
import asyncio
import os
import shlex
import shutil
import signal
import subprocess
import sys
import time

START_TIMEOUT = 20
STOP_TIMEOUT = 10


def state_file(state_dir):
    return os.path.join(state_dir, "server.env")


def write_atomically(path, data):
    tmp = path + ".tmp"
    with open(tmp, "wb") as out:
        out.write(data)
    os.replace(tmp, path)


def read_state(state_dir):
    values = {}
    with open(state_file(state_dir)) as f:
        for line in f:
            key, _, value = line.rstrip("\n").partition("=")
            values[key] = shlex.split(value)[0] if value else ""
    return values


def pid_alive(pid):
    # A zombie counts as gone: its parent (init, after start) reaps it.
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rpartition(")")[2].split()[0] != "Z"
    except OSError:
        return False


def is_our_server(pid, script, state_dir):
    # The PID of a server long gone may belong to another program by now.
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            args = f.read().split(b"\0")
    except OSError:
        return False
    return script.encode() in args and state_dir.encode() in args


def stop(script, state_dir, pid_key):
    try:
        pid = int(read_state(state_dir)[pid_key])
    except (OSError, KeyError, ValueError):
        return 0
    os.remove(state_file(state_dir))
    if not pid_alive(pid) or not is_our_server(pid, script, state_dir):
        return 0
    os.kill(pid, signal.SIGTERM)
    deadline = time.monotonic() + STOP_TIMEOUT
    while pid_alive(pid) and time.monotonic() < deadline:
        time.sleep(0.05)
    if pid_alive(pid):
        os.kill(pid, signal.SIGKILL)
    return 0


def start(script, state_dir, pid_key, name, prepare=None):
    os.makedirs(state_dir, exist_ok=True)
    if os.path.exists(state_file(state_dir)):
        stop(script, state_dir, pid_key)  # left over from a run that was cut short
    shutil.rmtree(os.path.join(state_dir, "spool"), ignore_errors=True)
    if prepare:
        prepare(state_dir)
    with open(os.path.join(state_dir, "server.log"), "wb") as log:
        # Its own session, no inherited pipes: ctest waits for the setup test's
        # output to end, which must not wait for the server.
        child = subprocess.Popen([sys.executable, script, "serve", state_dir],
                                 stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                 start_new_session=True, close_fds=True)
    deadline = time.monotonic() + START_TIMEOUT
    while time.monotonic() < deadline:
        if os.path.exists(state_file(state_dir)):
            print(open(state_file(state_dir)).read(), end="")
            return 0
        if child.poll() is not None:
            break
        time.sleep(0.05)
    if child.poll() is None:
        child.kill()
    child.wait()
    sys.stderr.write(f"{name}: did not start; its log:\n")
    sys.stderr.write(open(os.path.join(state_dir, "server.log")).read())
    return 1


def main(script, usage, serve, pid_key, name, prepare=None):
    """Command line: SCRIPT start|stop|serve STATE_DIR."""
    if len(sys.argv) != 3 or sys.argv[1] not in ("start", "stop", "serve"):
        sys.stderr.write(usage)
        return 2
    command, state_dir = sys.argv[1], os.path.abspath(sys.argv[2])
    script = os.path.abspath(script)
    if command == "start":
        return start(script, state_dir, pid_key, name, prepare)
    if command == "stop":
        return stop(script, state_dir, pid_key)
    asyncio.run(serve(state_dir))
    return 0
