"""The install as a desktop user gets it: `cmake --install` into a temporary
DESTDIR lays each program out beside its files, with a command in bin, a valid
desktop entry, AppStream metainfo, an icon and XScreenSaver's configuration; the
installed command runs from another folder; and the Debian package holds the same
with its dependencies declared."""

import glob
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest
import xml.etree.ElementTree as ET

from xsession import BUILD, DELIVERABLES, FOLDER_FILES, SCREEN_SAVERS, XSession


class Install(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.destdir = tempfile.mkdtemp(prefix="dotfall-install-")
        subprocess.run(["cmake", "--install", BUILD, "--prefix", "/usr"], check=True,
                       env=dict(os.environ, DESTDIR=cls.destdir), stdout=subprocess.DEVNULL)
        cls.usr = os.path.join(cls.destdir, "usr")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.destdir)

    def test_each_program_stands_beside_its_files_with_a_command_in_bin(self):
        for name in DELIVERABLES:
            with self.subTest(name):
                folder = os.path.join(self.usr, "lib", "dotfall", name)
                self.assertEqual(sorted(os.listdir(folder)), sorted(FOLDER_FILES[name]))
                self.assertTrue(os.access(os.path.join(folder, name), os.X_OK))
                command = os.path.join(self.usr, "bin", name)
                self.assertEqual(os.readlink(command), "../lib/dotfall/%s/%s" % (name, name))
                self.assertTrue(os.path.samefile(command, os.path.join(folder, name)))

    def test_desktop_entries_metainfo_and_icons_are_valid(self):
        for name in DELIVERABLES:
            with self.subTest(name):
                app_id = "org.dotfall." + name
                where = "applications/screensavers" if name in SCREEN_SAVERS else "applications"
                entry = os.path.join(self.usr, "share", where, app_id + ".desktop")
                result = subprocess.run(["desktop-file-validate", entry], capture_output=True, text=True)
                self.assertEqual((result.returncode, result.stdout + result.stderr), (0, ""))
                text = open(entry).read()
                self.assertIn("Exec=%s\n" % name, text)
                self.assertIn("Icon=%s\n" % app_id, text)
                self.assertIn("Screensaver;" if name in SCREEN_SAVERS else "Game;", text)
                self.assertIn("StartupWMClass=%s\n" % name, text)
                meta = os.path.join(self.usr, "share", "metainfo", app_id + ".metainfo.xml")
                result = subprocess.run(["appstreamcli", "validate", "--no-net", meta], capture_output=True,
                                        text=True)
                self.assertEqual(result.returncode, 0, result.stdout)
                root = ET.parse(meta).getroot()
                self.assertEqual(root.findtext("id"), app_id)
                self.assertEqual(root.findtext("name"), name)
                self.assertEqual(root.find("releases/release").get("version"), "1.00")
                self.assertTrue(root.findtext("developer_name"))
                icon = os.path.join(self.usr, "share", "icons", "hicolor", "32x32", "apps", app_id + ".png")
                size = subprocess.run(["identify", "-format", "%wx%h", icon], capture_output=True, text=True)
                self.assertEqual(size.stdout, "32x32")

    def test_the_whole_install_passes_appstreams_checks(self):
        result = subprocess.run(["appstreamcli", "validate-tree", "--no-net", self.destdir], capture_output=True,
                                text=True)
        self.assertEqual(result.returncode, 0, result.stdout)
        self.assertNotRegex(result.stdout, r"(?m)^\s*[EW]: ", result.stdout)

    def test_each_command_has_a_manual_page_that_renders_cleanly(self):
        for name in DELIVERABLES:
            with self.subTest(name):
                page = os.path.join(self.usr, "share", "man", "man6", name + ".6.gz")
                result = subprocess.run(["man", "--warnings", "-l", page], capture_output=True, text=True,
                                        env=dict(os.environ, MANWIDTH="200"))
                self.assertEqual((result.returncode, result.stderr), (0, ""))
                text = re.sub(".\b", "", result.stdout)  # bold and underline by overstriking
                self.assertIn("%s - " % name, text)
                self.assertIn("reads no options", text)
                for file_name in FOLDER_FILES[name][1:]:
                    self.assertIn(file_name, text)
                self.assertEqual("XSCREENSAVER_WINDOW" in text, name in SCREEN_SAVERS)

    def test_xscreensaver_can_list_the_three_screen_savers(self):
        for name in DELIVERABLES:
            with self.subTest(name):
                config = os.path.join(self.usr, "share", "xscreensaver", "config", name.lower() + ".xml")
                hack = os.path.join(self.usr, "libexec", "xscreensaver", name)
                if name not in SCREEN_SAVERS:
                    self.assertFalse(os.path.exists(config) or os.path.lexists(hack))
                    continue
                root = ET.parse(config).getroot()
                self.assertEqual((root.tag, root.get("name")), ("screensaver", name))
                self.assertTrue(root.findtext("_description"))
                self.assertTrue(os.path.samefile(hack, os.path.join(self.usr, "lib", "dotfall", name, name)))

    def test_the_installed_command_runs_from_another_folder_with_its_pictures(self):
        x = XSession()
        self.addCleanup(x.close)
        process = x.run([os.path.join(self.usr, "bin", "divor")], cwd="/")
        self.addCleanup(x.stop, process)
        window = x.window_of(process)
        self.assertIsNotNone(window)
        # The window's class ties it to its desktop entry's StartupWMClass.
        self.assertEqual(x.x("xprop", "-id", window, "WM_CLASS").split("=")[1].strip(), '"divor", "divor"')
        time.sleep(0.6)
        shot = x.screenshot()
        ghost = [1 for _, _, rgb in shot.region(0, 40, shot.width, 200) if rgb == (0xee, 0xf0, 0xff)]
        self.assertGreater(len(ghost), 500, "the flying ghost's picture was not found")
        x.x("xdotool", "key", "a")
        self.assertTrue(x.ended_within(process, 1.0))
        self.assertEqual(process.returncode, 0)

    def test_the_debian_package_declares_what_it_needs(self):
        out = tempfile.mkdtemp(prefix="dotfall-package-")
        self.addCleanup(shutil.rmtree, out)
        subprocess.run(["cpack", "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", out], check=True,
                       cwd=BUILD, stdout=subprocess.DEVNULL)
        package, = glob.glob(os.path.join(out, "dotfall_*_amd64.deb"))
        info = subprocess.run(["dpkg-deb", "--field", package, "Depends"], capture_output=True,
                              text=True, check=True).stdout
        for needed in ("libsdl2-2.0-0", "libsdl2-mixer-2.0-0", "libsdl2-ttf-2.0-0", "libgif7", "libfontconfig1",
                       "fonts-wqy-microhei", "timgm6mb-soundfont", "libfluidsynth3"):
            self.assertIn(needed, info)
        self.assertEqual(subprocess.run(["dpkg-deb", "--field", package, "Section"], capture_output=True,
                                        text=True).stdout.strip(), "x11")
        # Debian's own checks: no error and no warning (pedantic notes are listed
        # with their reasons where the package is built).
        lint = subprocess.run(["lintian", package], capture_output=True, text=True,
                              env=dict(os.environ, TMPDIR=out))  # its scratch files go with the package
        self.assertNotRegex(lint.stdout, r"(?m)^[EW]: ", lint.stdout)
        files = subprocess.run(["dpkg-deb", "--contents", package], capture_output=True, text=True,
                               check=True).stdout
        for doc in ("copyright", "changelog.gz"):
            self.assertIn("./usr/share/doc/dotfall/" + doc, files)
        for name in DELIVERABLES:
            for file_name in FOLDER_FILES[name]:
                self.assertIn("./usr/lib/dotfall/%s/%s" % (name, file_name), files)
            self.assertIn("./usr/bin/%s -> ../lib/dotfall/%s/%s" % (name, name, name), files)


if __name__ == "__main__":
    unittest.main()
