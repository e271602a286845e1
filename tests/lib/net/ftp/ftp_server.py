#!/usr/bin/python3
"""The FTP tests' server: pyftpdlib on 127.0.0.1:21 serving the folder given,
with a three-line greeting and these users (password "secret"):
  ann       logs in with USER and PASS, may do everything
  acct      PASS is answered 300; ACCT "dept" completes the login
  need332   PASS is answered 332 (the client takes that as logged in)
Failed logins are answered at once."""
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, proto_cmds
from pyftpdlib.servers import FTPServer


class Handler(FTPHandler):
    auth_failed_timeout = 0
    proto_cmds = dict(proto_cmds, ACCT=dict(perm=None, auth=False, arg=True, help="Syntax: ACCT <SP> account."))

    def handle(self):
        self.push("220-Tarvo test server.\r\n220-The greeting goes on,\r\n 220 and on,\r\n")
        self.respond("220 ready.")

    def ftp_PASS(self, line):
        if self.username == "acct" and not self.authenticated:
            self.acct_password = line
            self.respond("300 Send your account.")
        elif self.username == "need332":
            self.respond("332 Need account for login.")
        else:
            super().ftp_PASS(line)

    def ftp_ACCT(self, line):
        if line == "dept" and getattr(self, "acct_password", None) is not None:
            super().ftp_PASS(self.acct_password)
        else:
            self.respond("530 Unknown account.")


authorizer = DummyAuthorizer()
for user in ("ann", "acct", "need332"):
    authorizer.add_user(user, "secret", sys.argv[1], perm="elradfmwMT")
Handler.authorizer = authorizer
FTPServer(("127.0.0.1", 21), Handler).serve_forever()
