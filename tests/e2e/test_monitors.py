"""Several monitors, on Xorg with real RandR outputs of unequal sizes at offsets: a
program run directly covers every monitor, runs its scene on the primary one, ends on
input over any of them, and follows the monitors as they are changed while it runs;
with no window manager, and under the one DOTFALL_WM names."""

import os
import threading
import time
import unittest

from xsession import BUILD, DELIVERABLES, TWIPS, XorgSession, XSession, coloured, program, scene_places

DESKTOP = (48, 96, 160)  # the root window's colour, which no monitor may show
LAYOUTS = {
    "two monitors": [(1920, 1080, 0, 0), (1280, 1024, 1920, 200)],
    "three, the primary in the middle": [(1600, 900, 1280, 0), (1280, 1024, 0, 0), (1024, 768, 2880, 300)],
}


def desktop_pixels(shot, monitor):
    """Where the desktop shows through on a monitor: every pixel of its edges and every
    fourth of every fourth row."""
    w, h, x0, y0 = monitor
    edges = [(x, y) for x in range(x0, x0 + w) for y in (y0, y0 + h - 1)]
    edges += [(x, y) for y in range(y0, y0 + h) for x in (x0, x0 + w - 1)]
    inside = [(x, y) for y in range(y0, y0 + h, 4) for x in range(x0, x0 + w, 4)]
    return [(x, y) for x, y in edges + inside if shot.pixel(x, y) == DESKTOP]


# The window manager the desktop runs, DOTFALL_WM: none, or one desktop users run.
WM = os.environ.get("DOTFALL_WM", "")


