#!/usr/bin/env python3
"""Window soak: Pelmar runs on a virtual display over copies of the fixture areas while a seeded
random driver sends it commands from the key table and the menus, and pelmar-tool posts, marks read
and deletes in the same areas. At the end Pelmar must be alive, answer and quit cleanly; no message of
either side may be lost or damaged; every letter Pelmar sent must be in its base once; and the
resident size must not keep growing.

The areas come in two groups. Pelmar sends its letters into the counted areas (A*) and the tool works
there; everything that removes or changes a message from the windows (delete, move, edit, mark
unread) is done only after opening a scratch area (B*), so the counted areas' check is exact.

Usage: gui.py --pelmar P --tool T --checker C --shared DIR [--seconds N] [--keep DIR] [--seed N]
"""
import argparse
import collections
import json
import os
import random
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

from bases import Tool, body_lines, check_jam

# Name in the area tree (the tree sorts by name, so the list order is the row order), kind, fixture.
AREAS = [
    ("A1 Jam", "jam", "crashmail/bases/rutest"),
    ("A2 Msg", "msg", "crashmail/bases/sugeneral"),
    ("A3 Squish", "squish", "smapi/bases/squish/ru.test"),
    ("B1 Jam", "jam", "smapi/bases/jam/su.general"),
    ("B2 Msg", "msg", "smapi/bases/msg/ru.test"),
    ("B3 Squish", "squish", "smapi/bases/squish/su.general"),
]
COUNTED = [a[0] for a in AREAS if a[0].startswith("A")]
SCRATCH = [a[0] for a in AREAS if a[0].startswith("B")]
BOX = "┌──┬──┐ │√■│░▒▓│ ╚══╩══╝ Ёё №"
MAIN_TITLE = "Пелмар"


def is_main_title(title):
    """The main window's title, with or without its count of unread personal mail."""
    return title == MAIN_TITLE or title.startswith(MAIN_TITLE + " — ")


# Where the titles of the menu bar stand: letter, search, settings, windows, help.
MENU_X = [32, 89, 156, 219, 276]
# Windows of ours that are not letters; any other non-modal window is an editor.
OTHER_WINDOWS = ("Редактирование шаблонов", "Сообщение об ошибке", "Список узлов", "Закладки", "Справка")
WORDS = ["soak", "text", "line", "Привет", "всем", "тест", "quote>", "12345", "{braces}", "back\\slash",
         "_under_", "*bold*", "2:5020/1", "http://example.org/", "Ёжик"]


def log(*parts):
    print("gui-soak:", *parts, flush=True)


class Hang(Exception):
    pass


class Crash(Exception):
    pass


