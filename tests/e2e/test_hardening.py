"""Hostile files, odd folders and faults of the machine: broken pictures leave empty
rectangles, broken sounds leave silence, a folder near the path limit still works,
no audio device, a window closed by the window manager, a resized window, and not
one file written."""

import os
import re
import shutil
import stat
import subprocess
import time
import unittest

from sounds import loudness
from xsession import BUILD, DELIVERABLES, XSession, copy_deliverable, program

NOBODY = 65534


def colourful_rows(shot, x1=None):
    rows = set()
    for x, y, (r, g, b) in shot.region(0, 0, x1 or shot.width, shot.height):
        if max(r, g, b) - min(r, g, b) > 3:
            rows.add(y)
    return rows


def gif_with_frames(count):
    """A 1 x 1 GIF of count frames."""
    frame = b"\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00"
    return b"GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\x00\x00\x00\x00\x00" + frame * count + b"\x3b"


def gif_with_a_frame_of(width, height):
    """A 4 x 4 screen holding one frame of width x height; its data is cut short."""
    desc = b"\x2c\x00\x00\x00\x00" + width.to_bytes(2, "little") + height.to_bytes(2, "little") + b"\x00"
    return b"GIF89a\x04\x00\x04\x00\x80\x00\x00\xff\x00\x00\x00\x00\x00" + desc + b"\x02\x02\x44\x01\x00\x3b"


def replace(folder, file_name, data):
    """Puts data in place of a file, or a folder where data is None."""
    target = os.path.join(folder, file_name)
    os.remove(target)
    if data is None:
        os.mkdir(target)
    else:
        with open(target, "wb") as f:
            f.write(data)
    return target


def peak_memory_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        return int(re.search(r"VmHWM:\s+(\d+) kB", f.read()).group(1)) / 1024


def as_nobody():
    os.setgroups([])
    os.setgid(NOBODY)
    os.setuid(NOBODY)


