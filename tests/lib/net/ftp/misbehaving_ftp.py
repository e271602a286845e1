#!/usr/bin/python3
"""A misbehaving FTP server on 127.0.0.2:21; the user name chooses the fault:
endless / endless-ml: NOOP gets a line / a multi-line reply without end;
longline: NOOP gets a 1000-character line once; pasv:TEXT: PASV gets
"227 TEXT"; list-many / list-longline: a passive LIST sends 102,400 lines /
one line of 69,632 bytes, then 226."""
import socket
import socketserver


def send(sock, chunk, times=-1):
    try:
        while times != 0:
            sock.sendall(chunk)
            times -= 1
    except OSError:
        pass


class Control(socketserver.StreamRequestHandler):
    def reply(self, text):
        self.wfile.write(text.encode("latin-1") + b"\r\n")

    def handle(self):
        self.reply("220 Misbehaving.")
        user, data = "", None
        for raw in self.rfile:
            verb, _, arg = raw.decode("latin-1").rstrip("\r\n").partition(" ")
            user = arg if verb == "USER" else user
            if verb == "NOOP" and user in ("endless", "endless-ml"):
                return send(self.connection, b"200 " + b"x" * 65536 if user == "endless" else b"200-more\r\n" * 1000)
            elif verb == "NOOP" and user == "longline":
                self.reply("200 " + "x" * 1000)
                user = ""
            elif verb == "PASV" and user.startswith("pasv:"):
                self.reply("227 " + user[5:])
            elif verb == "PASV":
                data = socket.create_server(("127.0.0.1", 0))
                port = data.getsockname()[1]
                self.reply("227 Entering Passive Mode (127,0,0,1,%d,%d)." % (port >> 8, port & 255))
            elif verb == "LIST" and data:
                self.reply("150 Here it comes.")
                conn = data.accept()[0]
                many = user == "list-many"
                send(conn, (b"-rw-r--r-- 1 ann ann 1 Jan 01 2000 f\r\n" if many else b"x") * 4096, 25 if many else 17)
                conn.close()
                self.reply("226 Done.")
            else:
                self.reply({"USER": "331 Password.", "PASS": "230 In.", "QUIT": "221 Bye."}.get(verb, "200 OK."))


socketserver.ThreadingTCPServer.allow_reuse_address = True
socketserver.ThreadingTCPServer.daemon_threads = True
socketserver.ThreadingTCPServer(("127.0.0.2", 21), Control).serve_forever()
