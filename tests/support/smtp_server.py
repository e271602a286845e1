#!/usr/bin/python3
"""A real SMTP server for the mail tests: aiosmtpd on loopback, with a handler
that keeps the raw bytes of every accepted message.

    smtp_server.py start|stop|serve STATE_DIR

Listeners on free ports of 127.0.0.1: plain (no TLS, no AUTH); starttls
(STARTTLS, then AUTH LOGIN or PLAIN, required); smtps (implicit TLS, AUTH
required), with a self-signed certificate for 127.0.0.1 and localhost;
plainauth (AUTH offered and required, but no TLS of any kind).
STATE_DIR gets server.env (KEY=VALUE: SMTP_PID, SMTP_HOST, SMTP_PLAIN_PORT,
SMTP_STARTTLS_PORT, SMTP_SMTPS_PORT, SMTP_PLAINAUTH_PORT, SMTP_USER, SMTP_PASSWORD, SMTP_CA_FILE,
SMTP_SPOOL, SMTP_MAX_SIZE, SMTP_REFUSE_PREFIX) and, per accepted recipient,
spool/<recipient>/<n>.eml (as received, dots removed) and <n>.json (its
envelope); n counts messages across all ports.

Recipients whose local part starts with "refuse" get 550; messages over
SMTP_MAX_SIZE bytes get 552 (at MAIL FROM when SIZE= is given).

Listeners that misbehave on purpose, for the SMTP client: QUIRKS_GREET554_PORT
greets with 554; QUIRKS_QUIT500_PORT answers QUIT with 500; QUIRKS_CHATTY_PORT
sends every reply in several lines, one over 1500 bytes, in small pieces with
pauses; QUIRKS_SILENT_PORT never says anything. QUIRKS_DATARESET_PORT answers
DATA with 354 and 250 in one write and then resets the connection. The reply
to MAIL comes one byte every half second on QUIRKS_SLOWREPLY_PORT, as one
endless line on QUIRKS_ENDLESSLINE_PORT and as "250-" lines without end on
QUIRKS_ENDLESSCONT_PORT; each of these ends its reply after QUIRK_SECONDS at
the latest (a client that waits that long sees a 250), or as soon as the
client has closed the connection.
"""
import asyncio
import json
import os
import shlex
import signal
import socket
import ssl
import struct
import subprocess
import sys
import warnings

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import test_server  # noqa: E402
from test_server import state_file, write_atomically  # noqa: E402

HOST = "127.0.0.1"
# A fixed name: without one aiosmtpd looks up the host's FQDN per connection.
SERVER_NAME = "tarvo-test-smtp"
USER = "tarvo"
PASSWORD = "s3cret pass"
REFUSE_PREFIX = "refuse"
MAX_SIZE = 1024 * 1024
# The longest a misbehaving reply lasts, in seconds.
QUIRK_SECONDS = 8


def folder_name(address):
    # Addresses come from the tests; this only keeps them from leaving the spool.
    name = address.lower().replace("/", "_")
    return "_" + name if name.startswith(".") else name


class SpoolHandler:
    def __init__(self, spool, listener, counter):
        self.spool = spool
        self.listener = listener
        self.counter = counter

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.rpartition("@")[0].lower().startswith(REFUSE_PREFIX):
            return f"550 5.1.1 <{address}>: Recipient address rejected: User unknown"
        envelope.rcpt_tos.append(address)
        envelope.rcpt_options.extend(rcpt_options)
        return "250 2.1.5 OK"

    async def handle_DATA(self, server, session, envelope):
        self.counter[0] += 1
        number, auth = self.counter[0], session.auth_data
        meta = {
            "listener": self.listener,
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "mail_options": envelope.mail_options,
            "tls": server.transport.get_extra_info("ssl_object") is not None,
            "auth_user": auth.login.decode("utf-8", "replace") if auth is not None else None,
            "size": len(envelope.original_content),
            "helo": session.host_name,
        }
        for rcpt in envelope.rcpt_tos:
            folder = os.path.join(self.spool, folder_name(rcpt))
            os.makedirs(folder, exist_ok=True)
            # The envelope first: a test that sees the message sees its envelope.
            write_atomically(os.path.join(folder, f"{number}.json"), json.dumps(meta).encode())
            write_atomically(os.path.join(folder, f"{number}.eml"), envelope.original_content)
        return f"250 2.0.0 OK: queued as {number}"


    async def handle_QUIT(self, server, session, envelope):
        return getattr(server, "quit_reply", "221 Bye")


