"""The screen savers under the real hosts that run them: Debian's XScreenSaver and MATE
screen saver daemons, and XScreenSaver's settings with its preview, each under Xvfb as
an ordinary user. Every unblank, however it comes (the command, a key, a mouse move,
with fading or without), ends the hack within a second with its sound stopped and
leaves no process behind."""

import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import unittest
import xml.etree.ElementTree as ET

import xsession
from xsession import BUILD, ROAD_ENV, XorgSession, XSession, assert_road, stops_growing

SCREEN_SAVERS = os.environ.get("DOTFALL_HOST_SAVERS", " ".join(xsession.SCREEN_SAVERS)).split()
NOBODY = 65534
# Runs a command as the ordinary user in place (no process of its own in between, as
# runuser would keep), so that stopping what a test started stops the program itself.
AS_USER = ["setpriv", "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY, "--clear-groups", "--"]
CYCLES = int(os.environ.get("DOTFALL_HOST_CYCLES", "20"))
# Cycles that wait out the hosts' seconds of deafness after they blank, at each input.
INPUT_CYCLES = max(2, CYCLES // 3)
# With DOTFALL_HOST_MONITORS=2 the desktop is Xorg with two real outputs of unequal
# sizes, the second to the right and lower; otherwise Xvfb's one screen.
TWO_MONITORS = [(1024, 768, 0, 0), (800, 600, 1024, 100)]
ON_TWO_MONITORS = os.environ.get("DOTFALL_HOST_MONITORS") == "2"
# What is about several monitors runs where there are several (ctest's
# e2e_screensaver_hosts_two_monitors), not again on the one screen.
about_monitors = unittest.skipUnless(ON_TWO_MONITORS, "about several monitors: DOTFALL_HOST_MONITORS=2")


def running(path):
    """The pids of live processes running the program file at path (one that has ended
    but is not yet reaped counts as ended)."""
    real = os.path.realpath(path)
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            exe = os.readlink("/proc/%s/exe" % entry)
            with open("/proc/%s/stat" % entry) as f:
                state = f.read().rsplit(")", 1)[1].split()[0]
        except OSError:
            continue
        if exe == real and state != "Z":
            found.append(int(entry))
    return found


def wait_for(condition, seconds, step=0.01):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if condition():
            return True
        time.sleep(step)
    return condition()


class Host(unittest.TestCase):
    """A desktop of one ordinary user: Xvfb, the installed programs, a home folder."""

    @classmethod
    def setUpClass(cls):
        if os.getuid() != 0:
            raise unittest.SkipTest("needs root, to run the hosts as an ordinary user")
        cls.top = tempfile.mkdtemp(prefix="dotfall-hosts-")
        os.chmod(cls.top, 0o755)
        subprocess.run(["cmake", "--install", BUILD, "--prefix", "/usr"], check=True,
                       env=dict(os.environ, DESTDIR=os.path.join(cls.top, "root")), stdout=subprocess.DEVNULL)
        subprocess.run(["chmod", "-R", "a+rX", cls.top], check=True)
        cls.usr = os.path.join(cls.top, "root", "usr")
        cls.home = os.path.join(cls.top, "home")
        os.mkdir(cls.home)
        os.chown(cls.home, NOBODY, NOBODY)
        cls.x = XorgSession(TWO_MONITORS) if ON_TWO_MONITORS else XSession()
        cls.results = {}
        cls.copies = []
        cls.host_delays = []
        cls.host_misses = []

    @classmethod
    def tearDownClass(cls):
        cls.x.close()
        # What the hosts started for themselves (accessibility buses and the like).
        subprocess.run(["pkill", "-KILL", "-u", "nobody"])
        shutil.rmtree(cls.top, ignore_errors=True)
        if cls.host_delays:
            print("the host itself was slow to act on %d unblanks: %s s" % (
                len(cls.host_delays), ", ".join("%.2f" % d for d in cls.host_delays)), file=sys.stderr)
        if cls.host_misses:
            print("the host took no notice of the input, given again: %s" % "; ".join(cls.host_misses),
                  file=sys.stderr)
        for line in cls.copies:
            print(line, file=sys.stderr)
        for label, times in cls.results.items():
            if times:
                print("%s: %d unblanks, time to end median %.0f ms, max %.0f ms"
                      % (label, len(times), 1000 * statistics.median(times), 1000 * max(times)), file=sys.stderr)

    def hack(self, name):
        return os.path.join(self.usr, "bin", name)

    def as_user(self, args, env=None, **kwargs):
        """Runs args as the ordinary user in this desktop."""
        full = AS_USER + ["env", "HOME=" + self.home, "DISPLAY=" + self.x.display]
        full += ["%s=%s" % item for item in dict(ROAD_ENV, **(env or {})).items()]
        return subprocess.Popen(full + list(args), cwd=self.home, **kwargs)

    def command(self, *args):
        self.as_user(list(args), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).wait(timeout=10)

    def audio_env(self):
        audio = os.path.join(self.home, "audio.raw")
        return audio, {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": audio}

    settle = 0.3  # how long the host takes to finish an unblank
    sound_heard = True  # whether the host passes its hacks the audio file to play into

    def mark_host_log(self):
        """Notes where the host's log stands before an unblank."""

    def host_acted(self, hack):
        """Whether the host's log says, since the mark, that it has told the hack (pid)
        to end."""
        return False

    def host_unblanked(self):
        """Whether the host's log says, since the mark, that it has taken the input as
        an unblank; None where the host keeps no such log."""
        return None

    def host_log(self):
        return ""

    def copies_on_every_monitor(self, name, blank, unblank, playing):
        """Blanks with name: one copy runs on each monitor, each draws its dots there,
        and one copy at most (one for a saver with a sound) plays, as playing(copies)
        counts them; an unblank ends them all."""
        monitors = self.x.monitors()
        blank()
        self.assertTrue(wait_for(lambda: len(running(self.hack(name))) >= len(monitors), 8.0),
                        "%s: %d copies for %d monitors" % (name, len(running(self.hack(name))), len(monitors)))
        # The hosts take no notice of input in the first seconds after they blank.
        time.sleep(3.5)
        copies = running(self.hack(name))
        self.assertEqual(len(copies), len(monitors), name + ": copies, one a monitor")
        shot = self.x.screenshot()
        for w, h, x0, y0 in monitors:
            greys = sum(1 for y in range(y0, y0 + h, 2) for x in range(x0, x0 + w, 2)
                        if shot.pixel(x, y)[0] == shot.pixel(x, y)[1] == shot.pixel(x, y)[2] >= 20)
            self.assertGreater(greys, 20, "%s: no dots on the monitor %s" % (name, (w, h, x0, y0)))
        played = playing(copies)
        # Where the host gives its hacks no sound to play into, no copy can open a device,
        # and each lets the sound go for a copy that could.
        self.assertEqual(played, 1 if name in ("Rerarir", "Tunelight") and self.sound_heard else 0,
                         name + ": copies playing")
        self.copies.append("%s, %s on %d monitors: %d copies, %d with the sound"
                           % (type(self).__name__, name, len(monitors), len(copies), played))
        unblank()
        self.assertTrue(wait_for(lambda: not running(self.hack(name)), 1.0), name + ": went on after the unblank")
        time.sleep(self.settle)

    def unblank_cycles(self, label, number, name, blank, unblank, cycles, run=(0.3, 1.2)):
        """Blanks with name's hack, lets it run for a while (seconds, from run), unblanks,
        and notes how long the hack took to end; fails at the end with every cycle in
        which it did not."""
        audio, _ = self.audio_env()
        times, failures = self.results.setdefault(label, []), []
        for cycle in range(cycles):
            blank(number)
            if not wait_for(lambda: running(self.hack(name)), 8.0):
                failures.append("%s cycle %d: the hack never started" % (name, cycle))
                print("--- %s, %s: the hack never started; the host's log:\n%s" % (label, name, self.host_log()),
                      file=sys.stderr)
                continue
            time.sleep(random.uniform(*run))  # end it at any point of its frames
            hack = running(self.hack(name))[0]
            self.mark_host_log()
            unblank()
            started = time.time()
            acted = None
            deadline = started + 8.0
            given_again = False
            while time.time() < deadline and running(self.hack(name)):
                if acted is None and self.host_acted(hack):
                    acted = time.time()
                # A host that polls the pointer can miss a move now and then. Where its
                # log shows it took no notice, the input is given once more, and the
                # hack's time counts from that.
                if not given_again and time.time() > started + 2.0 and self.host_unblanked() is False:
                    given_again = True
                    self.host_misses.append("%s, %s cycle %d" % (label, name, cycle))
                    unblank()
                    started = time.time()
                    deadline = started + 8.0
                time.sleep(0.005)
            ended = time.time()
            if acted is None and self.host_acted(hack):
                acted = ended  # told just before it ended, between two looks
            # Where the host itself was slow to tell the hack (its runner has been
            # seen to take seconds to act on the daemon's own SIGTERM), that delay is
            # the host's: the hack's time counts from when the host told it.
            if acted is not None and acted - started > 0.5:
                self.host_delays.append(acted - started)
                started = acted
            took = ended - started
            times.append(took)
            left = running(self.hack(name))
            if took > 1.0 or left:
                failures.append("%s cycle %d: ended after %.2f s%s" % (name, cycle, took,
                                                                        ", still running" if left else ""))
                print("--- %s, %s: ended after %.2f s; the host's log:\n%s" % (label, name, took, self.host_log()),
                      file=sys.stderr)
                for pid in left:
                    os.kill(pid, 9)
            elif self.sound_heard and not stops_growing(audio, 0.2):
                failures.append("%s cycle %d: sound went on" % (name, cycle))
            time.sleep(self.settle)
        self.assertEqual(failures, [], "%d of %d cycles failed" % (len(failures), cycles))


class XScreenSaver(Host):
    def mark_host_log(self):
        self.log.seek(0, os.SEEK_END)
        self.log_mark = self.log.tell()

    def host_acted(self, hack):
        self.log.seek(self.log_mark)
        return ("killing pid %d " % hack) in self.log.read()

    def host_unblanked(self):
        self.log.seek(self.log_mark)
        return "unblanking\n" in self.log.read()

    def host_log(self):
        self.log.seek(0)
        return "".join(self.log.readlines()[-40:])

    def daemon(self, fade):
        with open(os.path.join(self.home, ".xscreensaver"), "w") as f:
            f.write("mode: one\nselected: 0\ntimeout: 60\nlock: False\nsplash: False\n"
                    "fade: %s\nunfade: %s\nfadeSeconds: 0:00:01\n" % (fade, fade))
            f.write("programs: " + "".join("\t%s \\n\\\n" % self.hack(n) for n in SCREEN_SAVERS) + "\n")
        self.settle = 1.5 if fade else 0.3
        _, env = self.audio_env()
        # Opened for appending: the daemon shares this open file, and its offset with
        # it, so the reads here, which seek, must not move where the daemon writes.
        self.log = open(os.path.join(self.top, "xscreensaver-%s.log" % fade), "a+")
        self.addCleanup(self.log.close)
        daemon = self.as_user(["xscreensaver", "-no-splash", "-verbose"], env=env, stdout=self.log,
                              stderr=subprocess.STDOUT)
        self.addCleanup(self.x.stop, daemon)
        self.assertTrue(wait_for(lambda: subprocess.run(
            AS_USER + ["env", "HOME=" + self.home, "DISPLAY=" + self.x.display,
             "xscreensaver-command", "-time"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0,
            10.0, 0.2), "xscreensaver did not start")
        self.assertIsNone(daemon.poll(), "this xscreensaver did not start: another one answers")

    def holding_the_audio_file(self, copies):
        """How many of copies have the sound device open: SDL's disk driver, which the
        daemon passes on to its hacks, holds the audio file open."""
        audio, _ = self.audio_env()

        def plays(pid):
            try:
                return any(os.readlink("/proc/%d/fd/%s" % (pid, fd)) == audio for fd in os.listdir("/proc/%d/fd" % pid))
            except OSError:
                return False
        return sum(1 for pid in copies if plays(pid))

    def select(self, number):
        self.command("xscreensaver-command", "-select", str(number))

    def deactivate(self):
        self.command("xscreensaver-command", "-deactivate")

    def test_every_unblank_ends_the_hack_with_fading_off(self):
        self.daemon(fade=False)
        for number, name in enumerate(SCREEN_SAVERS, 1):
            with self.subTest(name):
                self.unblank_cycles("xscreensaver, fading off", number, name, self.select, self.deactivate,
                                    CYCLES)

    def test_every_unblank_ends_the_hack_with_fading_on(self):
        self.daemon(fade=True)
        for number, name in enumerate(SCREEN_SAVERS, 1):
            with self.subTest(name):
                self.unblank_cycles("xscreensaver, fading on", number, name, self.select, self.deactivate,
                                    CYCLES)

    def test_a_key_and_a_mouse_move_unblank(self):
        self.daemon(fade=False)
        key = lambda: self.x.x("xdotool", "key", "a")
        move = lambda: self.x.x("xdotool", "mousemove_relative", "--", "40", "30")
        # XScreenSaver takes no notice of input in the first seconds after it blanks.
        for number, name in enumerate(SCREEN_SAVERS, 1):
            with self.subTest(name):
                self.unblank_cycles("xscreensaver, a key", number, name, self.select, key, INPUT_CYCLES,
                                    run=(3.5, 4.5))
                self.unblank_cycles("xscreensaver, a mouse move", number, name, self.select, move, INPUT_CYCLES,
                                    run=(3.5, 4.5))


    def test_each_hack_draws_its_dots_and_ends_on_a_key(self):
        self.daemon(fade=False)
        for number, name in enumerate(SCREEN_SAVERS, 1):
            with self.subTest(name):
                self.select(number)
                self.assertTrue(wait_for(lambda: running(self.hack(name)), 8.0), "the hack never started")
                # XScreenSaver takes no notice of input in the first seconds after it blanks.
                time.sleep(3.5)
                hack = running(self.hack(name))[0]
                assert_road(hack)
                # Dots fallen to the middle rows: on a busy machine the hack may start late.
                def greys():
                    shot = self.x.screenshot()
                    return sum(1 for _, _, (r, g, b) in shot.region(0, 200, 1024, 500) if r == g == b and r >= 20)
                self.assertTrue(wait_for(lambda: greys() > 50, 6.0, step=0.5), "no dots on the screen")
                self.x.x("xdotool", "key", "a")
                self.assertTrue(wait_for(lambda: not running(self.hack(name)), 1.0), "the hack went on after a key")
                time.sleep(self.settle)

    @about_monitors
    def test_one_copy_a_monitor_each_drawing_and_one_sound(self):
        self.daemon(fade=False)
        for number, name in enumerate(SCREEN_SAVERS, 1):
            with self.subTest(name):
                self.copies_on_every_monitor(name, lambda: self.select(number),
                                             lambda: self.x.x("xdotool", "key", "a"), self.holding_the_audio_file)

    def test_the_settings_preview_ends_when_the_settings_close(self):
        # XScreenSaver's settings read every hack's settings file from one folder and
        # preview the selected hack in a window of their own.
        self.daemon(fade=False)
        config = os.path.join(self.usr, "share", "xscreensaver", "config")
        script = 'mount --bind "$1" /usr/share/xscreensaver/config && shift && exec "$@"'
        _, env = self.audio_env()
        full = ["unshare", "-m", "sh", "-c", script, "sh", config] + AS_USER + ["env",
                "HOME=" + self.home, "DISPLAY=" + self.x.display] + ["%s=%s" % item for item in env.items()]
        for cycle in range(3):
            settings = subprocess.Popen(full + ["xscreensaver-settings"], cwd=self.home,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.addCleanup(self.x.stop, settings)
            self.assertTrue(wait_for(lambda: running(self.hack("divor")), 10.0), "no preview")
            time.sleep(1.0 + cycle * 0.4)
            window = self.x.x("xdotool", "search", "--onlyvisible", "--name", "^XScreenSaver: .* Settings$",
                              check=False).split()
            self.assertTrue(window, "no settings window")
            # Closed as a window manager closes it.
            self.x.x(os.path.join(BUILD, "tests", "wm_close"), window[0])
            started = time.time()
            self.assertTrue(wait_for(lambda: not running(self.hack("divor")), 1.0),
                            "the preview went on after the settings closed")
            self.results.setdefault("xscreensaver-settings preview", []).append(time.time() - started)
            self.x.stop(settings)


class MateScreenSaver(Host):
    """MATE's daemon finds screen savers by their desktop entries and runs only programs
    from the screen-saver folders it trusts (its own and XScreenSaver's), where the
    package puts a link to each. The test shows it the installed links there in a
    mount namespace of its own, and talks to it over a session bus of its own."""

    def setUp(self):
        # Its socket in the desktop's home, which goes with the desktop.
        bus = subprocess.run(AS_USER + ["dbus-daemon", "--session", "--fork", "--address=unix:dir=" + self.home,
                              "--print-address=1", "--print-pid=1"], check=True, stdout=subprocess.PIPE,
                             text=True).stdout.split()
        self.bus, bus_pid = bus[0], int(bus[1])
        self.addCleanup(os.kill, bus_pid, 9)

    # The daemon gives its hacks an environment of its own, without SDL's choice of
    # audio driver: no hack of it plays into the audio file, so its silence after an
    # unblank says nothing. That the hack has ended is what shows the sound stopped.
    sound_heard = False

    def env(self):
        _, audio = self.audio_env()
        return dict(audio, **ROAD_ENV, DBUS_SESSION_BUS_ADDRESS=self.bus, GSETTINGS_BACKEND="keyfile",
                    XDG_CURRENT_DESKTOP="MATE", XDG_DATA_DIRS=os.path.join(self.usr, "share") + ":/usr/share")

    def daemon(self, name):
        for key, value in (("mode", "single"), ("themes", "['screensavers-org.dotfall.%s']" % name),
                           ("lock-enabled", "false")):
            self.as_user(["gsettings", "set", "org.mate.screensaver", key, value], env=self.env()).wait(10)
        # The package's links are relative to /usr; here they lead into the install.
        hacks = os.path.join(self.top, "hacks")
        if not os.path.isdir(hacks):
            os.mkdir(hacks)
            for saver in SCREEN_SAVERS:
                os.symlink(os.path.realpath(os.path.join(self.usr, "libexec", "xscreensaver", saver)),
                           os.path.join(hacks, saver))
        script = 'mount --bind "$1" /usr/libexec/xscreensaver && shift && exec "$@"'
        full = ["unshare", "-m", "sh", "-c", script, "sh", hacks] + AS_USER + ["env",
                "HOME=" + self.home, "DISPLAY=" + self.x.display]
        full += ["%s=%s" % item for item in self.env().items()]
        self.log = open(os.path.join(self.top, "mate-%s.log" % name), "a+")  # as XScreenSaver's
        self.addCleanup(self.log.close)
        daemon = subprocess.Popen(full + ["mate-screensaver", "--no-daemon", "--debug"], cwd=self.home,
                                  stdout=self.log, stderr=subprocess.STDOUT)
        self.addCleanup(self.x.stop, daemon)
        self.assertTrue(wait_for(lambda: self.mate_command("--query") == 0, 10.0, 0.2),
                        "mate-screensaver did not start")

    def mate_command(self, *args):
        return self.as_user(["mate-screensaver-command"] + list(args), env=self.env(), stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL).wait(10)

    def host_unblanked(self):
        self.log.seek(self.log_mark)
        return "unblanking\n" in self.log.read()

    def host_log(self):
        self.log.seek(0)
        return "".join(line for line in self.log.readlines() if "geometry" not in line)[-3000:]

    def holding_the_sound(self, copies):
        """How many copies hold the display's sound, the name the one that plays binds.
        The daemon gives its hacks an environment of its own, without SDL's choice of
        audio driver, so no copy can be heard here, and none holds it."""
        with open("/proc/net/unix") as f:
            inodes = {line.split()[6] for line in f if "@dotfall.sound.%d." % NOBODY in line}

        def holds(pid):
            try:
                return any(os.readlink("/proc/%d/fd/%s" % (pid, fd)) in {"socket:[%s]" % i for i in inodes}
                           for fd in os.listdir("/proc/%d/fd" % pid))
            except OSError:
                return False
        return sum(1 for pid in copies if holds(pid))

    @about_monitors
    def test_one_copy_a_monitor_each_drawing_and_one_sound(self):
        self.settle = 1.5
        for name in SCREEN_SAVERS:
            with self.subTest(name):
                self.daemon(name)
                self.copies_on_every_monitor(name, lambda: self.mate_command("--activate"),
                                             lambda: self.mate_command("--deactivate"), self.holding_the_sound)

    def test_every_unblank_ends_the_hack(self):
        self.settle = 1.5
        for name in SCREEN_SAVERS:
            with self.subTest(name):
                self.daemon(name)
                self.unblank_cycles("mate-screensaver", 1, name, lambda _: self.mate_command("--activate"),
                                    lambda: self.mate_command("--deactivate"), CYCLES)
                self.unblank_cycles("mate-screensaver, a key", 1, name, lambda _: self.mate_command("--activate"),
                                    lambda: self.x.x("xdotool", "key", "a"), INPUT_CYCLES, run=(1.0, 2.0))


if __name__ == "__main__":
    unittest.main()
