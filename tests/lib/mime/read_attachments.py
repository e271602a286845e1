"""read_attachments.py MESSAGE.eml OUTDIR: prints "<content type> <file name>"
for the message and "<content type> <header names, comma-separated> <file
name>" per part as Python's email package reads them ("-" for no name), and
writes every attachment's bytes to OUTDIR/<n>.bin (n from 0) and the last text
part's to OUTDIR/text.txt.
"""
import email
import email.policy
import pathlib
import sys


def main():
    message = email.message_from_bytes(pathlib.Path(sys.argv[1]).read_bytes(), policy=email.policy.default)
    out = pathlib.Path(sys.argv[2])
    attachments = 0
    print(message.get_content_type(), "-")
    for part in message.iter_parts():
        name = part.get_filename()
        print(part.get_content_type(), ",".join(part.keys()), name if name else "-")
        if part.is_attachment():
            (out / f"{attachments}.bin").write_bytes(part.get_payload(decode=True))
            attachments += 1
        else:
            (out / "text.txt").write_bytes(part.get_payload(decode=True))


main()
