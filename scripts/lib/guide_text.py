#!/usr/bin/env python3
"""The user guide part of README.md ("## Using Plix32" up to the next "## "
heading) as plain text with CR LF line ends, for README.txt in the release zip.

    guide_text.py README.md VERSION > README.txt
"""
import re
import sys


def plain(line: str):
    line = re.sub(r"!\[[^\]]*\]\([^)]*\)", "", line)  # pictures: not in a text file
    line = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", line)  # links: their text
    line = re.sub(r"\*\*([^*]+)\*\*", r"\1", line)
    line = re.sub(r"(?<![\w*])\*([^*\s][^*]*)\*(?![\w*])", r"\1", line)
    line = line.replace("`", "")
    if re.fullmatch(r"\|(\s*-+\s*\|)+", line.strip()):
        return None  # a table's rule
    return line.rstrip()


def main() -> int:
    readme, version = sys.argv[1], sys.argv[2]
    lines = open(readme, encoding="utf-8").read().splitlines()
    try:
        start = lines.index("## Using Plix32")
    except ValueError:
        sys.stderr.write("no '## Using Plix32' section in %s\n" % readme)
        return 1
    end = next((i for i in range(start + 1, len(lines)) if lines[i].startswith("## ")), len(lines))
    out = ["Plix32 %s - serial port test terminal" % version, "",
           "Run plix32.exe (plix32-x86.exe on 32-bit Windows); nothing to install.",
           "MIT License: see LICENSE.txt.", "", "USING PLIX32", ""]
    blank = True
    for line in lines[start + 1:end]:
        text = plain(line)
        if text is None or (not text and blank):
            continue
        blank = not text
        out.append(text)
    sys.stdout.buffer.write(("\r\n".join(out).rstrip() + "\r\n").encode("utf-8"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