class Hardening(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.x = XSession(1024, 768)
        os.chmod(cls.x.tmp, 0o755)  # for the runs as nobody
        cls.memory = {}

    @classmethod
    def tearDownClass(cls):
        cls.x.close()
        if cls.memory:
            print("\npeak memory (VmHWM, MB): " +
                  ", ".join("%s %.0f" % item for item in sorted(cls.memory.items())))

    def folder(self, label):
        path = os.path.join(self.x.tmp, label)
        os.makedirs(path)
        os.chmod(path, 0o777)
        return path

    def start(self, path, env=None, user=None, label=None):
        full_env = dict(self.x.env)
        full_env.update(env or {})
        name = os.path.basename(path)
        process = subprocess.Popen([path], env=full_env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                   preexec_fn=user)
        self.addCleanup(process.stderr.close)
        self.addCleanup(self.x.stop, process)
        self.assertIsNotNone(self.x.window_of(process), (label or name) + " showed no window")
        return process

    def run_then_key(self, process, seconds, label):
        """Lets the program run, notes its peak memory, ends it with a key."""
        time.sleep(seconds)
        self.assertIsNone(process.poll(), label + " ended by itself")
        self.memory[label] = peak_memory_mb(process.pid)
        self.x.x("xdotool", "key", "a")
        self.assertTrue(self.x.ended_within(process, 1.0), label + " did not end on a key")
        self.assertEqual(process.returncode, 0, label)

    def test_broken_pictures_leave_empty_rectangles_with_memory_bounded(self):
        real = open(os.path.join(BUILD, "Tunelight", "songgif1.gif"), "rb").read()
        rounds = {
            "truncated, garbage, empty, a folder": [
                ("songgif1.gif", real[:len(real) // 2]), ("songgif2.gif", os.urandom(20000)),
                ("songgif3.gif", b""), ("songgif4.gif", None)],
            "huge screen, 100000 frames, a huge frame, unreadable": [
                ("songgif1.gif", b"GIF89a\xff\xff\xff\xff" + real[10:]),
                ("songgif2.gif", gif_with_frames(100000)),
                ("songgif3.gif", gif_with_a_frame_of(8000, 8000)),
                ("songgif4.gif", real)],  # mode 000, for a user who is not its owner
        }
        for label, files in rounds.items():
            with self.subTest(label):
                folder = self.folder("pictures " + label.split(",")[0])
                path = copy_deliverable("Tunelight", folder)
                for file_name, data in files:
                    replace(folder, file_name, data)
                unreadable = "unreadable" in label
                if unreadable:
                    os.chmod(os.path.join(folder, "songgif4.gif"), 0)
                process = self.start(path, user=as_nobody if unreadable else None)
                time.sleep(0.6)
                banner_rows = set(range(8, 26))
                stray = sorted(colourful_rows(self.x.screenshot()) - banner_rows)
                self.assertEqual(stray, [], "a broken picture showed something")
                self.run_then_key(process, 0.5, "Tunelight, " + label)
                self.assertLess(self.memory["Tunelight, " + label], 400)

    def test_broken_sounds_are_silence_and_a_normal_run(self):
        for name, file_name in (("Rerarir", "walk.wav"), ("Tunelight", "song.mid")):
            real = open(os.path.join(BUILD, name, file_name), "rb").read()
            cut = 44 + 200 if name == "Rerarir" else 22  # a header and no more
            for label, data in (("truncated", real[:cut]), ("garbage", os.urandom(4000)), ("empty", b""),
                                ("a folder", None), ("unreadable", real)):
                with self.subTest(name + ", " + label):
                    folder = self.folder("%s sound %s" % (name, label))
                    path = copy_deliverable(name, folder)
                    target = replace(folder, file_name, data)
                    if label == "unreadable":
                        os.chmod(target, 0)
                    audio = os.path.join(folder, "audio.raw")
                    process = self.start(path, env={"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": audio},
                                         user=as_nobody if label == "unreadable" else None)
                    self.run_then_key(process, 1.0, "%s, sound %s" % (name, label))
                    if os.path.exists(audio):
                        peaks = loudness(audio, 0.05)
                        self.assertLess(max(peaks or [0]), 50, "sound from a broken file")

    def test_a_folder_near_the_path_length_limit_works(self):
        # PATH_MAX is 4096 with its NUL; the longest path opened is the folder plus
        # "/ghostgif1.gif".
        folder = self.x.tmp
        while len(folder) < 4096 - len("/ghostgif1.gif") - 1 - 201:
            folder = os.path.join(folder, "d" * min(200, 4096 - len("/ghostgif1.gif") - 1 - len(folder) - 202))
        folder = os.path.join(folder, "x" * (4096 - len("/ghostgif1.gif") - 2 - len(folder)))
        path = copy_deliverable("divor", folder)
        self.assertEqual(len(os.path.join(folder, "ghostgif1.gif")), 4095)
        process = self.start(path, label="divor in a long folder")
        time.sleep(0.6)
        rows = colourful_rows(self.x.screenshot())
        self.assertTrue(rows & set(range(48, 194)), "the flying ghost is missing")
        self.assertTrue(rows & set(range(600, 768)), "the walking ghosts are missing")
        self.run_then_key(process, 0.2, "divor in a long folder")

    def test_with_no_audio_device_the_sounds_are_silent_and_the_run_normal(self):
        for name in ("Rerarir", "Tunelight"):
            with self.subTest(name):
                process = self.start(program(name), env={"SDL_AUDIODRIVER": "none-such"})
                self.run_then_key(process, 1.0, name + " with no audio device")
                self.assertIn(b"open audio", process.stderr.read())

    def test_a_window_closed_by_the_window_manager_ends_the_program(self):
        for name in DELIVERABLES:
            with self.subTest(name):
                process = self.start(program(name))
                window = self.x.x("xdotool", "search", "--pid", str(process.pid), "--name", "^Form1$").split()[0]
                time.sleep(0.4)
                self.x.x(os.path.join(BUILD, "tests", "wm_close"), window)
                self.assertTrue(self.x.ended_within(process, 1.0), name + " did not end")
                self.assertEqual(process.returncode, 0)
                self.assertEqual(self.x.cursor_state(), "visible")

    def test_dots_follow_a_window_made_smaller(self):
        process = self.start(program("divor"))
        window = self.x.x("xdotool", "search", "--pid", str(process.pid), "--name", "^Form1$").split()[0]
        time.sleep(0.3)
        self.x.x("xdotool", "windowsize", window, "800", "600")
        time.sleep(1.5)
        g = self.x.geometry(window)
        self.assertEqual((g["WIDTH"], g["HEIGHT"]), (800, 600))
        shot = self.x.screenshot()
        # Dots now fall to the new bottom edge and start again from the top.
        bottom = [x for x, y, (r, g_, b) in shot.region(0, 560, 800, 600) if r == g_ == b and r >= 20]
        self.assertGreater(len(bottom), 5, "no dots reach the new bottom")
        self.run_then_key(process, 0.3, "divor, resized")

    def test_nothing_is_written_to_disk(self):
        if not shutil.which("strace"):
            self.skipTest("strace is not installed")
        calls = "open,openat,openat2,creat,mkdir,mkdirat,rename,renameat,renameat2,unlink,unlinkat," \
                "link,linkat,symlink,symlinkat,truncate,ftruncate,chmod,fchmodat,mknod,mknodat"
        for name in DELIVERABLES:
            with self.subTest(name):
                folder = self.folder("strace " + name)
                path = copy_deliverable(name, folder)
                log = os.path.join(self.x.tmp, "strace-%s.log" % name)
                tracer = subprocess.Popen(["strace", "-f", "-qq", "-e", "trace=" + calls, "-o", log, path],
                                          env=self.x.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                self.addCleanup(self.x.stop, tracer)
                deadline = time.time() + 15
                while time.time() < deadline and not self.x.x(
                        "xdotool", "search", "--onlyvisible", "--name", "^Form1$", check=False).split():
                    time.sleep(0.1)
                time.sleep(3)
                self.x.x("xdotool", "key", "a")
                self.assertTrue(self.x.ended_within(tracer, 5.0), name + " did not end under strace")
                writes = []
                with open(log) as f:
                    lines = f.readlines()
                for line in lines:
                    if "= -1" in line:  # failed calls change nothing
                        continue
                    opened = re.search(r'open(?:at2?)?\((?:AT_FDCWD, )?"([^"]*)", ([A-Z_|]+)', line)
                    if opened:
                        file_name, flags = opened.groups()
                        if re.search(r"O_WRONLY|O_RDWR|O_CREAT|O_TRUNC", flags) and not file_name.startswith("/dev/"):
                            writes.append(line.strip())
                    elif re.search(r"\b(creat|mkdir|mkdirat|rename|renameat2?|unlink|unlinkat|link|linkat|symlink|"
                                   r"symlinkat|truncate|ftruncate|chmod|fchmodat|mknod|mknodat)\(", line):
                        writes.append(line.strip())
                self.assertEqual(writes, [], name + " wrote to disk")


if __name__ == "__main__":
    unittest.main()
