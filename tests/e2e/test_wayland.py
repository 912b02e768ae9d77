"""The programs on Wayland, under sway's headless backend, as an ordinary user with a
runtime folder of its own and no X display: each covers the output with its falling
dots and ends on SIGTERM within a second; on an output of scale 2 the
picture is the scale-1 picture twice as large. (Key presses cannot be sent here:
SDL stops on the virtual keyboards a headless compositor offers.)"""

import glob
import json
import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

from test_animation import COLOURS, PICTURES, where
from xsession import DELIVERABLES, Screenshot, program

NOBODY = 65534
AS_USER = ["setpriv", "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY, "--clear-groups", "--"]


class Sway:
    """sway on a headless output of 800 x 600 at the given scale; with two outputs, a
    second one of 640 x 480 to its right, and the desktop in a colour of its own."""

    def __init__(self, scale, outputs=1):
        self.top = tempfile.mkdtemp(prefix="dotfall-wayland-")
        os.chmod(self.top, 0o777)
        self.run_dir = os.path.join(self.top, "run")
        os.mkdir(self.run_dir, 0o700)
        os.chown(self.run_dir, NOBODY, NOBODY)
        config = os.path.join(self.top, "sway.conf")
        with open(config, "w") as f:
            f.write("output HEADLESS-1 resolution %dx%d scale %d position 0 0\n" % (800 * scale, 600 * scale, scale))
            if outputs == 2:
                f.write("output HEADLESS-2 resolution 640x480 position 800 0\noutput * bg #3060a0 solid_color\n")
        os.chmod(config, 0o644)
        self.base = ["env", "-i", "HOME=" + self.top, "XDG_RUNTIME_DIR=" + self.run_dir]
        self.sway = subprocess.Popen(AS_USER + self.base + ["WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1",
                                                             "WLR_RENDERER=pixman", "WLR_HEADLESS_OUTPUTS=%d" % outputs,
                                                             "sway", "-c", config],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 10
        while time.time() < deadline and not os.path.exists(os.path.join(self.run_dir, "wayland-1")):
            time.sleep(0.05)
        self.env = self.base + ["WAYLAND_DISPLAY=wayland-1"]

    def run(self, path, *env):
        return subprocess.Popen(AS_USER + self.env + list(env) + [path], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)

    def msg(self, *args):
        """What sway's IPC answers to swaymsg args, parsed."""
        socket = glob.glob(os.path.join(self.run_dir, "sway-ipc.*.sock"))[0]
        return json.loads(subprocess.run(AS_USER + self.env + ["SWAYSOCK=" + socket, "swaymsg", "-r"] + list(args),
                                         check=True, stdout=subprocess.PIPE, text=True).stdout)

    def windows_of(self, pid):
        """(output, fullscreen, size of what the window last drew) for each window of
        the process pid, from sway's tree."""
        found = []

        def walk(node, output):
            output = node["name"] if node["type"] == "output" else output
            if node.get("pid") == pid:
                found.append((output, node["fullscreen_mode"] == 1,
                              (node["geometry"]["width"], node["geometry"]["height"])))
            for child in node["nodes"] + node["floating_nodes"]:
                walk(child, output)
        walk(self.msg("-t", "get_tree"), None)
        return sorted(found)

    def screenshot(self):
        out = os.path.join(self.top, "shot.ppm")
        subprocess.run(AS_USER + self.env + ["grim", "-t", "ppm", out], check=True)
        with open(out, "rb") as f:
            return Screenshot(f.read())

    def close(self):
        self.sway.terminate()
        self.sway.wait()
        shutil.rmtree(self.top, ignore_errors=True)


def folder_for(top, name):
    """The program with flat 40 x 30 test pictures, readable by the ordinary user."""
    folder = os.path.join(top, name)
    os.makedirs(folder, exist_ok=True)
    shutil.copy(program(name), folder)
    for picture, (r, g, b) in zip(PICTURES.get(name, []), COLOURS):
        subprocess.run(["convert", "-size", "40x30", "xc:rgb(%d,%d,%d)" % (r, g, b),
                        os.path.join(folder, picture)], check=True)
    subprocess.run(["chmod", "-R", "a+rX", folder], check=True)
    return os.path.join(folder, name)


@unittest.skipUnless(shutil.which("sway") and shutil.which("grim") and os.getuid() == 0,
                     "needs sway, grim and root (to run them as an ordinary user)")
class Wayland(unittest.TestCase):
    def start(self, sway, name):
        process = sway.run(folder_for(sway.top, name), "SDL_AUDIODRIVER=dummy")
        self.addCleanup(lambda: process.poll() is None and process.kill())
        time.sleep(2.0)
        self.assertIsNone(process.poll(), name + " ended by itself")
        return process

    def stop(self, process, name):
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=1.0)
        except subprocess.TimeoutExpired:
            self.fail(name + ": SIGTERM did not end it within a second")
        self.assertEqual(process.returncode, 0, name)

    def test_each_program_draws_and_ends(self):
        sway = Sway(1)
        self.addCleanup(sway.close)
        for name in DELIVERABLES:
            with self.subTest(name):
                process = self.start(sway, name)
                shot = sway.screenshot()
                self.stop(process, name)
                grey = lambda rgb: rgb[0] == rgb[1] == rgb[2] and rgb[0] >= 20
                self.assertGreater(sum(1 for _, _, rgb in shot.region(0, 200, 800, 450) if grey(rgb)), 30, "no dots")
                # The dots reach the output's far corner: the window covers it all.
                self.assertGreater(sum(1 for _, _, rgb in shot.region(700, 500, 800, 600) if grey(rgb)), 0,
                                   "no dots in the bottom right corner")

    def test_two_outputs_the_scene_on_the_first_the_other_covered_and_one_plugged_in_covered_too(self):
        # The blank windows are seen in sway's tree: full screen on their outputs, having drawn
        # at the output's size. On the screen, sway's headless backend now and then
        # leaves a second output's first frames unshown, for seconds or for good, under
        # any SDL window that is full screen there, ours or a bare one.
        sway = Sway(1, outputs=2)
        self.addCleanup(sway.close)
        process = self.start(sway, "divor")
        shot = sway.screenshot()
        self.assertEqual((shot.width, shot.height), (1440, 600))
        grey = lambda rgb: rgb[0] == rgb[1] == rgb[2] and rgb[0] >= 20
        self.assertGreater(sum(1 for _, _, rgb in shot.region(0, 200, 800, 450) if grey(rgb)), 30, "no dots")
        self.assertEqual(sway.windows_of(process.pid), [("HEADLESS-1", True, (800, 600)),
                                                         ("HEADLESS-2", True, (640, 480))])
        # An output plugged in while it runs (sway makes it 1920 x 1080, to the right):
        # within a second it has a blank window too, and the scene goes on on the first.
        sway.msg("create_output")
        time.sleep(1.0)
        self.assertEqual(sway.windows_of(process.pid), [
            ("HEADLESS-1", True, (800, 600)), ("HEADLESS-2", True, (640, 480)), ("HEADLESS-3", True, (1920, 1080))])
        shot = sway.screenshot()
        self.assertGreater(sum(1 for _, _, rgb in shot.region(0, 200, 800, 450) if grey(rgb)), 30,
                           "no dots on the first output after the new one came")
        self.stop(process, "divor")

    def test_an_output_of_scale_2_shows_the_picture_twice_as_large(self):
        one, two = Sway(1), Sway(2)
        self.addCleanup(one.close)
        self.addCleanup(two.close)
        shots = []
        for sway in (one, two):
            process = self.start(sway, "Tunelight")
            shots.append(sway.screenshot())
            self.stop(process, "Tunelight")
        for colour in COLOURS[:3]:
            a, b = where(shots[0], colour), where(shots[1], colour)
            self.assertIsNotNone(a, colour)
            self.assertEqual(b, (2 * a[0], 2 * a[1], 2 * a[2] + 1, 2 * a[3] + 1), colour)


if __name__ == "__main__":
    unittest.main()
