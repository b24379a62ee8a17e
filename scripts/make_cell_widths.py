#!/usr/bin/env python3
"""Writes pelm32/core/cell_width_ranges.h from the Unicode Character Database
(Debian package unicode-data): the characters a terminal shows in two cells
(East Asian Wide and Fullwidth) and in none (combining and enclosing marks,
format characters, Hangul medial and final jamo).
Usage: scripts/make_cell_widths.py [UCD folder] > pelm32/core/cell_width_ranges.h"""
import re
import sys

ucd = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/unicode"


def ranges(points):
    out = []
    for p in sorted(points):
        if out and out[-1][1] == p - 1:
            out[-1][1] = p
        else:
            out.append([p, p])
    return out


def wide():
    points = set()
    for line in open(f"{ucd}/EastAsianWidth.txt", encoding="utf-8"):
        m = re.match(r"([0-9A-F]+)(?:\.\.([0-9A-F]+))?\s*;\s*(W|F)\b", line)
        if m:
            first = int(m.group(1), 16)
            last = int(m.group(2) or m.group(1), 16)
            points.update(range(first, last + 1))
    return points


def zero():
    points = set(range(0x1160, 0x1200)) | {0x200B}
    first = None
    for line in open(f"{ucd}/UnicodeData.txt", encoding="utf-8"):
        fields = line.split(";")
        code, name, category = int(fields[0], 16), fields[1], fields[2]
        if name.endswith("First>"):
            first = code
            continue
        span = range(first, code + 1) if name.endswith("Last>") else range(code, code + 1)
        first = None
        if category in ("Mn", "Me", "Cf") and code != 0x00AD:
            points.update(span)
    return points


def table(name, points):
    rows = ",\n".join(f"    {{0x{a:05X}, 0x{b:05X}}}" for a, b in ranges(points))
    return f"constexpr CellRange {name}[] = {{\n{rows},\n}};\n"


version = open(f"{ucd}/ReadMe.txt", encoding="utf-8").read()
match = re.search(r"Version (\d+\.\d+\.\d+)", version)
print(f"""// Made by scripts/make_cell_widths.py from the Unicode Character Database
// {match.group(1) if match else ''}: do not edit.
#pragma once

namespace pelm32 {{

struct CellRange {{
    char32_t first;
    char32_t last;
}};

// East Asian Wide and Fullwidth: two cells.
{table("kWideRanges", wide())}
// Marks, format characters and medial or final jamo: no cell of their own.
{table("kZeroRanges", zero() - wide())}
}}  // namespace pelm32""")
