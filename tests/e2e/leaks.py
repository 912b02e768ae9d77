"""Each program, built with AddressSanitizer, runs under Xvfb with its pictures and
sound and ends on a key with no leak reported. A program that loses memory on
purpose shows that the check sees a leak."""

import os
import subprocess
import time
import unittest

from xsession import BUILD, DELIVERABLES, SessionTest, program

ASAN = {"ASAN_OPTIONS": "detect_leaks=1:leak_check_at_exit=1",
        "LSAN_OPTIONS": "suppressions=" + os.path.join(os.path.dirname(__file__), "lsan.supp")}


class Leaks(SessionTest):
    def test_the_check_sees_a_lost_allocation(self):
        out = subprocess.run([os.path.join(BUILD, "leak_control")], env=dict(self.x.env, **ASAN),
                             stderr=subprocess.PIPE, stdout=subprocess.DEVNULL).stderr.decode()
        self.assertIn("Direct leak of 4096 byte(s)", out)

    def test_no_program_leaks(self):
        for name in DELIVERABLES:
            with self.subTest(name):
                env = dict(self.x.env, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE="/dev/null", **ASAN)
                process = subprocess.Popen([program(name)], env=env, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.PIPE)
                self.addCleanup(self.x.stop, process)
                self.assertIsNotNone(self.x.window_of(process, timeout=30))
                time.sleep(2.5)
                self.x.x("xdotool", "key", "a")
                err = process.communicate(timeout=60)[1].decode(errors="replace")
                self.assertNotIn("LeakSanitizer", err, err[-4000:])
                self.assertNotIn("AddressSanitizer", err, err[-4000:])
                self.assertEqual(process.returncode, 0, err[-2000:])


if __name__ == "__main__":
    unittest.main()
