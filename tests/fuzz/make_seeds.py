#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets: the fixture bases other FTN programs made, small bases
written by pelmar-tool, and hand-made settings files, dates and addresses, each packed the way its
target cuts inputs into files (see FuzzBase.h: a 32-bit little-endian length for every file but the
last, then the files).

usage: make_seeds.py FIXTURES_DIR PELMAR_TOOL OUT_DIR
The result is merged into tests/fuzz/corpus/ with libFuzzer's -merge=1 so that only inputs adding
coverage are kept."""
import hashlib
import os
import struct
import subprocess
import sys
import tempfile

import import_seeds


def pack(parts):
    head = b"".join(struct.pack("<I", len(p)) for p in parts[:-1])
    return head + b"".join(parts)


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return b""


def save(out, target, data):
    folder = os.path.join(out, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "seed-" + hashlib.sha1(data).hexdigest()), "wb") as f:
        f.write(data)


def post(tool, kind, path, extra, body, create):
    args = [tool, "post", "--kind", kind, path, "--from", "Иван Петров", "--to", "All",
            "--subject", "Проверка", "--orig", "2:5020/1.3"] + extra
    if create:
        args.append("--create")
    subprocess.run(args, input=body.encode("utf-8"), check=True, capture_output=True)


def empty_squish(stem):
    header = bytearray(256)
    struct.pack_into("<H", header, 0, 256)
    struct.pack_into("<H", header, 130, 28)
    struct.pack_into("<I", header, 20, 1)
    struct.pack_into("<I", header, 120, 256)
    with open(stem + ".sqd", "wb") as f:
        f.write(header)
    open(stem + ".sqi", "wb").close()


def empty_hudson(folder):
    for name in ("msgidx.bbs", "msghdr.bbs", "msgtxt.bbs", "msgtoidx.bbs"):
        open(os.path.join(folder, name), "wb").close()
    with open(os.path.join(folder, "msginfo.bbs"), "wb") as f:
        f.write(struct.pack("<H", 1) + bytes(404))


def tool_bases(tool, kind, path, board=None):
    """Posts echomail and netmail into a base; the files are at `path`."""
    extra = ["--board", str(board)] if board else []
    post(tool, kind, path, extra, "Привет\rвторая строка\r--- \r * Origin: x (2:5020/1.3)\r", True)
    post(tool, kind, path, extra + ["--netmail", "--dest", "2:5020/9", "--attr", "Crash Direct"],
         "Netmail body\r", False)
    post(tool, kind, path, extra + ["--reply", "2:5020/1 12345678"], "", False)


def main():
    fixtures, tool, out = sys.argv[1:4]
    import_seeds.write(fixtures, lambda target, data: save(out, target, data))
    smapi = os.path.join(fixtures, "smapi", "bases")
    crash = os.path.join(fixtures, "crashmail", "bases")

    for area in ("netmail", "r50.local", "ru.test", "su.general"):
        stem = os.path.join(smapi, "squish", area)
        save(out, "squish", pack([read(stem + ".sqd"), read(stem + ".sqi")]))
        stem = os.path.join(smapi, "jam", area)
        save(out, "jam", pack([read(stem + e) for e in (".jhr", ".jdt", ".jdx", ".jlr")]))
    stem = os.path.join(crash, "rutest")
    save(out, "jam", pack([read(stem + e) for e in (".jhr", ".jdt", ".jdx", ".jlr")]))

    msg_dirs = [os.path.join(smapi, "msg", a) for a in ("netmail", "r50.local", "ru.test", "su.general")]
    msg_dirs += [os.path.join(crash, "netmail"), os.path.join(crash, "sugeneral")]
    for folder in msg_dirs:
        files = sorted((f for f in os.listdir(folder) if f.lower().endswith(".msg")),
                       key=lambda f: int(f.split(".")[0]))
        for i in range(0, min(len(files), 16), 4):
            group = [read(os.path.join(folder, f)) for f in files[i:i + 4]]
            save(out, "msg", pack(group + [b""] * (4 - len(group))))

    with tempfile.TemporaryDirectory() as tmp:
        empty_squish(os.path.join(tmp, "sq"))
        tool_bases(tool, "squish", os.path.join(tmp, "sq"))
        save(out, "squish", pack([read(os.path.join(tmp, "sq.sqd")), read(os.path.join(tmp, "sq.sqi"))]))
        tool_bases(tool, "jam", os.path.join(tmp, "jm"))
        save(out, "jam", pack([read(os.path.join(tmp, "jm" + e)) for e in (".jhr", ".jdt", ".jdx", ".jlr")]))
        os.mkdir(os.path.join(tmp, "msg"))
        tool_bases(tool, "msg", os.path.join(tmp, "msg"))
        files = sorted(os.listdir(os.path.join(tmp, "msg")))
        save(out, "msg", pack([read(os.path.join(tmp, "msg", f)) for f in files[:4]] + [b""] * (4 - len(files[:4]))))
        hudson = os.path.join(tmp, "hudson")
        os.mkdir(hudson)
        empty_hudson(hudson)
        tool_bases(tool, "hudson", hudson, board=7)
        tool_bases(tool, "hudson", hudson, board=200)
        files = [read(os.path.join(hudson, n)) for n in
                 ("msginfo.bbs", "msgidx.bbs", "msghdr.bbs", "msgtxt.bbs", "msgtoidx.bbs")]
        for board in (7, 200):
            save(out, "hudson", bytes([board]) + pack(files))

    registry = [
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Quorvant]\n"
        "\"Name\"=\"Иван \\\"Петров\\\" \\\\ 1\"\n@=\"default\"\n\"Count\"=dword:0000002a\n"
        "\"Blob\"=hex:00,01,ff,\\\n  10,20\n\"Multi\"=hex(7):41,00,00,00,00,00\n"
        "\"Expand\"=hex(2):25,00,48,00,00,00\n\"Gone\"=-\n\n[-HKEY_CURRENT_USER\\Software\\Old]\n\n"
        "[HKEY_CURRENT_USER\\Software\\Quorvant\\Pelmar Editor\\1.0\\Settings]\n\"FullName\"=\"Anonymous\"\n",
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"y\"\n",
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A\\B]\r\n\"v\"=hex(0):\r\n; comment\r\n"
        "[bad\r\n\"after\"=\"bad\"\r\n[HKEY_CURRENT_USER\\C]\r\n\"Long\"=hex(1):41,00,42,00,00,00\r\n",
    ]
    for text in registry:
        save(out, "registry", text.encode("utf-8"))
        save(out, "registry", b"\xef\xbb\xbf" + text.encode("utf-8"))
    save(out, "registry", b"\xff\xfe" + registry[0].encode("utf-16-le"))

    for text in ("01 Jan 86  02:34:56", "31 Dec 99 23:59:59", "Mon  1 Jan 86 02:34", "29-02-2000 12:00:00",
                 "00 Xyz 00  00:00:00", "2:5020/1.3@fidonet", "5020/1", "*:*/*.*", "-1:65536/99999.70000",
                 "2:5020/1 12345678", "somewhere.org 12345678", " 2 : 5020 / 1 . 3 ", "1:2/3.4@x.y"):
        save(out, "dates_addresses", text.encode("cp1251", "replace"))


if __name__ == "__main__":
    main()
