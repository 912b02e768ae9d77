"""What the programs play, rendered into a file by SDL's disk audio driver: Tunelight's
song once through, Rerarir's wave again and again, silence from divor and Flitter,
and silence with a normal run when a sound file is missing."""

import os
import shutil
import subprocess
import time
import unittest

from sounds import loudness, write_midi, write_wave
from xsession import BUILD, SessionTest, program

WINDOW_S = 0.05


class Sound(SessionTest):
    def run_for(self, name, seconds, files=()):
        """Runs name from a folder of its own holding files (name -> writer), for
        seconds, ends it with a key, and returns the audio file's path."""
        folder = os.path.join(self.x.tmp, "%s-%d" % (name, len(os.listdir(self.x.tmp))))
        os.makedirs(folder)
        shutil.copy(program(name), folder)
        for file_name, write in files:
            write(os.path.join(folder, file_name))
        audio = os.path.join(folder, "audio.raw")
        process = self.x.run([os.path.join(folder, name)],
                             env={"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": audio})
        self.addCleanup(self.x.stop, process)
        self.assertIsNotNone(self.x.window_of(process))
        time.sleep(seconds)
        self.assertIsNone(process.poll(), name + " ended by itself")
        self.x.x("xdotool", "key", "a")
        self.assertTrue(self.x.ended_within(process, 1.0), name + " did not end")
        self.assertEqual(process.returncode, 0)
        return audio

    def refocus(self, process, window):
        """Takes the focus away to another window and gives it back: a re-activation."""
        other = subprocess.Popen([os.path.join(BUILD, "tests", "host_window"), "50", "50"], env=self.x.env,
                                 stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.addCleanup(self.x.stop, other)
        other_window = other.stdout.readline().strip()
        self.x.x("xdotool", "windowfocus", "--sync", other_window)
        time.sleep(0.2)
        self.x.x("xdotool", "windowfocus", "--sync", window)

    def test_a_reactivation_restarts_rerarirs_wave_without_loading_it_again(self):
        # A 3 s loop: a tone of 0.3 s, then silence. Focus taken away and given back
        # at about 1.3 s starts the tone again there, long before the loop would, and
        # from what was decoded at the start: the file is gone by then.
        folder = os.path.join(self.x.tmp, "refocus")
        os.makedirs(folder)
        shutil.copy(program("Rerarir"), folder)
        write_wave(os.path.join(folder, "walk.wav"), 0.3, 2.7)
        audio = os.path.join(folder, "audio.raw")
        process = self.x.run([os.path.join(folder, "Rerarir")],
                             env={"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": audio})
        self.addCleanup(self.x.stop, process)
        window = self.x.window_of(process)
        self.assertIsNotNone(window)
        time.sleep(1.0)
        os.remove(os.path.join(folder, "walk.wav"))  # what was decoded plays again
        self.refocus(process, window)
        time.sleep(1.0)
        self.x.x("xdotool", "key", "a")
        self.assertTrue(self.x.ended_within(process, 1.0))
        peaks = loudness(audio, WINDOW_S)
        onsets = [i * WINDOW_S for i in range(len(peaks)) if peaks[i] > 3000 and (i == 0 or peaks[i - 1] <= 3000)]
        self.assertEqual(len(onsets), 2, onsets)
        self.assertGreater(onsets[1] - onsets[0], 0.9)
        self.assertLess(onsets[1] - onsets[0], 2.5)  # not the loop's own restart at 3 s

    def test_tunelight_plays_its_song_once_and_is_silent_after(self):
        song = lambda path: write_midi(path, [(60, 1), (64, 1)])  # one second at 120 bpm
        peaks = loudness(self.run_for("Tunelight", 3.5, [("song.mid", song)]), WINDOW_S)
        self.assertGreater(len(peaks), int(3.0 / WINDOW_S))
        loud = [i for i, p in enumerate(peaks) if p > 1000]
        self.assertTrue(loud, "no music")
        self.assertLess(loud[0] * WINDOW_S, 0.5)  # it starts with the program
        self.assertLess(loud[-1] * WINDOW_S, 1.5)  # and ends with the song
        self.assertTrue(all(p < 50 for p in peaks[int(2.2 / WINDOW_S):]), "not silent after the song")

    def test_the_stop_step_ends_the_music_with_the_program(self):
        song = lambda path: write_midi(path, [(60, 4), (64, 4), (67, 4)], program=19)  # organ, 6 s
        started = time.time()
        audio = self.run_for("Tunelight", 2.0, [("song.mid", song)])
        elapsed = time.time() - started
        peaks = loudness(audio, WINDOW_S)
        self.assertGreater(min(peaks[int(0.3 / WINDOW_S):-6]), 500, "the music did not play on")
        self.assertLessEqual(len(peaks) * WINDOW_S, elapsed + 0.3, "sound went on after the end")

    def test_rerarir_loops_its_wave(self):
        steps = lambda path: write_wave(path, tone_s=0.15, silence_s=0.25)
        peaks = loudness(self.run_for("Rerarir", 2.5, [("walk.wav", steps)]), WINDOW_S)
        onsets = sum(1 for a, b in zip(peaks, peaks[1:]) if a < 100 and b > 3000)
        self.assertGreaterEqual(onsets, 4, peaks)

    def test_rerarirs_own_footsteps_fall_every_0_6_seconds_without_a_break(self):
        own = lambda path: shutil.copy(os.path.join(BUILD, "Rerarir", "walk.wav"), path)
        peaks = loudness(self.run_for("Rerarir", 3.5, [("walk.wav", own)]), WINDOW_S)
        loudest = max(peaks)
        self.assertGreater(loudest, 5000)
        onsets = [i * WINDOW_S for i, (a, b) in enumerate(zip(peaks, peaks[1:]))
                  if a < loudest / 4 <= b]
        self.assertGreaterEqual(len(onsets), 5, peaks)
        gaps = [b - a for a, b in zip(onsets, onsets[1:])]
        for gap in gaps:  # the loop is two steps of 0.6 s, across its seam as well
            self.assertAlmostEqual(gap, 0.6, delta=0.08, msg=gaps)

    def test_tunelights_own_song_plays_from_the_start(self):
        own = lambda path: shutil.copy(os.path.join(BUILD, "Tunelight", "song.mid"), path)
        peaks = loudness(self.run_for("Tunelight", 3.0, [("song.mid", own)]), WINDOW_S)
        # The intro's chord, bass and hi-hat sound from the first beat and go on.
        self.assertLess(next(i for i, p in enumerate(peaks) if p > 1000) * WINDOW_S, 0.5)
        self.assertGreater(min(peaks[int(0.5 / WINDOW_S):int(2.5 / WINDOW_S)]), 300)

    def test_divor_and_flitter_open_no_audio_device(self):
        for name in ("divor", "Flitter"):
            with self.subTest(name):
                self.assertFalse(os.path.exists(self.run_for(name, 0.8)))

    def test_a_missing_sound_file_is_silence_and_a_normal_run(self):
        for name in ("Tunelight", "Rerarir"):
            with self.subTest(name):
                self.assertFalse(os.path.exists(self.run_for(name, 0.8)))

    def test_a_file_that_is_no_sound_is_silence_and_a_normal_run(self):
        garbage = lambda path: open(path, "wb").write(b"not a sound file\n" * 40)
        for name, file_name in (("Tunelight", "song.mid"), ("Rerarir", "walk.wav")):
            with self.subTest(name):
                audio = self.run_for(name, 0.8, [(file_name, garbage)])
                if os.path.exists(audio):
                    self.assertLessEqual(max(loudness(audio, WINDOW_S)), 2)  # silence, give or take dither


if __name__ == "__main__":
    unittest.main()
