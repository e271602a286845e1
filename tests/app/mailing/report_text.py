#!/usr/bin/python3
"""Reads a delivery report as a browser would: html5lib sniffs the encoding
(byte-order mark, then <meta charset>, then a legacy default) and parses.

    report_text.py FILE

Prints the detected encoding, then the text of every table cell, one a line.
"""
import sys

import html5lib

with open(sys.argv[1], "rb") as f:
    parser = html5lib.HTMLParser(namespaceHTMLElements=False)
    tree = parser.parse(f.read())
print(parser.documentEncoding)
for cell in tree.iter("td"):
    print("".join(cell.itertext()))
