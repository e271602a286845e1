#!/usr/bin/python3
"""The SMTP server of the mail tests (aiosmtpd on 127.0.0.1): smtp_server.py start|stop|serve DIR

"start" runs "serve" in a session of its own and prints DIR/server.env (KEY=value
lines: ports, credentials, CA file, spool...). Listeners: plain; starttls and smtps
(AUTH required); plainauth (AUTH without TLS); the misbehaving ones below, and SILENT.
Messages go to spool/<recipient>/<n>.eml, envelopes to <n>.json (with the number of the
connection and of the message on it); "refuse..." gets 550. TEMPFAIL refuses "failN..." N
times (451, then 421 and a close, in turn) and counts every RCPT in spool/<recipient>/attempts;
PERCONN answers MAIL FROM on a connection that has carried PER_CONNECTION messages with 451;
IDLE (STARTTLS, AUTH) drops a client idle for IDLE_SECONDS.
"""
import asyncio
import functools
import json
import os
import shlex
import shutil
import signal
import socket
import ssl
import struct
import subprocess
import sys
import time

HOST, SERVER_NAME = "127.0.0.1", "tarvo-test-smtp"  # a fixed name: no look-up per connection
USER, PASSWORD, REFUSE_PREFIX = "tarvo", "s3cret pass", "refuse"
MAX_SIZE, QUIRK_SECONDS = 1024 * 1024, 8  # the longest a misbehaving reply lasts
TEMPFAIL_PREFIX, PER_CONNECTION, IDLE_SECONDS = "fail", 2, 3


def write_atomically(path, data):
    with open(path + ".tmp", "wb") as out:
        out.write(data)
    os.replace(path + ".tmp", path)


class SpoolHandler:
    def __init__(self, spool, listener, counter):
        self.spool, self.listener, self.counter = spool, listener, counter
        self.attempts = {}

    def folder(self, rcpt):
        name = rcpt.lower().replace("/", "_")  # kept inside the spool
        folder = os.path.join(self.spool, "_" + name if name.startswith(".") else name)
        os.makedirs(folder, exist_ok=True)
        return folder

    def connection(self, session):
        # A session per connection (after STARTTLS a new one, on the same connection).
        if not hasattr(session, "number"):
            self.counter[1] += 1
            session.number, session.delivered = self.counter[1], 0
        return session

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        if self.listener == "PERCONN" and self.connection(session).delivered >= PER_CONNECTION:
            return "451 4.7.0 Too many messages on this connection, open another"
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        local = address.rpartition("@")[0].lower()
        if self.listener == "TEMPFAIL":
            tries = self.attempts[address] = self.attempts.get(address, 0) + 1
            write_atomically(os.path.join(self.folder(address), "attempts"), str(tries).encode())
            failures = local[len(TEMPFAIL_PREFIX):].partition("-")[0]
            if local.startswith(TEMPFAIL_PREFIX) and failures.isdigit() and tries <= int(failures):
                if tries % 2:
                    return "451 4.3.0 Temporary local problem, try again later"
                asyncio.get_running_loop().call_soon(server.transport.close)  # after the reply
                return "421 4.3.2 Service shutting down, closing channel"
        if local.startswith(REFUSE_PREFIX):
            return f"550 5.1.1 <{address}>: Recipient address rejected: User unknown"
        envelope.rcpt_tos.append(address)
        return "250 2.1.5 OK"

    async def handle_DATA(self, server, session, envelope):
        self.counter[0] += 1
        number, auth = self.counter[0], session.auth_data
        self.connection(session).delivered += 1
        meta = {"listener": self.listener, "mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos,
                "mail_options": envelope.mail_options, "size": len(envelope.original_content),
                "tls": server.transport.get_extra_info("ssl_object") is not None, "helo": session.host_name,
                "auth_user": auth.login.decode("utf-8", "replace") if auth is not None else None,
                "connection": session.number, "on_connection": session.delivered}
        for rcpt in envelope.rcpt_tos:
            folder = self.folder(rcpt)
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
                self.greeted, status = True, "554 5.3.2 No service here"
            await super().push(status)

    class Quit500(SMTP):
        quit_reply = "500 5.5.1 Not now"

    class Chatty(SMTP):
        async def push(self, status):
            text = status.decode() if isinstance(status, bytes) else status
            wire = f"{text[:3]}-first of several lines\r\n{text[:3]}-{'x' * 1500}\r\n{text}\r\n".encode()
            cuts = [0, 2, 30, 700, len(wire) - 3, len(wire)]  # inside the code, the long line and the last end
            for start, end in zip(cuts, cuts[1:]):
                self._writer.write(wire[start:end])
                await self._writer.drain()
                await asyncio.sleep(0.02)

    class LostReply(SMTP):
        # Takes the message, then drops the connection instead of saying so.
        async def push(self, status):
            text = status.decode() if isinstance(status, bytes) else status
            if " queued as " in text:
                self.transport.abort()
            else:
                await super().push(status)

    class DataReset(SMTP):
        async def smtp_DATA(self, arg):
            self._writer.write(b"354 End data with <CR><LF>.<CR><LF>\r\n250 2.0.0 OK: queued\r\n")
            await self._writer.drain()
            # Linger 0: the close sends RST, and the client's data meets a closed door.
            sock = self.transport.get_extra_info("socket")
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.transport.abort()

    class MisbehavingMailReply(SMTP):
        # The reply to MAIL through misbehave(wire), the rest only to a client still there.
        async def smtp_MAIL(self, arg):
            self.mail_reply_pending = True
            await super().smtp_MAIL(arg)

        async def push(self, status):
            if not getattr(self, "mail_reply_pending", False):
                return await super().push(status)
            self.mail_reply_pending = False
            self.deadline = asyncio.get_running_loop().time() + QUIRK_SECONDS
            text = status.decode() if isinstance(status, bytes) else status
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
            "SLOWREPLY": SlowReply, "ENDLESSLINE": EndlessLine, "ENDLESSCONT": EndlessContinuation,
            "LOSTREPLY": LostReply, "TEMPFAIL": SMTP, "PERCONN": SMTP}


