#!/usr/bin/python3
"""SMTP servers that misbehave on purpose, for the SMTP client's tests:
aiosmtpd's SMTP protocol on loopback with the replies changed, one listener
per behaviour.

    smtp_quirks_server.py start STATE_DIR   start in the background, wait
                                            until it listens (exit 0) or fail
    smtp_quirks_server.py stop STATE_DIR    stop it by the PID it wrote
    smtp_quirks_server.py serve STATE_DIR   run in the foreground

Listeners on free ports of 127.0.0.1, written to STATE_DIR/server.env:

    QUIRKS_GREET554_PORT   greets with 554 instead of 220
    QUIRKS_QUIT500_PORT    answers QUIT with 500 (and closes)
    QUIRKS_CHATTY_PORT     every reply in several lines ("ddd-"), one of them
                           longer than 1500 bytes, written in small pieces
                           with pauses, so lines arrive split across segments
    QUIRKS_SILENT_PORT     accepts connections and never says anything

Messages accepted on the chatty and QUIT500 listeners are stored as
STATE_DIR/spool/<recipient>/<n>.eml (raw bytes) and <n>.json (mail_from,
rcpt_tos, helo).
"""
import asyncio
import json
import os
import shlex
import signal
import subprocess
import sys
import time

HOST = "127.0.0.1"
SERVER_NAME = "tarvo-quirks-smtp"
START_TIMEOUT = 20
STOP_TIMEOUT = 10


def state_file(state_dir):
    return os.path.join(state_dir, "server.env")


def write_atomically(path, data):
    tmp = path + ".tmp"
    with open(tmp, "wb") as out:
        out.write(data)
    os.replace(tmp, path)


class RawSpool:
    """Stores every accepted message as received, once per recipient."""

    def __init__(self, spool, counter):
        self.spool = spool
        self.counter = counter

    async def handle_QUIT(self, server, session, envelope):
        return getattr(server, "quit_reply", "221 Bye")

    async def handle_DATA(self, server, session, envelope):
        self.counter[0] += 1
        number = self.counter[0]
        meta = {"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos,
                "helo": session.host_name}
        for rcpt in envelope.rcpt_tos:
            folder = os.path.join(self.spool, rcpt.lower().replace("/", "_"))
            os.makedirs(folder, exist_ok=True)
            write_atomically(os.path.join(folder, f"{number}.json"), json.dumps(meta).encode())
            write_atomically(os.path.join(folder, f"{number}.eml"), envelope.original_content)
        return "250 OK"


def make_protocols():
    from aiosmtpd.smtp import SMTP

    class Greet554(SMTP):
        async def push(self, status):
            if not getattr(self, "greeted", False):
                self.greeted = True
                status = "554 5.3.2 No service here"
            await super().push(status)

    class Quit500(SMTP):
        quit_reply = "500 5.5.1 Not now"

    class Chatty(SMTP):
        async def push(self, status):
            text = status.decode() if isinstance(status, bytes) else status
            code, rest = text[:3], text[4:]
            wire = (f"{code}-first of several lines\r\n"
                    f"{code}-{'x' * 1500}\r\n"
                    f"{code} {rest}\r\n").encode()
            # Split inside the code, inside the long line and just before the
            # final line's end, with pauses so each piece is its own segment.
            cuts = [0, 2, 30, 700, len(wire) - 3, len(wire)]
            for start, end in zip(cuts, cuts[1:]):
                self._writer.write(wire[start:end])
                await self._writer.drain()
                await asyncio.sleep(0.02)

    return {"GREET554": Greet554, "QUIT500": Quit500, "CHATTY": Chatty}


async def serve(state_dir):
    spool = os.path.join(state_dir, "spool")
    os.makedirs(spool, exist_ok=True)
    loop = asyncio.get_running_loop()
    counter = [0]
    ports = {}
    servers = []
    for name, protocol in make_protocols().items():
        handler = RawSpool(spool, counter)
        server = await loop.create_server(
            lambda p=protocol, h=handler: p(h, hostname=SERVER_NAME, loop=loop, timeout=60),
            host=HOST, port=0)
        servers.append(server)
        ports[name] = server.sockets[0].getsockname()[1]

    silent_clients = []  # kept open, never answered

    async def silent(reader, writer):
        silent_clients.append(writer)

    server = await asyncio.start_server(silent, host=HOST, port=0)
    servers.append(server)
    ports["SILENT"] = server.sockets[0].getsockname()[1]

    values = {"QUIRKS_PID": os.getpid(), "QUIRKS_SPOOL": spool}
    values.update({f"QUIRKS_{name}_PORT": port for name, port in ports.items()})
    text = "".join(f"{k}={shlex.quote(str(v))}\n" for k, v in values.items())
    write_atomically(state_file(state_dir), text.encode())

    stop_event = asyncio.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop_event.set)
    await stop_event.wait()
    for writer in silent_clients:
        writer.close()
    for server in servers:
        server.close()


def pid_alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rpartition(")")[2].split()[0] != "Z"
    except OSError:
        return False


def is_our_server(pid, state_dir):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            args = f.read().split(b"\0")
    except OSError:
        return False
    return os.path.abspath(__file__).encode() in args and state_dir.encode() in args


def stop(state_dir):
    try:
        with open(state_file(state_dir)) as f:
            values = dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
        pid = int(values["QUIRKS_PID"])
    except (OSError, KeyError, ValueError):
        return 0
    os.remove(state_file(state_dir))
    if not pid_alive(pid) or not is_our_server(pid, state_dir):
        return 0
    os.kill(pid, signal.SIGTERM)
    deadline = time.monotonic() + STOP_TIMEOUT
    while pid_alive(pid) and time.monotonic() < deadline:
        time.sleep(0.05)
    if pid_alive(pid):
        os.kill(pid, signal.SIGKILL)
    return 0


def start(state_dir):
    os.makedirs(state_dir, exist_ok=True)
    if os.path.exists(state_file(state_dir)):
        stop(state_dir)  # left over from a run that was cut short
    subprocess.run(["rm", "-rf", os.path.join(state_dir, "spool")], check=False)
    with open(os.path.join(state_dir, "server.log"), "wb") as log:
        # Its own session and no inherited pipes, so ctest does not wait for it.
        child = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", state_dir],
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
    sys.stderr.write("smtp_quirks_server: did not start; its log:\n")
    sys.stderr.write(open(os.path.join(state_dir, "server.log")).read())
    return 1


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("start", "stop", "serve"):
        sys.stderr.write(__doc__)
        return 2
    command, state_dir = sys.argv[1], os.path.abspath(sys.argv[2])
    if command == "start":
        return start(state_dir)
    if command == "stop":
        return stop(state_dir)
    asyncio.run(serve(state_dir))
    return 0


if __name__ == "__main__":
    sys.exit(main())
