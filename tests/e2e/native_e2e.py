#!/usr/bin/env python3
"""End-to-end runs of real native installers (native stub + archive) in scratch folders.

    native_e2e.py --stub BUILD/app/sfxstub --pack BUILD/tests/e2e/e2e_pack \
                  --sample BUILD/tests/payload/sample_setup [unittest options]

Every run gets a fresh scratch folder holding the installer, a working folder and the
temporary folder (TMPDIR), so a test sees exactly what the stub wrote and where.
"""
import argparse
import datetime
import os
import stat
import subprocess
import sys
import time
import unittest

from e2e_common import CONFIG_NAME, LIST_NAME, Member, Scratch, ScratchTest, config_text

ARGS = None
TIMEOUT = 60


def day_count(year, month, day, hour=0, minute=0, second=0):
    """A date as the archive holds it: days since 1899-12-30, the fraction the time of day."""
    delta = datetime.datetime(year, month, day, hour, minute, second) - datetime.datetime(1899, 12, 30)
    return delta.days + delta.seconds / 86400.0


def local_epoch(days):
    stamp = datetime.datetime(1899, 12, 30) + datetime.timedelta(days=days)
    return time.mktime(stamp.timetuple())


def sample_members():
    with open(ARGS.sample, "rb") as f:
        program = f.read()
    return [
        Member("sample_setup", program),
        Member("readme.txt", b"Read me first.\r\n", 32, day_count(2023, 3, 15, 12, 0, 0)),
        Member("docs\\manual.txt", b"Manual\r\n" * 300, 33, day_count(2020, 1, 2, 6, 0, 0)),
        Member("docs\\notes.txt", b"", 32, day_count(2019, 7, 8, 18, 30, 0)),
        Member("data\\table.bin", bytes((i * 7919 + (i >> 5)) & 0xFF for i in range(70000)), 32,
               day_count(2009, 7, 6, 0, 0, 0)),
    ]


class NativeScratch(Scratch):
    """The installer in inst/, the stub's working folder cwd/, TMPDIR tmp/."""

    def __init__(self, temp_name="tmp"):
        Scratch.__init__(self, os.path.join("inst", "installer"), temp_name)
        self.inst = os.path.dirname(self.installer)
        self.cwd = os.path.join(self.root, "cwd")
        os.makedirs(self.inst)
        os.makedirs(self.cwd)

    def pack(self, members, config):
        Scratch.pack(self, ARGS.pack, ARGS.stub, members, config)

    def start(self):
        return subprocess.Popen([self.installer], cwd=self.cwd, env=dict(os.environ, TMPDIR=self.tmp),
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)

    def run(self):
        return subprocess.run([self.installer], cwd=self.cwd, env=dict(os.environ, TMPDIR=self.tmp),
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=TIMEOUT)

    def files_outside_temp(self):
        """Everything in the scratch folder but the installer and the temporary folder."""
        found = []
        for folder, dirs, files in os.walk(self.root):
            if folder == self.tmp or folder.startswith(self.tmp + os.sep):
                continue
            found += [os.path.join(folder, name) for name in files
                      if os.path.join(folder, name) != self.installer]
            found += [os.path.join(folder, name) for name in dirs
                      if os.path.join(folder, name) not in (self.inst, self.cwd, self.tmp)]
        return found


def wait_for(path, process):
    deadline = time.time() + TIMEOUT
    while not os.path.exists(path):
        if process.poll() is not None:
            raise AssertionError("the stub ended before %s appeared: %r" %
                                 (path, process.communicate()))
        if time.time() > deadline:
            raise AssertionError("timed out waiting for " + path)
        time.sleep(0.05)


class NativeTest(ScratchTest):
    def make_scratch(self):
        return NativeScratch(self.temp_name)


