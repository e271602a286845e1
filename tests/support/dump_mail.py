#!/usr/bin/python3
"""dump_mail.py MESSAGE [OUTDIR]: the message as Python's email package reads it, a
"key<TAB>value" line per fact (escaped); with OUTDIR, attachments go to OUTDIR/<n>.bin."""
import email.parser
import email.policy
import hashlib
import sys


def out(key, value):
    print(key + "\t" + str(value).replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r").replace("\t", "\\t"))


def addresses(msg, name):
    header = msg[name]
    return "" if header is None else ", ".join(
        f"{a.display_name} <{a.addr_spec}>" if a.display_name else f"<{a.addr_spec}>" for a in header.addresses)


raw = open(sys.argv[1], "rb").read()
msg = email.parser.BytesParser(policy=email.policy.default).parsebytes(raw)
out("max-line", max(len(line.rstrip(b"\r")) for line in raw.split(b"\n")))
out("8bit", int(any(byte >= 0x80 for byte in raw)))
out("headers", ",".join(sorted({name.lower() for name in msg.keys()})))
for name in ("from", "to", "cc"):
    out(name, addresses(msg, name))
out("subject", msg["subject"] or "")
out("date", int(msg["date"] is not None and msg["date"].datetime is not None))
out("message-id", int(bool(msg["message-id"]) and "@" in msg["message-id"]))
out("mime-version", msg["mime-version"] or "")
out("type", msg.get_content_type())
body = msg.get_body(preferencelist=("plain",))
if body is not None:
    out("body-charset", body.get_content_charset() or "")
    out("body", body.get_content())
for part in msg.iter_parts() if msg.is_multipart() else []:
    out("part", "|".join([part.get_content_type(), ",".join(part.keys()), part.get_filename() or ""]))
for number, part in enumerate(msg.iter_attachments()):
    data = part.get_payload(decode=True) or b""
    out("attachment", "|".join([part.get_filename() or "", part.get_content_type(), str(len(data)),
                                hashlib.sha256(data).hexdigest()]))
    if len(sys.argv) > 2:
        with open(f"{sys.argv[2]}/{number}.bin", "wb") as f:
            f.write(data)
out("defects", ",".join(type(d).__name__ for part in msg.walk() for d in part.defects))