def quirk_protocols():
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

    class DataReset(SMTP):
        async def smtp_DATA(self, arg):
            self._writer.write(b"354 End data with <CR><LF>.<CR><LF>\r\n250 2.0.0 OK: queued\r\n")
            await self._writer.drain()
            # Linger 0: close() sends RST, and the client's data meets a closed door.
            self.transport.get_extra_info("socket").setsockopt(
                socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.transport.abort()

    class MisbehavingMailReply(SMTP):
        """Sends the reply to MAIL through misbehave(wire), whose loops stop
        once the client has gone and after QUIRK_SECONDS at the latest; the
        rest of the reply goes out only to a client that is still there. (It
        uses the writer's transport: aiosmtpd forgets its own once the client
        has gone.)"""

        async def smtp_MAIL(self, arg):
            self.mail_reply_pending = True
            await super().smtp_MAIL(arg)

        async def push(self, status):
            if not getattr(self, "mail_reply_pending", False):
                return await super().push(status)
            self.mail_reply_pending = False
            text = status.decode() if isinstance(status, bytes) else status
            self.deadline = asyncio.get_running_loop().time() + QUIRK_SECONDS
            try:
                rest = await self.misbehave(text.encode() + b"\r\n")
                if not self._writer.transport.is_closing():
                    await self.send(rest)
            except (ConnectionError, asyncio.TimeoutError):
                self._writer.transport.abort()  # gone, or not reading at all

        def going_on(self):
            return not self._writer.transport.is_closing() and asyncio.get_running_loop().time() < self.deadline

        async def send(self, data):
            self._writer.write(data)
            # A client that neither reads nor closes cannot hold the listener.
            await asyncio.wait_for(self._writer.drain(), timeout=QUIRK_SECONDS)
            await asyncio.sleep(0)  # drain need not yield: let the other listeners on

    class SlowReply(MisbehavingMailReply):
        async def misbehave(self, wire):
            sent = 0
            while sent < len(wire) - 1 and self.going_on():
                await self.send(wire[sent:sent + 1])
                sent += 1
                await asyncio.sleep(0.5)
            return wire[sent:]

    class EndlessLine(MisbehavingMailReply):
        async def misbehave(self, wire):
            await self.send(wire[:4])  # "250 "
            while self.going_on():
                await self.send(b"x" * 65536)
            return wire[4:]

    class EndlessContinuation(MisbehavingMailReply):
        async def misbehave(self, wire):
            while self.going_on():
                await self.send(b"250-and more\r\n" * 1000)
            return wire

    return {"GREET554": Greet554, "QUIT500": Quit500, "CHATTY": Chatty, "DATARESET": DataReset,
            "SLOWREPLY": SlowReply, "ENDLESSLINE": EndlessLine, "ENDLESSCONT": EndlessContinuation}


def authenticator(server, session, envelope, mechanism, auth_data):
    from aiosmtpd.smtp import AuthResult

    ok = auth_data.login == USER.encode() and auth_data.password == PASSWORD.encode()
    # handled=False: aiosmtpd answers a failure with its 535 itself.
    return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)


def make_certificate(state_dir):
    cert, key = os.path.join(state_dir, "cert.pem"), os.path.join(state_dir, "key.pem")
    subprocess.run(
        ["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
         "-nodes", "-keyout", key, "-out", cert, "-days", "30", "-subj", "/CN=localhost",
         "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1"],
        check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    return cert, key


async def serve(state_dir):
    from aiosmtpd.smtp import SMTP

    cert, key = os.path.join(state_dir, "cert.pem"), os.path.join(state_dir, "key.pem")
    tls = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    tls.load_cert_chain(cert, key)
    spool = os.path.join(state_dir, "spool")
    os.makedirs(spool, exist_ok=True)

    loop = asyncio.get_running_loop()
    counter = [0]
    common = dict(hostname=SERVER_NAME, data_size_limit=MAX_SIZE, loop=loop, timeout=60)
    secure = dict(common, authenticator=authenticator, auth_required=True)
    listeners = {
        "plain": (SMTP, common, None),
        "starttls": (SMTP, dict(secure, tls_context=tls, require_starttls=True), None),
        # TLS from the first byte, which aiosmtpd does not know as TLS.
        "smtps": (SMTP, dict(secure, auth_require_tls=False), tls),
        # Offers AUTH with no STARTTLS at all: a client must not log on here.
        "plainauth": (SMTP, dict(secure, auth_require_tls=False), None),
    }
    listeners.update({name: (protocol, common, None) for name, protocol in quirk_protocols().items()})
    ports, servers, silent_clients = {}, [], []
    for name, (protocol, kwargs, implicit_tls) in listeners.items():
        handler = SpoolHandler(spool, name, counter)
        server = await loop.create_server(
            lambda p=protocol, h=handler, kw=kwargs: p(h, **kw), host=HOST, port=0, ssl=implicit_tls)
        servers.append(server)
        ports[name] = server.sockets[0].getsockname()[1]
    # Accepts connections, keeps them open and never answers.
    servers.append(await asyncio.start_server(lambda r, w: silent_clients.append(w), host=HOST, port=0))
    ports["SILENT"] = servers[-1].sockets[0].getsockname()[1]

    values = {
        "SMTP_PID": os.getpid(), "SMTP_HOST": HOST,
        "SMTP_PLAIN_PORT": ports["plain"], "SMTP_STARTTLS_PORT": ports["starttls"],
        "SMTP_SMTPS_PORT": ports["smtps"], "SMTP_PLAINAUTH_PORT": ports["plainauth"], "SMTP_USER": USER, "SMTP_PASSWORD": PASSWORD,
        "SMTP_CA_FILE": cert, "SMTP_SPOOL": spool, "SMTP_MAX_SIZE": MAX_SIZE,
        "SMTP_REFUSE_PREFIX": REFUSE_PREFIX,
    }
    values.update({f"QUIRKS_{name}_PORT": ports[name] for name in ports if name.isupper()})
    text = "".join(f"{k}={shlex.quote(str(v))}\n" for k, v in values.items())
    write_atomically(state_file(state_dir), text.encode())

    stop = asyncio.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    await stop.wait()
    for writer in silent_clients:
        writer.close()
    for server in servers:
        server.close()


def main():
    # aiosmtpd warns about AUTH without its STARTTLS (the smtps listener).
    warnings.simplefilter("ignore")
    return test_server.main(__file__, __doc__, serve, "SMTP_PID", "smtp_server", prepare=make_certificate)


if __name__ == "__main__":
    sys.exit(main())
