"""What the native and the Wine end-to-end drivers share: the configuration text, packing
members with e2e_pack, and a scratch folder whose temporary folder the stub unpacks into."""
import os
import shutil
import subprocess
import tempfile
import unittest

CONFIG_NAME = "$k$v$t$r.cnf"
LIST_NAME = "$d$e$l$.lst"


def config_text(executable=None, parameters=None, **flags):
    lines = ["[KVTR Configuration]"] + ["%s=%s" % item for item in flags.items()]
    if executable is not None:
        lines.append("Executable=" + executable)
    if parameters is not None:
        lines.append("Parameters=" + parameters)
    return ("\r\n".join(lines) + "\r\n").encode()


def read(path, mode="rb"):
    with open(path, mode) as f:
        return f.read()


class Member:
    def __init__(self, name, content, attributes=32, days=44000.5):
        self.name = name  # stored name, "\" separators
        self.content = content
        self.attributes = attributes
        self.days = days  # since 1899-12-30, the fraction the time of day

    @property
    def path(self):
        return self.name.replace("\\", "/")


class Scratch:
    """A fresh folder: the installer, and the stub's temporary folder tmp (named temp_name)."""

    def __init__(self, installer_name, temp_name):
        self.root = tempfile.mkdtemp(prefix="sfx_e2e_")
        self.tmp = os.path.join(self.root, temp_name)
        os.makedirs(self.tmp)
        self.installer = os.path.join(self.root, installer_name)

    def pack(self, pack_tool, stub, members, config, checked=False):
        """Members (Member, or (name, bytes) pairs) and the configuration last, with e2e_pack."""
        members = [m if isinstance(m, Member) else Member(*m) for m in members]
        arguments = [pack_tool] + (["--checked"] if checked else []) + [stub, self.installer]
        sources = []
        for index, member in enumerate(members + [Member(CONFIG_NAME, config)]):
            sources.append(os.path.join(self.root, "member%d" % index))
            with open(sources[-1], "wb") as f:
                f.write(member.content)
            arguments += [member.name, sources[-1], str(member.attributes), repr(member.days)]
        subprocess.run(arguments, check=True)
        for source in sources:
            os.remove(source)
        os.chmod(self.installer, 0o755)

    def temp(self, *parts):
        return os.path.join(self.tmp, *parts)

    def report(self):
        """The lines sample_setup --report report.txt wrote, or None when it did not run."""
        path = self.temp("report.txt")
        return read(path, "r").splitlines() if os.path.exists(path) else None

    def listed(self):
        return [line for line in read(self.temp(LIST_NAME)).decode("latin-1").split("\r\n") if line]

    def cleanup(self):
        shutil.rmtree(self.root, ignore_errors=True)


class ScratchTest(unittest.TestCase):
    temp_name = "tmp"

    def make_scratch(self):
        raise NotImplementedError

    def setUp(self):
        self.scratch = self.make_scratch()
        self.addCleanup(self.scratch.cleanup)
