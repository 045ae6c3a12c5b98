"""Seeds of the configuration importer targets (import_config, fastecho); make_seeds.py calls write().

import_config: one byte for the main file's format (0 GOLDED.CFG, 1 fidoconfig, 2 crashmail.prefs,
3 SQUISH.CFG, 4 T-MAIL.CTL, 5 AREAS.BBS), then the main file and the four files it may name beside it
(i1 .. i4), packed as FuzzBase.h cuts them. fastecho: a whole FASTECHO.CFG."""
import os
import struct


def _pack(parts):
    parts = list(parts) + [b""] * (5 - len(parts))
    return b"".join(struct.pack("<I", len(p)) for p in parts[:-1]) + b"".join(parts)


def _text(s):
    return s.encode("cp1251", "replace") if isinstance(s, str) else s


def _config(fmt, *files):
    return bytes([fmt]) + _pack([_text(f) for f in files])


# ---- FASTECHO.CFG -------------------------------------------------------------------------------
HEADER = 4644
AREA = 190


def fastecho(addresses, areas, aka_count=None, area_count=None, node_count=0, node_size=0,
             blocks_before=(), slack=0, hudson=b"C:\\HUDSON", node_bytes=None):
    def block(kind, data):
        return struct.pack("<HI", kind, len(data)) + data
    akas = b""
    for zone, net, node, point in addresses:
        akas += (struct.pack("<HHHH", zone, net, node, point) + b"fidonet").ljust(42, b"\0")
    akas += b"\0" * (42 * slack)
    ext = b"".join(block(k, d) for k, d in blocks_before) + block(7, akas)
    header = bytearray(HEADER)
    struct.pack_into("<H", header, 0, 6)
    struct.pack_into("<H", header, 6, node_count)
    struct.pack_into("<H", header, 8, len(areas) if area_count is None else area_count)
    header[68:68 + len(hudson)] = hudson
    header[3250] = len(addresses) if aka_count is None else aka_count
    struct.pack_into("<H", header, 4638, node_size)
    struct.pack_into("<I", header, 4640, len(ext))
    records = b""
    for name, flags, path, desc, board, aka in areas:
        r = bytearray(AREA)
        r[0:len(name[:52])] = name[:52]
        struct.pack_into("<H", r, 52, board)
        r[60] = aka
        struct.pack_into("<H", r, 62, flags)
        r[82:82 + len(path[:56])] = path[:56]
        r[138:138 + len(desc[:52])] = desc[:52]
        records += bytes(r)
    nodes = b"\x5a" * (node_count * node_size if node_bytes is None else node_bytes)
    return bytes(header) + ext + nodes + records


