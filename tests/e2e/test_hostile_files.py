"""Files that pass a casual look but would cost the sound libraries or the GIF decoder
gigabytes or seconds: each is refused with one line saying which limit, leaves its
sound silent or its picture empty, and the program starts within 2 s, stays under
300 MB and ends within a second of a key and of SIGTERM."""

import os
import re
import signal
import struct
import subprocess
import sys
import time
import unittest

from sounds import loudness, variable_length
from xsession import FOLDER_FILES, SessionTest, TWIPS, copy_deliverable, scene_places

LIMIT_MB = 300


def wave(path, rate, bits, channels, frames=0, data_bytes=None, claimed=None, chunks_before=0):
    """A PCM wave: a format chunk, empty chunks, then data (silence, or a tone for
    16-bit) of frames frames; claimed overrides the data chunk's own size."""
    block = channels * bits // 8
    if data_bytes is None:
        data_bytes = frames * block
    fmt = struct.pack("<HHIIHH", 1, channels, rate, rate * block, block, bits)
    with open(path, "wb") as f:
        body_size = 4 + 8 + len(fmt) + 8 * chunks_before + 8 + data_bytes
        f.write(b"RIFF" + struct.pack("<I", body_size) + b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt)
        f.write(b"JUNK\x00\x00\x00\x00" * chunks_before)
        f.write(b"data" + struct.pack("<I", claimed if claimed is not None else data_bytes))
        if data_bytes > 64 << 20:
            f.truncate(f.tell() + data_bytes)  # sparse: the size without the bytes
        elif bits == 16:
            tone = struct.pack("<h", 12000) * 20 + struct.pack("<h", -12000) * 20
            f.write((tone * (data_bytes // len(tone) + 1))[:data_bytes])
        else:
            f.write(b"\x80" * data_bytes)


def midi(path, events, tracks=1, division=480, sparse_bytes=0):
    """A type-0 song of one track holding events (delta times included)."""
    with open(path, "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 0, tracks, division))
        track = events + b"\x00\xff\x2f\x00"
        f.write(b"MTrk" + struct.pack(">I", len(track)) + track)
        if sparse_bytes:
            f.truncate(sparse_bytes)


def notes_at_once(count, delta=0, tempo=None):
    head = b"\x00\xff\x51\x03" + tempo.to_bytes(3, "big") if tempo else b""
    return head + b"\x00\x90\x3c\x64" + (variable_length(delta) + b"\x3c\x64") * (count - 1)


def gif_with_extension(path, label, sub_block, count):
    """A 1 x 1 picture, then one extension of count copies of sub_block."""
    picture = (b"GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\x00\x00\x00\x00\x00"
               b"\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00")
    with open(path, "wb") as f:
        f.write(picture + b"\x21" + label)
        f.write(bytes([len(sub_block)]) + sub_block)
        chunk = (bytes([len(sub_block)]) + sub_block) * 65536
        for _ in range((count - 1) // 65536):
            f.write(chunk)
        f.write((bytes([len(sub_block)]) + sub_block) * ((count - 1) % 65536))
        f.write(b"\x00\x3b")


def comment_gif_of_32_mib(path):
    # 1 x 1 picture (43 bytes), comment label, 2-byte sub-blocks, terminator, trailer.
    gif_with_extension(path, b"\xfe", b"x", ((32 << 20) - 43 - 2 - 2) // 2)
    assert os.path.getsize(path) <= 32 << 20


def wave_of_two_formats(path):
    """A wave whose first format is 8 kHz mono 8-bit and whose second is 192 kHz,
    8 channels of floats, then 8 MiB of data less the headers."""
    cheap = struct.pack("<HHIIHH", 1, 1, 8000, 8000, 1, 8)
    dear = struct.pack("<HHIIHH", 3, 8, 192000, 192000 * 32, 32, 32)
    data = (8 << 20) - 100
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 4 + 2 * 24 + 8 + data) + b"WAVE")
        f.write(b"fmt " + struct.pack("<I", 16) + cheap + b"fmt " + struct.pack("<I", 16) + dear)
        f.write(b"data" + struct.pack("<I", data) + b"\x80" * data)


def not_a_file(kind):
    """Puts a named pipe, a folder or a link to /dev/zero where the file was."""
    def write(path):
        if os.path.exists(path):
            os.remove(path)
        if kind == "pipe":
            os.mkfifo(path)
        elif kind == "folder":
            os.mkdir(path)
        else:
            os.symlink("/dev/zero", path)
    return write


# (label, deliverable, file, writer, what stderr names, what it leaves)
CASES = [
    ("wave of 1 Hz", "Rerarir", "walk.wav", lambda p: wave(p, 1, 8, 1, frames=9000),
     "sample rate 1 Hz outside the limits", "silent"),
    ("wave of 7.5 MB at 8 kHz", "Rerarir", "walk.wav", lambda p: wave(p, 8000, 8, 1, frames=7500000),
     "decoded size of", "silent"),
    ("wave of 100 MB at 8 kHz", "Rerarir", "walk.wav", lambda p: wave(p, 8000, 8, 1, data_bytes=100 << 20),
     "larger than the limit", "silent"),
    ("wave whose data claims more than the file", "Rerarir", "walk.wav",
     lambda p: wave(p, 22050, 16, 1, frames=20000, claimed=4 << 20), "cut short", "silent"),
    ("wave with a million chunks before its data", "Rerarir", "walk.wav",
     lambda p: wave(p, 22050, 16, 1, frames=22050, chunks_before=1000000),
     "Chunk count in WAVE file exceeds limit", "silent"),  # the wave loader's own limit
    ("song of a million notes at tick 0", "Tunelight", "song.mid", lambda p: midi(p, notes_at_once(1000000)),
     "larger than the limit", "silent"),
    ("song of 300 000 notes at tick 0", "Tunelight", "song.mid", lambda p: midi(p, notes_at_once(300000)),
     "more events in a track than the limit", "silent"),
    ("song of 50 000 notes at tick 0", "Tunelight", "song.mid", lambda p: midi(p, notes_at_once(50000)),
     "events fall due within 50 ms", "silent"),
    ("sparse song of 1 GB", "Tunelight", "song.mid", lambda p: midi(p, notes_at_once(10), sparse_bytes=1 << 30),
     "larger than the limit", "silent"),
    ("song of 50 000 notes at a tempo of 1 us", "Tunelight", "song.mid",
     lambda p: midi(p, notes_at_once(50000, delta=1, tempo=1)), "events fall due within 50 ms", "silent"),
    ("song claiming 65535 tracks", "Tunelight", "song.mid", lambda p: midi(p, notes_at_once(4), tracks=65535),
     "65535 tracks, beyond the limit", "silent"),
    ("GIF of 32 MiB, nearly all one comment", "divor", "ghostgif1.gif", comment_gif_of_32_mib,
     "extensions and comments larger than the limit", "empty"),
    ("GIF with 1.5 MB of application data", "divor", "ghostgif1.gif",
     lambda p: gif_with_extension(p, b"\xff", b"y" * 255, 6000), "extensions and comments larger than the limit",
     "empty"),
    ("wave with a second format of 192 kHz in 8 channels", "Rerarir", "walk.wav", wave_of_two_formats,
     "more than one format chunk", "silent"),
    ("song timed in SMPTE frames", "Tunelight", "song.mid",
     lambda p: midi(p, notes_at_once(10, delta=40), division=0xE728), "timed in SMPTE frames", "silent"),
    ("song with a tempo four bytes long", "Tunelight", "song.mid",
     lambda p: midi(p, b"\x00\xff\x51\x04\x07\xa1\x20\x00" + notes_at_once(10, delta=40)),
     "the wrong length", "silent"),
    ("song that is a named pipe", "Tunelight", "song.mid", not_a_file("pipe"), "not a regular file", "silent"),
    ("song that links to the zero device", "Tunelight", "song.mid", not_a_file("zero"), "not a regular file", "silent"),
    ("wave that is a folder", "Rerarir", "walk.wav", not_a_file("folder"), "not a regular file", "silent"),
    ("wave that is a named pipe", "Rerarir", "walk.wav", not_a_file("pipe"), "not a regular file", "silent"),
    ("GIF that is a named pipe", "divor", "ghostgif1.gif", not_a_file("pipe"), "not a regular file", "empty"),
]


def peak_memory_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        return int(re.search(r"VmHWM:\s+(\d+) kB", f.read()).group(1)) / 1024


def gif_at_its_limits(path, width, height):
    """As many frames of width x height as the limits take (1000, and 64 MiB of
    rasters and frames), the file padded after its trailer to the 32 MiB limit."""
    frames = min(1000, (64 << 20) // (width * height * 5))
    one = subprocess.run(["convert", "-size", "%dx%d" % (width, height), "xc:red", "gif:-"], check=True,
                         stdout=subprocess.PIPE).stdout
    packed = one[10]
    table = 3 * (2 << (packed & 7)) if packed & 0x80 else 0
    head, frame = one[:13 + table], one[13 + table:-1]  # the frame's blocks, up to the trailer
    with open(path, "wb") as f:
        f.write(head + frame * frames + b"\x3b")
        f.truncate(32 << 20)


def gif_of_one_frame(path, width, height, screen=None, pad_to=0):
    """One frame of width x height, on a logical screen of its own size or of screen
    (w, h) with the frame to be restored to what was there (disposal "previous");
    padded after its trailer to pad_to bytes."""
    one = subprocess.run(["convert", "-size", "%dx%d" % (width, height), "xc:red", "gif:-"], check=True,
                         stdout=subprocess.PIPE).stdout
    packed = one[10]
    table = 3 * (2 << (packed & 7)) if packed & 0x80 else 0
    head, blocks = one[:13 + table], one[13 + table:-1]
    if screen:
        head = head[:6] + struct.pack("<HH", *screen) + head[10:]
        blocks = b"\x21\xf9\x04\x0c\x00\x00\x00\x00" + blocks[blocks.index(b"\x2c"):]
    with open(path, "wb") as f:
        f.write(head + blocks + b"\x3b")
        if pad_to:
            f.truncate(pad_to)


def song_at_its_limits(path):
    """400 000 events in four tracks, one tick apart, padded to the 2 MiB limit."""
    track = b"\x00\x90\x3c\x64" + b"\x01\x3c\x64" * (100000 - 2) + b"\x00\xff\x2f\x00"
    with open(path, "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 1, 4, 480))
        for _ in range(4):
            f.write(b"MTrk" + struct.pack(">I", len(track)) + track)
        f.truncate(2 << 20)


class HostileFiles(SessionTest):
    figures = []

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        print("\nhostile files: peak memory (VmHWM) and time to exit", file=sys.stderr)
        for row in cls.figures:
            print("  %-48s %-8s %5.0f MB  window after %4.0f ms  exit %4.0f ms" % row, file=sys.stderr)

    def run_folder(self, label, path, end, window_within):
        """Runs the program at path with its sound to a file beside it, ends it by end
        ("key" or "SIGTERM") after 1.5 s, and notes the figures. The lines it printed,
        less the sound drivers' own."""
        folder = os.path.dirname(path)
        err_path = os.path.join(folder, "stderr")
        with open(err_path, "wb") as err:
            started = time.time()
            process = subprocess.Popen([path], env=dict(self.x.env, SDL_AUDIODRIVER="disk",
                                                         SDL_DISKAUDIOFILE=os.path.join(folder, "audio.raw")),
                                       stdout=subprocess.DEVNULL, stderr=err)
        self.addCleanup(self.x.stop, process)
        self.assertIsNotNone(self.x.window_of(process, timeout=window_within),
                             "no window within %.0f s" % window_within)
        shown = time.time() - started
        time.sleep(1.5)
        self.assertIsNone(process.poll(), "ended by itself")
        memory = peak_memory_mb(process.pid)
        if end == "key":
            self.x.x("xdotool", "key", "a")
        else:
            process.send_signal(signal.SIGTERM)
        ending = time.time()
        self.assertTrue(self.x.ended_within(process, 1.0), "did not end within 1 s of a " + end)
        took = time.time() - ending
        self.assertEqual(process.returncode, 0)
        self.figures.append((label, end, memory, 1000 * shown, 1000 * took))
        self.assertLess(memory, LIMIT_MB)
        with open(err_path, errors="replace") as f:
            return [line for line in f.read().splitlines() if "disk i/o audio" not in line and "Writing to" not in line
                    and not line.startswith("ALSA lib")]

    def run_case(self, label, name, file_name, write, named, leaves, end):
        folder = os.path.join(self.x.tmp, "%s, %s" % (label, end))
        path = copy_deliverable(name, folder)
        write(os.path.join(folder, file_name))
        lines = self.run_folder(label, path, end, 2.0)
        if named:
            said = [line for line in lines if named in line]
            self.assertEqual(len(said), 1, lines)
            # The path as the system writes it, then why.
            self.assertTrue(said[0].startswith(os.path.join(folder, file_name) + ": "), said[0])
        self.assertLess(len(lines), 5, lines)
        audio = os.path.join(folder, "audio.raw")
        if leaves == "silent":
            self.assertLess(max(loudness(audio, 0.05) or [0]) if os.path.exists(audio) else 0, 50, "not silent")

    def whole_folders(self):
        """(label, deliverable, writer of every file by its name) for folders whose files
        add up: every one at the limits, and the shapes that each cost far more than
        their own limits counted before there was one budget."""
        def at_limits(name):
            _, sprites = scene_places(name)
            width = max(int(s[2]) // TWIPS for s in sprites)
            height = max(int(s[3]) // TWIPS for s in sprites)

            def write(target):
                if target.endswith(".gif"):
                    gif_at_its_limits(target, width, height)
                elif target.endswith(".wav"):  # 16-bit mono at 22 kHz: 31 MiB once converted
                    wave(target, 22050, 16, 1, frames=(31 << 20) // 8)
                elif target.endswith(".mid"):
                    song_at_its_limits(target)
            return write

        def big_screens(target):
            if target.endswith(".gif"):
                gif_of_one_frame(target, 128, 128, screen=(4096, 4095), pad_to=32 << 20)
            elif target.endswith(".wav"):
                wave_of_two_formats(target)

        def big_frames(target):
            if target.endswith(".gif"):
                gif_of_one_frame(target, 3663, 3663)

        cases = [("every file at its limits", name, at_limits(name)) for name in FOLDER_FILES]
        cases += [("4096 x 4095 screens padded to 32 MiB, and a wave of two formats", "Rerarir", big_screens),
                  ("four GIFs of 3663 x 3663", "Tunelight", big_frames)]
        return cases

    def test_folders_whose_files_add_up_stay_within_the_budget_and_under_300_mb(self):
        for label, name, write in self.whole_folders():
            files = FOLDER_FILES[name]
            with self.subTest(label, name=name):
                folder = os.path.join(self.x.tmp, label, name)
                path = copy_deliverable(name, folder)
                for file_name in files:
                    write(os.path.join(folder, file_name))
                lines = self.run_folder("%s, %s" % (name, label), path, "key", 4.0)
                # What did not fit beside what came before it is named, with the budget.
                for line in lines:
                    if "pictures and sounds may take" in line:
                        self.assertTrue(line.startswith(folder + "/"), line)

    def test_each_hostile_file_is_refused_and_the_program_stays_light_and_ends_at_once(self):
        # Each file is ended one way, a key and SIGTERM by turns down the list, so that
        # each kind of file (wave, song, GIF, not a file) meets both.
        for number, (label, name, file_name, write, named, leaves) in enumerate(CASES):
            end = ("key", "SIGTERM")[number % 2]
            with self.subTest(label, end=end):
                self.run_case(label, name, file_name, write, named, leaves, end)


if __name__ == "__main__":
    unittest.main()
