"""Reads a stored mail message with Python's email package and writes what a
mail program would see of it: one line per part, "<content type> <file name>",
every attachment's decoded bytes to OUTDIR/<n>.bin (n counting from 0) and
the bytes of the last text part to OUTDIR/text.txt.

    read_attachments.py MESSAGE.eml OUTDIR
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
        print(part.get_content_type(), name if name else "-")
        if part.is_attachment():
            (out / f"{attachments}.bin").write_bytes(part.get_payload(decode=True))
            attachments += 1
        else:
            (out / "text.txt").write_bytes(part.get_payload(decode=True))


if __name__ == "__main__":
    main()
