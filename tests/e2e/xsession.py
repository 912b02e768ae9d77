"""A headless X session for end-to-end tests: Xvfb, the programs, xdotool input,
screenshots read pixel by pixel, and the pointer's visibility."""

import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

BUILD = os.environ.get("DOTFALL_BUILD", os.path.join(os.path.dirname(__file__), "..", "..", "build"))
BUILD = os.path.abspath(BUILD)
TWIPS = 15

# The road the programs draw on: "surface" (the window's own surface, which Xvfb's
# displays take by themselves), or a renderer SDL_RENDER_DRIVER names ("opengl" and
# "opengles2" through Mesa's software rasteriser stand in for a GPU; "software").
ROAD = os.environ.get("DOTFALL_ROAD", "surface")
ROAD_ENV = {} if ROAD == "surface" else {"SDL_RENDER_DRIVER": ROAD}

# The deliverables as the build describes them (cmake/deliverables.cmake).
with open(os.path.join(BUILD, "gen", "deliverables.json")) as _f:
    RECORDS = json.load(_f)
DELIVERABLES = [r["name"] for r in RECORDS]
SCREEN_SAVERS = [r["name"] for r in RECORDS if r["kind"] == "screensaver"]
FOLDER_FILES = {r["name"]: r["files"] for r in RECORDS}
FILE_NAMES = {r["name"]: r["file_name"] for r in RECORDS}


def scene_places(name):
    """The scene's banner and sprite places in twips, as (left, top, width, height),
    from the scenes themselves (gen/scenes.json, written by scene_table)."""
    with open(os.path.join(BUILD, "gen", "scenes.json")) as f:
        places = json.load(f)[name]
    return tuple(places["banner"]), [tuple(p) for p in places["sprites"]]


def program(name):
    return os.path.join(BUILD, name, name)


def copy_deliverable(name, folder):
    """The program and every file the build made for it, in a folder of their own."""
    os.makedirs(folder, exist_ok=True)
    for entry in os.listdir(os.path.join(BUILD, name)):
        shutil.copy(os.path.join(BUILD, name, entry), folder)
    return os.path.join(folder, name)


def stops_growing(path, seconds=0.3):
    """Whether the file at path (sound from the disk audio driver) stays the same size
    for the given time."""
    size = os.path.getsize(path) if os.path.exists(path) else 0
    time.sleep(seconds)
    return (os.path.getsize(path) if os.path.exists(path) else 0) == size


def coloured(rgb):
    """Banner text after tinting: not one of the dots' greys, and not black. Now and
    then the banner's random colour is greyish or dark, and fails this."""
    return max(rgb) > 60 and max(rgb) - min(rgb) > 40


class Screenshot:
    """The root window as RGB pixels."""

    def __init__(self, ppm_bytes, offset=0):
        header = []
        pos = offset
        while len(header) < 4:
            while ppm_bytes[pos:pos + 1].isspace():
                pos += 1
            if ppm_bytes[pos:pos + 1] == b"#":
                pos = ppm_bytes.index(b"\n", pos)
                continue
            end = pos
            while not ppm_bytes[end:end + 1].isspace():
                end += 1
            header.append(ppm_bytes[pos:end])
            pos = end
        assert header[0] == b"P6" and header[3] == b"255", header
        self.width, self.height = int(header[1]), int(header[2])
        self.end = pos + 1 + 3 * self.width * self.height
        self.data = ppm_bytes[pos + 1:self.end]

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.data[i:i + 3])

    def region(self, x0, y0, x1, y1):
        """Every (x, y, (r, g, b)) in [x0, x1) x [y0, y1)."""
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                yield x, y, self.pixel(x, y)


def gl_drivers(pid):
    """The GL drivers (Mesa's DRI or Gallium libraries) that process pid has loaded."""
    with open("/proc/%d/maps" % pid) as f:
        return {line.split()[-1] for line in f if "_dri.so" in line or "libgallium" in line}


def assert_road(pid):
    """Fails where the program at pid is not on the road under test, as far as its
    libraries tell: a GL renderer has a GL driver loaded; the surface, and SDL's
    software renderer drawing into it, have none."""
    drivers = gl_drivers(pid)
    if ROAD.startswith("opengl") and not drivers:
        raise AssertionError("on the road %s, but no GL driver is loaded" % ROAD)
    if ROAD in ("surface", "software") and drivers:
        raise AssertionError("on the %s road, but GL is loaded: %s" % (ROAD, sorted(drivers)))


def lock_holder(number):
    """The pid in display number's lock file: 0 for none, -1 for a lock unread."""
    try:
        with open("/tmp/.X%d-lock" % number) as f:
            return int(f.read().strip())
    except FileNotFoundError:
        return 0
    except (OSError, ValueError):
        return -1


