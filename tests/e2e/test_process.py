"""The programs in the environments they are started from: closed standard streams,
no session bus, a name held by another user, and every signal that asks a program to
end, early or late; nothing of theirs outlives them."""

import ctypes
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest

from xsession import SessionTest, copy_deliverable, program

NOBODY = 65534
END_SIGNALS = (signal.SIGHUP, signal.SIGQUIT, signal.SIGTERM, signal.SIGINT)


def children_of(pid):
    """The processes whose parent is pid."""
    found = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/stat" % entry) as f:
                    fields = f.read().rsplit(")", 1)[1].split()
            except OSError:
                continue
            if int(fields[1]) == pid:
                found.append(int(entry))
    return found


def shared_memory_made_by(pid):
    """The System V shared memory segments that the process pid made and that are left."""
    with open("/proc/sysvipc/shm") as f:
        rows = [line.split() for line in f.readlines()[1:]]
    return [row[1] for row in rows if int(row[4]) == pid]  # shmid, where cpid is pid


class Process(SessionTest):
    def test_closed_standard_streams_and_a_broken_picture(self):
        # The display's connection would take descriptor 2, and the message about the
        # broken picture would go into it.
        folder = os.path.join(self.x.tmp, "closed streams")
        path = copy_deliverable("divor", folder)
        with open(os.path.join(folder, "ghostgif1.gif"), "wb") as f:
            f.write(b"GIF89a\x10\x00")

        def close_streams():
            for fd in (0, 1, 2):
                os.close(fd)

        process = subprocess.Popen([path], env=self.x.env, preexec_fn=close_streams)
        self.addCleanup(self.x.stop, process)
        self.assertIsNotNone(self.x.window_of(process), "no window with the standard streams closed")
        time.sleep(1.0)
        self.x.x("xdotool", "key", "a")
        self.assertTrue(self.x.ended_within(process, 1.0), "a key did not end it")
        self.assertEqual(process.returncode, 0)

    def test_a_standard_error_whose_reader_has_gone_changes_nothing(self):
        # The broken picture's line goes into a pipe that nobody reads any more.
        folder = os.path.join(self.x.tmp, "reader gone")
        path = copy_deliverable("divor", folder)
        with open(os.path.join(folder, "ghostgif1.gif"), "wb") as f:
            f.write(b"GIF89a\x10\x00")
        read_end, write_end = os.pipe()
        os.close(read_end)
        process = subprocess.Popen([path], env=self.x.env, stdout=write_end, stderr=write_end)
        os.close(write_end)
        self.addCleanup(self.x.stop, process)
        self.assertIsNotNone(self.x.window_of(process), "no window with standard error unread")
        time.sleep(0.5)
        self.assertIsNone(process.poll(), "ended by itself")
        self.x.x("xdotool", "key", "a")
        self.assertTrue(self.x.ended_within(process, 1.0), "a key did not end it")
        self.assertEqual(process.returncode, 0)

    def test_no_bus_process_file_or_shared_memory_outlives_it(self):
        # A plain X session: no bus address, and dbus-x11 installed, which would
        # launch a bus for anyone who asks libdbus for one.
        self.assertTrue(os.path.exists("/usr/bin/dbus-launch"), "dbus-x11 is not installed")
        # Orphans of the program come to this test process, so none can slip away.
        libc = ctypes.CDLL(None, use_errno=True)
        PR_SET_CHILD_SUBREAPER = 36
        self.assertEqual(libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0), 0)
        self.addCleanup(libc.prctl, PR_SET_CHILD_SUBREAPER, 0, 0, 0, 0)
        for name in ("divor", "Tunelight"):
            with self.subTest(name):
                home = tempfile.mkdtemp(prefix="home-", dir=self.x.tmp)
                env = {k: v for k, v in self.x.env.items() if k != "DBUS_SESSION_BUS_ADDRESS"}
                env.update(HOME=home)
                env.pop("XDG_RUNTIME_DIR", None)
                before = set(children_of(os.getpid()))
                process = subprocess.Popen([program(name)], env=env, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL)
                self.addCleanup(self.x.stop, process)
                self.assertIsNotNone(self.x.window_of(process))
                time.sleep(1.5)
                self.x.x("xdotool", "key", "a")
                self.assertTrue(self.x.ended_within(process, 1.0))
                time.sleep(0.5)
                left = set(children_of(os.getpid())) - before
                for pid in left:
                    os.kill(pid, signal.SIGKILL)
                self.assertEqual(left, set(), "processes outlived the program")
                self.assertEqual(os.listdir(home), [], "written under HOME")
                self.assertEqual(shared_memory_made_by(process.pid), [], "shared memory outlived the program")

    def hold_name(self, name, listen):
        """Another user binds a program's instance name, and listens on it if asked."""
        script = ("import socket, sys, time\n"
                  "s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)\n"
                  "s.bind(b'\\0' + sys.argv[1].encode())\n"
                  "%s\n"
                  "print('held', flush=True)\n"
                  "time.sleep(600)\n") % ("s.listen(4)" if listen else "")
        squatter = subprocess.Popen(["python3", "-c", script, name], stdout=subprocess.PIPE, text=True,
                                    preexec_fn=lambda: (os.setgid(NOBODY), os.setuid(NOBODY)))
        self.addCleanup(self.x.stop, squatter)
        self.addCleanup(squatter.stdout.close)
        self.assertEqual(squatter.stdout.readline().strip(), "held")

    def test_a_name_held_by_another_user_is_no_previous_instance(self):
        if os.getuid() == NOBODY or os.getuid() != 0:
            self.skipTest("needs root, to act as another user")
        for name, listen in (("divor", True), ("Rerarir", False)):
            with self.subTest(name, listen=listen):
                self.hold_name("dotfall.%s.%d" % (name, os.getuid()), listen)
                first = self.x.run([program(name)])
                self.addCleanup(self.x.stop, first)
                self.assertIsNotNone(self.x.window_of(first), name + " was stopped by another user's name")
                time.sleep(0.5)
                self.assertIsNone(first.poll())
                # A real second copy of the same user still ends at once.
                second = self.x.run([program(name)])
                self.addCleanup(self.x.stop, second)
                self.assertTrue(self.x.ended_within(second, 3.0), "a second copy went on running")
                self.assertEqual(second.returncode, 0)
                self.assertIsNone(first.poll(), "the second copy ended the first")
                self.x.x("xdotool", "key", "a")
                self.assertTrue(self.x.ended_within(first, 1.0))

    def test_every_end_signal_early_and_late_ends_with_status_0(self):
        # Started with every one of them ignored, as a background start leaves SIGINT.
        def ignore_all():
            for sig in END_SIGNALS:
                signal.signal(sig, signal.SIG_IGN)

        for sig in END_SIGNALS:
            for delay in (0.1, 3.0):
                with self.subTest(signal=sig.name, after=delay):
                    process = subprocess.Popen([program("Tunelight")], env=self.x.env, preexec_fn=ignore_all,
                                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                    self.addCleanup(self.x.stop, process)
                    time.sleep(delay)
                    self.assertIsNone(process.poll())
                    process.send_signal(sig)
                    self.assertTrue(self.x.ended_within(process, 1.0), "%s did not end it" % sig.name)
                    self.assertEqual(process.returncode, 0, sig.name)

    def test_an_end_signal_ends_it_while_the_display_is_frozen(self):
        # The X server stopped: every request waits for it, and the program gets no
        # further than its next one. Whatever holds it up, it ends within a second.
        for name in ("divor", "Tunelight"):
            with self.subTest(name):
                process = self.x.run([program(name)])
                self.addCleanup(self.x.stop, process)
                self.assertIsNotNone(self.x.window_of(process), name + " showed no window")
                time.sleep(0.5)
                self.x.xvfb.send_signal(signal.SIGSTOP)
                try:
                    time.sleep(0.3)
                    process.send_signal(signal.SIGTERM)
                    started = time.time()
                    try:
                        process.wait(timeout=2.0)
                    except subprocess.TimeoutExpired:
                        pass
                    took = time.time() - started
                finally:
                    self.x.xvfb.send_signal(signal.SIGCONT)
                print("%s: ended %.0f ms after SIGTERM with the display frozen" % (name, 1000 * took), file=sys.stderr)
                self.assertLess(took, 1.0, name + ": SIGTERM with the display frozen")
                self.assertEqual(process.returncode, 0, name)


if __name__ == "__main__":
    unittest.main()
