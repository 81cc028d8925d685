#!/usr/bin/env python3
"""End-to-end tests of the inifile command: the real executable on small
files, natively or under wine.

    python3 tests/command/test_command.py --command build/native/command/inifile
    python3 tests/command/test_command.py --command build/windows/command/inifile.exe --wine wine
"""

import argparse
import os
import stat
import subprocess
import sys
import tempfile
import unittest

COMMAND = None
WINE = None  # the wine loader for a Windows build, None natively


def run(*args, stdin=b""):
    """(status, stdout, stderr) of the command with `args`. Output goes to
    files, not pipes: wine's helper processes would hold a pipe open."""
    command = ([WINE] if WINE else []) + [COMMAND] + list(args)
    with tempfile.TemporaryFile() as given, tempfile.TemporaryFile() as out, \
            tempfile.TemporaryFile() as err:
        given.write(stdin)
        given.seek(0)
        status = subprocess.run(command, stdin=given, stdout=out, stderr=err,
                                timeout=300).returncode
        out.seek(0)
        err.seek(0)
        # Messages are text: the Windows runtime ends their lines with CR LF.
        return status, out.read(), err.read().replace(b"\r\n", b"\n")


def seen(path):
    """A path as the command sees it: wine maps / to drive Z:."""
    return "Z:" + path.replace("/", "\\") if WINE else path


class CommandTest(unittest.TestCase):
    maxDiff = None

    def setUp(self):
        directory = tempfile.TemporaryDirectory(prefix="inifile-command-")
        self.addCleanup(directory.cleanup)
        self.directory = directory.name

    def file(self, content, name="settings.ini"):
        path = os.path.join(self.directory, name)
        with open(path, "wb") as stream:
            stream.write(content)
        return path

    def read(self, path):
        with open(path, "rb") as stream:
            return stream.read()

    def edit(self, content, *args):
        """Runs `args` (after the file) on a file of `content`: (status, stderr, new content)."""
        path = self.file(content)
        status, out, err = run(args[0], seen(path), *args[1:])
        self.assertEqual(out, b"")
        return status, err, self.read(path)

    def test_get_reads_values_as_written_by_the_installer(self):
        path = self.file(b"[vantra]\nBindir=C:\\\\v\\\\vrun-1.2\\\\bin\nRootdir=C:\\\\v\\;x\n")
        self.assertEqual(run("get", seen(path), "vantra", "Rootdir"), (0, b"C:\\v;x\n", b""))
        self.assertEqual(run("get", "-", "vantra", "Bindir", stdin=self.read(path)),
                         (0, b"C:\\v\\vrun-1.2\\bin\n", b""))

    def test_set_keeps_every_other_byte(self):
        original = (b"; release description\r\n[Other]\r\nVSN=9.9\r\n\r\n"
                    b"[Install]\r\n  VSN = 1.2   ; the runtime\r\nSYSTEM_VSN=R1\r\n; end\r\n")
        cases = [
            (("set", "Install", "VSN", "2;0"),
             original.replace(b"VSN = 1.2   ;", b"VSN = 2\\;0   ;")),
            (("set", "Install", "NEW", "x"),
             original.replace(b"SYSTEM_VSN=R1\r\n", b"SYSTEM_VSN=R1\r\nNEW=x\r\n")),
            (("del", "Install", "VSN"), original.replace(b"  VSN = 1.2   ; the runtime\r\n", b"")),
            (("set", "Install", "VSN", "1.2"), original),  # the value it holds
            (("del", "Install", "ABSENT"), original),
        ]
        for args, expected in cases:
            with self.subTest(args=args):
                self.assertEqual(self.edit(original, *args), (0, b"", expected))

    def test_first_entry_continued_entry_and_new_section(self):
        cases = [
            (b"[s]\nk=1\nk=2\n", ("set", "s", "k", "3"), b"[s]\nk=3\nk=2\n"),
            (b"[s]\nk=a\\\n  b ; c\r\nz=1\n", ("set", "s", "k", "n"), b"[s]\nk=n\r\nz=1\n"),
            (b"[s]\nk=a\\\n  b\nz=1", ("del", "s", "k"), b"[s]\nz=1"),
            (b"[s]\nk=1", ("set", "t", "k", "v"), b"[s]\nk=1\n[t]\nk=v\n"),
        ]
        for content, args, expected in cases:
            with self.subTest(args=args, content=content):
                self.assertEqual(self.edit(content, *args), (0, b"", expected))

    def test_refusals_change_nothing(self):
        original = b"[s]\nk=1\n"
        for value in (" lead", "trail ", "two\nlines"):
            with self.subTest(value=value):
                status, err, content = self.edit(original, "set", "s", "k", value)
                self.assertEqual((status, content), (2, original))
                self.assertIn(seen(os.path.join(self.directory, "settings.ini")).encode(), err)
        status, err, content = self.edit(b"[s]\nbroken\n", "set", "s", "k", "v")
        self.assertEqual((status, content), (2, b"[s]\nbroken\n"))
        self.assertTrue(err.endswith(b"settings.ini:2: a line is neither an entry nor a section "
                                     b"header\n"), err)

    def test_permissions_are_kept(self):
        if WINE:
            self.skipTest("POSIX permissions; Windows keeps a file's security by ReplaceFile")
        path = self.file(b"[s]\nk=1\n")
        os.chmod(path, 0o640)
        self.assertEqual(run("set", seen(path), "s", "k", "2")[0], 0)
        self.assertEqual(stat.S_IMODE(os.stat(path).st_mode), 0o640)
        self.assertEqual(self.read(path), b"[s]\nk=2\n")

    def test_lookups_and_exit_statuses(self):
        good = self.file(b"[a]\nx=1\ny=2\n[b]\n", "good.ini")
        bad = self.file(b"[a]\nx=1\nnot an entry\n", "bad.ini")
        missing = os.path.join(self.directory, "missing.ini")
        self.assertEqual(run("sections", seen(good)), (0, b"a\nb\n", b""))
        self.assertEqual(run("keys", seen(good), "a"), (0, b"x\ny\n", b""))
        self.assertEqual(run("get", seen(good), "a", "z")[0:2], (1, b""))
        self.assertEqual(run("get", seen(good), "c", "x")[0:2], (1, b""))
        self.assertEqual(run("check", seen(good)), (0, b"", b""))
        self.assertEqual(run("check", seen(good), seen(bad)),
                         (1, b"", seen(bad).encode() + b":3: a line is neither an entry nor a "
                          b"section header\n"))
        self.assertEqual(run("check", seen(bad), seen(missing))[0], 2)
        self.assertEqual(run("get", seen(missing), "a", "x")[0], 2)
        for usage in (("get", seen(good)), ("set", "-", "a", "x", "1"), ("frobnicate",), ()):
            with self.subTest(usage=usage):
                self.assertEqual(run(*usage)[0], 2)
        self.assertEqual(run("--help")[0], 0)


def main():
    global COMMAND, WINE
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--command", required=True, help="the inifile executable")
    parser.add_argument("--wine", help="the wine loader that runs a Windows build")
    options, remaining = parser.parse_known_args()
    COMMAND = os.path.abspath(options.command)
    WINE = options.wine
    unittest.main(argv=[sys.argv[0]] + remaining)


if __name__ == "__main__":
    main()
