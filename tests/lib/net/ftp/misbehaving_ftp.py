#!/usr/bin/python3
"""A misbehaving FTP server on 127.0.0.2:21 for the faults no real server
shows on demand. The user name chooses what goes wrong after login:
  endless        NOOP is answered with a line that never ends
  endless-ml     NOOP is answered with a multi-line reply that never ends
  longline       NOOP is answered with a 1000-character line, then normally
  pasv:TEXT      PASV is answered "227 TEXT"
  list-many      a passive LIST sends 102,400 lines, then 226
  list-longline  a passive LIST sends one line of 69,632 bytes, then 226"""
import itertools
import socket
import socketserver


class Control(socketserver.StreamRequestHandler):
    def reply(self, text):
        self.wfile.write(text.encode("latin-1") + b"\r\n")

    def send(self, sock, first, chunk, times=None):
        try:
            sock.sendall(first)
            for _ in itertools.repeat(None, *([times] if times else [])):
                sock.sendall(chunk)
        except OSError:
            pass

    def handle(self):
        self.reply("220 Misbehaving.")
        user, data = "", None
        for raw in self.rfile:
            verb, _, arg = raw.decode("latin-1").rstrip("\r\n").partition(" ")
            verb = verb.upper()
            if verb == "USER":
                user = arg
                self.reply("331 Password.")
            elif verb == "PASS":
                self.reply("230 In.")
            elif verb == "NOOP" and user == "endless":
                return self.send(self.connection, b"200 ", b"x" * 65536)
            elif verb == "NOOP" and user == "endless-ml":
                return self.send(self.connection, b"", b"200-more\r\n" * 1000)
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
                conn, _ = data.accept()
                line = b"-rw-r--r-- 1 ann ann 1 Jan 01 2000 f\r\n" if user == "list-many" else b"x"
                self.send(conn, b"", line * 4096, 25 if user == "list-many" else 17)
                conn.close()
                self.reply("226 Done.")
            elif verb == "QUIT":
                return self.reply("221 Bye.")
            else:
                self.reply("200 OK.")


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


Server(("127.0.0.2", 21), Control).serve_forever()
