#!/usr/bin/python3
"""Prints the cards of a vCard or LDIF file as vobject and python-ldap's ldif
read them, one "FN|family|given|mail,mail|group" line per card; addresses
ordered preferred first (PREF=n, lower first, or TYPE=pref), as the book lists them."""
import sys

import ldif
import vobject


def field(value):
    # vobject gives a list for a name part with unescaped commas.
    return ",".join(value) if isinstance(value, list) else value


def rank(email):
    pref = email.params.get("PREF", [])
    if pref and pref[0].isdigit():
        return int(pref[0])
    types = [t.lower() for t in email.params.get("TYPE", [])] + [s.lower() for s in email.singletonparams]
    return 1 if "pref" in types else 1 << 30


def vcard_line(card):
    fn = card.contents.get("fn", [])
    n = card.contents.get("n", [])
    emails = sorted(card.contents.get("email", []), key=rank)  # a stable sort
    addresses = []
    for email in emails:
        address = email.value.strip()
        if address.lower().startswith("mailto:"):
            address = address[7:].strip()
        if address:
            addresses.append(address)
    kinds = card.contents.get("kind", []) + card.contents.get("x-addressbookserver-kind", [])
    group = any(k.value.strip().lower() == "group" for k in kinds)
    return "|".join([fn[0].value.strip() if fn else "",
                     field(n[0].value.family).strip() if n else "",
                     field(n[0].value.given).strip() if n else "",
                     ",".join(addresses), "group" if group else ""])


def ldif_line(entry):
    entry = {k.lower(): [v.decode("utf-8", "replace") for v in vs] for k, vs in entry.items()}
    first = lambda name: entry.get(name.lower(), [""])[0].strip()
    mails = [m.strip() for m in entry.get("mail", []) + entry.get("mozillasecondemail", []) if m.strip()]
    classes = {c.strip().lower() for c in entry.get("objectclass", [])}
    group = bool(classes & {"groupofnames", "groupofuniquenames"})
    return "|".join([first("cn"), first("sn"), first("givenName"), ",".join(mails), "group" if group else ""])


def main():
    kind, path = sys.argv[1], sys.argv[2]
    if kind == "vcard":
        with open(path, encoding="utf-8", errors="replace", newline="") as f:
            lines = [vcard_line(c) for c in vobject.readComponents(f.read(), allowQP=True)]
    else:
        with open(path, "rb") as f:
            parser = ldif.LDIFRecordList(f)
            parser.parse()
        lines = [ldif_line(entry) for _, entry in parser.all_records]
    sys.stdout.write("\n".join(lines))


main()
