"""A program hosted by a screen saver: with XSCREENSAVER_WINDOW naming a window, it
draws into that window, leaves the pointer and the input to the host, and ends
promptly on SIGTERM with its sound stopped. A window that vanishes under a program,
hosted or not, and a display server that dies, end it quietly with status 0."""

import os
import signal
import subprocess
import time
import unittest

from sounds import loudness
from xsession import (BUILD, DELIVERABLES, ROAD, XSession, SessionTest, assert_road, copy_deliverable, program,
                      stops_growing)

LEFT, TOP, W, H = 100, 100, 480, 360


class HostWindow(SessionTest):
    def host(self):
        host = subprocess.Popen([os.path.join(BUILD, "tests", "host_window"), str(W), str(H)],
                                env=self.x.env, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.addCleanup(self.x.stop, host)
        self.addCleanup(host.stdout.close)
        self.addCleanup(host.stdin.close)
        self.host_process = host
        return host.stdout.readline().strip()

    def destroy_host_window(self):
        self.host_process.stdin.write("destroy\n")
        self.host_process.stdin.flush()
        self.assertEqual(self.host_process.stdout.readline().strip(), "destroyed")

    def start_with_sound(self, name, env, label):
        """name from a folder of its own, its sound rendered to a file there."""
        path = copy_deliverable(name, os.path.join(self.x.tmp, label))
        audio = os.path.join(os.path.dirname(path), "audio.raw")
        log = open(os.path.join(self.x.tmp, label + ".err"), "w+")
        self.addCleanup(log.close)
        process = subprocess.Popen([path], env=dict(self.x.env, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=audio,
                                                    **env),
                                   stdout=log, stderr=subprocess.STDOUT)
        self.addCleanup(self.x.stop, process)
        return process, audio, log

    def assert_ended_quietly(self, process, log, label):
        self.assertTrue(self.x.ended_within(process, 1.0), label + ": did not end within a second")
        self.assertEqual(process.returncode, 0, label)
        log.seek(0)
        output = log.read()
        self.assertNotIn("X Error", output, label)
        self.assertNotIn("X error", output, label)

    def test_it_draws_dots_into_the_hosts_window_and_leaves_it_the_pointer_and_input(self):
        window = self.host()
        process = self.x.run([program("divor")], env={"XSCREENSAVER_WINDOW": window})
        self.addCleanup(self.x.stop, process)
        time.sleep(1.5)
        self.assertIsNone(process.poll(), "divor did not start in the host's window")
        assert_road(process.pid)
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


    def test_copies_side_by_side_play_one_sound_and_the_next_takes_it_over(self):
        # As a host runs them, one a monitor: the first copy plays, the second keeps
        # silent; when the first has gone, the second plays its sound from the start.
        if ROAD != "surface":
            self.skipTest("the sound is the same on every road; it is heard on the surface road")
        for name in DELIVERABLES:
            with self.subTest(name):
                first, first_audio, _ = self.start_with_sound(name, {"XSCREENSAVER_WINDOW": self.host()},
                                                              name + " first")
                time.sleep(1.0)
                second, second_audio, log = self.start_with_sound(name, {"XSCREENSAVER_WINDOW": self.host()},
                                                                  name + " second")
                time.sleep(1.5)
                self.assertIsNone(second.poll(), name + ": the second copy did not run beside the first")
                self.assertFalse(os.path.exists(second_audio), name + ": the second copy played too")
                first.send_signal(signal.SIGTERM)
                self.assertTrue(self.x.ended_within(first, 1.0))
                ended = time.time()
                if name not in ("Tunelight", "Rerarir"):
                    time.sleep(1.0)
                    self.assertFalse(os.path.exists(first_audio) or os.path.exists(second_audio),
                                     name + " opened the sound device")
                    self.x.stop(second)
                    continue
                while not os.path.exists(second_audio) and time.time() < ended + 1.5:
                    time.sleep(0.02)
                self.assertLess(time.time() - ended, 1.0, name + ": the sound was not taken over within a second")
                time.sleep(1.5)
                second.send_signal(signal.SIGTERM)
                self.assert_ended_quietly(second, log, name + " second")
                # The same sound, from its start: loud at the same moments as the first's.
                def onset(path):
                    return next(i for i, peak in enumerate(loudness(path, 0.05)) if peak > 1000)
                self.assertLessEqual(abs(onset(second_audio) - onset(first_audio)), 2, name + ": not from its start")

    def test_another_users_names_neither_stop_a_direct_run_nor_silence_a_hosted_copy(self):
        # As uid 65534: every instance name of divor and every sound name of the display
        # bound, listened on with a queue of none, and that queue filled.
        if ROAD != "surface" or os.getuid() != 0:
            self.skipTest("the names are the same on every road; another user needs root")
        uid, display = os.getuid(), self.x.display
        names = ["dotfall.divor.%d" % uid, "dotfall.sound.%d.%s" % (uid, display)]
        squat = ("import socket, sys, time\n"
                 "held = []\n"
                 "for base in sys.argv[1:]:\n"
                 "    for name in [base] + ['%s.%d' % (base, i) for i in range(1, 4)]:\n"
                 "        s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)\n"
                 "        s.bind('\\0' + name)\n"
                 "        s.listen(0)\n"
                 "        while True:\n"
                 "            c = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)\n"
                 "            c.setblocking(False)\n"
                 "            try:\n"
                 "                c.connect('\\0' + name)\n"
                 "            except BlockingIOError:\n"
                 "                break\n"
                 "            held.append(c)\n"
                 "        held.append(s)\n"
                 "print('ready', flush=True)\n"
                 "time.sleep(600)\n")
        squatter = subprocess.Popen(["python3", "-c", squat] + names, user=65534, group=65534,
                                    stdout=subprocess.PIPE, text=True)
        self.addCleanup(self.x.stop, squatter)
        self.addCleanup(squatter.stdout.close)
        self.assertEqual(squatter.stdout.readline().strip(), "ready")
        direct = self.x.run([program("divor")])
        self.addCleanup(self.x.stop, direct)
        self.assertIsNotNone(self.x.window_of(direct), "another user's names stopped a direct run")
        time.sleep(1.0)
        self.assertIsNone(direct.poll(), "another user's names ended a direct run")
        hosted, audio, log = self.start_with_sound("Rerarir", {"XSCREENSAVER_WINDOW": self.host()}, "squatted")
        deadline = time.time() + 3.0
        while not (os.path.exists(audio) and os.path.getsize(audio) > 0) and time.time() < deadline:
            time.sleep(0.05)
        self.assertTrue(os.path.exists(audio) and os.path.getsize(audio) > 0,
                        "another user's names silenced a hosted copy")
        hosted.send_signal(signal.SIGTERM)
        self.assert_ended_quietly(hosted, log, "squatted")

    def test_a_destroyed_host_window_ends_the_program_with_its_sound(self):
        # As a host does when it unblanks: the window goes, and no signal follows.
        for name in DELIVERABLES:
            with self.subTest(name):
                window = self.host()
                process, audio, log = self.start_with_sound(name, {"XSCREENSAVER_WINDOW": window},
                                                            "destroyed host " + name)
                time.sleep(1.5)
                self.assertIsNone(process.poll(), name + " did not run in the host's window")
                self.destroy_host_window()
                self.assert_ended_quietly(process, log, name)
                self.assertTrue(stops_growing(audio), name + ": sound went on after the end")
                self.x.stop(self.host_process)

    def test_its_own_window_destroyed_by_another_client_ends_the_program(self):
        process, audio, log = self.start_with_sound("Tunelight", {}, "destroyed own window")
        window = self.x.window_of(process)
        self.assertIsNotNone(window)
        time.sleep(1.0)
        self.x.x("xdotool", "windowclose", window)
        self.assert_ended_quietly(process, log, "Tunelight")
        self.assertTrue(stops_growing(audio), "sound went on after the end")

    def test_the_display_server_dying_ends_the_program(self):
        for hosted in (False, True):
            with self.subTest(hosted=hosted):
                session = XSession(640, 480)
                self.addCleanup(session.close)
                env = {"DISPLAY": session.display}
                if hosted:
                    host = subprocess.Popen([os.path.join(BUILD, "tests", "host_window"), "320", "240"],
                                            env=session.env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                            text=True)
                    self.addCleanup(session.stop, host)
                    env["XSCREENSAVER_WINDOW"] = host.stdout.readline().strip()
                process, audio, log = self.start_with_sound("Tunelight", env, "server gone %s" % hosted)
                time.sleep(1.5)
                self.assertIsNone(process.poll(), "Tunelight did not start")
                session.xvfb.kill()
                self.assertTrue(self.x.ended_within(process, 1.0), "did not end within a second")
                self.assertEqual(process.returncode, 0)
                log.seek(0)
                self.assertNotIn("X", log.read().replace("CRITICAL", ""), "an X error or I/O report")
                self.assertTrue(stops_growing(audio), "sound went on after the end")

if __name__ == "__main__":
    unittest.main()
