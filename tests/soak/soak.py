#!/usr/bin/env python3
"""Soak run: crashmail tosses packets into a JAM and a *.MSG area in a loop while pelmar-tool posts,
marks read and deletes in the same areas. At the end every message of both sides must be present
exactly once and intact (or gone when it was deleted), the marks must hold, the JAM base must pass the
layout checker, and crashmail's SCAN must export exactly our messages that were not deleted.

Usage: soak.py --tool PELMAR_TOOL --checker SOAK_CHECK --shared SHARED_DIR [--seconds N] [--keep DIR]
"""
import argparse
import glob
import json
import os
import random
import shutil
import subprocess
import sys
import tempfile
import threading
import time

from bases import Tool, body_lines, check_jam

AREAS = {"RU.SOAK": ("jam", "rusoak"), "SU.SOAK": ("msg", "susoak")}
BOX = "┌──┬──┐ │√■│░▒▓│ ╚══╩══╝ Ёё №"


def log(*parts):
    print("soak:", *parts, flush=True)


class Soak:
    def __init__(self, args):
        self.args = args
        self.work = args.keep or tempfile.mkdtemp(prefix="pelmar-soak-")
        shutil.rmtree(self.work, ignore_errors=True)  # every run starts from empty areas
        os.makedirs(self.work)
        for sub in ("inb", "outb", "tmp", "pkt", "msg", "home"):
            os.makedirs(os.path.join(self.work, sub), exist_ok=True)
        sys.path.insert(0, os.path.join(args.shared, "fixtures", "crashmail"))
        import mkpkt  # the fixtures' packet writer

        self.mkpkt = mkpkt
        self.prefs = os.path.join(self.work, "crashmail.prefs")
        self.write_prefs()
        self.env = dict(os.environ, PELMAR_HOME=os.path.join(self.work, "home"))
        self.pelmar_tool = Tool(args.tool, self.env)
        self.lock = threading.Lock()
        # msgid -> {"area", "subject", "body", "side"}; what should be in the bases
        self.expected = {}
        self.deleted = set()
        self.marked = set()
        self.problems = []
        self.peer_defects = []  # damage the tosser did, shown apart from ours
        self.figures = {"packets": 0, "tossed": 0, "posted": 0, "marked": 0, "mark_busy": 0, "deleted": 0,
                        "delete_busy": 0, "post_failed": 0, "toss_failed": 0, "overwritten_by_tosser": 0}
        self.files = {}  # msgid of ours in a *.MSG area -> the file it was written to
        self.remote_serial = 0x5000_0000
        self.deadline = 0
        self.first_bad_header = None  # which side had just written when the JAM header first looked wrong
        self.fill_pattern = False

    def base(self, area):
        kind, name = AREAS[area]
        return kind, os.path.join(self.work, "msg", name)

    def write_prefs(self):
        w = self.work
        lines = [
            'SYSOP "Sysop"', f'LOGFILE "{w}/crashmail.log"', "LOGLEVEL 3", f'DUPEFILE "{w}/dupes" 1000',
            "DUPEMODE BAD", "DEFAULTZONE 2", f'INBOUND "{w}/inb"', f'OUTBOUND "{w}/outb"', f'TEMPDIR "{w}/tmp"',
            f'CREATEPKTDIR "{w}/tmp"', f'PACKETDIR "{w}/outb"', f'STATSFILE "{w}/crashmail.stats"', "AKA 2:5020/1.0", 'DOMAIN "fidonet"',
            'NODE 2:5020/2.0 "" "" AUTOADD', 'NODE 2:5020/9.0 "" "" AUTOADD',
            'ROUTE "*:*/*.*" "2:5020/9.0" 2:5020/1.0', f'NETMAIL "NETMAIL" 2:5020/1.0 MSG "{w}/msg/netmail"',
            f'AREA "BAD" 2:5020/1.0 MSG "{w}/msg/bad"',
        ]
        for area, (kind, name) in AREAS.items():
            lines += [f'AREA "{area}" 2:5020/1.0 {kind.upper()} "{w}/msg/{name}"', "EXPORT 2:5020/2.0"]
        with open(self.prefs, "w") as f:
            f.write("\n".join(lines) + "\n")

    def crashmail(self, *words):
        return subprocess.run(["crashmail", "SETTINGS", self.prefs, *words], capture_output=True, text=True)

    def tool(self, *words, stdin=""):
        return self.pelmar_tool.run(*words, stdin=stdin)

    # ---- the tosser's side ----

    def remote_message(self, area, n):
        self.remote_serial += 1
        msgid = "2:5020/2 %08x" % self.remote_serial
        body = (f"Письмо {n} из пакета, строка с кириллицей.\n{BOX}\n" + "Ещё одна строка текста.\n" * (n % 4) +
                "--- RemoteGen\n * Origin: Remote (2:5020/2)")
        return msgid, {"area": area, "from": "Remote Sender", "to": "All", "subject": f"Remote {msgid[-8:]}",
                       "date": time.strftime("%d %b %y  %H:%M:%S"), "orig": "2:5020/2", "dest": "2:5020/1",
                       "attr": 0, "kludges": [f"MSGID: {msgid}", "PID: RemoteGen 1.0"], "body": body,
                       "seenby": ["5020/1 2"], "path": ["5020/2"]}

    def tosser(self):
        n = 0
        while time.time() < self.deadline:
            messages = []
            for _ in range(random.randint(1, 6)):
                n += 1
                messages.append(self.remote_message(random.choice(self.args.toss_areas or list(AREAS)), n))
            data = self.mkpkt.pkt_header("2:5020/2", "2:5020/1")
            for _, m in messages:
                data += self.mkpkt.packed(m)
            data += b"\0\0"
            with open(os.path.join(self.work, "pkt", "%08x.pkt" % n), "wb") as f:
                f.write(data)
            done = self.crashmail("TOSSDIR", os.path.join(self.work, "pkt"), "NOSECURITY")
            self.watch_jam_header("crashmail TOSS")
            self.figures["packets"] += 1
            if done.returncode != 0:
                self.figures["toss_failed"] += 1
                self.problems.append(f"crashmail TOSS failed ({done.returncode}): {done.stdout[-300:]}")
            with self.lock:
                for msgid, m in messages:
                    self.expected[msgid] = {"area": m["area"], "subject": m["subject"], "body": m["body"],
                                            "side": "tossed"}
                    self.figures["tossed"] += 1
            time.sleep(random.uniform(0, 0.2))

    # ---- our side ----

    def watch_jam_header(self, after):
        """ActiveMsgs can never exceed the index entries; a larger value is damage. The first time it is
        seen, note whose write had just ended (the other side may be writing at the same moment)."""
        if self.first_bad_header:
            return
        _, path = self.base("RU.SOAK")
        try:
            with open(path + ".jhr", "rb") as f:
                header = f.read(24)
            entries = os.path.getsize(path + ".jdx") // 8
        except OSError:
            return
        if len(header) == 24:
            active = int.from_bytes(header[12:16], "little")
            if active > entries:
                self.first_bad_header = f"after {after}: ActiveMsgs {active:#x}, {entries} index entries"
                # Three equal upper bytes over a small count: the fill of an uninitialised buffer, the
                # same that crashmail leaves in PasswordCRC (0xfefefeff) of every header it writes.
                self.fill_pattern = len({(active >> 8) & 0xFF, (active >> 16) & 0xFF, active >> 24}) == 1

    def post(self, n, area=None):
        area = area or random.choice(self.args.post_areas or list(AREAS))
        kind, path = self.base(area)
        subject = f"Ours {n} {BOX[:6]}"
        body = f"Наше письмо {n}.\n{BOX}\n" + "Строка текста.\n" * (len(str(n)) % 3) + "--- soak\n * Origin: Soak (2:5020/1)"
        before = set(os.listdir(path)) if kind == "msg" and os.path.isdir(path) else set()
        done = self.pelmar_tool.post(kind, path, subject, body)
        if done.returncode != 0:
            self.figures["post_failed"] += 1  # a lock held too long is a refusal, not a loss
            return
        # The MSGID is ours to find: the newest message with this subject.
        dumped = self.dump(area, headers=True)
        mine = [m for m in dumped if m["subject"] == subject]
        if not mine and kind == "msg" and self.replaced_by_tosser(path, before, subject):
            self.figures["overwritten_by_tosser"] += 1
            return
        if len(mine) != 1:
            where = self.file_holding(path, subject) if kind == "msg" else None
            self.problems.append(f"posted '{subject}' to {area} (status 0, position {done.stdout.strip()}) but "
                                 f"found it {len(mine)} times; file: {where}")
            return
        with self.lock:
            self.expected[mine[0]["msgid"]] = {"area": area, "subject": subject, "body": body, "side": "ours"}
            self.figures["posted"] += 1
        if kind == "msg":
            self.files[mine[0]["msgid"]] = self.file_holding(path, subject)
        else:
            self.watch_jam_header("pelmar-tool post")

    @staticmethod
    def replaced_by_tosser(folder, before, subject):
        """Our message is in none of the files that appeared while it was written, and one of them holds
        a tossed message: crashmail numbers new files from the highest number it saw when it began and
        creates them truncating, so it replaced our file."""
        wanted = subject.encode("cp866")
        tossed = False
        for name in set(os.listdir(folder)) - before:
            if not name.endswith(".msg"):
                continue
            with open(os.path.join(folder, name), "rb") as f:
                head = f.read(190)
            if head[72:144].split(b"\0")[0] == wanted:
                return False
            tossed = tossed or head[:36].split(b"\0")[0] == b"Remote Sender"
        return tossed

    @staticmethod
    def file_holding(folder, subject):
        """The newest *.msg file of the folder whose header carries the subject."""
        numbered = sorted((int(n[:-4]), n) for n in os.listdir(folder) if n.endswith(".msg") and n[:-4].isdigit())
        wanted = subject.encode("cp866")
        for _, name in reversed(numbered[-40:]):
            with open(os.path.join(folder, name), "rb") as f:
                if f.read(190)[72:144].split(b"\0")[0] == wanted:
                    return os.path.join(folder, name)
        return None

    def dump(self, area, headers=False):
        kind, path = self.base(area)
        return self.pelmar_tool.dump_into(kind, path, area, self.problems, headers)

    def act(self, verb):
        with self.lock:
            live = [k for k in self.expected if k not in self.deleted]
        if not live:
            return
        msgid = random.choice(live)
        area = self.expected[msgid]["area"]
        kind, path = self.base(area)
        done = self.tool(verb, "--kind", kind, path, "--msgid", msgid)
        key = "marked" if verb == "mark-read" else "deleted"
        if kind == "jam":
            self.watch_jam_header("pelmar-tool " + verb)
        if done.returncode == 0:
            with self.lock:
                (self.marked if verb == "mark-read" else self.deleted).add(msgid)
            self.figures[key] += 1
        elif done.returncode == 1:
            self.figures["mark_busy" if verb == "mark-read" else "delete_busy"] += 1
        else:
            self.problems.append(f"{verb} {msgid} in {area}: status {done.returncode}: {done.stderr.strip()}")

    def ours(self):
        n = 0
        while time.time() < self.deadline:
            n += 1
            roll = random.random()
            if roll < 0.55:
                self.post(n)
            elif roll < 0.8:
                self.act("mark-read")
            else:
                self.act("delete")

    # ---- the end ----

    def verify_bases(self):
        for area in AREAS:
            seen = {}
            for m in self.dump(area):
                seen.setdefault(m["msgid"], []).append(m)
            want = {k: v for k, v in self.expected.items() if v["area"] == area and k not in self.deleted}
            for msgid, exp in want.items():
                found = seen.get(msgid, [])
                if not found and self.overwritten(msgid):
                    continue
                if len(found) != 1:
                    self.problems.append(f"{area}: {exp['side']} message {msgid} found {len(found)} times")
                    continue
                got = found[0]
                if got["subject"] != exp["subject"]:
                    self.problems.append(f"{area}: {msgid} subject {got['subject']!r} != {exp['subject']!r}")
                if body_lines(got["text"]) != body_lines(exp["body"]):
                    self.problems.append(f"{area}: {msgid} body differs: {got['text'][:200]!r}")
                if msgid in self.marked and not got["read"]:
                    self.problems.append(f"{area}: {msgid} was marked read but is unread")
            for msgid in seen:
                if msgid not in want:
                    why = "deleted" if msgid in self.deleted else "unknown"
                    self.problems.append(f"{area}: {why} message {msgid} is in the base")
            kind, path = self.base(area)
            if kind == "jam":
                for line in check_jam(self.args.checker, path, to_crc=False):
                    # crashmail 1.7 writes a base header of uninitialised bytes (a fill pattern such as
                    # 0xfefefe82) when it writes while we do; we only ever add or take one.
                    if line.startswith("ActiveMsgs") and self.fill_pattern:
                        self.peer_defects.append(f"{area}: {line} (first seen {self.first_bad_header})")
                    else:
                        self.problems.append(f"{area}: JAM layout: {line}")

    def overwritten(self, msgid):
        """Our *.MSG message whose file now holds a tossed message: crashmail numbers new files from the
        highest number it saw when it began and creates them truncating, so a message written in the
        meantime under that number is replaced. Counted and reported, not ours to prevent."""
        name = self.files.get(msgid)
        if not name or not os.path.exists(name):
            return False
        with open(name, "rb") as f:
            data = f.read()
        if b"\x01MSGID: " + msgid.encode() in data or b"Remote Sender" not in data[:72]:
            return False
        self.figures["overwritten_by_tosser"] += 1
        return True

    def exported_msgids(self):
        found = {}
        for name in glob.glob(os.path.join(self.work, "outb", "**", "*"), recursive=True):
            if not os.path.isfile(name):
                continue
            data = open(name, "rb").read()
            if len(data) < 60 or data[18:20] != b"\x02\x00":
                continue
            pos = 58
            while pos + 2 <= len(data) and data[pos:pos + 2] == b"\x02\x00":
                pos += 14 + 20
                for _ in range(3):  # to, from, subject
                    pos = data.index(b"\0", pos) + 1
                end = data.index(b"\0", pos)
                text = data[pos:end].decode("cp866")
                pos = end + 1
                area = text.split("\r", 1)[0][5:] if text.startswith("AREA:") else "?"
                for line in text.split("\r"):
                    if line.startswith("\x01MSGID: "):
                        found.setdefault(line[8:], []).append(area)
        return found

    def scan_area(self, area):
        for name in glob.glob(os.path.join(self.work, "outb", "*")):
            os.remove(name)
        done = self.crashmail("SCANAREA", area)
        if done.returncode != 0:
            self.problems.append(f"crashmail SCANAREA {area} failed ({done.returncode}): {done.stdout[-300:]}")
        return self.exported_msgids()

    def verify_scan(self):
        # The *.MSG area must export exactly our messages that are left. crashmail 1.7 cannot re-read
        # the JAM messages it tossed itself (and stops its whole scan there), so the JAM area is scanned
        # on its own afterwards and only counted.
        lost = {k for k in self.expected if self.files.get(k) and self.figures["overwritten_by_tosser"]
                and self.overwritten_quiet(k)}
        for area, exact in (("SU.SOAK", True), ("RU.SOAK", False)):
            exported = self.scan_area(area)
            ours = {k for k, v in self.expected.items()
                    if v["side"] == "ours" and v["area"] == area and k not in self.deleted and k not in lost}
            self.figures[f"exported_{area}"] = sum(len(v) for v in exported.values())
            self.figures[f"unsent_{area}"] = len(ours)
            if not exact:
                wrong = [k for k in exported if k not in ours]
                if wrong:
                    self.problems.append(f"SCAN {area}: exported messages that are not unsent ours: {wrong[:5]}")
                continue
            for msgid in sorted(ours):
                got = exported.get(msgid, [])
                if got != [area]:
                    self.problems.append(f"SCAN {area}: our {msgid} exported as {got}")
            for msgid in exported:
                if msgid not in ours:
                    self.problems.append(f"SCAN {area}: exported {msgid}, which is not an unsent message of ours")

    def overwritten_quiet(self, msgid):
        before = self.figures["overwritten_by_tosser"]
        result = self.overwritten(msgid)
        self.figures["overwritten_by_tosser"] = before
        return result

    def run(self):
        log(f"work folder {self.work}, {self.args.seconds} s")
        # The bases are ours to create: crashmail 1.7 leaves uninitialised bytes in a JAM base header
        # it creates (ActiveMsgs, PasswordCRC, DateCreated).
        for area in AREAS:
            self.post(f"first in {area}", area)
        self.deadline = time.time() + self.args.seconds
        tosser = threading.Thread(target=self.tosser)
        tosser.start()
        try:
            self.ours()
        finally:
            tosser.join()
        self.verify_bases()
        self.verify_scan()
        counts = {area: len([1 for k, v in self.expected.items() if v["area"] == area and k not in self.deleted])
                  for area in AREAS}
        self.figures["left_per_area"] = counts
        log("figures", json.dumps(self.figures, ensure_ascii=False))
        if self.first_bad_header:
            log("JAM header first seen damaged", self.first_bad_header)
        for p in self.peer_defects:
            log("PEER DEFECT", p)
        if self.figures["overwritten_by_tosser"]:
            log("PEER DEFECT", f"{self.figures['overwritten_by_tosser']} of our *.MSG messages were replaced by "
                "crashmail (it creates its next numbers truncating, without O_EXCL)")
        for p in self.problems[:50]:
            log("PROBLEM", p)
        if len(self.problems) > 50:
            log(f"... and {len(self.problems) - 50} more problems")
        log("OK" if not self.problems else f"FAILED with {len(self.problems)} problems")
        if not self.problems and not self.args.keep:
            shutil.rmtree(self.work, ignore_errors=True)
        return 0 if not self.problems else 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--checker", required=True)
    parser.add_argument("--shared", required=True)
    parser.add_argument("--seconds", type=int, default=180)
    parser.add_argument("--keep")
    parser.add_argument("--seed", type=int, default=None)
    # To tell which side damaged a base: limit the tosser or our posts to some areas.
    parser.add_argument("--toss-areas", nargs="*", choices=list(AREAS))
    parser.add_argument("--post-areas", nargs="*", choices=list(AREAS))
    args = parser.parse_args()
    random.seed(args.seed)
    return Soak(args).run()


if __name__ == "__main__":
    sys.exit(main())