class Display:
    """A private X display with a window manager when one is installed."""

    def __init__(self, work):
        for n in range(150, 400):
            if not os.path.exists(f"/tmp/.X{n}-lock") and not os.path.exists(f"/tmp/.X11-unix/X{n}"):
                break
        self.name = f":{n}"
        self.env = dict(os.environ, DISPLAY=self.name)
        self.xvfb = subprocess.Popen(["Xvfb", self.name, "-screen", "0", "1280x900x24", "-nolisten", "tcp"],
                                     stdout=subprocess.DEVNULL, stderr=open(os.path.join(work, "xvfb.log"), "w"))
        for _ in range(100):
            if os.path.exists(f"/tmp/.X11-unix/X{n}"):
                break
            time.sleep(0.1)
        self.wm = None
        if shutil.which("openbox"):
            self.wm = subprocess.Popen(["openbox"], env=self.env, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
            time.sleep(1)

    def close(self):
        for p in (self.wm, self.xvfb):
            if p and p.poll() is None:
                p.terminate()
                try:
                    p.wait(10)
                except subprocess.TimeoutExpired:
                    p.kill()


class GuiSoak:
    def __init__(self, args):
        self.args = args
        self.rng = random.Random(args.seed)
        self.work = args.keep or tempfile.mkdtemp(prefix="pelmar-gui-soak-")
        shutil.rmtree(self.work, ignore_errors=True)
        for sub in ("home", "bases", "runtime", "screens"):
            os.makedirs(os.path.join(self.work, sub))
        os.chmod(os.path.join(self.work, "runtime"), 0o700)
        self.home = os.path.join(self.work, "home")
        self.env = dict(os.environ, PELMAR_HOME=self.home + "/")
        self.tool = Tool(args.tool, self.env)
        self.lock = threading.Lock()
        self.commands = collections.deque(maxlen=200)
        self.problems = []
        self.notes = []
        self.figures = collections.Counter()
        self.rss = []  # (seconds since start, kB)
        self.expected = {}  # key -> {"area", "copies": [(subject, body lines)], "side"}
        self.deleted, self.marked = set(), set()
        self.letters = []  # {"token", "area", "subject", "line", "state": sent|unsure}
        self.scratch_ids = set()  # MSGIDs that may turn up in a counted area by a copy or move
        self.jam_baseline = {}
        self.proc = None
        self.main = None
        self.started = 0
        self.deadline = 0
        self.stop_tool = threading.Event()
        self.failed_at = None
        self.screens = 0
        self.owner = {}
        self.popups = []

    # ---- set-up ----

    def base(self, name):
        kind = next(a[1] for a in AREAS if a[0] == name)
        return kind, os.path.join(self.work, "bases", name.replace(" ", "_").lower())

    def set_up_areas(self):
        fixtures = os.path.join(self.args.shared, "fixtures")
        for name, kind, source in AREAS:
            _, path = self.base(name)
            source = os.path.join(fixtures, source)
            if kind == "msg":
                shutil.copytree(source, path)
            else:
                folder, stem = os.path.split(source)
                for f in os.listdir(folder):
                    if f.startswith(stem + "."):
                        shutil.copy(os.path.join(folder, f), path + f[len(stem):])
            done = self.tool.run("areas", "add", "--name", name, "--kind", kind, path, "--tag",
                                 "SOAK." + name.split()[0])
            if done.returncode != 0:
                raise SystemExit(f"areas add {name}: {done.stderr}")
        with open(os.path.join(self.home, "registry.reg"), "a", encoding="utf-8") as f:
            f.write("\r\n[HKEY_CURRENT_USER\\Software\\Quorvant\\Pelmar Editor\\1.0\\Settings]\r\n"
                    '"SetupDone"=dword:00000001\r\n"FullName"="Soak Driver"\r\n"SelfAKA"="2:5020/1"\r\n'
                    '"AutoSave"=dword:00000001\r\n"SaveTime"=dword:00000001\r\n')
        for name in COUNTED:
            for m in self.dump(name):
                entry = self.expected.setdefault(self.key(m), {"area": name, "copies": [], "side": "fixture"})
                entry["copies"].append((m["subject"], body_lines(m["text"])))
        for name in SCRATCH:
            self.scratch_ids |= {m["msgid"] for m in self.dump(name) if m.get("msgid")}
        for name, kind, _ in AREAS:
            if kind == "jam":
                self.jam_baseline[name] = set(check_jam(self.args.checker, self.base(name)[1], to_crc=False))

    @staticmethod
    def key(m):
        return m["msgid"] if m.get("msgid") else ("no MSGID", m["from"], m["subject"])

    def dump(self, name, headers=False):
        kind, path = self.base(name)
        return self.tool.dump_into(kind, path, name, self.problems, headers)

    # ---- X and the program ----

    def xdo(self, *words, timeout=60):
        try:
            done = subprocess.run(["xdotool", *words], env=self.display.env, capture_output=True, text=True,
                                  timeout=timeout)
        except subprocess.TimeoutExpired:
            self.note(f"xdotool {' '.join(words)} took over {timeout} s")
            return ""
        return done.stdout

    def note(self, text):
        self.notes.append(f"{self.elapsed():.0f} s: {text}")

    def elapsed(self):
        return time.time() - self.started if self.started else 0

    def windows(self):
        """(id, title, modal) of Pelmar's visible top-level windows, with whose transient each is."""
        found = []
        self.owner = {}
        self.popups = []
        for wid in self.xdo("search", "--onlyvisible", "--class", "pelmar").split():
            props = subprocess.run(["xprop", "-notype", "-id", wid, "WM_CLASS", "_NET_WM_NAME", "_NET_WM_STATE",
                                    "WM_TRANSIENT_FOR", "_NET_WM_WINDOW_TYPE"], env=self.display.env,
                                   capture_output=True).stdout
            props = props.decode("utf-8", "replace")
            if '"pelmar"' not in props:
                continue  # a frame or a child window, not one of ours
            if "MENU" in props or "_NET_WM_WINDOW_TYPE_COMBO" in props:
                self.popups.append(wid)  # a menu holds the keyboard until Esc closes it
                continue
            if "_NET_WM_WINDOW_TYPE_TOOLTIP" in props:
                continue
            title = ""
            for line in props.splitlines():
                if line.startswith("_NET_WM_NAME = "):
                    title = line.split(" = ", 1)[1].strip().strip('"')
                elif line.startswith("WM_TRANSIENT_FOR:") and "#" in line:
                    self.owner[wid] = str(int(line.split("#")[-1].strip(), 16))
            if not title:
                continue
            modal = "_NET_WM_STATE_MODAL" in props or wid in self.owner
            found.append((wid, title, modal))
        return found

    def alive(self):
        if self.proc.poll() is not None:
            raise Crash(f"Pelmar ended with status {self.proc.returncode}")

    def focus(self, wid):
        """Activates the window and waits until it has the focus (no --sync: it can wait forever)."""
        for attempt in range(3):
            if self.xdo("getactivewindow", timeout=20).strip() == wid:
                return True
            self.xdo("windowactivate", wid, timeout=20)
            if attempt:
                self.xdo("windowfocus", wid, timeout=20)
            for _ in range(10):
                time.sleep(0.15)
                if self.xdo("getactivewindow", timeout=20).strip() == wid:
                    return True
            if any(owner == wid for owner in self.owner.values()) or not any(w[0] == wid for w in self.windows()):
                return False  # a modal window of its own is in front, or it is gone
        return False

    def keys(self, wid, *keys):
        self.alive()
        if not self.focus(wid):
            self.note(f"window {wid} did not take the focus for {' '.join(keys)}")
            return False
        if keys:
            self.xdo("key", *keys)
        return True

    def type(self, wid, text):
        if not self.focus(wid):
            return False
        self.xdo("type", "--delay", "12", text)
        return True

    def wait_window(self, test, seconds):
        end = time.time() + seconds
        while time.time() < end:
            self.alive()
            for w in self.windows():
                if test(w):
                    return w
            time.sleep(0.3)
        return None

    def shot(self, why):
        self.screens += 1
        name = os.path.join(self.work, "screens", f"{self.screens:03d}-{why}.png")
        subprocess.run(["import", "-window", "root", name], env=self.display.env, capture_output=True)
        return name

    def start_pelmar(self):
        env = dict(self.env, DISPLAY=self.display.name, XDG_RUNTIME_DIR=os.path.join(self.work, "runtime"),
                   QT_QPA_PLATFORM="xcb")
        env.pop("SESSION_MANAGER", None)

        def cores():
            resource.setrlimit(resource.RLIMIT_CORE, (resource.RLIM_INFINITY, resource.RLIM_INFINITY))

        self.proc = subprocess.Popen([self.args.pelmar], env=env, cwd=self.work, preexec_fn=cores,
                                     stdout=open(os.path.join(self.work, "pelmar.log"), "w"),
                                     stderr=subprocess.STDOUT)
        w = self.wait_window(lambda w: is_main_title(w[1]) and not w[2], 180)
        if not w:
            raise Hang("the main window did not appear within 180 s")
        self.main = w[0]

    def is_editor(self, w):
        return w[0] != self.main and not w[2] and not w[1].startswith(OTHER_WINDOWS)

    # ---- keeping the run from sticking ----

    def settle(self, keep_editors=True):
        """Closes every modal window (and the other windows unless kept), answering the discard
        question of an editor with yes."""
        for _ in range(12):
            ws = self.windows()
            if self.popups:
                self.log_command(f"close {len(self.popups)} menus")
                self.xdo("key", "Escape")
                time.sleep(0.3)
                continue
            modals = [w for w in ws if w[2]]
            extra = [w for w in ws if w[0] != self.main and not w[2] and not (keep_editors and self.is_editor(w))]
            if not modals and not extra:
                return
            if len(ws) > 1 and any(w[1] == "Сообщение об ошибке" for w in ws) and "error-report" not in self.figures:
                self.figures["error-report"] += 1
                self.note(f"error report window shown: {self.shot('error-report')}")
            target = modals[-1] if modals else extra[0]
            self.log_command(f"close {target[1]!r}")
            if is_main_title(target[1]) and self.figures["boxes"] < 40:
                self.figures["boxes"] += 1  # a message box: what it said is in the picture
                self.note(f"a box was open: {self.shot('box')}")
            self.keys(target[0], "Escape")
            time.sleep(0.4)
            if any(w[0] == target[0] for w in self.windows()):
                self.keys(target[0], "alt+F4")
                time.sleep(0.4)
            self.answer_discard()
        self.note(f"windows left open after closing: {[w[1] for w in self.windows()]} {self.shot('stuck')}")

    def answer_discard(self):
        """Yes to the question an editor asks before it drops a letter."""
        ws = self.windows()
        editors = {w[0] for w in ws if self.is_editor(w)}
        for w in ws:
            if w[2] and is_main_title(w[1]) and self.owner.get(w[0]) in editors:
                self.keys(w[0], "Return")
                time.sleep(0.3)

    def close_editors(self):
        for _ in range(6):
            editors = [w for w in self.windows() if self.is_editor(w)]
            if not editors:
                return
            self.close_editor(editors[0])

    def close_editor(self, editor):
        """Esc, then yes to "drop the letter?" once the question is up (it can take a while to come)."""
        self.log_command(f"discard editor {editor[1]!r}")
        self.settle()
        self.keys(editor[0], "Escape")
        box = self.wait_window(lambda w: w[2] and self.owner.get(w[0]) == editor[0], 10)
        if box:
            self.keys(box[0], "Return")
        end = time.time() + 10
        while time.time() < end and any(w[0] == editor[0] for w in self.windows()):
            time.sleep(0.3)

    def log_command(self, text):
        line = f"{self.elapsed():8.1f} {text}"
        self.commands.append(line)
        with open(os.path.join(self.work, "commands.log"), "a") as f:
            f.write(line + "\n")

    # ---- the driver's commands ----

    def open_area(self, index):
        """Opens the area of the given tree row: a click on the empty part of the tree gives it the
        focus, then Home and Down walk to the row."""
        self.settle()
        self.alive()
        if not self.focus(self.main):
            return False
        self.xdo("mousemove", "--window", self.main, "60", "600", "click", "1")
        self.xdo("key", "Home", *(["Down"] * index), "Return")
        time.sleep(0.3)
        return True

    def main_keys(self, *keys):
        self.settle()
        return self.keys(self.main, *keys)

    def cmd_navigate(self):
        keys = self.rng.choice([["Up"], ["Down"], ["Page_Up"], ["Page_Down"], ["Home"], ["End"], ["Left"],
                                ["Right"], ["plus"], ["minus"], ["space"], ["shift+space"], ["n"], ["p"], ["Tab"],
                                ["Down", "Down", "Down"], ["ctrl+t"], ["ctrl+1"], ["ctrl+2"], ["ctrl+3"],
                                ["shift+c"]])
        self.log_command("keys " + " ".join(keys))
        self.main_keys(*keys)

    def cmd_open_area(self):
        index = self.rng.randrange(len(AREAS))
        self.log_command(f"open area {AREAS[index][0]}")
        self.open_area(index)
        self.xdo("key", "Tab", *(["Down"] * self.rng.randrange(4)))

    def cmd_dialog(self):
        key, title = self.rng.choice([("F11", "Эхоконференции"), ("F12", "Адресная книга"),
                                      ("shift+F12", "Список узлов"), ("alt+0", "Список окон"), ("F1", "Справка"),
                                      ("F8", None), ("F7", None), ("ctrl+p", None)])
        self.log_command(f"dialog {key}")
        self.main_keys(key)
        if title:
            w = self.wait_window(lambda w: w[1].startswith(title), 20)
            if w and self.rng.random() < 0.5:
                self.keys(w[0], *self.rng.choice([["Tab"], ["Down"], ["Tab", "Down"], ["Home"]]))
        else:
            time.sleep(1)
        self.settle(keep_editors=True)

    def open_menu(self, menu):
        """A click on the menu's title in the bar (x from the window's left edge): the menu opens with
        no item lit, so Down lights the first and Up the last."""
        if not self.main_keys():
            return False
        self.xdo("mousemove", "--window", self.main, str(MENU_X[menu]), "9", "click", "1")
        time.sleep(0.3)
        return True

    def cmd_menu(self):
        menu = self.rng.randrange(len(MENU_X))
        items = self.rng.randrange(1, 10)
        fire = menu != 0 and self.rng.random() < 0.7  # the letter menu is only looked at
        self.log_command(f"menu {menu} item {items} {'run' if fire else 'look'}")
        if not self.open_menu(menu):
            return
        self.xdo("key", *(["Down"] * items))
        self.xdo("key", "Return" if fire else "Escape")
        time.sleep(0.5)
        self.settle()

    def cmd_search(self):
        pattern = self.rng.choice(["Привет", "soak", "Tool", "GS", "zzz-nowhere", "Re:", "Ёё"])
        self.log_command(f"search {pattern!r}")
        self.main_keys("ctrl+f")
        w = self.wait_window(lambda w: w[1] == "Поиск", 20)
        if not w:
            self.settle()
            return
        self.keys(w[0], "ctrl+a")
        self.type(w[0], pattern)
        if self.rng.random() < 0.4:
            self.xdo("key", "Tab", "space")  # the next control: a choice of where to look
        self.keys(w[0], "Return")
        time.sleep(1)
        self.settle()
        for _ in range(self.rng.randrange(3)):
            self.main_keys("F3")
            time.sleep(0.5)
            self.close_editors()  # F3 edits when there is nothing more to find

    def cmd_settings(self):
        """Settings dialog: a few controls toggled, then OK or Cancel."""
        self.log_command("settings")
        if not self.open_menu(2):
            return
        self.xdo("key", "Up", "Up", "Up", "Return")  # the third item from the end
        w = self.wait_window(lambda w: w[1] == "Настройка Пелмара", 15)
        if w:
            for _ in range(self.rng.randrange(1, 4)):
                self.keys(w[0], *(["Tab"] * self.rng.randrange(1, 12)), "space")
                time.sleep(0.3)
                self.settle_sub(w[0])
            self.keys(w[0], self.rng.choice(["Return", "Escape"]))
            time.sleep(0.5)
        self.settle()

    def settle_sub(self, keep):
        """Closes the modal windows above `keep`."""
        for _ in range(4):
            modals = [w for w in self.windows() if w[2] and w[0] != keep]
            if not modals:
                return
            self.keys(modals[-1][0], "Escape")
            time.sleep(0.4)

    def new_editor(self, key):
        before = {w[0] for w in self.windows()}
        self.main_keys(key)
        return self.wait_window(lambda w: w[0] not in before and self.is_editor(w), 10)

    def cmd_play_editor(self):
        """Opens an editor, types, leaves it open or drops it."""
        key = self.rng.choice(["Insert", "F4", "F5", "ctrl+n"])
        self.log_command(f"editor {key}")
        w = self.new_editor(key)
        if not w:
            self.settle()
            return
        self.keys(w[0], *self.rng.choice([["Return", "Return"], ["Tab"], ["Return"], []]))
        self.type(w[0], " ".join(self.rng.choice(WORDS) for _ in range(self.rng.randrange(1, 8))))
        self.keys(w[0], *self.rng.choice([["Return"], ["ctrl+z"], ["ctrl+a", "ctrl+c"], ["End"], ["BackSpace"]]))
        if len([x for x in self.windows() if self.is_editor(x)]) > 3 or self.rng.random() < 0.6:
            self.close_editors()
        else:
            self.settle()

    def cmd_send_letter(self):
        area = self.rng.randrange(len(COUNTED))
        key = self.rng.choice(["Insert", "Insert", "F4"])
        self.figures["letter-tries"] += 1
        token = f"s{self.args.seed}-{self.figures['letter-tries']:05d}"
        subject = f"GS {token}"
        line = f"Soak letter {token}: " + " ".join(self.rng.choice([w for w in WORDS if w.isascii()])
                                                   for _ in range(4))
        self.log_command(f"send {key} to {COUNTED[area]} {token}")
        self.close_editors()
        if not self.open_area(area):
            return
        if key == "F4":
            self.xdo("key", "Tab", "End")
        w = self.new_editor(key)
        if not w:
            self.note(f"letter {token}: no editor after {key}")
            self.settle()
            return
        self.keys(w[0], "Return", "ctrl+a")
        self.type(w[0], subject)
        self.keys(w[0], "Return")
        self.type(w[0], line)
        before = set(self.windows())
        self.keys(w[0], "F2")
        end = time.time() + 60
        state = None
        while time.time() < end and not state:
            ws = self.windows()
            if not any(x[0] == w[0] for x in ws):
                state = "sent"
            elif any(x[2] and x not in before for x in ws):
                state = "unsure"
                self.note(f"letter {token}: a box after F2 {self.shot('send-box')}")
            time.sleep(0.3)
        if not state:
            state = "unsure"
            self.note(f"letter {token}: the editor stayed open after F2 {self.shot('send-stays')}")
        self.letters.append({"token": token, "area": COUNTED[area], "subject": subject, "line": line,
                             "state": state})
        self.figures["letters-" + state] += 1
        self.settle()
        self.close_editors()

    def cmd_scratch(self):
        """Delete, move, copy, edit or mark unread, in a scratch area."""
        area = len(COUNTED) + self.rng.randrange(len(SCRATCH))
        what = self.rng.choice(["delete", "copy", "move", "edit", "unread", "delete"])
        self.log_command(f"{what} in {AREAS[area][0]}")
        self.close_editors()
        if not self.open_area(area):
            return
        self.xdo("key", "Tab", "Home", *(["Down"] * self.rng.randrange(6)))
        if what == "delete":
            self.xdo("key", "Delete")
        elif what == "unread":
            self.xdo("key", "u")
        elif what in ("copy", "move"):
            self.xdo("key", "F9")
            w = self.wait_window(lambda w: w[1] == "Копировать/переместить сообщение", 20)
            if w:
                target = len(COUNTED) + self.rng.randrange(len(SCRATCH))
                self.keys(w[0], *(["Down"] if what == "move" else []), "Tab", "Home", *(["Down"] * target),
                          "Return")
        else:
            before = {w[0] for w in self.windows()}
            self.xdo("key", "F3")
            w = self.wait_window(lambda w: w[0] not in before and self.is_editor(w), 15)
            if w:
                self.keys(w[0], "Return", "Return")
                self.type(w[0], "edited " + self.rng.choice(WORDS))
                self.keys(w[0], "F2")
                time.sleep(1)
        time.sleep(0.5)
        self.settle()
        self.close_editors()

    def probe(self, patience=90):
        """Pelmar answers: the window list opens within `patience` seconds."""
        self.close_editors()
        self.settle()
        t0 = time.time()
        self.log_command("probe")
        self.keys(self.main, "alt+0")
        w = self.wait_window(lambda w: w[1] == "Список окон", patience)
        if not w:
            return None
        took = time.time() - t0
        self.figures["probes"] += 1
        self.figures["probe-max-ms"] = max(self.figures["probe-max-ms"], int(took * 1000))
        self.keys(w[0], "Escape")
        self.settle()
        return took

    def check_alive(self):
        if self.probe() is None:
            self.alive()
            self.note(f"no answer in 90 s {self.shot('no-answer')}")
            if self.probe(180) is None:
                self.alive()
                raise Hang("Pelmar did not answer twice (90 s and 180 s)")

    # ---- the tool's side ----

    def tool_side(self):
        n = 0
        while not self.stop_tool.is_set():
            n += 1
            roll = self.rng_tool.random()
            if roll < 0.5:
                self.tool_post(n)
            else:
                self.tool_act("mark-read" if roll < 0.8 else "delete")
            self.stop_tool.wait(self.rng_tool.uniform(0.2, 1.0))

    def tool_post(self, n):
        area = self.rng_tool.choice(COUNTED)
        kind, path = self.base(area)
        subject = f"Tool {n} {BOX[:6]}"
        body = f"Письмо инструмента {n}.\n{BOX}\n" + "Строка.\n" * (n % 3) + "--- soak\n * Origin: Soak (2:5020/1)"
        done = self.tool.post(kind, path, subject, body)
        if done.returncode != 0:
            self.figures["tool-post-refused"] += 1
            return
        mine = [m for m in self.dump(area, headers=True) if m["subject"] == subject]
        if len(mine) != 1:
            self.problems.append(f"posted '{subject}' to {area} but found it {len(mine)} times")
            return
        with self.lock:
            self.expected[self.key(mine[0])] = {"area": area, "copies": [(subject, body_lines(body))],
                                                "side": "tool"}
        self.figures["tool-posted"] += 1

    def tool_act(self, verb):
        with self.lock:
            live = [k for k, v in self.expected.items()
                    if isinstance(k, str) and len(v["copies"]) == 1 and k not in self.deleted]
        if not live:
            return
        msgid = self.rng_tool.choice(sorted(live))
        kind, path = self.base(self.expected[msgid]["area"])
        done = self.tool.run(verb, "--kind", kind, path, "--msgid", msgid)
        if done.returncode == 0:
            with self.lock:
                (self.marked if verb == "mark-read" else self.deleted).add(msgid)
            self.figures["tool-" + ("marked" if verb == "mark-read" else "deleted")] += 1
        elif done.returncode == 1:
            self.figures["tool-busy"] += 1
        else:
            self.problems.append(f"{verb} {msgid}: status {done.returncode}: {done.stderr.strip()}")

    def sample_rss(self):
        try:
            with open(f"/proc/{self.proc.pid}/status") as f:
                for line in f:
                    if line.startswith("VmRSS:"):
                        self.rss.append((self.elapsed(), int(line.split()[1])))
        except OSError:
            pass

    # ---- the end ----

    def verify(self):
        dumps = {name: self.dump(name) for name, _, _ in AREAS}
        by_subject = collections.defaultdict(list)
        for name, messages in dumps.items():
            for m in messages:
                if m["subject"].startswith("GS "):
                    by_subject[m["subject"]].append((name, m))
        tokens = {l["subject"] for l in self.letters}
        for letter in self.letters:
            found = by_subject.get(letter["subject"], [])
            if letter["state"] == "unsure" and not found:
                continue
            if len(found) != 1:
                self.problems.append(f"letter {letter['token']} ({letter['state']}) found {len(found)} times: "
                                     f"{[n for n, _ in found]}")
                continue
            name, m = found[0]
            if name != letter["area"]:
                self.problems.append(f"letter {letter['token']} sent to {letter['area']} is in {name}")
            if letter["line"] not in m["text"]:
                self.problems.append(f"letter {letter['token']}: typed line not in the body: {m['text'][:300]!r}")
        for subject in by_subject:
            if subject not in tokens:
                self.problems.append(f"a letter nobody sent: {subject!r} in {[n for n, _ in by_subject[subject]]}")
        for name in COUNTED:
            seen = collections.defaultdict(list)
            for m in dumps[name]:
                seen[self.key(m)].append(m)
            want = {k: v for k, v in self.expected.items() if v["area"] == name and k not in self.deleted}
            for key, exp in want.items():
                found = seen.get(key, [])
                got = sorted((m["subject"], body_lines(m["text"])) for m in found)
                if len(found) != len(exp["copies"]):
                    self.problems.append(f"{name}: {exp['side']} message {key} found {len(found)} times, "
                                         f"not {len(exp['copies'])}")
                elif got != sorted(exp["copies"]):
                    self.problems.append(f"{name}: {key} damaged: {got} != {sorted(exp['copies'])}")
                if key in self.marked and not all(m["read"] for m in found):
                    self.problems.append(f"{name}: {key} was marked read by the tool but is unread")
            for key, found in seen.items():
                if key in want or (found and found[0]["subject"].startswith("GS ")):
                    continue
                if key in self.deleted:
                    self.problems.append(f"{name}: deleted message {key} is in the base")
                elif isinstance(key, str) and key in self.scratch_ids:
                    self.figures["copied-into-counted"] += len(found)
                else:
                    self.problems.append(f"{name}: unknown message {key} {found[0]['subject']!r}")
        for name, kind, _ in AREAS:
            if kind == "jam":
                for line in check_jam(self.args.checker, self.base(name)[1], to_crc=False):
                    if line not in self.jam_baseline[name]:
                        self.problems.append(f"{name}: JAM layout: {line}")

    def memory_verdict(self):
        if len(self.rss) < 2:
            return "fewer than two samples"
        warm = min(300, self.args.seconds / 4)
        after = [s for s in self.rss if s[0] >= warm] or self.rss[-1:]
        ref, last = after[0][1], self.rss[-1][1]
        slope = 0.0
        if len(after) >= 3:
            ts = [t for t, _ in after]
            ks = [k for _, k in after]
            mt, mk = sum(ts) / len(ts), sum(ks) / len(ks)
            den = sum((t - mt) ** 2 for t in ts)
            slope = sum((t - mt) * (k - mk) for t, k in zip(ts, ks)) / den * 3600 / 1024 if den else 0.0
        verdict = (f"rule: last sample <= 1.5 x the first sample after {warm:.0f} s warm-up; "
                   f"{last} kB vs {ref} kB ({last / ref:.2f}x); slope after warm-up {slope:+.1f} MB/h")
        if last > 1.5 * ref:
            self.problems.append("resident size grew: " + verdict)
        return verdict

    def quit(self):
        self.close_editors()
        self.settle(keep_editors=False)
        self.log_command("quit")
        self.keys(self.main, "ctrl+q")
        try:
            status = self.proc.wait(120)
        except subprocess.TimeoutExpired:
            self.note(f"Ctrl+Q did not end Pelmar in 120 s {self.shot('no-quit')}")
            raise Hang("Pelmar did not quit within 120 s of Ctrl+Q")
        if status != 0:
            raise Crash(f"Pelmar quit with status {status}")

    # ---- failures ----

    def leave_evidence(self, what):
        with open(os.path.join(self.work, "FAILED.txt"), "w") as f:
            f.write(f"{what}\nseed {self.args.seed}\nafter {self.elapsed():.0f} s\n")
        with open(os.path.join(self.work, "last-commands.txt"), "w") as f:
            f.write("\n".join(self.commands) + "\n")
        trace = os.path.join(self.work, "backtrace.txt")
        if self.proc.poll() is None:
            done = subprocess.run(["gdb", "-p", str(self.proc.pid), "-batch", "-ex", "thread apply all bt"],
                                  capture_output=True, text=True, timeout=300)
            open(trace, "w").write(done.stdout + done.stderr)
            self.proc.kill()
            self.proc.wait()
        else:
            cores = sorted(f for f in os.listdir(self.work) if f == "core" or f.startswith("core."))
            if cores:
                done = subprocess.run(["gdb", "-batch", "-ex", "thread apply all bt", self.args.pelmar,
                                       os.path.join(self.work, cores[-1])], capture_output=True, text=True,
                                      timeout=300)
                open(trace, "w").write(done.stdout + done.stderr)
            else:
                open(trace, "w").write(f"no core file in {self.work} (status {self.proc.returncode}); "
                                       "see pelmar.log\n")
        log(f"{what}: seed {self.args.seed}; last commands, backtrace and screens in {self.work}")

    # ---- the run ----

    def run(self):
        log(f"work folder {self.work}, {self.args.seconds} s, seed {self.args.seed}")
        self.set_up_areas()
        self.display = Display(self.work)
        self.rng_tool = random.Random(self.args.seed + 1)
        table = [(30, self.cmd_navigate), (8, self.cmd_open_area), (6, self.cmd_dialog), (6, self.cmd_menu),
                 (4, self.cmd_search), (3, self.cmd_settings), (8, self.cmd_play_editor),
                 (10, self.cmd_send_letter), (8, self.cmd_scratch)]
        weights = [w for w, _ in table]
        tool_thread = threading.Thread(target=self.tool_side)
        status = 0
        try:
            self.started = time.time()
            self.start_pelmar()
            self.sample_rss()
            self.deadline = self.started + self.args.seconds
            tool_thread.start()
            next_sample, next_probe = self.started + 60, self.started + 30
            while time.time() < self.deadline:
                command = self.rng.choices(table, weights)[0][1]
                t0 = time.time()
                command()
                self.log_command(f"  ({time.time() - t0:.1f} s)")
                self.figures["commands"] += 1
                self.alive()
                if time.time() >= next_sample:
                    self.sample_rss()
                    next_sample += 60
                if time.time() >= next_probe:
                    self.check_alive()
                    next_probe = time.time() + 30
            self.stop_tool.set()
            tool_thread.join()
            self.check_alive()
            self.sample_rss()
            self.quit()
        except (Hang, Crash) as e:
            self.stop_tool.set()
            self.leave_evidence(str(e))
            self.problems.append(str(e))
            status = 2
        finally:
            self.stop_tool.set()
            if tool_thread.is_alive():
                tool_thread.join()
            if self.proc and self.proc.poll() is None:
                self.proc.kill()
            self.display.close()
        self.verify()
        verdict = self.memory_verdict()
        log("resident size (s, MB): " + ", ".join(f"{t:.0f} {k / 1024:.1f}" for t, k in self.rss))
        log("memory " + verdict)
        f = self.figures
        log(f"figures: commands sent {f['commands']}, letters sent {f['letters-sent']} (unsure "
            f"{f['letters-unsure']}, tries {f['letter-tries']}), messages posted by the tool {f['tool-posted']} "
            f"(marked {f['tool-marked']}, deleted {f['tool-deleted']}, refused while busy "
            f"{f['tool-busy'] + f['tool-post-refused']}), RSS start {self.rss[0][1] / 1024 if self.rss else 0:.1f} MB "
            f"end {self.rss[-1][1] / 1024 if self.rss else 0:.1f} MB, probes {f['probes']} (slowest "
            f"{f['probe-max-ms']} ms), copies into counted areas {f['copied-into-counted']}")
        for n in self.notes[-40:]:
            log("NOTE", n)
        for p in self.problems[:50]:
            log("PROBLEM", p)
        if self.problems and not status:
            with open(os.path.join(self.work, "last-commands.txt"), "w") as out:
                out.write("\n".join(self.commands) + "\n")
            status = 1
        log("OK" if not self.problems else f"FAILED with {len(self.problems)} problems (work folder {self.work})")
        if not self.problems and not self.args.keep:
            shutil.rmtree(self.work, ignore_errors=True)
        return status


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--pelmar", required=True)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--checker", required=True)
    parser.add_argument("--shared", required=True)
    parser.add_argument("--seconds", type=int, default=1800)
    parser.add_argument("--keep")
    parser.add_argument("--seed", type=int, default=None)
    args = parser.parse_args()
    for name in ("pelmar", "tool", "checker", "shared"):
        setattr(args, name, os.path.abspath(getattr(args, name)))
    if args.seed is None:
        args.seed = random.randrange(1 << 30)
    for program in ("Xvfb", "xdotool", "xprop", "import", "gdb"):
        if not shutil.which(program):
            log(f"missing {program} (apt-get install xvfb xdotool x11-utils imagemagick gdb)")
            return 2
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(3))
    return GuiSoak(args).run()


if __name__ == "__main__":
    sys.exit(main())
