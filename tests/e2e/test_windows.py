"""The Windows programs under Wine, on the desktop DOTFALL_WINDOWS_DESKTOP names: one
screen at 96 DPI (the default), two unequal monitors on Xorg's real outputs, or one
screen at 192 DPI as a desktop at 200 % has it. Each program covers every monitor,
runs its scene on the primary one at the desktop's density, hides the pointer, ends
on a key or on input over any monitor, and runs on until every sprite has left the
screen and come back twice. The backend's own tests run there too, and each program
carries its version record, read back through GetFileVersionInfoW and
VerQueryValueW. Skipped, saying so, where Wine or mingw-w64 is not installed."""

import fcntl
import json
import os
import shutil
import subprocess
import time
import unittest

from test_animation import COLOURS, PICTURES, where
from test_density import banner_shot, coloured_rows
from test_screensaver_hosts import wait_for
from xsession import BUILD, DELIVERABLES, FILE_NAMES, TWIPS, XorgSession, XSession, scene_places

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
WINDOWS_BUILD = os.environ.get("DOTFALL_WINDOWS_BUILD", os.path.join(ROOT, "build-windows"))
MISSING = [tool for tool in ("wine", "x86_64-w64-mingw32-g++-posix") if not shutil.which(tool)]
DESKTOP_COLOUR = (48, 96, 160)  # the root window's, which no monitor may show

# Each desktop: its monitors (w, h, x, y), the primary first, and its density.
DESKTOPS = {
    "one screen": ([(1024, 768, 0, 0)], 96),
    "two monitors": ([(1024, 768, 0, 0), (800, 600, 1024, 100)], 96),
    "192 dpi": ([(1600, 1200, 0, 0)], 192),
}
DESKTOP = os.environ.get("DOTFALL_WINDOWS_DESKTOP", "one screen")
MONITORS, DPI = DESKTOPS[DESKTOP]
K = DPI // 96


def parade(name):
    with open(os.path.join(BUILD, "gen", "scenes.json")) as f:
        return json.load(f)[name]["parade"]


def seconds_to_come_back_twice(name, width_twips):
    """How long, at one step a tick, until every sprite of name has left the screen on
    the right and come back on the left twice, counted from its first place."""
    p = parade(name)
    _, sprites = scene_places(name)
    moves = [(sprites[0], p["walk_step"], p["walk_restart"], 0), (sprites[1], p["walk_step"], p["walk_restart"], 0),
             (sprites[2], p["fly_step"], p["fly_restart"], p["fly_overshoot"])]
    longest = 0
    for (left, _, width, _), step, restart, overshoot in moves:
        x, ticks, wraps = left, 0, 0
        while wraps < 2 or x + width <= 0:
            x += step
            ticks += 1
            if x > width_twips + overshoot:
                x, wraps = restart, wraps + 1
        longest = max(longest, ticks)
    return longest * p["tick_ms"] / 1000.0


