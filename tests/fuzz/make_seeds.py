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

    text_seeds(fixtures, out)


def msg_fields(data):
    """From, to, subject, control lines and body of a *.MSG file."""
    field = lambda a, b: data[a:b].split(b"\0")[0]
    body = data[190:].split(b"\0")[0]
    kludges, text = [], []
    for line in body.split(b"\r"):
        (kludges if line.startswith(b"\x01") else text).append(line)
    return (field(0, 36), field(36, 72), field(72, 144), [k[1:] for k in kludges], b"\r".join(text))


def text_seeds(fixtures, out):
    """Seeds of the targets fed with a message's texts: templates, render, charset, drafts, plugins."""
    cp = lambda t: t.encode("cp1251")
    sections = cp("Привет @Имя!\r\n\r\nОтвечаю на письмо от @ДатаПисьмаОтвет @ВремяПисьмаОтвет, писал(а) @ОтветОт "
                  "к @ОтветКому.\r\n\r\n@ТекстПисьмаОтвет\r\n\r\n@Курсор\r\n/// От: @ПереслатьОт Кому: "
                  "@ПереслатьКому Тема: @ПереслатьТема @ПереслатьДата @ПереслатьВремя\r\n@ПереслатьТекст\r\n"
                  "@ФИО @Фамилия @Адрес @ДатаВремяПисьмо\r\n")
    ends = cp("\r\nВсего хорошего,\r\n@СвоеИмя @СвояФамилия @СвоеФИО.\r\n\r\n--- @Тирлайн\r\n * Origin: "
              "@Ориджин (@СвойАдрес)\r\n*** послано также в @Раздел из @ОтветРаздел\r\n")
    tearlines = cp("Пелмар 1.0 (Linux)\r\n@Ориджин @Курсор\r\n")
    origins = cp("Per aspera ad astra\r\n@ОтветОт @ТекстПисьмаОтвет\r\n")
    charsets = [b"CP866 2", b"IBM PC 2", b"+7_FIDO 2", b"CP1251 2", b"KOI8-R 2", b"koi8-u", b"LATIN-1 2",
                b"ISO-8859-5 3", b"UTF-8 4", b"CP437 2", b"ASCII 1", b"UNKNOWN 9", b"", b"CP866"]
    broken = [b"\xd0\x9f\xd1\x80\xd0", b"\xe2\x82", b"\xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80 \x80\xbf",
              "Привет, мир ✓ 😀".encode("utf-8"), "Привет".encode("cp866"), "Привет".encode("koi8-r")]
    msgs = []
    for root, _, files in os.walk(os.path.join(fixtures)):
        for name in sorted(files):
            if name.lower().endswith(".msg"):
                msgs.append(read(os.path.join(root, name)))
    msgs = msgs[:12]
    for i, data in enumerate(msgs):
        frm, to, subj, kludges, body = msg_fields(data)
        for mode in range(4):
            control = bytes([mode | (0x10 if i % 2 else 0) | 0x60, i % 4, 1, 1, 0, 0])
            save(out, "templates", pack([control, frm, to, subj, b"2:5020/1.3", b"2:5020/9", b"01 Jan 24 12:00:00",
                                         b"\n".join(kludges), body, sections, ends, tearlines, origins]))
        save(out, "render", pack([bytes([i * 7 % 64]) + bytes(range(12)), charsets[i % len(charsets)],
                                  b"\n".join(kludges), body.replace(b"\n", b"")]))
        saved = data[:190] + b"\x01SAVED: area1 area2\r" + data[190:]
        save(out, "drafts", bytes([i % 8]) + pack([data, saved, b"" if i % 2 else data[:190]]))
    long_field = b"x" * 3000
    save(out, "templates", pack([b"\x01\x04\x00\x00", long_field, b"", long_field, b"", b"", b"",
                                 b"\n".join([b"MSGID: 2:5020/1 1"] * 50), long_field, sections * 3, ends,
                                 tearlines, origins]))
    save(out, "templates", pack([b"\x00", b"", b"", b"", b"", b"", b"", b"", b"", b"", b"", b"", b""]))
    for value in charsets:
        for text in broken:
            save(out, "charset", pack([value, b"CHRS: " + value, b"\x01CHRS: " + value + b"\r" + text, text]))
            save(out, "render", pack([b"\x1b", value, b"MSGID: 2:5020/1 1", text + b"\r> quote\r_und_ *bold*\r"]))
    save(out, "charset", pack([b"", b"", b"", b""]))
    save(out, "plugins", pack([b"\x00\x01\xff\xff", b"", b"Recorder", b"Text\rof the message\r"]))
    save(out, "plugins", pack([b"\x10\x00\x00\x00\x00\x00",
                               struct.pack("<iBB", 300, 255, 0) + struct.pack("<iBB", 300, 255, 1),
                               b"N" * 400, b"x" * 5000]))
    save(out, "plugins", pack([b"", struct.pack("<iBB", -1, 1, 1), b"name\0tail", b"a\0b"]))


if __name__ == "__main__":
    main()
