#!/usr/bin/python3
"""SMTP servers that misbehave on purpose, for the SMTP client's tests:
aiosmtpd on loopback with the replies changed, one listener per behaviour.

    smtp_quirks_server.py start|stop|serve STATE_DIR

STATE_DIR/server.env names the ports: QUIRKS_GREET554_PORT greets with 554;
QUIRKS_QUIT500_PORT answers QUIT with 500; QUIRKS_CHATTY_PORT sends every
reply in several lines, one over 1500 bytes, in small pieces with pauses;
QUIRKS_SILENT_PORT never says anything. Accepted messages are stored as
spool/<recipient>/<n>.eml (raw) and <n>.json (mail_from, rcpt_tos, helo).
"""
import asyncio
import json
import os
import shlex
import signal
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
import test_server  # noqa: E402
from test_server import state_file, write_atomically  # noqa: E402

HOST = "127.0.0.1"
SERVER_NAME = "tarvo-quirks-smtp"


class RawSpool:
    def __init__(self, spool, counter):
        self.spool = spool
        self.counter = counter

    async def handle_QUIT(self, server, session, envelope):
        return getattr(server, "quit_reply", "221 Bye")

    async def handle_DATA(self, server, session, envelope):
        self.counter[0] += 1
        number = self.counter[0]
        meta = {"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos, "helo": session.host_name}
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
            wire = f"{code}-first of several lines\r\n{code}-{'x' * 1500}\r\n{code} {rest}\r\n".encode()
            # Cut inside the code, the long line and the final line's end.
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
    ports, servers = {}, []
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


def main():
    return test_server.main(__file__, __doc__, serve, "QUIRKS_PID", "smtp_quirks_server")


if __name__ == "__main__":
    sys.exit(main())
