#!/usr/bin/env python3
"""End-to-end runs of real Windows installers (the stub of a Windows build + archive) under Wine.

    wine_e2e.py NATIVE_BUILD WINDOWS_BUILD [unittest options]

WINDOWS_BUILD is a win32 build (sfxstub.exe) or a win64 build (sfxstub64.exe).

Needs a display (wine_e2e.sh starts Xvfb when there is none). Every run gets a scratch folder
of its own, reached from Wine as Z:\\..., and its own temporary folder (with_temp.exe sets TMP
and TEMP for the stub). Windows are found by their titles with xdotool and answered with keys
or a click, as a user would.
"""
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import time
import unittest
import zlib

from e2e_common import LIST_NAME, Scratch, ScratchTest, config_text, read

HERE = os.path.dirname(os.path.abspath(__file__))
WINE_RUN = os.path.join(HERE, "..", "..", "scripts", "wine-run.sh")
NATIVE = WIN32 = None  # WIN32: the Windows build under test, of either word size
PROGRESS_TITLE = "Vask Setup Selbstentpacker"
TIMEOUT = 180


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def stub():
    for name in ("sfxstub64.exe", "sfxstub.exe"):
        if os.path.exists(os.path.join(WIN32, "app", name)):
            return os.path.join(WIN32, "app", name)
    sys.exit("no stub in %s/app" % WIN32)


def program():
    return read(os.path.join(WIN32, "tests", "payload", "sample_setup.exe"))


def windows_titled(title):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % title],
                           capture_output=True, text=True)
    return found.stdout.split()


def geometry(window):
    shell = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window],
                           capture_output=True, text=True, check=True).stdout
    values = dict(line.split("=") for line in shell.split() if "=" in line)
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


class WineScratch(Scratch):
    def __init__(self, temp_name):
        Scratch.__init__(self, "installer.exe", temp_name)

    def pack(self, members, config, checked=False):
        Scratch.pack(self, os.path.join(NATIVE, "tests", "e2e", "e2e_pack"), stub(), members, config, checked)

    def start(self, env=None, stdout=subprocess.PIPE):
        return subprocess.Popen(
            [WINE_RUN, os.path.join(WIN32, "tests", "e2e", "with_temp.exe"),
             windows_path(self.tmp) + "\\", windows_path(self.installer)],
            env=env, stdout=stdout, stderr=subprocess.PIPE)


