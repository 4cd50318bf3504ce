#!/usr/bin/env python3
"""Prints TEXT as a wide string of a resource script, every character escaped (L"\\x5236..."), so that the
resource compiler takes it whatever code page it reads the script in.

Usage: rc_text.py TEXT
"""
import sys

if len(sys.argv) != 2:
    print(__doc__.strip(), file=sys.stderr)
    sys.exit(2)
units = sys.argv[1].encode("utf-16-le")
print('L"' + "".join("\\x%04x" % int.from_bytes(units[i:i + 2], "little") for i in range(0, len(units), 2)) + '"')