class FullRun(NativeTest):
    def test_members_arrive_exact_the_program_runs_and_the_files_are_deleted(self):
        s = self.scratch
        members = sample_members()
        s.pack(members, config_text("sample_setup",
                                    '--report report.txt --wait-for go "two words" <td>lower <TD>x'))
        process = s.start()
        wait_for(s.temp("go.waiting"), process)

        # While the program runs: every member byte-exact, with its date and attributes.
        for member in members:
            path = s.temp(member.path)
            with open(path, "rb") as f:
                self.assertEqual(f.read(), member.content, member.name)
            status = os.stat(path)
            self.assertEqual(status.st_mtime, local_epoch(member.days), member.name)
            writable = bool(status.st_mode & stat.S_IWUSR)
            self.assertEqual(writable, not member.attributes & 1, member.name)
        self.assertFalse(os.path.exists(s.temp(CONFIG_NAME)), "the configuration is deleted")
        with open(s.temp(LIST_NAME), "rb") as f:
            listed = f.read().split(b"\r\n")
        self.assertEqual(listed[-1], b"")
        self.assertEqual([line.decode().replace("\\", "/") for line in listed[:-1]],
                         [s.temp(member.path) for member in members])

        open(s.temp("go"), "w").close()
        out, err = process.communicate(timeout=TIMEOUT)
        self.assertEqual(process.returncode, 0, err)

        report = s.report()
        self.assertIsNotNone(report, "the program wrote no report")
        self.assertEqual(report[1:8], [
            "arg 0: " + s.temp("sample_setup"), "arg 1: --report", "arg 2: report.txt",
            "arg 3: --wait-for", "arg 4: go", "arg 5: two words",
            "arg 6: " + s.temp("lower")])
        self.assertEqual(report[8], "arg 7: <TD>x", "only the first placeholder is expanded")
        self.assertEqual(report[-1], "sample_setup done")
        self.assertIn("file: data/table.bin 70000", report)

        # Afterwards: every listed file and the list are gone, the folders stay.
        for member in members:
            self.assertFalse(os.path.exists(s.temp(member.path)), member.name)
        self.assertFalse(os.path.exists(s.temp(LIST_NAME)))
        self.assertTrue(os.path.isdir(s.temp("docs")) and os.path.isdir(s.temp("data")))
        self.assertEqual(s.files_outside_temp(), [])

    def test_without_executable_nothing_starts_and_nothing_is_deleted(self):
        s = self.scratch
        members = sample_members()
        s.pack(members, config_text(None, "--report report.txt", UseDirs="1"))
        result = s.run()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIsNone(s.report())
        for member in members:
            self.assertTrue(os.path.exists(s.temp(member.path)), member.name)
        self.assertTrue(os.path.exists(s.temp(LIST_NAME)))

    def test_an_executable_value_with_its_own_arguments_still_works(self):
        s = self.scratch
        s.pack(sample_members()[:1], config_text("sample_setup --report report.txt", "-x"))
        result = s.run()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(s.report()[1:5], ["arg 0: " + s.temp("sample_setup"), "arg 1: --report",
                                          "arg 2: report.txt", "arg 3: -x"])
        self.assertFalse(os.path.exists(s.temp("sample_setup")))


class TempFolderWithBlank(NativeTest):
    temp_name = "my temp"

    def test_the_program_starts_and_no_file_named_by_the_first_word_can(self):
        s = self.scratch
        # What a split at the blank would start instead: <root>/my
        planted = os.path.join(s.root, "my")
        with open(planted, "w") as f:
            f.write("#!/bin/sh\ntouch '%s'\n" % os.path.join(s.root, "planted-ran"))
        os.chmod(planted, 0o755)
        s.pack(sample_members(), config_text("sample_setup", "--report report.txt"))
        result = s.run()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertFalse(os.path.exists(os.path.join(s.root, "planted-ran")))
        report = s.report()
        self.assertIsNotNone(report, "the program did not run")
        self.assertEqual(report[1], "arg 0: " + s.temp("sample_setup"))
        self.assertFalse(os.path.exists(s.temp("sample_setup")))


class DamagedInstallers(NativeTest):
    """Truncated installers: nothing outside the temporary folder, the program never started,
    no sanitizer report. (Damage inside the directory and the data: archive unit tests and the
    extraction fuzz target.)"""

    def make_good_installer(self):
        s = self.scratch
        s.pack(sample_members(), config_text("sample_setup", "--report report.txt"))
        with open(s.installer, "rb") as f:
            image = f.read()
        stub_size = os.path.getsize(ARGS.stub)
        return image, stub_size

    def check_damaged(self, image, what):
        scratch = NativeScratch()
        try:
            with open(scratch.installer, "wb") as f:
                f.write(image)
            os.chmod(scratch.installer, 0o755)
            result = scratch.run()
            errors = result.stderr.decode("utf-8", "replace")
            self.assertIn(result.returncode, (0, 1), "%s: %r" % (what, result))
            # Exit code 1 only through the top-level error report, never from a sanitizer.
            self.assertNotIn("Sanitizer", errors, what)
            if result.returncode == 1:
                self.assertIn("Exception ", errors, what)
            self.assertIsNone(scratch.report(), what + ": the program was started")
            self.assertEqual(scratch.files_outside_temp(), [], what)
        finally:
            scratch.cleanup()

    def test_truncated_installers(self):
        image, stub = self.make_good_installer()
        size = len(image)
        for cut in (stub, stub + 1, stub + 9, stub + 40, stub + 200, (stub + size) // 2,
                    size - 300, size - 30, size - 1):
            with self.subTest(cut=cut):
                self.check_damaged(image[:cut], "truncated at %d of %d" % (cut, size))


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--stub", required=True)
    parser.add_argument("--pack", required=True)
    parser.add_argument("--sample", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
