"""The four programs under Xvfb: the window covers the screen, the pointer is hidden
over it, the banner stands at its place, input ends the program, a second copy ends
at once, arguments change nothing, the window carries its icon, and under a window
manager the window is full-screen and active."""

import os
import signal
import subprocess
import time
import unittest

from xsession import BUILD, DELIVERABLES, SessionTest, TWIPS, coloured, program, scene_places


def in_sprite(name, x, y):
    """Within a sprite that stands over the banner (Tunelight's note, top right)."""
    banner, sprites = scene_places(name)
    for sprite in sprites:
        if sprite[1] < banner[1] + banner[3]:
            left, top, width, height = (int(v) // TWIPS for v in sprite)
            if left <= x < left + width + 1 and top <= y < top + height + 1:
                return True
    return False


class WindowAndInput(SessionTest):
    def start(self, name, args=()):
        # SDL reports the pointer's place once when the window appears; that first
        # movement only sets the reference. A program left by a failed subtest goes first.
        for earlier in getattr(self, "running", []):
            self.x.stop(earlier)
        process = self.x.run([program(name)] + list(args))
        self.running = [process]
        self.addCleanup(self.x.stop, process)
        window = self.x.window_of(process)
        self.assertIsNotNone(window, name + " showed no window")
        time.sleep(0.4)
        return process, window

    def assertEndsWithin(self, process, seconds, what):
        self.assertTrue(self.x.ended_within(process, seconds), what + ": still running")
        self.assertEqual(process.returncode, 0, what)

    def test_the_window_covers_the_screen_and_hides_the_pointer(self):
        for name in DELIVERABLES:
            with self.subTest(name):
                process, window = self.start(name)
                g = self.x.geometry(window)
                self.assertEqual((g["X"], g["Y"], g["WIDTH"], g["HEIGHT"]), (0, 0, 1024, 768))
                self.assertEqual(self.x.cursor_state(), "hidden")
                self.x.x("xdotool", "key", "space")
                self.assertEndsWithin(process, 1.0, name)
                self.assertEqual(self.x.cursor_state(), "visible")

    def test_the_window_carries_its_deliverables_icon(self):
        for name in DELIVERABLES:
            with self.subTest(name):
                process, window = self.start(name)
                value = self.x.x("xprop", "-id", window, "-notype", "32c", "_NET_WM_ICON")
                self.x.stop(process)
                numbers = [int(n) for n in value.partition("=")[2].replace(",", " ").split()]
                self.assertEqual(numbers[:2], [32, 32], value[:200])
                # The icon's pixels as ARGB words, against the installed PNG's RGBA bytes.
                png = os.path.join(BUILD, "icons", name + ".png")
                rgba = subprocess.run(["convert", png, "rgba:-"], check=True, stdout=subprocess.PIPE).stdout
                want = [rgba[i + 3] << 24 | rgba[i] << 16 | rgba[i + 1] << 8 | rgba[i + 2]
                        for i in range(0, len(rgba), 4)]
                self.assertEqual(numbers[2:], want)

    def test_the_banner_stands_at_its_place_clipped_to_its_width(self):
        for name in DELIVERABLES:
            with self.subTest(name):
                process, _ = self.start(name)
                left, top, width, height = (int(v) // TWIPS for v in scene_places(name)[0])
                text = []
                for _ in range(10):  # a tick may pick a grey or a dark colour
                    shot = self.x.screenshot()
                    # Rows above the flying sprites, which start at row 48.
                    text = [(x, y) for x, y, rgb in shot.region(0, 0, 1024, 46)
                            if coloured(rgb) and not in_sprite(name, x, y)]
                    if len(text) > 50:
                        break
                    time.sleep(0.15)
                self.assertGreater(len(text), 50, "no banner text seen")
                xs = [x for x, _ in text]
                ys = [y for _, y in text]
                self.assertGreaterEqual(min(xs), left)
                self.assertLess(min(xs), left + 10)
                self.assertLess(max(xs), left + width)
                self.assertGreaterEqual(min(ys), top)
                self.assertLess(max(ys), top + height)
                if name == "Rerarir":  # the text is longer than the banner
                    self.assertGreater(max(xs), left + width - 15)

    def test_any_key_any_button_and_a_one_pixel_move_end_every_program(self):
        inputs = [
            ("key x", ["xdotool", "key", "x"]),
            ("modifier", ["xdotool", "key", "Shift_L"]),
            ("left button", ["xdotool", "click", "1"]),
            ("right button", ["xdotool", "click", "3"]),
        ]
        px, py = self.x.pointer_at()
        inputs.append(("one pixel", ["xdotool", "mousemove", str(px + 1), str(py)]))
        inputs.append(("one pixel up", ["xdotool", "mousemove", str(px), str(py - 1)]))
        for name in DELIVERABLES:
            for what, command in inputs:
                with self.subTest(name=name, input=what):
                    process, _ = self.start(name)
                    self.x.x(*command)
                    self.assertEndsWithin(process, 1.0, name + " on " + what)

    def test_a_move_back_to_the_same_place_does_not_end(self):
        process, _ = self.start("divor")
        self.x.mouse_to(*self.x.pointer_at())
        time.sleep(0.5)
        self.assertIsNone(process.poll())

    def test_a_second_copy_ends_at_once_and_leaves_the_first_running(self):
        for name in DELIVERABLES:
            with self.subTest(name):
                first, window = self.start(name)
                second = self.x.run([program(name)])
                self.assertEndsWithin(second, 2.0, "second " + name)
                self.assertIsNone(first.poll(), "the first copy ended")
                self.assertEqual(self.x.window_of(first, 1.0), window)
                self.x.x("xdotool", "key", "space")
                self.assertEndsWithin(first, 1.0, name)

    def test_command_line_arguments_change_nothing(self):
        for name in DELIVERABLES:
            for args in (["/s"], ["-root"], ["/c:1234"]):
                with self.subTest(name=name, args=args):
                    process, window = self.start(name, args)
                    g = self.x.geometry(window)
                    self.assertEqual((g["WIDTH"], g["HEIGHT"]), (1024, 768))
                    self.assertEqual(self.x.cursor_state(), "hidden")
                    self.x.x("xdotool", "key", "Return")
                    self.assertEndsWithin(process, 1.0, name)

    def test_sigterm_and_sigint_end_every_program_through_the_closed_window(self):
        for name in DELIVERABLES:
            for sig in (signal.SIGTERM, signal.SIGINT):
                with self.subTest(name=name, signal=sig.name):
                    process, _ = self.start(name)
                    process.send_signal(sig)
                    self.assertEndsWithin(process, 1.0, name + " on " + sig.name)

    def test_with_no_display_every_program_says_so_and_fails(self):
        env = {k: v for k, v in self.x.env.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        for name in DELIVERABLES:
            with self.subTest(name):
                done = subprocess.run([program(name)], env=env, stdout=subprocess.PIPE,
                                      stderr=subprocess.PIPE, timeout=10)
                self.assertEqual(done.returncode, 1)
                self.assertIn(name + ": cannot open the display", done.stderr.decode())


class UnderAWindowManager(SessionTest):
    """As on a desktop, with a window manager (Openbox) running: the window is mapped
    full-screen from the start, becomes the active window, shows its first frame, and
    input still ends the program."""

    def setUp(self):
        wm = self.x.start_window_manager(["openbox", "--sm-disable"])
        self.addCleanup(lambda: (wm.terminate(), wm.wait()))

    def test_the_window_is_full_screen_active_and_drawn_and_ends_on_a_key(self):
        for name in DELIVERABLES:
            with self.subTest(name):
                process = self.x.run([program(name)])
                try:
                    self.check_under_the_window_manager(name, process)
                finally:
                    self.x.stop(process)  # whatever failed, before the next one starts

    def check_under_the_window_manager(self, name, process):
        window = self.x.window_of(process)
        self.assertIsNotNone(window, name + " showed no window")
        time.sleep(0.5)
        # The window manager keeps _NET_WM_STATE to the states it gave the window.
        self.assertIn("_NET_WM_STATE_FULLSCREEN", self.x.x("xprop", "-id", window, "_NET_WM_STATE"))
        g = self.x.geometry(window)
        self.assertEqual((g["X"], g["Y"], g["WIDTH"], g["HEIGHT"]), (0, 0, 1024, 768))
        active = self.x.x("xprop", "-root", "_NET_ACTIVE_WINDOW").split()[-1]
        self.assertEqual(int(active, 16), int(window))
        # The banner's line is on the screen, in one of its colours that stands out.
        left, top, width, height = (int(v) // TWIPS for v in scene_places(name)[0])
        # A new colour every 100 ms, now and then a greyish one: four of them.
        shots = self.x.screenshots(4, apart=0.12)
        self.assertTrue(any(any(coloured(rgb) for _, _, rgb in shot.region(left, top, left + width, top + height))
                            for shot in shots), name + ": no banner on the screen")
        self.x.x("xdotool", "key", "space")
        self.assertTrue(self.x.ended_within(process, 1.0), name + ": still running")
        self.assertEqual(process.returncode, 0)


class UnderAWindowManagerThatLosesRequests(SessionTest):
    """A window manager that is starting, or being replaced, may lose a request to map
    a window: the program asks again, its form shows, and a key ends it."""

    def test_a_form_whose_request_to_map_was_lost_shows_and_ends_on_a_key(self):
        wm = self.x.start_window_manager([os.path.join(BUILD, "tests", "losing_wm")])
        self.addCleanup(self.x.stop_window_manager, wm)
        process = self.x.run([program("divor")])
        self.addCleanup(self.x.stop, process)
        self.assertIsNotNone(self.x.window_of(process, timeout=5.0), "the form was never shown")
        time.sleep(0.3)
        self.x.x("xdotool", "key", "space")
        self.assertTrue(self.x.ended_within(process, 1.0), "still running")
        self.assertEqual(process.returncode, 0)


if __name__ == "__main__":
    unittest.main()
