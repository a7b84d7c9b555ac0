#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Decodes the core frame headers of 16-bit big-endian DTS streams, written apart from Kestrune's
own reader so that the README's table is an independent record of what each sample holds."""
import sys

FIELDS = [("SYNC", 32), ("FTYPE", 1), ("SHORT", 5), ("CPF", 1), ("NBLKS", 7), ("FSIZE", 14),
          ("AMODE", 6), ("SFREQ", 4), ("RATE", 5), ("MIX", 1), ("DYNF", 1), ("TIMEF", 1),
          ("AUXF", 1), ("HDCD", 1), ("EXT_AUDIO_ID", 3), ("EXT_AUDIO", 1), ("ASPF", 1),
          ("LFF", 2), ("HFLAG", 1), ("HCRC", 16), ("FILTS", 1), ("VERNUM", 4), ("CHIST", 2),
          ("PCMR", 3), ("SUMF", 1), ("SUMS", 1), ("DIALNORM", 4)]


def header(data, start):
    bits = "".join(format(b, "08b") for b in data[start:start + 15])
    pos, out = 0, {}
    for name, width in FIELDS:
        if name == "HCRC" and not out["CPF"]:
            out[name] = 0
            continue
        out[name] = int(bits[pos:pos + width], 2)
        pos += width
    return out


def frames(data):
    pos = 0
    while pos + 15 <= len(data) and data[pos:pos + 4] == b"\x7f\xfe\x80\x01":
        h = header(data, pos)
        yield pos, h
        pos += h["FSIZE"] + 1


def describe(path):
    data = open(path, "rb").read()
    heads = list(frames(data))
    if not heads:
        return "| %s | no 16-bit sync at the start |" % path
    h = heads[0][1]
    end = heads[-1][0] + heads[-1][1]["FSIZE"] + 1
    distinct = lambda key: "/".join(str(v) for v in sorted({x[1][key] for x in heads}))
    return "| %s | %d | %d | %s | %s | %s | %s | %s | %d | %d | %d | %s | %s | %s |" % (
        path.split("/")[-1], len(data), len(heads), distinct("AMODE"), distinct("LFF"),
        distinct("SFREQ"), distinct("RATE"), distinct("FSIZE"), h["NBLKS"], h["VERNUM"],
        h["PCMR"], distinct("DIALNORM"), distinct("CPF"),
        "whole" if end == len(data) else "%d bytes left over" % (len(data) - end))


if __name__ == "__main__":
    print("| file | bytes | frames | AMODE | LFF | SFREQ | RATE | FSIZE | NBLKS | VERNUM | PCMR "
          "| DIALNORM | CPF | frames cover file |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|")
    for p in sys.argv[1:]:
        print(describe(p))