def free_display():
    """A display name no X server holds. A lock left by a server that died is no
    hold: the next server on that display takes it over."""
    for number in range(70, 200):
        pid = lock_holder(number)
        if pid == 0 and os.path.exists("/tmp/.X11-unix/X%d" % number):
            continue  # a server that keeps no lock
        if pid < 0 or (pid > 0 and os.path.exists("/proc/%d" % pid)):
            continue
        return ":%d" % number
    raise RuntimeError("no free X display between :70 and :199")


class XSession:
    """Xvfb on a free display, and what a test does on it."""

    def __init__(self, width=1024, height=768, dpi=96):
        self.width, self.height = width, height
        self.tmp = tempfile.mkdtemp(prefix="dotfall-e2e-")
        self.display = free_display()
        self.xvfb = subprocess.Popen(
            ["Xvfb", self.display, "-screen", "0", "%dx%dx24" % (width, height), "-nolisten", "tcp",
             "-noreset", "-dpi", str(dpi)],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.env = dict(os.environ, DISPLAY=self.display, **ROAD_ENV)
        deadline = time.time() + 10
        while time.time() < deadline:
            if subprocess.run(["xdpyinfo"], env=self.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0:
                if dpi != 96:  # what a desktop scaled to dpi / 96 sets for every program
                    subprocess.run(["xrdb", "-nocpp", "-merge"], input=b"Xft.dpi: %d\n" % dpi, env=self.env,
                                   check=True)
                return
            time.sleep(0.05)
        raise RuntimeError("Xvfb did not start on " + self.display)

    def monitors(self):
        """The monitors, (w, h, x, y), the primary first: Xvfb's one screen."""
        return [(self.width, self.height, 0, 0)]

    def close(self):
        self.xvfb.terminate()
        self.xvfb.wait()
        # A server that a test killed left its lock and socket behind.
        number = int(self.display.lstrip(":"))
        if lock_holder(number) == self.xvfb.pid:
            for path in ("/tmp/.X%d-lock" % number, "/tmp/.X11-unix/X%d" % number):
                try:
                    os.unlink(path)
                except OSError:
                    pass
        shutil.rmtree(self.tmp, ignore_errors=True)

    def run(self, args, env=None, cwd=None):
        """Starts a program; its output goes to files in the session's folder."""
        full_env = dict(self.env)
        full_env.update(env or {})
        name = os.path.basename(args[0])
        with open(os.path.join(self.tmp, name + ".out"), "ab") as out:
            # Restore default SIGINT handling that a background start would ignore.
            return subprocess.Popen(args, env=full_env, cwd=cwd, stdout=out, stderr=subprocess.STDOUT,
                                    preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))

    def start_window_manager(self, args, env=None):
        """Starts a window manager, once it has marked the root as one does."""
        self.x("xprop", "-root", "-remove", "_NET_SUPPORTING_WM_CHECK", check=False)  # one killed before
        wm = self.run(args, env)
        deadline = time.time() + 10
        while "window id" not in self.x("xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False):
            if time.time() > deadline or wm.poll() is not None:
                self.stop(wm)
                raise RuntimeError(args[0] + " did not start")
            time.sleep(0.05)
        return wm

    def stop_window_manager(self, wm):
        """Kills a window manager, and takes away its mark on the root."""
        self.stop(wm)
        self.x("xprop", "-root", "-remove", "_NET_SUPPORTING_WM_CHECK", check=False)

    def x(self, *args, check=True):
        return subprocess.run(list(args), env=self.env, check=check, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE).stdout.decode()

    def window_of(self, process, timeout=10.0):
        """The id of process's window once it is mapped, or None."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            if process.poll() is not None:
                return None
            out = self.x("xdotool", "search", "--all", "--onlyvisible", "--pid", str(process.pid), "--name", "^Form1$",
                         check=False).split()
            if out:
                assert_road(process.pid)
                return out[0]
            time.sleep(0.05)
        self.dump_stacks(process)
        return None

    def dump_stacks(self, process):
        """For a program that hangs: its threads' stacks, where gdb is at hand."""
        if process.poll() is None and shutil.which("gdb"):
            out = subprocess.run(["gdb", "-p", str(process.pid), "-batch", "-ex", "thread apply all bt"],
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True).stdout
            print("\n--- stacks of the hung process %d ---\n%s" % (process.pid, out[-8000:]), file=sys.stderr)
            print(self.x("xwininfo", "-root", "-tree", check=False), file=sys.stderr)
            for wid in self.x("xdotool", "search", "--name", "Form1", check=False).split():
                print(self.x("xwininfo", "-id", wid, check=False), self.x("xprop", "-id", wid, check=False),
                      file=sys.stderr)

    def geometry(self, window):
        info = {}
        for line in self.x("xdotool", "getwindowgeometry", "--shell", window).splitlines():
            key, _, value = line.partition("=")
            info[key] = int(value)
        return info

    def screenshot(self):
        return Screenshot(subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=self.env, check=True,
                                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout)

    def screenshots(self, count, apart=0.0):
        """count pictures of the root window, taken one right after the other, or
        apart seconds apart (the banner takes a new colour every 100 ms: pictures
        taken at once all show the same one)."""
        if apart:
            shots = []
            for _ in range(count):
                shots.append(self.screenshot())
                if len(shots) < count:
                    time.sleep(apart)
            return shots
        data = subprocess.run(["import", "-window", "root", "-snaps", str(count), "-pause", "0", "-depth", "8",
                               "ppm:-"], env=self.env, check=True, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL).stdout
        shots, offset = [], 0
        while len(shots) < count:
            shots.append(Screenshot(data, offset))
            offset = shots[-1].end
        return shots

    def cursor_state(self):
        return self.x(os.path.join(BUILD, "tests", "cursor_state")).split()[0]

    def pointer_at(self):
        """Where the server has the pointer: the place SDL reports as a window appears."""
        fields = dict(f.split(":") for f in self.x("xdotool", "getmouselocation").split())
        return int(fields["x"]), int(fields["y"])

    def mouse_to(self, x, y):
        self.x("xdotool", "mousemove", str(x), str(y))

    @staticmethod
    def ended_within(process, seconds):
        try:
            process.wait(timeout=seconds)
            return True
        except subprocess.TimeoutExpired:
            return False

    @staticmethod
    def stop(process):
        if process.poll() is None:
            process.kill()
            process.wait()


XORG_CONFIG = """Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 512000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 8192 4096
  EndSubSection
EndSection
"""


class XorgSession(XSession):
    """Xorg with the dummy video driver: real RandR outputs, DUMMY0 to DUMMY15, each a
    monitor as a desktop with several screens has them. outputs are (w, h, x, y), the
    first being the primary."""

    def __init__(self, outputs):
        self.tmp = tempfile.mkdtemp(prefix="dotfall-xorg-")
        self.display = free_display()
        config = os.path.join(self.tmp, "xorg.conf")
        with open(config, "w") as f:
            f.write(XORG_CONFIG)
        self.xvfb = subprocess.Popen(
            ["Xorg", self.display, "-config", config, "-noreset", "-nolisten", "tcp", "-novtswitch", "-sharevts",
             "-logfile", os.path.join(self.tmp, "xorg.log")],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.env = dict(os.environ, DISPLAY=self.display, **ROAD_ENV)
        self.modes = set()
        self.enabled = set()
        deadline = time.time() + 20
        while time.time() < deadline:
            if subprocess.run(["xdpyinfo"], env=self.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0:
                self.enabled = {"DUMMY0"}
                self.set_outputs(outputs)
                return
            if self.xvfb.poll() is not None:
                break
            time.sleep(0.1)
        raise RuntimeError("Xorg did not start on %s: see %s" % (self.display, os.path.join(self.tmp, "xorg.log")))

    def set_outputs(self, outputs):
        """Sets the monitors at once, as xrandr does on a desktop: outputs not named
        are turned off, the first named is the primary."""
        self.outputs = list(outputs)
        args = ["xrandr"]
        for i, (w, h, x, y) in enumerate(outputs):
            mode = "%dx%d_dotfall" % (w, h)
            if mode not in self.modes:
                # A plain mode line: the dummy outputs take any timing within the monitor's ranges.
                ht, vt = w + 160, h + 30
                self.x("xrandr", "--newmode", mode, "%.2f" % (ht * vt * 60 / 1e6), str(w), str(w + 48), str(w + 80),
                       str(ht), str(h), str(h + 3), str(h + 6), str(vt), "-hsync", "+vsync")
                self.modes.add(mode)
            output = "DUMMY%d" % i
            self.x("xrandr", "--addmode", output, mode, check=False)
            args += ["--output", output, "--mode", mode, "--pos", "%dx%d" % (x, y)] + (["--primary"] if i == 0 else [])
        for output in sorted(self.enabled - {"DUMMY%d" % i for i in range(len(outputs))}):
            args += ["--output", output, "--off"]
        self.x(*args)
        self.enabled = {"DUMMY%d" % i for i in range(len(outputs))}
        self.width = max(x + w for w, h, x, y in outputs)
        self.height = max(y + h for w, h, x, y in outputs)

    def monitors(self):
        """The monitors as the server reports them: (w, h, x, y), the primary first."""
        found = []
        for line in self.x("xrandr", "--listmonitors").splitlines()[1:]:
            name, geometry = line.split()[1], line.split()[2]
            size, x, y = geometry.split("+")
            w, h = (int(part.split("/")[0]) for part in size.split("x"))
            found.append((("*" not in name), (w, h, int(x), int(y))))
        return [m for _, m in sorted(found, key=lambda f: f[0])]


class SessionTest(unittest.TestCase):
    """A test case whose tests share one X session of width x height."""
    width, height = 1024, 768

    @classmethod
    def setUpClass(cls):
        cls.x = XSession(cls.width, cls.height)

    @classmethod
    def tearDownClass(cls):
        cls.x.close()
