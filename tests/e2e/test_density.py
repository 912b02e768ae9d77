"""A desktop scaled to 200 %: Xvfb at 192 DPI with Xft.dpi 192, as a desktop sets it,
against one at 96 DPI of half the size. The same picture, twice as large: the same
places in inches, sprites twice the size and still sharp, the banner's line twice as
tall, dots of 2 x 2 pixels; and a movement of one pixel still ends the program."""

import os
import time
import unittest

from test_animation import COLOURS, make_folder, where
from xsession import XSession


def coloured_rows(shot, x0, x1, y0, y1):
    """The rows between y0 and y1 that hold banner text (coloured, not grey)."""
    return [y for y in range(y0, y1)
            if any(max(rgb) - min(rgb) > 40 for _, _, rgb in shot.region(x0, y, x1, y + 1))]


def banner_shot(x, x1, y1, tries=15):
    """A picture of the root window whose banner, in [0, x1) x [0, y1), has a strong
    colour. It takes a random one every tick, now and then a greyish one whose
    lighter strokes do not show: pictures are taken a tick or more apart until one
    shows it, and the last is given where none does."""
    for _ in range(tries):
        shot = x.screenshot()
        if any(max(rgb) - min(rgb) > 120 for _, _, rgb in shot.region(0, 0, x1, y1)):
            break
        time.sleep(0.15)
    return shot


class Density(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.low = XSession(800, 600)
        cls.high = XSession(1600, 1200, dpi=192)

    @classmethod
    def tearDownClass(cls):
        cls.low.close()
        cls.high.close()

    def shot(self, x, name):
        process = x.run([make_folder(x.tmp, name)])
        self.addCleanup(x.stop, process)
        self.assertIsNotNone(x.window_of(process), name + " showed no window")
        time.sleep(0.8)
        shot = banner_shot(x, x.width // 2, x.height // 15)
        x.x("xdotool", "key", "a")
        self.assertTrue(x.ended_within(process, 1.0))
        return shot

    def test_the_picture_at_192_dpi_is_the_96_dpi_picture_twice_as_large(self):
        low, high = self.shot(self.low, "Tunelight"), self.shot(self.high, "Tunelight")
        # The band stands still: each 40 x 30 picture at twice the place and twice the size.
        for colour in COLOURS:
            a, b = where(low, colour), where(high, colour)
            self.assertIsNotNone(a, colour)
            self.assertEqual(b, (2 * a[0], 2 * a[1], 2 * a[2] + 1, 2 * a[3] + 1), colour)
        # The banner's line: drawn at twice the height, not stretched (rows of text
        # that are not repeated pairs), over twice the rows.
        rows_low = coloured_rows(low, 0, 400, 0, 40)
        rows_high = coloured_rows(high, 0, 800, 0, 80)
        self.assertTrue(rows_low and rows_high)
        self.assertLessEqual(abs(rows_high[0] - 2 * rows_low[0]), 3)
        self.assertLessEqual(abs((rows_high[-1] - rows_high[0]) - 2 * (rows_low[-1] - rows_low[0])), 4)
        # Every grey dot is a 2 x 2 block on even coordinates.
        blocks = 0
        for x, y, (r, g, b) in high.region(0, 400, 1600, 800):
            if r == g == b and r >= 20 and x % 2 == 0 and y % 2 == 0:
                self.assertEqual({high.pixel(x + 1, y), high.pixel(x, y + 1), high.pixel(x + 1, y + 1)}, {(r, g, b)},
                                 (x, y))
                blocks += 1
        self.assertGreater(blocks, 50)

    def test_a_settings_managers_window_scaling_factor_is_taken(self):
        # A desktop at 96 DPI whose settings manager (as GNOME's and Xfce's do) says 2.
        x = XSession(800, 600)
        self.addCleanup(x.close)
        config = os.path.join(x.tmp, "xsettingsd.conf")
        with open(config, "w") as f:
            f.write("Gdk/WindowScalingFactor 2\n")
        manager = x.run(["xsettingsd", "-c", config])
        self.addCleanup(x.stop, manager)
        time.sleep(0.5)
        shot = self.shot(x, "Tunelight")
        # The keyboard player 1320 twips from the left edge: twice as far in, and twice
        # as wide.
        low = where(self.shot(self.low, "Tunelight"), COLOURS[2])
        high = where(shot, COLOURS[2])
        self.assertEqual((high[0], high[2] - high[0] + 1), (2 * low[0], 2 * (low[2] - low[0] + 1)))

    def test_a_movement_of_one_pixel_ends_it_at_192_dpi(self):
        x = self.high
        x.mouse_to(600, 400)
        process = x.run([make_folder(x.tmp, "divor", "moved")])
        self.addCleanup(x.stop, process)
        self.assertIsNotNone(x.window_of(process))
        time.sleep(0.5)
        x.mouse_to(600, 400)  # no movement
        time.sleep(0.3)
        self.assertIsNone(process.poll())
        x.mouse_to(601, 400)  # 7.5 twips
        self.assertTrue(x.ended_within(process, 1.0))
        self.assertEqual(process.returncode, 0)


if __name__ == "__main__":
    unittest.main()