def _fastecho_seeds():
    areas = [(b"SU.GENERAL", 2, b"C:\\SQ\\SUGEN", b"General talk", 0, 0),
             (b"RU.NETMAIL", 0x11, b"C:\\NET", b"", 0, 0),
             (b"R50.SYSOP", 3, b"D:\\JAM\\R50", b"\xd1\xe8\xf1\xee\xef\xfb", 0, 1),
             (b"HUDSON.AREA", 0, b"", b"Board 12", 12, 0),
             (b"PASS.THRU", 7, b"", b"", 0, 0),
             (b"..A..B.", 1, b"C:\\DOTS", b"", 0, 0),
             (b"X" * 52, 1, b"P" * 56, b"D" * 52, 0, 0)]
    addresses = [(2, 5020, 1, 0), (2, 5020, 1, 3)]
    good = fastecho(addresses, areas, node_count=2, node_size=100,
                    blocks_before=[(1, b"\1\2\3"), (9, b"")])
    yield good
    yield fastecho(addresses, areas[:2])
    yield good[:HEADER - 1]                                       # shorter than the header
    yield good[:len(good) - AREA // 2]                            # the last record cut
    yield fastecho(addresses, areas, area_count=65535)            # more areas counted than stored
    yield fastecho(addresses, areas, aka_count=255)               # more addresses counted than stored
    yield fastecho(addresses, areas, aka_count=255, slack=3)
    yield fastecho(addresses, areas, node_count=65535, node_size=65535, node_bytes=0)  # counted, not there
    yield fastecho([], areas)                                     # an area's address not there
    no_ext = bytearray(fastecho(addresses, areas))
    struct.pack_into("<I", no_ext, 4640, 0xFFFFFFFF)              # extension size beyond the file
    yield bytes(no_ext)
    zero_blocks = fastecho(addresses, areas[:1], blocks_before=[(0, b"")] * 40)
    yield zero_blocks


# ---- text configurations ------------------------------------------------------------------------
def _text_seeds(fixtures):
    prefs = open(os.path.join(fixtures, "crashmail", "crashmail.prefs.example"), "rb").read()
    long_field = "X" * 5000
    seeds = []
    # GOLDED.CFG and the area lists it names.
    seeds.append(_config(0,
        "; GoldEd\r\nUSERNAME Иван Петров\r\nADDRESS 2:5020/1.3\r\nAKA 2:5020/1.4@fidonet\r\n"
        "ORIGIN \"Somewhere\"\r\nNODEPATH C:\\NODES\\\r\nNODELIST NODELIST.*\r\nROBOTNAME Areafix\r\n"
        "TEARLINE @i4\r\nAREAFILE Squish i1\r\nAREAFILE AreasBBS i2\r\nAREAFILE FastEcho i3\r\n"
        "AREAFILE Fidoconfig i4\r\nAREAFILE CrashMail i1\r\nAREAFILE Unknown x\r\n",
        "Address 2:5020/1\r\nNetArea NETMAIL C:\\NET\r\nEchoArea SU.GENERAL C:\\SQ\\SUGEN -$\r\n",
        "Station ! Sysop\r\n$C:\\SQ\\RU.FIDO RU.FIDO 2:5020/1\r\n12 SU.HARDW 2:5020/9\r\n",
        fastecho([(2, 5020, 1, 0)], [(b"SU.GENERAL", 2, b"C:\\SQ\\SUGEN", b"", 0, 0)]),
        "EchoArea RU.TEST /msg/rutest -b jam\r\n"))
    seeds.append(_config(0, "USERNAME\nADDRESS\nAKA \nTEARLINE @\nTEARLINE @i1\nAREAFILE\nAREAFILE SQUISH\n"
                            "AREAFILE SQUISH  \nAREAFILE FASTECHO .\nNODELIST\nUSERNAME " + long_field + "\n",
                         "\n".join(["TEARLINE line %d" % i for i in range(20)])))
    seeds.append(_config(0, "".join("AREAFILE Fidoconfig i%d\n" % (1 + i % 4) for i in range(12)),
                         "include i2\nEchoArea A1 /a1\n", "include i3\nEchoArea A2 /a2\n",
                         "include i1\nEchoArea A3 /a3\n", "include i4\n"))
    # fidoconfig: includes, chains, cycles, self-includes, variables.
    seeds.append(_config(1,
        "# husky\nset BASE=/msg\nAddress 2:5020/1@fidonet\nAddress 2:5020/1.5\n"
        "NetmailArea NETMAIL [BASE]/netmail -b msg\nBadArea BAD [BASE]/bad\ninclude i1   # areas\n"
        "EchoArea PASS.ONE passthrough\nEchoArea PASS.TWO [BASE]/pass -pass\n"
        "EchoAreaDefault -b squish -a 2:5020/1.5\nEchoArea DEF.AREA [BASE]/def\nEchoAreaDefault off\n",
        "ifdef BASE\nEchoArea RU.TEST [BASE]/rutest -b Jam -d \"Test area\"\nelse\nEchoArea WRONG /w\n"
        "endif\nifndef BASE\nEchoArea WRONG2 /w\nendif\nif [BASE]==/msg\nEchoArea EQ /eq\nelseif 1!=2\n"
        "elif x\nelse\nendif\nEchoArea SU.GENERAL [BASE]/sugeneral -a 2:5020/1.0 -d \"Общий\"\n"))
    seeds.append(_config(1, "include i1\nEchoArea ONE /one\n", "include i2\nEchoArea TWO /two\n",
                         "include i3\n", "include i4\n", "include i1\ninclude config\ninclude i4\n"))
    seeds.append(_config(1, "include config\ninclude ./config\ninclude ../" + "x/../" * 3 + "config\n"
                            "include i9\ninclude\ninclude /\nEchoArea SELF /self\n"))
    seeds.append(_config(1, "".join("include i1\n" for _ in range(20)),
                         "".join("include i2\n" for _ in range(20)) + "EchoArea X /x\n",
                         "".join("include i3\n" for _ in range(20)), "EchoArea Y /y\n"))
    seeds.append(_config(1, "set A=[A][A]\nset B=[A][B]\nset A=[B]x\nset C\nset =v\nset [A]=[B]\n"
                            "set X=`echo hi`\ncommentchar ;\nEchoArea [A][B][C] [B]/p ; comment\n"
                            "commentchar\nEchoArea " + "[" * 300 + " /p\nEchoArea [HOME] [PATH]\n"
                            "if\nelse\nelse\nendif\nendif\nendif\n" + "ifdef A\n" * 100 + "EchoArea DEEP /d\n"))
    seeds.append(_config(1, "EchoArea " + long_field[:4000] + " /p -d \"" + "d" * 90 + "\"\n"
                            "EchoArea \"\" \"\" -b\nEchoArea T \"/with space\" -a\nEchoArea E \"\n"
                            "NetmailArea N /n -b squish -b jam -b msg -b passthrough\n"))
    # crashmail.prefs: the fixture's, and damaged lines.
    seeds.append(_config(2, prefs))
    seeds.append(_config(2, "AKA\nAKA 2:5020/1\nDESCRIPTION first\nAREA \"DEFAULT_X\" 2:5020/1 JAM \"/d\"\n"
                            "DESCRIPTION none\nAREA \"A\" 2:5020/1 JAM \"\"\nAREA \"B\" 2:5020/1 SQUISH \"/b\"\n"
                            "AREA \"C\" 2:5020/1 MSG \"/c\"\nDESCRIPTION \"Описание\"\nNETMAIL \"N\" bad MSG n\n"
                            "AREA \"unterminated 2:5020/1 MSG \"/u\n\"\n#\n;\n\t\n"))
    # SQUISH.CFG
    seeds.append(_config(3,
        "; Squish\r\nAddress 2:5030/100\r\nAddress 2:5030/100.5\r\nNetArea NETMAIL D:\\Msg\\Net\r\n"
        "BadArea BAD_MSGS D:\\Msg\\Bad -$\r\nDupeArea DUPES D:\\Msg\\Dupes\r\n\r\n"
        "EchoArea SU.GENERAL D:\\Msg\\Su.Gen -$ 2:5030/1\r\nechoarea su.plain D:\\Msg\\Plain 2:5030/1\r\n"
        "EchoArea R50.SYSOP\tD:\\Msg\\R50  -$\r\nEchoArea TOO.SHORT\r\n   EchoArea INDENTED D:\\Msg\\Ind\r\n"
        "Address\r\nEchoArea LAST D:\\Msg\\Last"))
    seeds.append(_config(3, "EchoArea\nEchoArea A\nEchoArea A B\nEchoArea A B -$\nEchoArea A C\n"
                            "EchoAreaX Y Z\nNetArea " + long_field[:4090] + "\n" + "Y" * 5000 + "\n"))
    # T-MAIL.CTL
    seeds.append(_config(4, "; T-Mail\r\nAddress 2:5020/1.3@fidonet\r\nMail_In C:\\T-MAIL\\NETMAIL\r\n"
                            "MailBox Vasya Pupkin = C:\\BOXES\\VASYA\r\nAddress 2:5020/2\r\n"
                            "MailBox Petya=C:\\BOXES\\PETYA -x\r\nMailBox = C:\\NONAME\r\nMailBox X =\r\n"
                            "MailBox\r\nMailBoxes x\r\nMail_In\r\nAddress\r\nAddress garbage\r\n"))
    # AREAS.BBS
    seeds.append(_config(5, "My Station ! Vasya Pupkin\r\n; comment\r\n$D:\\SQ\\RU.FIDO RU.FIDO 2:5030/100 2:5030/200\r\n"
                            "12 SU.HARDW 2:5020/1\r\n!D:\\JAM\\R50 R50.SYSOP 2:5020/9\r\nC:\\NET NETMAIL\r\n"
                            "0 ZERO\r\n201 TOO.HIGH\r\n99999999999999999999 HUGE\r\n! EMPTY.JAM\r\n$ EMPTY\r\n"
                            " C:\\INDENTED INDENTED\r\n200 LAST 1:2/3\r\n"))
    seeds.append(_config(5, "!D:\\JAM\\FIRST FIRST.AREA\n1 A\n1 a\n1 A.\n1 .\n" + long_field[:4000] + " Z\n"))
    # Every main file empty, and an empty input.
    for fmt in range(6):
        seeds.append(bytes([fmt]))
    return seeds


def write(fixtures, save):
    """Calls save(target, bytes) for every seed."""
    for data in _text_seeds(fixtures):
        save("import_config", data)
    for data in _fastecho_seeds():
        save("fastecho", data)
