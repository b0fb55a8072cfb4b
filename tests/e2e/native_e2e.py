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
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import unittest

ARGS = None
CONFIG_NAME = "$k$v$t$r.cnf"
LIST_NAME = "$d$e$l$.lst"
TIMEOUT = 60


def day_count(year, month, day, hour=0, minute=0, second=0):
    """A date as the archive holds it: days since 1899-12-30, the fraction the time of day."""
    delta = datetime.datetime(year, month, day, hour, minute, second) - datetime.datetime(1899, 12, 30)
    return delta.days + delta.seconds / 86400.0


def local_epoch(days):
    stamp = datetime.datetime(1899, 12, 30) + datetime.timedelta(days=days)
    return time.mktime(stamp.timetuple())


def config_text(executable=None, parameters=None, **flags):
    lines = ["[KVTR Configuration]"]
    lines += ["%s=%s" % (key, value) for key, value in flags.items()]
    if executable is not None:
        lines.append("Executable=" + executable)
    if parameters is not None:
        lines.append("Parameters=" + parameters)
    return ("\r\n".join(lines) + "\r\n").encode()


class Member:
    def __init__(self, name, content, attributes=32, days=None):
        self.name = name            # stored name, "\" separators
        self.content = content
        self.attributes = attributes
        self.days = days if days is not None else day_count(2021, 6, 1, 12, 0, 0)

    @property
    def path(self):
        return self.name.replace("\\", "/")


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


class Scratch:
    """A scratch folder: installer in inst/, the stub's working folder cwd/, TMPDIR tmp/."""

    def __init__(self, temp_name="tmp"):
        self.root = tempfile.mkdtemp(prefix="sfx_e2e_")
        self.inst = os.path.join(self.root, "inst")
        self.cwd = os.path.join(self.root, "cwd")
        self.tmp = os.path.join(self.root, temp_name)
        for folder in (self.inst, self.cwd, self.tmp):
            os.makedirs(folder)
        self.installer = os.path.join(self.inst, "installer")

    def pack(self, members, config):
        arguments = [ARGS.pack, ARGS.stub, self.installer]
        for index, member in enumerate(members + [Member(CONFIG_NAME, config)]):
            source = os.path.join(self.root, "member%d" % index)
            with open(source, "wb") as f:
                f.write(member.content)
            arguments += [member.name, source, str(member.attributes), repr(member.days)]
        subprocess.run(arguments, check=True)
        for index in range(len(members) + 1):
            os.remove(os.path.join(self.root, "member%d" % index))
        os.chmod(self.installer, 0o755)

    def environment(self):
        env = dict(os.environ)
        env["TMPDIR"] = self.tmp
        return env

    def start(self):
        return subprocess.Popen([self.installer], cwd=self.cwd, env=self.environment(),
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)

    def run(self):
        return subprocess.run([self.installer], cwd=self.cwd, env=self.environment(),
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=TIMEOUT)

    def temp(self, *parts):
        return os.path.join(self.tmp, *parts)

    def report(self):
        path = self.temp("report.txt")
        if not os.path.exists(path):
            return None
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read().splitlines()

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

    def cleanup(self):
        shutil.rmtree(self.root, ignore_errors=True)


def wait_for(path, process):
    deadline = time.time() + TIMEOUT
    while not os.path.exists(path):
        if process.poll() is not None:
            raise AssertionError("the stub ended before %s appeared: %r" %
                                 (path, process.communicate()))
        if time.time() > deadline:
            raise AssertionError("timed out waiting for " + path)
        time.sleep(0.05)


class ScratchTest(unittest.TestCase):
    temp_name = "tmp"

    def setUp(self):
        self.scratch = Scratch(self.temp_name)
        self.addCleanup(self.scratch.cleanup)


class FullRun(ScratchTest):
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


class TempFolderWithBlank(ScratchTest):
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