@unittest.skipIf(MISSING, "not installed here: " + ", ".join(MISSING))
class UnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if len(MONITORS) > 1 and os.getuid() != 0:
            raise unittest.SkipTest("Xorg runs as root here")
        # The desktops' suites may run side by side: one builds, the others wait for it.
        os.makedirs(WINDOWS_BUILD, exist_ok=True)
        with open(os.path.join(WINDOWS_BUILD, ".building"), "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            subprocess.run([os.path.join(ROOT, "scripts", "windows-build")], check=True, stdout=subprocess.DEVNULL,
                           env=dict(os.environ, BUILD=os.path.relpath(BUILD, ROOT)))
        w, h, _, _ = MONITORS[0]
        cls.x = XorgSession(MONITORS) if len(MONITORS) > 1 else XSession(w, h, dpi=DPI)
        # Wine reads the outputs the server has last probed, and the dummy driver's are
        # probed only when a client asks for them, as a desktop's display settings do.
        if cls.x.monitors() != MONITORS:
            raise RuntimeError("the server shows the monitors %s" % cls.x.monitors())
        cls.x.x("xsetroot", "-solid", "#%02x%02x%02x" % DESKTOP_COLOUR)
        # A fresh prefix per desktop, started once for all its tests.
        prefix = os.path.join(WINDOWS_BUILD, "wineprefix-" + DESKTOP.replace(" ", "-"))
        shutil.rmtree(prefix, ignore_errors=True)
        # The wine server's own folder goes in the build too.
        scratch = os.path.join(WINDOWS_BUILD, "tmp-" + DESKTOP.replace(" ", "-"))
        os.makedirs(scratch, exist_ok=True)
        cls.env = dict(cls.x.env, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
                       TMPDIR=scratch)
        subprocess.run(["wineboot", "-i"], env=cls.env, check=True, timeout=180,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if DPI != 96:
            # The desktop's density, as its settings set it; read when the server starts.
            subprocess.run(["wine", "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t",
                            "REG_DWORD", "/d", str(DPI), "/f"], env=cls.env, check=True, timeout=60,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(["wineserver", "-w"], env=cls.env, check=False, timeout=60)
        cls.folder = os.path.join(cls.x.tmp, "pictures")

    @classmethod
    def tearDownClass(cls):
        subprocess.run(["wineserver", "-k"], env=cls.env, check=False)
        cls.x.close()

    def program(self, name):
        return os.path.join(WINDOWS_BUILD, name, FILE_NAMES[name])

    def start(self, path):
        process = subprocess.Popen(["wine", path], env=self.env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        self.addCleanup(self.x.stop, process)
        return process

    def windows_of(self, file_name):
        """The program's windows that the server shows: geometry -> title. Wine names
        their class after the program's file in lower case."""
        found = {}
        for line in self.x.x("xwininfo", "-root", "-tree", check=False).splitlines():
            if '("%s"' % file_name.lower() in line.lower() and "Default IME" not in line:
                geometry = [part for part in line.split() if "x" in part and "+" in part][0]
                found[geometry] = line.split('"')[1] if '"' in line.split("(")[0] else ""
        return found

    def form_window(self, file_name, timeout=30, monitors=MONITORS):
        """Whether the form covers the primary monitor and a window each other one,
        once they do."""
        wanted = {"%dx%d+%d+%d" % m: "" for m in monitors[1:]}
        wanted["%dx%d+%d+%d" % monitors[0]] = "Form1"
        deadline = time.time() + timeout
        while time.time() < deadline:
            windows = self.windows_of(file_name)
            if all(windows.get(geometry) == title for geometry, title in wanted.items()):
                return True
            time.sleep(0.2)
        return False

    def assertStillDrawing(self, name):
        """The dots still fall: two pictures half a second apart differ."""
        first = self.x.screenshot()
        time.sleep(0.5)
        second = self.x.screenshot()
        w, h, _, _ = MONITORS[0]
        changed = sum(1 for (_, _, a), (_, _, b) in zip(first.region(0, 40, w, h), second.region(0, 40, w, h))
                      if a != b)
        self.assertGreater(changed, 50, name + " no longer draws")

    def test_the_backends_own_tests_pass(self):
        run = subprocess.run(["wine", os.path.join(WINDOWS_BUILD, "win32_tests.exe")], env=self.env,
                             capture_output=True, text=True, timeout=300)
        self.assertEqual(run.returncode, 0, run.stdout[-4000:] + run.stderr[-2000:])
        self.assertIn("[  PASSED  ]", run.stdout)

    def test_each_program_covers_every_monitor_hides_the_pointer_and_ends_on_a_key(self):
        w, h, x0, y0 = MONITORS[0]
        for name in DELIVERABLES:
            with self.subTest(name):
                process = self.start(self.program(name))
                self.assertTrue(self.form_window(FILE_NAMES[name]), name + " left a monitor uncovered")
                time.sleep(1.0)
                self.assertEqual(self.x.cursor_state(), "hidden")
                shot = self.x.screenshot()
                colourful = sum(1 for _, _, (r, g, b) in shot.region(x0, y0 + 30 * K, x0 + w, y0 + h)
                                if max(r, g, b) - min(r, g, b) > 3)
                self.assertGreater(colourful, 1000 * K * K, name + " showed no pictures")
                for mw, mh, mx, my in MONITORS[1:]:
                    shown = [1 for _, _, rgb in shot.region(mx, my, mx + mw, my + mh) if rgb != (0, 0, 0)]
                    self.assertEqual(len(shown), 0, name + ": not black over another monitor")
                self.x.x("xdotool", "key", "a")
                self.assertTrue(self.x.ended_within(process, 10.0), name + " did not end on a key")
                self.assertEqual(process.returncode, 0)
                self.assertEqual(self.x.cursor_state(), "visible")

    @unittest.skipIf(len(MONITORS) < 2, "one monitor")
    def test_input_over_another_monitor_ends_it(self):
        mw, mh, mx, my = MONITORS[1]
        centre = (mx + mw // 2, my + mh // 2)
        for when, how in (("there at the start", "a move of one pixel"), ("there at the start", "a click"),
                          ("plugged in while it runs", "a move onto it")):
            with self.subTest(when=when, how=how):
                if when == "there at the start":
                    # The pointer rests on the other monitor as the program starts: that
                    # only sets where it is, and it is hidden there too.
                    self.x.mouse_to(*centre)
                    process = self.start(self.program("divor"))
                    self.assertTrue(self.form_window(FILE_NAMES["divor"]))
                    time.sleep(1.5)
                    self.x.mouse_to(*centre)
                    time.sleep(0.5)
                    self.assertIsNone(process.poll(), "ended with no input")
                    self.assertEqual(self.x.cursor_state(), "hidden")
                else:
                    # The program starts on one monitor; the other is plugged in as it
                    # runs, and the desktop's settings ask the server for it, as a
                    # desktop does. No notice of the change reaches the program.
                    # The wine server keeps the monitors it last read: it starts anew on
                    # one, and again on both once the test is done.
                    self.addCleanup(subprocess.run, ["wineserver", "-k"], env=self.env, check=False)
                    self.addCleanup(self.x.set_outputs, MONITORS)
                    self.x.set_outputs(MONITORS[:1])
                    self.x.monitors()
                    subprocess.run(["wineserver", "-k"], env=self.env, check=False)
                    self.x.mouse_to(MONITORS[0][0] // 2, MONITORS[0][1] // 2)
                    process = self.start(self.program("divor"))
                    self.assertTrue(self.form_window(FILE_NAMES["divor"], monitors=MONITORS[:1]))
                    time.sleep(1.0)
                    self.x.set_outputs(MONITORS)
                    self.x.monitors()
                    self.assertTrue(self.form_window(FILE_NAMES["divor"], timeout=5, monitors=MONITORS),
                                    "the monitor plugged in was left uncovered")
                    # Its blank window is painted black once it is shown: a moment later on a busy machine.
                    def black():
                        shot = self.x.screenshot()
                        return all(rgb == (0, 0, 0) for _, _, rgb in shot.region(mx, my, mx + mw, my + mh))
                    self.assertTrue(wait_for(black, 5.0, step=0.2), "not black over the monitor plugged in")
                    self.assertIsNone(process.poll(), "ended when a monitor was plugged in")
                if how == "a click":
                    self.x.x("xdotool", "click", "1")
                elif how == "a move onto it":
                    self.x.mouse_to(*centre)
                else:
                    self.x.mouse_to(centre[0] + 1, centre[1])
                self.assertTrue(self.x.ended_within(process, 10.0), "did not end on " + how)
                self.assertEqual(process.returncode, 0)

    def test_the_picture_is_drawn_at_the_desktops_density(self):
        # Tunelight with flat pictures of 40 x 30: the fourth stands where its layout
        # puts it, at k times its place and size; the banner's line is k times as tall.
        folder = os.path.join(self.x.tmp, "Tunelight")
        os.makedirs(folder, exist_ok=True)
        shutil.copy(self.program("Tunelight"), folder)
        for picture, (r, g, b) in zip(PICTURES["Tunelight"], COLOURS):
            subprocess.run(["convert", "-size", "40x30", "xc:rgb(%d,%d,%d)" % (r, g, b),
                            os.path.join(folder, picture)], check=True)
        process = self.start(os.path.join(folder, FILE_NAMES["Tunelight"]))
        self.assertTrue(self.form_window(FILE_NAMES["Tunelight"]))
        time.sleep(1.0)
        banner, sprites = scene_places("Tunelight")
        line = int(banner[3] // TWIPS) * K
        shot = banner_shot(self.x, 400 * K, 2 * line)
        self.x.x("xdotool", "key", "a")
        self.assertTrue(self.x.ended_within(process, 10.0))
        left, top, width, height = sprites[3]
        x, y = int(left // TWIPS), int(top // TWIPS)
        w, h = min(40, int(width // TWIPS)), min(30, int(height // TWIPS))
        self.assertEqual(where(shot, COLOURS[3]), (K * x, K * y, K * (x + w) - 1, K * (y + h) - 1))
        # Opaque: no point that fell under it shows through.
        self.assertEqual({rgb for _, _, rgb in shot.region(K * x, K * y, K * (x + w), K * (y + h))}, {COLOURS[3]})
        # The text's rows: within the line, and more than half of it, at k times.
        rows = coloured_rows(shot, 0, 400 * K, 0, 2 * line)
        self.assertTrue(rows, "no banner")
        self.assertGreater(rows[-1] - rows[0] + 1, line // 2)
        self.assertLessEqual(rows[-1] - rows[0] + 1, line)

    @unittest.skipIf(DESKTOP != "one screen", "the long runs are made on one screen")
    def test_each_program_draws_on_until_every_sprite_has_come_back_twice(self):
        w = MONITORS[0][0]
        for name in DELIVERABLES:
            if not parade(name)["moves"]:
                continue
            with self.subTest(name):
                # A tick can come late on a loaded machine: a quarter more, and two seconds.
                seconds = seconds_to_come_back_twice(name, w * TWIPS) * 1.25 + 2
                print("%s: every sprite back twice within %.0f s" % (name, seconds))
                process = self.start(self.program(name))
                self.assertTrue(self.form_window(FILE_NAMES[name]))
                time.sleep(seconds)
                self.assertIsNone(process.poll(), name + " ended by itself")
                self.assertStillDrawing(name)
                self.x.x("xdotool", "key", "a")
                self.assertTrue(self.x.ended_within(process, 10.0), name + " did not end on a key")
                self.assertEqual(process.returncode, 0)

    @unittest.skipIf(DESKTOP != "one screen", "read once")
    def test_each_program_carries_its_version_record_icon_and_display_name(self):
        for name in DELIVERABLES:
            with self.subTest(name):
                out = subprocess.run(["wine", os.path.join(WINDOWS_BUILD, "version_record.exe"), self.program(name)],
                                     env=self.env, capture_output=True, text=True, timeout=60).stdout
                record = dict(line.strip().split("=", 1) for line in out.splitlines() if "=" in line)
                self.assertEqual(record, {
                    "FileVersion#": "1.0.0.0", "ProductVersion#": "1.0.0.0", "FileType": "1",  # VFT_APP
                    "Translation": "080404B0", "CompanyName": "Dotfall", "FileDescription": name,
                    "FileVersion": "1.00", "InternalName": name, "OriginalFilename": FILE_NAMES[name],
                    "ProductName": "Dotfall animations", "ProductVersion": "1.00", "String1": name,
                    "IconGroup1": "yes"})

    @unittest.skipIf(DESKTOP != "one screen", "read once")
    def test_no_program_needs_a_dll_beyond_windows_own(self):
        system = {"GDI32.dll", "gdiplus.dll", "KERNEL32.dll", "msvcrt.dll", "SHLWAPI.dll", "USER32.dll",
                  "WINMM.dll"}
        for name in DELIVERABLES:
            dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", self.program(name)], capture_output=True,
                                  text=True, check=True).stdout
            dlls = {line.split(":", 1)[1].strip() for line in dump.splitlines() if "DLL Name:" in line}
            self.assertEqual(dlls, system, name)


if __name__ == "__main__":
    unittest.main()