class WineTest(ScratchTest):
    temp_name = "temp"
    process = None

    def make_scratch(self):
        return WineScratch(self.temp_name)

    def tearDown(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait()

    def start(self):
        self.process = self.scratch.start()
        return self.process

    def finish(self):
        try:
            out, err = self.process.communicate(timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise AssertionError("the installer did not end")
        if self.process.returncode != 0 and err:
            sys.stderr.write(err.decode("latin-1"))
        return self.process.returncode

    def wait_for_window(self, title, seconds=60):
        deadline = time.time() + seconds
        while time.time() < deadline:
            found = windows_titled(title)
            if found:
                return found[0]
            if self.process.poll() is not None:
                self.fail("the installer ended (%d) before %r appeared" %
                          (self.process.returncode, title))
            time.sleep(0.1)
        self.fail("no window %r" % title)

    def answer(self, title, key):
        window = self.wait_for_window(title)
        time.sleep(0.3)  # let the box take its keyboard focus
        subprocess.run(["xdotool", "windowfocus", "--sync", window, "key", key], check=True)


class FullRun(WineTest):
    def test_the_program_sees_its_files_and_they_are_gone_afterwards(self):
        s = self.scratch
        members = [("readme.txt", b"Read me.\r\n"), ("docs\\manual.txt", b"Manual\r\n" * 50),
                   ("data\\table.bin", bytes(range(256)) * 64), ("sample_setup.exe", program())]
        s.pack(members, config_text("sample_setup.exe", '--report report.txt "two words" <TD>x'))
        self.start()
        self.assertEqual(self.finish(), 0)
        report = s.report()
        self.assertIsNotNone(report, "the program did not run")
        tmp = windows_path(s.tmp) + "\\"
        self.assertEqual(report[1:6], ["arg 0: " + tmp + "sample_setup.exe", "arg 1: --report",
                                       "arg 2: report.txt", "arg 3: two words", "arg 4: " + tmp + "x"])
        for line in ("file: readme.txt 10", "file: docs/manual.txt 400",
                     "file: data/table.bin 16384", "sample_setup done"):
            self.assertIn(line, report)
        for name, _ in members:
            self.assertFalse(os.path.exists(s.temp(*name.split("\\"))), name)
        self.assertFalse(os.path.exists(s.temp(LIST_NAME)))
        self.assertTrue(os.path.isdir(s.temp("docs")) and os.path.isdir(s.temp("data")))


class Cancel(WineTest):
    def test_abbruch_during_a_large_member_cuts_it_short_and_starts_nothing(self):
        s = self.scratch
        # Incompressible, the slowest kind to unpack, and large enough to outlast the click
        # even with the fastest stub.
        big = random.Random(7).randbytes(40 << 20)
        s.pack([("readme.txt", b"Read me.\r\n"), ("big.bin", big), ("sample_setup.exe", program())],
               config_text("sample_setup.exe", "--report report.txt"))
        self.start()
        window = self.wait_for_window(PROGRESS_TITLE)
        time.sleep(0.3)
        x, y, width, height = geometry(window)
        # "Abbruch" sits centred at the window's foot (dialog units 78..128 x 49..63 of 207x66).
        subprocess.run(["xdotool", "mousemove", str(x + width // 2), str(y + height - 16),
                        "click", "1"], check=True)
        self.assertEqual(self.finish(), 0)
        self.assertIsNone(s.report(), "the program was started after a cancel")
        self.assertEqual(read(s.temp("readme.txt")), b"Read me.\r\n")
        self.assertLess(os.path.getsize(s.temp("big.bin")), len(big), "big.bin not cut short")
        self.assertFalse(os.path.exists(s.temp("sample_setup.exe")))
        self.assertEqual(s.listed(), [windows_path(s.temp(name)) for name in ("readme.txt", "big.bin")])


class FileExists(WineTest):
    def run_with_answer(self, key):
        s = self.scratch
        os.makedirs(s.temp("docs"))
        with open(s.temp("docs", "manual.txt"), "wb") as f:
            f.write(b"old")
        s.pack([("readme.txt", b"Read me.\r\n"), ("docs\\manual.txt", b"new manual"),
                ("sample_setup.exe", program())],
               config_text("sample_setup.exe", "--report report.txt", OverWrite="0"))
        self.start()
        self.answer("File Exists", key)
        self.assertEqual(self.finish(), 0)
        return s

    def test_yes_replaces_the_file(self):
        s = self.run_with_answer("y")
        report = s.report()
        self.assertIsNotNone(report, "the program did not run")
        self.assertIn("file: docs/manual.txt 10", report)
        self.assertFalse(os.path.exists(s.temp("docs", "manual.txt")), "replaced file not deleted")

    def test_no_keeps_the_file_and_the_clean_up_leaves_it(self):
        s = self.run_with_answer("n")
        report = s.report()
        self.assertIsNotNone(report, "the program did not run")
        self.assertIn("file: docs/manual.txt 3", report)
        self.assertEqual(read(s.temp("docs", "manual.txt")), b"old")
        self.assertFalse(os.path.exists(s.temp("readme.txt")))

    def test_cancel_keeps_the_file_and_starts_nothing(self):
        s = self.run_with_answer("Escape")
        self.assertIsNone(s.report(), "the program was started after a cancel")
        self.assertEqual(read(s.temp("docs", "manual.txt")), b"old")
        self.assertTrue(os.path.exists(s.temp("readme.txt")))
        self.assertFalse(os.path.exists(s.temp("sample_setup.exe")))
        self.assertEqual(s.listed(), [windows_path(s.temp("readme.txt"))])


class Failures(WineTest):
    def test_a_damaged_installer_is_not_a_valid_archive(self):
        s = self.scratch
        s.pack([("readme.txt", b"Read me.\r\n" * 1000), ("sample_setup.exe", program())],
               config_text("sample_setup.exe", "--report report.txt"))
        image = read(s.installer)
        with open(s.installer, "wb") as f:
            f.write(image[:len(image) - 5000])
        self.start()
        self.answer("Archive read error", "Return")
        self.assertEqual(self.finish(), 0)
        self.assertEqual(os.listdir(s.tmp), [], "a damaged archive wrote files")

    def test_a_member_that_fails_its_checksum_stops_the_run_and_starts_nothing(self):
        s = self.scratch
        manual = random.Random(3).randbytes(30000)
        s.pack([("manual.bin", manual), ("sample_setup.exe", program())],
               config_text("sample_setup.exe", "--report report.txt"), checked=True)
        # The first member's recorded checksum changed, the block's own made right again: the
        # stream decodes as packed, only the check can tell.
        image = bytearray(read(s.installer))
        block = image.rindex(b"SFXSUM01")
        image[block + 16] ^= 0x01
        image[-4:] = struct.pack("<I", zlib.crc32(image[block:-4]))
        with open(s.installer, "wb") as f:
            f.write(image)
        self.start()
        self.answer("Error", "Return")
        self.assertEqual(self.finish(), 0)
        self.assertIsNone(s.report(), "the program was started with a damaged member")
        self.assertFalse(os.path.exists(s.temp("sample_setup.exe")))

    def test_an_uncreatable_directory_ends_in_the_error_report_with_exit_code_1(self):
        s = self.scratch
        with open(s.temp("sub"), "wb") as f:  # a file where the member wants a folder
            f.write(b"in the way")
        s.pack([("readme.txt", b"Read me.\r\n"), ("sub\\file.txt", b"x"),
                ("sample_setup.exe", program())],
               config_text("sample_setup.exe", "--report report.txt"))
        self.start()
        self.answer("Anwendungsfehler", "Return")
        self.assertEqual(self.finish(), 1)
        self.assertIsNone(s.report())
        self.assertTrue(os.path.exists(s.temp("readme.txt")), "files unpacked so far stay")
        self.assertTrue(os.path.exists(s.temp(LIST_NAME)))


class TempFolderWithBlank(WineTest):
    temp_name = "Anna Maria"

    def test_the_right_program_starts_and_a_planted_one_does_not(self):
        # The `Executable` value carries arguments of its own, which must stay arguments.
        s = self.scratch
        # Split at the blank, Windows would first look for <root>\Anna.exe.
        shutil.copy(os.path.join(WIN32, "tests", "payload", "sample_setup.exe"),
                    os.path.join(s.root, "Anna.exe"))
        s.pack([("readme.txt", b"Read me.\r\n"), ("sample_setup.exe", program())],
               config_text("sample_setup.exe --report report.txt", "/q"))
        self.start()
        self.assertEqual(self.finish(), 0)
        self.assertFalse(os.path.exists(os.path.join(s.root, "sample_setup.report")),
                         "the planted Anna.exe was started")
        report = s.report()
        self.assertIsNotNone(report, "the program did not run")
        self.assertEqual(report[1], "arg 0: " + windows_path(s.temp("sample_setup.exe")))
        self.assertEqual(report[4], "arg 3: /q")
        self.assertFalse(os.path.exists(s.temp("readme.txt")))


class CodePage(WineTest):
    def test_names_packed_in_code_page_1252_are_created_as_written(self):
        # No program to start, so the run leaves what it unpacked in place.
        s = self.scratch
        folder = os.path.join(s.root, "tree", "\u00dcbersicht")
        os.makedirs(folder)
        with open(os.path.join(folder, "Gr\u00fc\u00dfe.txt"), "wb") as f:
            f.write(b"Hallo\r\n")
        subprocess.run([os.path.join(NATIVE, "tools", "sfxpack", "sfxpack"), "create", "--stub", stub(),
                        "-o", s.installer, os.path.join(s.root, "tree")], check=True, capture_output=True)
        self.start()
        self.assertEqual(self.finish(), 0)
        self.assertEqual(read(s.temp("\u00dcbersicht", "Gr\u00fc\u00dfe.txt")), b"Hallo\r\n")


class DllSearch(WineTest):
    def test_the_search_is_restricted_before_any_dll_is_loaded_or_the_window_opens(self):
        # Wine's call trace of the stub's own thread: SetDefaultDllDirectories(system folder
        # only) must come before any LoadLibrary and before the progress dialog is created.
        s = self.scratch
        s.pack([("readme.txt", b"Read me.\r\n")], config_text())
        env = dict(os.environ, WINEDEBUG="+relay")
        self.process = s.start(env, subprocess.DEVNULL)
        _, trace = self.process.communicate(timeout=TIMEOUT)
        self.assertEqual(self.process.returncode, 0)
        calls = [line for line in trace.decode("latin-1").splitlines() if ":Call " in line]
        dialog = [c for c in calls if "CreateDialogParamA" in c and "QZProgressClass" in c]
        self.assertTrue(dialog, "no progress dialog in the trace")
        thread = dialog[0].split(":")[0]
        own = [c for c in calls if c.startswith(thread + ":")]
        restrict = re.compile(r"KERNEL32\.SetDefaultDllDirectories\(0*800\)")
        first = next((i for i, c in enumerate(own) if restrict.search(c)), None)
        self.assertIsNotNone(first, "SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) not called")
        loads = [c for c in own[:first] if "LoadLibrary" in c or "CreateDialogParamA" in c]
        self.assertEqual(loads, [], "loaded before the DLL search was restricted")


def main():
    global NATIVE, WIN32
    if len(sys.argv) < 3:
        sys.exit("usage: wine_e2e.py NATIVE_BUILD WINDOWS_BUILD [unittest options]")
    NATIVE, WIN32 = (os.path.abspath(p) for p in sys.argv[1:3])
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)


if __name__ == "__main__":
    main()
