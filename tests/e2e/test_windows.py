"""The Windows programs under Wine and Xvfb: each starts, covers the screen, hides
the pointer, shows its pictures, ends on a key, and carries its version record,
read back through GetFileVersionInfoW and VerQueryValueW. Skipped, saying so,
where Wine or mingw-w64 is not installed."""

import os
import shutil
import subprocess
import time
import unittest

from xsession import BUILD, DELIVERABLES, FILE_NAMES, XSession

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
WINDOWS_BUILD = os.environ.get("DOTFALL_WINDOWS_BUILD", os.path.join(ROOT, "build-windows"))
MISSING = [tool for tool in ("wine", "x86_64-w64-mingw32-g++-posix") if not shutil.which(tool)]


@unittest.skipIf(MISSING, "not installed here: " + ", ".join(MISSING))
class UnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        subprocess.run([os.path.join(ROOT, "scripts", "windows-build")], check=True, stdout=subprocess.DEVNULL,
                       env=dict(os.environ, BUILD=os.path.relpath(BUILD, ROOT)))
        cls.x = XSession()
        # A fresh prefix, started once for all the tests.
        prefix = os.path.join(WINDOWS_BUILD, "wineprefix")
        shutil.rmtree(prefix, ignore_errors=True)
        # The wine server's own folder goes in the build too.
        scratch = os.path.join(WINDOWS_BUILD, "tmp")
        os.makedirs(scratch, exist_ok=True)
        cls.env = dict(cls.x.env, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
                       TMPDIR=scratch)
        subprocess.run(["wineboot", "-i"], env=cls.env, check=True, timeout=180,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    @classmethod
    def tearDownClass(cls):
        subprocess.run(["wineserver", "-k"], env=cls.env, check=False)
        cls.x.close()

    def program(self, name):
        return os.path.join(WINDOWS_BUILD, name, FILE_NAMES[name])

    def form_window(self, timeout=30):
        """The id and size of the window titled Form1, once it covers the screen."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            for line in self.x.x("xwininfo", "-root", "-tree", check=False).splitlines():
                if '"Form1"' in line and "1024x768+0+0" in line:
                    return line.split()[0]
            time.sleep(0.2)
        return None

    def test_each_program_covers_the_screen_hides_the_pointer_and_ends_on_a_key(self):
        for name in DELIVERABLES:
            with self.subTest(name):
                process = subprocess.Popen(["wine", self.program(name)], env=self.env,
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                self.addCleanup(self.x.stop, process)
                self.assertIsNotNone(self.form_window(), name + " covered no screen")
                time.sleep(1.0)
                self.assertEqual(self.x.cursor_state(), "hidden")
                shot = self.x.screenshot()
                colourful = sum(1 for _, _, (r, g, b) in shot.region(0, 30, shot.width, shot.height)
                                if max(r, g, b) - min(r, g, b) > 3)
                self.assertGreater(colourful, 1000, name + " showed no pictures")
                self.x.x("xdotool", "key", "a")
                self.assertTrue(self.x.ended_within(process, 10.0), name + " did not end on a key")
                self.assertEqual(process.returncode, 0)
                self.assertEqual(self.x.cursor_state(), "visible")

    def test_each_program_carries_its_version_record_icon_and_display_name(self):
        for name in DELIVERABLES:
            with self.subTest(name):
                out = subprocess.run(["wine", os.path.join(WINDOWS_BUILD, "version_record.exe"), self.program(name)],
                                     env=self.env, capture_output=True, text=True, timeout=60).stdout
                record = dict(line.strip().split("=", 1) for line in out.splitlines() if "=" in line)
                self.assertEqual(record, {
                    "FileVersion#": "1.0.0.0", "ProductVersion#": "1.0.0.0", "FileType": "1",  # VFT_APP
                    "Translation": "080404B0", "CompanyName": "Dotfall", "FileDescription": name,
                    "FileVersion": "1.00", "InternalName": name, "OriginalFilename": FILE_NAMES[name],
                    "ProductName": "Dotfall animations", "ProductVersion": "1.00", "String1": name,
                    "IconGroup1": "yes"})

    def test_no_program_needs_a_dll_beyond_windows_own(self):
        system = {"GDI32.dll", "gdiplus.dll", "KERNEL32.dll", "msvcrt.dll", "SHLWAPI.dll", "USER32.dll",
                  "WINMM.dll"}
        for name in DELIVERABLES:
            dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", self.program(name)], capture_output=True,
                                  text=True, check=True).stdout
            dlls = {line.split(":", 1)[1].strip() for line in dump.splitlines() if "DLL Name:" in line}
            self.assertEqual(dlls, system, name)


if __name__ == "__main__":
    unittest.main()