def authenticator(server, session, envelope, mechanism, auth_data):
    from aiosmtpd.smtp import AuthResult

    ok = auth_data.login == USER.encode() and auth_data.password == PASSWORD.encode()
    # handled=False: aiosmtpd answers a failure with its 535 itself.
    return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)


async def serve(state_dir):
    from aiosmtpd.smtp import SMTP

    tls = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    tls.load_cert_chain(os.path.join(state_dir, "cert.pem"), os.path.join(state_dir, "key.pem"))
    spool = os.path.join(state_dir, "spool")
    os.makedirs(spool, exist_ok=True)
    loop, counter = asyncio.get_running_loop(), [0, 0]  # messages, connections
    common = dict(hostname=SERVER_NAME, data_size_limit=MAX_SIZE, loop=loop, timeout=60)
    secure = dict(common, authenticator=authenticator, auth_required=True)
    listeners = {
        "plain": (SMTP, common, None),
        "starttls": (SMTP, dict(secure, tls_context=tls, require_starttls=True), None),
        "smtps": (SMTP, dict(secure, auth_require_tls=False), tls),  # TLS that aiosmtpd does not see
        "plainauth": (SMTP, dict(secure, auth_require_tls=False), None),
    }
    listeners.update({name: (protocol, common, None) for name, protocol in quirk_protocols().items()})
    listeners["IDLE"] = (SMTP, dict(secure, tls_context=tls, require_starttls=True, timeout=IDLE_SECONDS), None)
    servers = [await loop.create_server(functools.partial(protocol, SpoolHandler(spool, name, counter), **kwargs),
                                        host=HOST, port=0, ssl=implicit_tls)
               for name, (protocol, kwargs, implicit_tls) in listeners.items()]
    # SILENT accepts connections, keeps them open and never answers.
    servers.append(await loop.create_server(asyncio.Protocol, host=HOST, port=0))
    values = {"SMTP_PID": os.getpid(), "SMTP_HOST": HOST, "SMTP_USER": USER, "SMTP_PASSWORD": PASSWORD,
              "SMTP_CA_FILE": os.path.join(state_dir, "cert.pem"), "SMTP_SPOOL": spool,
              "SMTP_MAX_SIZE": MAX_SIZE, "SMTP_REFUSE_PREFIX": REFUSE_PREFIX}
    for name, server in zip(list(listeners) + ["SILENT"], servers):
        key = f"SMTP_{name.upper()}_PORT" if name.islower() else f"QUIRKS_{name}_PORT"
        values[key] = server.sockets[0].getsockname()[1]
    write_atomically(os.path.join(state_dir, "server.env"),
                     "".join(f"{k}={shlex.quote(str(v))}\n" for k, v in values.items()).encode())
    stop = asyncio.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    await stop.wait()
    for server in servers:
        server.close()


def pid_alive(pid):
    # A zombie counts as gone: its parent (init, after start) reaps it.
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rpartition(")")[2].split()[0] != "Z"
    except OSError:
        return False


def stop(state_dir):
    env = os.path.join(state_dir, "server.env")
    try:
        pid = int(dict(line.rstrip("\n").partition("=")[::2] for line in open(env))["SMTP_PID"])
        args = open(f"/proc/{pid}/cmdline", "rb").read().split(b"\0")
    except (OSError, KeyError, ValueError):
        args = []
    if os.path.exists(env):
        os.remove(env)
    # The PID of a server long gone may belong to another program by now.
    if os.path.abspath(__file__).encode() not in args or state_dir.encode() not in args or not pid_alive(pid):
        return 0
    os.kill(pid, signal.SIGTERM)
    for _ in range(200):  # 10 s
        if not pid_alive(pid):
            return 0
        time.sleep(0.05)
    os.kill(pid, signal.SIGKILL)
    return 0


def start(state_dir):
    os.makedirs(state_dir, exist_ok=True)
    stop(state_dir)  # a server left over from a run that was cut short
    shutil.rmtree(os.path.join(state_dir, "spool"), ignore_errors=True)
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-keyout", os.path.join(state_dir, "key.pem"), "-out", os.path.join(state_dir, "cert.pem"),
                    "-days", "30", "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    log_path, env = os.path.join(state_dir, "server.log"), os.path.join(state_dir, "server.env")
    with open(log_path, "wb") as log:
        # Its own session, no inherited pipes: ctest waits for the setup's output to end.
        child = subprocess.Popen([sys.executable, "-W", "ignore", os.path.abspath(__file__), "serve", state_dir],
                                 stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                 start_new_session=True, close_fds=True)
    for _ in range(400):  # up to 20 s
        if os.path.exists(env) or child.poll() is not None:
            break
        time.sleep(0.05)
    if os.path.exists(env):
        print(open(env).read(), end="")
        return 0
    child.kill()
    child.wait()
    sys.stderr.write("smtp_server: did not start; its log:\n" + open(log_path).read())
    return 1


def main(command, state_dir):
    if command == "start":
        return start(state_dir)
    if command == "serve":
        asyncio.run(serve(state_dir))
    return stop(state_dir) if command == "stop" else 0


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("start", "stop", "serve"):
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], os.path.abspath(sys.argv[2])))