class Monitors(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if os.getuid() != 0:
            raise unittest.SkipTest("Xorg runs as root here")
        cls.x = XorgSession(LAYOUTS["two monitors"])
        if WM:
            cls.wm = cls.x.start_window_manager([WM], env={"HOME": cls.x.tmp})

    @classmethod
    def tearDownClass(cls):
        if WM:
            cls.x.stop(cls.wm)
        cls.x.close()

    def layout(self, outputs):
        self.x.set_outputs(outputs)
        self.x.x("xsetroot", "-solid", "#%02x%02x%02x" % DESKTOP)

    def start(self, name, pointer):
        self.x.mouse_to(*pointer)
        process = self.x.run([program(name)])
        self.addCleanup(self.x.stop, process)
        window = self.x.window_of(process)
        self.assertIsNotNone(window, name + " showed no window")
        time.sleep(0.5)
        return process, window

    def windows_of(self, process):
        return self.x.x("xdotool", "search", "--onlyvisible", "--pid", str(process.pid), check=False).split()

    def assertCovered(self, shot, monitors, what):
        for monitor in monitors:
            shown = desktop_pixels(shot, monitor)
            self.assertEqual(shown[:5], [], "%s: the desktop shows on the monitor %s at %d places"
                             % (what, monitor, len(shown)))

    def assertSceneOnPrimary(self, name, shots, monitors):
        primary, others = monitors[0], monitors[1:]
        w, h, x0, y0 = primary
        banner, sprites = scene_places(name)
        left, top, width, height = (int(v) // TWIPS for v in banner)
        self.assertTrue(any(coloured(shot.pixel(x0 + x, y0 + y)) for shot in shots
                            for y in range(top, top + height) for x in range(left, min(w, left + width))),
                        name + ": no banner at the primary's top left")
        # Grey pixels on a grid of every third pixel: about one dot in nine falls on
        # it, so the best of the shots is taken, not one that may fall short by chance.
        dots = max(sum(1 for y in range(y0, y0 + h, 3) for x in range(x0, x0 + w, 3)
                       if shot.pixel(x, y)[0] == shot.pixel(x, y)[1] == shot.pixel(x, y)[2] >= 20)
                   for shot in shots)
        self.assertGreater(dots, 20, name + ": no dots on the primary")
        shot = shots[-1]
        # The walkers go along the primary's own bottom edge.
        walkers = [1 for y in range(y0 + h - 300, y0 + h) for x in range(x0, x0 + w, 2)
                   if shot.pixel(x, y) != (0, 0, 0) and not (shot.pixel(x, y)[0] == shot.pixel(x, y)[1]
                                                             == shot.pixel(x, y)[2])]
        self.assertGreater(len(walkers), 100, name + ": no sprites along the primary's bottom")
        for cw, ch, cx, cy in others:
            lit = [(x, y) for y in range(cy, cy + ch, 2) for x in range(cx, cx + cw, 2)
                   if shot.pixel(x, y) != (0, 0, 0) and not (x0 <= x < x0 + w and y0 <= y < y0 + h)]
            self.assertEqual(lit[:5], [], name + ": a monitor besides the primary is not plain black")

    def test_every_monitor_covered_the_scene_on_the_primary_input_over_each_ends_it(self):
        for label, outputs in LAYOUTS.items():
            self.layout(outputs)
            monitors = self.x.monitors()
            self.assertEqual(monitors, outputs, "the server's monitors")
            names = DELIVERABLES if label == "two monitors" else ["divor"]
            for name in names:
                with self.subTest(label=label, program=name):
                    cw, ch, cx, cy = monitors[1]
                    process, window = self.start(name, (cx + cw // 2, cy + ch // 2))
                    g = self.x.geometry(window)
                    self.assertEqual((g["WIDTH"], g["HEIGHT"], g["X"], g["Y"]), monitors[0], "the form's place")
                    self.assertEqual(len(self.windows_of(process)), len(monitors), "windows shown")
                    time.sleep(1.5)
                    shots = self.x.screenshots(4, apart=0.12)
                    self.assertCovered(shots[-1], monitors, name)
                    self.assertSceneOnPrimary(name, shots, monitors)
                    self.assertEqual(self.x.cursor_state(), "hidden", "the pointer over a blank window")
                    self.x.x("xdotool", "key", "space")
                    self.assertTrue(self.x.ended_within(process, 1.0), name + " went on after a key")
            # Every blank window ends the program on a move of one pixel and on a click.
            for cw, ch, cx, cy in monitors[1:]:
                with self.subTest(label=label, blank=(cw, ch, cx, cy)):
                    centre = (cx + cw // 2, cy + ch // 2)
                    process, _ = self.start("divor", centre)
                    time.sleep(0.5)
                    self.assertIsNone(process.poll(), "the pointer resting on a blank window ended it")
                    self.x.mouse_to(centre[0] + 1, centre[1])
                    self.assertTrue(self.x.ended_within(process, 1.0), "a move on a blank window did not end it")
                    process, _ = self.start("divor", centre)
                    self.x.x("xdotool", "click", "1")
                    self.assertTrue(self.x.ended_within(process, 1.0), "a click on a blank window did not end it")
            # Crossing from a blank window onto the form is a movement too.
            process, _ = self.start("divor", (monitors[1][2] + 5, monitors[1][3] + 5))
            self.x.mouse_to(monitors[0][2] + 5, monitors[0][3] + 5)
            self.assertTrue(self.x.ended_within(process, 1.0), "a move from a blank window onto the form did not end it")

    def test_one_screen_split_into_monitors_by_hand(self):
        # One X screen, two monitors set on it (xrandr --setmonitor), as a desktop does
        # for one wide display: the walkers go along the bottom of a monitor, not of the
        # screen's bounding box, and the lower monitor is covered.
        split = XSession(2304, 1024)
        self.addCleanup(split.close)
        split.x("xrandr", "--setmonitor", "left", "1280/338x1024/270+0+0", "screen")
        split.x("xrandr", "--setmonitor", "right", "1024/270x768/203+1280+0", "none")
        split.x("xsetroot", "-solid", "#%02x%02x%02x" % DESKTOP)
        process = split.run([program("divor")])
        self.addCleanup(split.stop, process)
        window = split.window_of(process)
        self.assertIsNotNone(window)
        time.sleep(2.0)
        g = split.geometry(window)
        self.assertEqual((g["WIDTH"], g["HEIGHT"], g["X"], g["Y"]), (1280, 1024, 0, 0), "the form's place")
        shots = split.screenshots(4, apart=0.12)
        monitors = [(1280, 1024, 0, 0), (1024, 768, 1280, 0)]
        self.assertCovered(shots[-1], monitors, "divor")
        self.assertSceneOnPrimary("divor", shots, monitors)
        split.x("xdotool", "key", "space")
        self.assertTrue(split.ended_within(process, 1.0), "went on after a key")

    def test_the_windows_follow_the_monitors_as_they_change(self):
        first = [(1280, 1024, 0, 0), (1280, 1024, 1280, 0)]
        changes = [
            ("a third monitor plugged in below", [(1280, 1024, 0, 0), (1280, 1024, 1280, 0), (1024, 768, 0, 1024)]),
            ("the primary's resolution raised", [(1920, 1080, 0, 0), (1280, 1024, 1920, 0), (1024, 768, 0, 1080)]),
            ("a monitor unplugged", [(1920, 1080, 0, 0), (1024, 768, 1920, 0)]),
            ("the primary's resolution lowered under the pointer", [(1024, 768, 0, 0), (1024, 768, 1024, 0)]),
            ("the primary moved to the right", [(1600, 900, 1024, 0), (1024, 768, 0, 0)]),
            ("one monitor left", [(1280, 1024, 0, 0)]),
            ("two again", first),
        ]
        self.layout(first)
        # The pointer rests where a lower resolution leaves no monitor: the server moves
        # it, and that is no movement of the user's.
        process, window = self.start("divor", (1500, 900))
        time.sleep(1.0)
        for what, outputs in changes:
            with self.subTest(what):
                self.layout(outputs)
                time.sleep(1.0)
                self.assertIsNone(process.poll(), "ended when " + what)
                monitors = self.x.monitors()
                g = self.x.geometry(window)
                self.assertEqual((g["WIDTH"], g["HEIGHT"], g["X"], g["Y"]), monitors[0], "the form's place")
                self.assertEqual(len(self.windows_of(process)), len(monitors), "windows shown")
                shot = self.x.screenshot()
                self.assertCovered(shot, monitors, what)
                # The dots fall over the whole of the form's new width.
                if what == "the primary's resolution raised":
                    time.sleep(2.0)
                    shot = self.x.screenshot()
                    far = [1 for y in range(0, 1080) for x in range(1300, 1920)
                           if shot.pixel(x, y)[0] == shot.pixel(x, y)[1] == shot.pixel(x, y)[2] >= 20]
                    self.assertGreater(len(far), 10, "no dots beyond the old width")
        self.x.x("xdotool", "key", "space")
        self.assertTrue(self.x.ended_within(process, 1.0), "went on after a key")

    def test_windows_whose_requests_to_map_a_window_manager_lost_are_asked_for_again(self):
        # A window manager that is starting, or being replaced, may lose a request to
        # map a window: the form, a blank window, and a blank window made for a monitor plugged in
        # later are each asked for again, and show.
        if WM:
            self.skipTest("runs under a window manager of its own")
        wm = self.x.start_window_manager([os.path.join(BUILD, "tests", "losing_wm")])
        self.addCleanup(self.x.stop_window_manager, wm)
        def assert_every_monitor_covered(what):
            monitors = self.x.monitors()
            deadline = time.time() + 3
            while len(self.windows_of(process)) < len(monitors) and time.time() < deadline:
                time.sleep(0.1)
            self.assertEqual(len(self.windows_of(process)), len(monitors), what + ": windows shown")
            self.assertCovered(self.x.screenshot(), monitors, what)

        self.layout([(1280, 1024, 0, 0), (1280, 1024, 1280, 0)])
        process, _ = self.start("divor", (100, 100))
        assert_every_monitor_covered("at the start")
        self.layout([(1280, 1024, 0, 0), (1280, 1024, 1280, 0), (1024, 768, 0, 1024)])
        assert_every_monitor_covered("a monitor plugged in")
        self.x.x("xdotool", "key", "space")
        self.assertTrue(self.x.ended_within(process, 1.0), "went on after a key")

    def test_a_movement_of_the_users_ends_it_while_the_outputs_keep_changing(self):
        # An output that flaps every 200 ms: the server moves the pointer off the
        # monitor it takes away, and that is no movement; a mouse moved by a pixel at a
        # time (XTest's device, as a hand moves one: several events, a window manager
        # may hold the pointer for the moment of one) is one, flapping or not.
        both, one = [(1280, 1024, 0, 0), (1280, 1024, 1280, 0)], [(1024, 768, 0, 0)]
        self.layout(both)
        process, _ = self.start("divor", (2000, 900))
        stop = threading.Event()

        def flap():
            while not stop.is_set():
                for outputs in (one, both):
                    self.x.set_outputs(outputs)
                    time.sleep(0.2)

        flapping = threading.Thread(target=flap)
        flapping.start()
        try:
            time.sleep(3.0)
            self.assertIsNone(process.poll(), "ended as the outputs changed")
            for _ in range(4):
                self.x.x("xdotool", "mousemove_relative", "--", "-1", "0")
                if self.x.ended_within(process, 0.25):
                    break
            self.assertIsNotNone(process.poll(), "a movement did not end it within a second")
        finally:
            stop.set()
            flapping.join()
        self.layout(LAYOUTS["two monitors"])


if __name__ == "__main__":
    unittest.main()