class DamagedInstallers(ScratchTest):
    """Truncated and bit-flipped installers: nothing outside the temporary folder, and the
    program is never started."""

    def make_good_installer(self):
        s = self.scratch
        s.pack(sample_members(), config_text("sample_setup", "--report report.txt"))
        with open(s.installer, "rb") as f:
            image = f.read()
        stub_size = os.path.getsize(ARGS.stub)
        return image, stub_size

    @staticmethod
    def directory_roles(image, at):
        """The role of each directory byte from `at` on, and where the data area begins.
        Roles: "tag", "length", then per entry value "name", "unpacked", "stored", "offset",
        "attributes", "date"."""
        fields = ("name", "unpacked", "stored", "offset", "attributes", "date")
        widths = {2: 1, 3: 2, 4: 4, 5: 10}
        roles = {at: "tag"}
        at += 1
        while image[at] != 0:
            for field in fields:
                tag = image[at]
                roles[at] = "tag"
                if tag in (6, 12):
                    size_bytes = 1 if tag == 6 else 4
                    length = int.from_bytes(image[at + 1:at + 1 + size_bytes], "little")
                    for i in range(size_bytes):
                        roles[at + 1 + i] = "length"
                    body = at + 1 + size_bytes
                else:
                    length, body = widths[tag], at + 1
                for i in range(length):
                    roles[body + i] = field
                at = body + length
        roles[at] = "tag"
        return roles, at + 1

    def check_damaged(self, image, what, may_start=False):
        scratch = Scratch()
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
            if not may_start:
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

    def flip_each(self, image, positions, bits, may_start):
        stub = os.path.getsize(ARGS.stub)
        roles, _ = self.directory_roles(image, stub)
        for at in positions:
            for bit in bits:
                damaged = bytearray(image)
                damaged[at] ^= 1 << bit
                what = "bit %d of byte +%d (%s)" % (bit, at - stub, roles.get(at, "data"))
                with self.subTest(what=what):
                    self.check_damaged(bytes(damaged), what, may_start)

    def test_bit_flips_in_tags_and_name_lengths(self):
        # The directory no longer holds together: nothing may start.
        image, stub = self.make_good_installer()
        roles, _ = self.directory_roles(image, stub)
        self.flip_each(image, [at for at, role in sorted(roles.items())
                               if role in ("tag", "length")], (0, 3, 6), may_start=False)

    def test_bit_flips_in_entry_values_stay_inside_the_temp_folder(self):
        # A changed name, date, attribute, size or offset can still make a well-formed archive:
        # the format carries no checksum, and a member may decode up to one match (60 bytes)
        # beyond its recorded size. Such damage may pass, but never writes outside the
        # temporary folder.
        image, stub = self.make_good_installer()
        roles, _ = self.directory_roles(image, stub)
        self.flip_each(image, [at for at, role in sorted(roles.items())
                               if role not in ("tag", "length")], (1, 5, 7), may_start=True)

    def test_a_member_far_from_its_recorded_size_never_starts_the_program(self):
        image, stub = self.make_good_installer()
        roles, _ = self.directory_roles(image, stub)
        for field, change in (("unpacked", +1000), ("unpacked", -1000), ("stored", -1000)):
            # The first entry is the program; its sizes are 32-bit values.
            at = min(at for at, role in roles.items() if role == field)
            value = int.from_bytes(image[at:at + 4], "little", signed=True) + change
            damaged = image[:at] + value.to_bytes(4, "little", signed=True) + image[at + 4:]
            with self.subTest(field=field, change=change):
                self.check_damaged(damaged, "%s size %+d" % (field, change))

    def test_bit_flips_in_the_data(self):
        # As above: a flip that leaves the decoded length within bounds goes unnoticed (the
        # adaptive code often falls back into step), so only the limits are checked here.
        image, stub = self.make_good_installer()
        _, data_start = self.directory_roles(image, stub)
        span = len(image) - data_start
        self.flip_each(image, [data_start + int(span * f) for f in (0.001, 0.1, 0.5, 0.9, 0.999)]
                       + [len(image) - 3], (4,), may_start=True)


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
