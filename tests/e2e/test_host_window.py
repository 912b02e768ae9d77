"""A program hosted by a screen saver: with XSCREENSAVER_WINDOW naming a window, it
draws into that window, leaves the pointer and the input to the host, and ends
promptly on SIGTERM with its sound stopped."""

import os
import signal
import subprocess
import time
import unittest

from sounds import loudness
from xsession import BUILD, SessionTest, program

LEFT, TOP, W, H = 100, 100, 480, 360


class HostWindow(SessionTest):
    def host(self):
        host = subprocess.Popen([os.path.join(BUILD, "tests", "host_window"), str(W), str(H)],
                                env=self.x.env, stdout=subprocess.PIPE, text=True)
        self.addCleanup(self.x.stop, host)
        self.addCleanup(host.stdout.close)
        return host.stdout.readline().strip()

    def test_it_draws_dots_into_the_hosts_window_and_leaves_it_the_pointer_and_input(self):
        window = self.host()
        process = self.x.run([program("divor")], env={"XSCREENSAVER_WINDOW": window})
        self.addCleanup(self.x.stop, process)
        time.sleep(1.5)
        self.assertIsNone(process.poll(), "divor did not start in the host's window")
        shot = self.x.screenshot()
        inside = [(x, y) for x, y, (r, g, b) in shot.region(LEFT, TOP, LEFT + W, TOP + H)
                  if r == g == b and r >= 20]
        outside = [(x, y) for x, y, (r, g, b) in shot.region(0, 0, 1024, 768)
                   if (r, g, b) != (0, 0, 0) and not (LEFT <= x < LEFT + W and TOP <= y < TOP + H)]
        self.assertGreater(len(inside), 50, "no dots in the host's window")
        self.assertEqual(outside, [], "drawn outside the host's window")
        # Dots fall to the host window's own bottom edge.
        self.assertTrue(any(y >= TOP + H - 40 for _, y in inside))
        self.assertEqual(self.x.cursor_state(), "visible")
        self.x.x("xdotool", "mousemove", "300", "300")
        self.x.x("xdotool", "mousemove", "320", "330", "click", "1", "key", "a")
        time.sleep(0.5)
        self.assertIsNone(process.poll(), "input in the host's window ended the program")
        self.assertEqual(self.x.x("xdotool", "search", "--name", "^Form1$", check=False).split(), [],
                         "it made a window of its own")
        started = time.time()
        process.send_signal(signal.SIGTERM)
        self.assertTrue(self.x.ended_within(process, 1.0), "SIGTERM did not end it within a second")
        self.assertEqual(process.returncode, 0)
        self.assertLess(time.time() - started, 1.0)

    def test_sigterm_stops_the_music_with_the_program(self):
        window = self.host()
        folder = os.path.join(self.x.tmp, "hosted Tunelight")
        os.makedirs(folder)
        for entry in os.listdir(os.path.join(BUILD, "Tunelight")):
            subprocess.run(["cp", os.path.join(BUILD, "Tunelight", entry), folder], check=True)
        audio = os.path.join(folder, "audio.raw")
        started = time.time()
        process = self.x.run([os.path.join(folder, "Tunelight")],
                             env={"XSCREENSAVER_WINDOW": window, "SDL_AUDIODRIVER": "disk",
                                  "SDL_DISKAUDIOFILE": audio})
        self.addCleanup(self.x.stop, process)
        time.sleep(2.0)
        process.send_signal(signal.SIGTERM)
        self.assertTrue(self.x.ended_within(process, 1.0))
        elapsed = time.time() - started
        size = os.path.getsize(audio)
        time.sleep(0.5)
        self.assertEqual(os.path.getsize(audio), size, "sound went on after the end")
        peaks = loudness(audio, 0.05)
        self.assertGreater(max(peaks), 1000, "the song did not play")
        self.assertLessEqual(len(peaks) * 0.05, elapsed + 0.3)


if __name__ == "__main__":
    unittest.main()
