#!/usr/bin/python3
"""pyftpdlib on 127.0.0.1:21 serving the folder given, with a three-line
greeting; users (password "secret"): ann; acct, whose PASS is answered 300
and whose ACCT must be "dept"; need332, whose PASS is answered 332."""
import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, proto_cmds
from pyftpdlib.servers import FTPServer


class Handler(FTPHandler):
    auth_failed_timeout = 0
    proto_cmds = dict(proto_cmds, ACCT=dict(perm=None, auth=False, arg=True, help="Syntax: ACCT <SP> account."))

    def handle(self):
        self.push("220-Tarvo test server.\r\n220-The greeting goes on,\r\n 220 and on,\r\n220 ready.\r\n")

    def ftp_PASS(self, line):
        if self.username in ("acct", "need332") and not self.authenticated:
            self.acct_password = line
            self.respond("300 Send your account." if self.username == "acct" else "332 Need account for login.")
        else:
            super().ftp_PASS(line)

    def ftp_ACCT(self, line):
        if line == "dept" and self.username == "acct":
            return super().ftp_PASS(self.acct_password)
        self.respond("530 Unknown account.")


Handler.authorizer = DummyAuthorizer()
for user in ("ann", "acct", "need332"):
    Handler.authorizer.add_user(user, "secret", sys.argv[1], perm="elradfmwMT")
FTPServer(("127.0.0.1", 21), Handler).serve_forever()
