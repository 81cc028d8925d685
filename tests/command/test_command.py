#!/usr/bin/env python3
"""End-to-end tests of the inifile command: the real executable on small
files, natively or under wine.

    python3 tests/command/test_command.py --command build/native/command/inifile
    python3 tests/command/test_command.py --command build/windows/command/inifile.exe --wine wine
"""

import argparse
import concurrent.futures
import fcntl
import json
import os
import shlex
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import unittest

COMMAND = None
WINE = None  # the wine loader for a Windows build, None natively
FAULT_SHIM = None  # a library that makes reads and writes fail (LD_PRELOAD), natively
MANUAL = None  # the manual page, whose examples are run
SAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "samples")


def run(*args, stdin=b"", env=None, cwd=None, prefix=()):
    """(status, stdout, stderr) of the command with `args`, in `cwd`, after
    `prefix` (another user's, say). Output goes to files, not pipes: wine's
    helper processes would hold a pipe open."""
    command = list(prefix) + ([WINE] if WINE else []) + [COMMAND] + list(args)
    with tempfile.TemporaryFile() as given, tempfile.TemporaryFile() as out, \
            tempfile.TemporaryFile() as err:
        given.write(stdin)
        given.seek(0)
        status = subprocess.run(command, stdin=given, stdout=out, stderr=err,
                                timeout=300, env=env, cwd=cwd).returncode
        out.seek(0)
        err.seek(0)
        # Messages are text: the Windows runtime ends their lines with CR LF.
        return status, out.read(), err.read().replace(b"\r\n", b"\n")


def run_module(*args, **keywords):
    """run() in the module's own format, which the installer's files are in."""
    return run("--dialect=module", *args, **keywords)


def seen(path):
    """A path as the command sees it: wine maps / to drive Z:."""
    return "Z:" + path.replace("/", "\\") if WINE else path


class FileTestCase(unittest.TestCase):
    """A scratch folder per test, and files in it."""
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
        """Runs `args` (the file after the command and its options) on a file
        of `content`: (status, stderr, new content)."""
        path = self.file(content)
        at = 1
        while at < len(args) and args[at].startswith("-"):
            at += 1
        status, out, err = run_module(*args[:at], seen(path), *args[at:])
        self.assertEqual(out, b"")
        return status, err, self.read(path)


class CommandTest(FileTestCase):

    def test_get_reads_values_as_written_by_the_installer(self):
        path = self.file(b"[vantra]\nBindir=C:\\\\v\\\\vrun-1.2\\\\bin\nRootdir=C:\\\\v\\;x\n")
        self.assertEqual(run_module("get", seen(path), "vantra", "Rootdir"), (0, b"C:\\v;x\n", b""))
        self.assertEqual(run_module("get", "-", "vantra", "Bindir", stdin=self.read(path)),
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
        ]
        for args, expected in cases:
            with self.subTest(args=args):
                self.assertEqual(self.edit(original, *args), (0, b"", expected))
        status, err, content = self.edit(original, "del", "Install", "ABSENT")
        self.assertEqual((status, err[-37:], content),
                         (1, b": no key ABSENT in section [Install]\n", original))

    def test_first_entry_continued_entry_and_new_section(self):
        # Enough sections and keys that an edit looks them up in an index.
        many = b"".join(b"[s%d]\n" % i for i in range(20)) + b"[s]\n" + b"".join(
            b"k%d=%d\n" % (i, i) for i in range(20))
        cases = [
            (many + b"k=1\nk=2\n[s]\nk=4\n", ("set", "s", "k", "3"),
             many + b"k=3\nk=2\n[s]\nk=4\n"),
            (b"[s]\nk=1\nk=2\n", ("set", "s", "k", "3"), b"[s]\nk=3\nk=2\n"),
            (b"[s]\nk=a\\\n  b ; c\r\nz=1\n", ("set", "s", "k", "n"), b"[s]\nk=n ; c\r\nz=1\n"),
            (b"[s]\nk=a\\\n  b\nz=1", ("del", "s", "k"), b"[s]\nz=1"),
            (b"[s]\nk=1", ("set", "t", "k", "v"), b"[s]\nk=1\n[t]\nk=v\n"),
            (b"[s]\nk=1\n[s]\nk=2\n", ("set", "s", "k", "3"), b"[s]\nk=3\n[s]\nk=2\n"),
            (b"[s]\r\nk=1\r\n", ("set", "t", "k", "v"), b"[s]\r\nk=1\r\n[t]\r\nk=v\r\n"),
            (b"[s]\r\nk=1", ("set", "s", "j", "v"), b"[s]\r\nk=1\r\nj=v"),
            (b"[s]\nk=1\n; end", ("set", "t", "k", "v"), b"[s]\nk=1\n; end\n[t]\nk=v\n"),
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
        self.assertEqual(run_module("set", seen(path), "s", "k", "2")[0], 0)
        self.assertEqual(stat.S_IMODE(os.stat(path).st_mode), 0o640)
        self.assertEqual(self.read(path), b"[s]\nk=2\n")

    def test_lookups_and_exit_statuses(self):
        good = self.file(b"[a]\nx=1\ny=2\n[b]\n", "good.ini")
        bad = self.file(b"[a]\nx=1\nnot an entry\n", "bad.ini")
        missing = os.path.join(self.directory, "missing.ini")
        self.assertEqual(run_module("sections", seen(good)), (0, b"a\nb\n", b""))
        self.assertEqual(run_module("keys", seen(good), "a"), (0, b"x\ny\n", b""))
        self.assertEqual(run_module("get", seen(good), "a", "z")[0:2], (1, b""))
        self.assertEqual(run_module("get", seen(good), "c", "x")[0:2], (1, b""))
        self.assertEqual(run_module("check", seen(good)), (0, b"", b""))
        self.assertEqual(run_module("check", seen(good), seen(bad)),
                         (1, seen(bad).encode() + b":3: a line is neither an entry nor a "
                          b"section header\n", b""))
        status, out, _ = run_module("check", seen(missing))
        self.assertEqual(status, 1)
        self.assertTrue(out.startswith(seen(missing).encode() + b": cannot open the file: "), out)
        self.assertEqual(run_module("get", seen(missing), "a", "x")[0], 2)
        self.assertEqual(run_module("keys", seen(good), "c")[0:2], (1, b""))
        for usage in (("get", seen(good), "a", "x", "extra"), ("set", seen(good), "a", "x"),
                      ("del", "--all", seen(good), "a"), ("merge", "-"), ("frobnicate",), ()):
            with self.subTest(usage=usage):
                self.assertEqual(run_module(*usage)[0:2], (2, b""))
        for help in (("--help",), ("-h",), ("get", "--help")):
            self.assertEqual(run_module(*help)[0], 0)
        # Standard input is read whole, however long.
        long = b"[a]\n" + b"k=" + b"v" * 100000 + b"\nlast=1\n"
        self.assertEqual(run_module("get", "-", "a", "last", stdin=long), (0, b"1\n", b""))
        self.assertEqual(run_module("get", "--", seen(good), "a", "x"), (0, b"1\n", b""))


class TypedValueTest(FileTestCase):
    def test_values_read_as_types_print_normalised(self):
        path = seen(self.file(b"[net]\nport = 0x1F90\nratio = 2.50\non = Yes\n; x\nbad = 80ms\n"))
        for args, printed in ((("integer", "port"), b"8080\n"), (("real", "ratio"), b"2.5\n"),
                              (("boolean", "on"), b"true\n")):
            with self.subTest(args=args):
                self.assertEqual(run_module("get", "--type=" + args[0], path, "net", args[1]),
                                 (0, printed, b""))
        status, out, err = run_module("get", "--type=integer", path, "net", "bad")
        self.assertEqual((status, out), (2, b""))
        self.assertIn(b":6: bad = '80ms'", err)
        later = seen(self.file(b"[a]\nx=1\n[net]\nq=1\nbad=zz\n[net]\nbad=yy\n", "later.ini"))
        self.assertIn(b":5: bad = 'zz'", run_module("get", "--type=real", later, "net", "bad")[2])


class CommonDialectTest(FileTestCase):
    """--dialect=common: the files the world writes, read and edited with
    every other byte kept."""

    def edit_common(self, content, command, *args):
        path = self.file(content)
        status, out, err = run("--dialect=common", command, seen(path), *args)
        self.assertEqual(out, b"")
        return status, err, self.read(path)

    def test_reads_what_the_module_format_refuses(self):
        unit = b"# a comment\r\n[Unit]\r\nAfter=network.target\r\n\r\n[Service]\r\n" \
               b"ExecStart=/usr/bin/app --flag\r\n"
        path = self.file(unit)
        self.assertEqual(run("--dialect=module", "get", seen(path), "Service", "ExecStart")[0], 2)
        self.assertEqual(run("--dialect=common", "get", seen(path), "Service", "ExecStart"),
                         (0, b"/usr/bin/app --flag\n", b""))
        listed = b"\xef\xbb\xbfroot = x\n[options]\ninstall_requires =\n    a\n\n    b\n"
        path = self.file(listed, "setup.cfg")
        self.assertEqual(run("--dialect=common", "get", seen(path), "options",
                             "install_requires"), (0, b"\na\n\nb\n", b""))
        self.assertEqual(run("--dialect=common", "get", seen(path), "", "root"),
                         (0, b"x\n", b""))
        for dialect in ("--dialect=other", "--dialect="):
            self.assertEqual(run(dialect, "get", seen(path), "s", "k")[0], 2)

    def test_edits_keep_every_other_byte(self):
        desktop = b"[Desktop Entry]\nName=Vim\nCategories=Utility;TextEditor;\n"
        git = b"[core]\n\tbare = false\n[user]\n\tname = A\n"
        listed = b"[options]\nrequires =\n    a\n    b\npython = 3\n"
        cases = [
            (desktop, ("set", "Desktop Entry", "Categories", "Utility;"),
             desktop.replace(b"Utility;TextEditor;", b"Utility;")),
            (desktop, ("set", "Desktop Entry", "Exec", "C:\\temp\\new"),
             desktop + b"Exec=C:\\temp\\new\n"),
            (git, ("set", "core", "bare", "true"), git.replace(b"false", b"true")),
            (git, ("set", "core", "filemode", "true"),
             git.replace(b"false\n", b"false\n\tfilemode = true\n")),
            (listed, ("set", "options", "requires", "\nc\n\nd"),
             b"[options]\nrequires =\n    c\n\n    d\npython = 3\n"),
            (listed, ("del", "options", "requires"), b"[options]\npython = 3\n"),
            (b"[s]\nk = a\n# note\n  b\n", ("set", "s", "k", "c"), b"[s]\n# note\nk = c\n"),
            (b"[s]\nk = a\n", ("set", "s", "k", "b\nc"), b"[s]\nk = b\n\tc\n"),
        ]
        for content, args, expected in cases:
            with self.subTest(args=args):
                self.assertEqual(self.edit_common(content, *args), (0, b"", expected))

    def test_refuses_what_would_not_read_back(self):
        original = b"[s]\nk = v\n"
        for args in (("set", "s", "k", " outer"), ("set", "s", "a:b", "v"),
                     ("set", "s", "k", "ends in a line feed\n")):
            with self.subTest(args=args):
                status, err, content = self.edit_common(original, *args)
                self.assertEqual((status, content), (2, original))

    # Snippets of real files (tests/command/samples/): for each, the options
    # its readers need, one get and what it prints, one edit and the line
    # it changes (before, after); every other byte stays.
    SAMPLES = [
        ("apt-daily.service", (), ("Unit", "After"), b"time-sync.target\n",
         ("add", "Unit", "After", "foo.target"),
         (b"After=time-sync.target\n", b"After=time-sync.target\nAfter=foo.target\n")),
        ("vim.desktop", (), ("Desktop Entry", "Categories"), b"Utility;TextEditor;\n",
         ("set", "--list-add", "--list-sep", ";", "Desktop Entry", "Categories", "Development"),
         (b"Categories=Utility;TextEditor;", b"Categories=Utility;TextEditor;Development;")),
        ("php.ini", (), ("PHP", "memory_limit"), b"128M\n",
         ("set", "--uncomment", "Date", "date.timezone", "Europe/Berlin"),
         (b";date.timezone =", b"date.timezone = Europe/Berlin")),
        ("supervisord.conf", ("--inline-comments",), ("unix_http_server", "chmod"), b"0700\n",
         ("set", "unix_http_server", "chmod", "0770"), (b"chmod=0700 ", b"chmod=0770 ")),
        ("my.cnf", ("--allow-no-value",), ("mysqld", "skip-name-resolve"), b"",
         ("set", "mysqld", "max_connections", "100"),
         (b"bind-address = 127.0.0.1\n", b"bind-address = 127.0.0.1\nmax_connections = 100\n")),
        ("smb.conf", (), ("global", "server string"), b"%h server\n",
         ("set", "global", "log level", "1"),
         (b"%h server\n", b"%h server\n   log level = 1\n")),
        ("openssl.cnf", (), ("", "HOME"), b".\n", ("set", "", "HOME", "/root"),
         (b"HOME\t\t\t= .", b"HOME\t\t\t= /root")),
    ]

    def test_real_file_samples(self):
        for name, options, (section, key), printed, edit, (old, new) in self.SAMPLES:
            with self.subTest(sample=name):
                with open(os.path.join(SAMPLES, name), "rb") as stream:
                    original = stream.read()
                path = self.file(original, name)
                self.assertEqual(run(*options, "get", seen(path), section, key), (0, printed, b""))
                at = 1 + sum(1 for word in edit[1:] if word.startswith("-"))
                at += 1 if "--list-sep" in edit else 0
                status, out, err = run(*options, *edit[:at], seen(path), *edit[at:])
                self.assertEqual((status, out, err), (0, b"", b""))
                self.assertEqual(self.read(path), original.replace(old, new, 1))

    def test_repeated_keys_and_sections_read_as_their_readers_read_them(self):
        path = seen(self.file(b"[Unit]\nAfter=a\nAfter=b\n[Service]\nType=simple\n"
                              b"[Unit]\nWants=c\n"))
        self.assertEqual(run("get", path, "Unit", "After"), (0, b"b\n", b""))
        self.assertEqual(run("get", "--all", path, "Unit", "After"), (0, b"a\nb\n", b""))
        self.assertEqual(run("get", path, "Unit", "Wants"), (0, b"c\n", b""))
        self.assertEqual(run("keys", path, "Unit"), (0, b"After\nWants\n", b""))
        self.assertEqual(run("get", path, "unit", "after")[0], 1)
        self.assertEqual(run("--ignore-case", "get", path, "unit", "after"), (0, b"b\n", b""))
        self.assertEqual(run("--dialect=module", "get", path, "Unit", "After"), (0, b"a\n", b""))
        cased = seen(self.file(b"[s]\nK=1\nk=2\n", "cased.ini"))
        for dialect in ("--dialect=module", "--dialect=common"):
            self.assertEqual(run(dialect, "get", cased, "s", "k"), (0, b"2\n", b""))
        self.assertEqual(run("set", "--dry-run", path, "Unit", "After", "z")[0], 0)
        self.assertEqual(run("set", path, "Unit", "After", "z")[0], 0)
        self.assertEqual(run("get", "--all", path, "Unit", "After"), (0, b"a\nz\n", b""))
        self.assertEqual(run("set", "--all", path, "Unit", "After", "x", "y")[0], 0)
        self.assertEqual(run("set", path, "Unit", "Before", "q")[0], 0)
        self.assertEqual(self.read(path.replace("Z:", "").replace("\\", "/")),
                         b"[Unit]\nAfter=x\nAfter=y\n[Service]\nType=simple\n[Unit]\nWants=c\n"
                         b"Before=q\n")

    def test_dry_run_writes_nothing_and_its_diff_is_the_edit(self):
        if WINE or not shutil.which("patch"):
            self.skipTest("applies the diff with patch, natively")
        with open(os.path.join(SAMPLES, "php.ini"), "rb") as stream:
            original = stream.read()
        path = self.file(original, "php.ini")
        edit = ("--uncomment", path, "Date", "date.timezone", "UTC")
        status, diff, _ = run("set", "--dry-run", "-v", *edit)
        self.assertEqual(status, 0)
        self.assertEqual(self.read(path), original)
        copy = self.file(original, "copy.ini")
        subprocess.run(["patch", "-s", copy], input=diff, check=True)
        status, shown, err = run("set", "--diff", "-v", *edit)
        self.assertEqual((status, shown, err), (0, diff, path.encode() + b": changed\n"))
        self.assertEqual(self.read(copy), self.read(path))

    def test_messages_name_what_is_wrong(self):
        cases = [(("set", "s", "k", "ends in a line feed\n"), b"the value holds a line break"),
                 (("set", "s", " k", "v"), b"the key begins or ends with a blank"),
                 (("--dialect=module", "set", "a;b", "k", "v"),
                  b"the section name holds a character the format reads otherwise"),
                 (("del", "t"), b"no section [t]")]
        for args, message in cases:
            with self.subTest(args=args):
                path = seen(self.file(b"[s]\nk = 1\n"))
                at = 2 if args[0].startswith("--") else 1
                status, _, err = run(*args[:at], path, *args[at:])
                self.assertIn(message, err)
        self.assertEqual(run("get", "--format", "lines", seen(self.file(
            b"[s]\nk = a\n  b\\c\n", "lines.ini"))), (0, b"[s] k = a\\nb\\\\c\n", b""))
        self.assertEqual(run("get", "--type=real", seen(self.file(b"[s]\nk=1000\n", "r.ini")),
                             "s", "k"), (0, b"1000\n", b""))

    def test_manual_examples_work_as_shown(self):
        if WINE or not MANUAL:
            self.skipTest("runs the manual page's examples with sh, natively")
        with open(MANUAL, encoding="utf-8") as stream:
            page = stream.read()
        examples = page[page.index(".SH EXAMPLES"):page.index(".SH SEE ALSO")]
        script = "\n".join(block for block in
                           (part.split(".fi")[0] for part in examples.split(".nf")[1:]))
        for roff, plain in (("\\-", "-"), ("\\e", "\\"), (".RS\n", ""), (".RE\n", ""),
                            ("\\(dq", '"'), ("\\(aq", "'")):
            script = script.replace(roff, plain)
        for name in ("app.ini", "app.service", "defaults.ini", "php.ini"):
            with open(os.path.join(SAMPLES, "php.ini"), "rb") as stream:
                self.file(stream.read() if name == "php.ini" else
                          b"[database]\nhost = db\nport = 5432\n[Service]\nRestart = no\n", name)
        shown = subprocess.run(
            ["sh", "-ec", "systemctl() { echo systemctl \"$@\"; }\n" + script],
            cwd=self.directory, env=dict(os.environ, PATH=os.path.dirname(COMMAND) + ":" +
                                         os.environ["PATH"]),
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
        self.assertEqual(shown.returncode, 0, shown.stdout)


class ScriptTest(FileTestCase):
    """What a script does with the command: whole sections in a format it
    can read, filters, changed or not, several edits in one step."""

    # A continued entry, a duplicate key, a quote, a semicolon, a non-ASCII byte.
    SAMPLE = b"[app]\nname=it's \\; \xc3\xa9\nlist=a\\\n  b\nname=second\n[zlib]\nlevel=9\n"

    def test_formats(self):
        path = seen(self.file(self.SAMPLE))
        self.assertEqual(run_module("get", path, "app"),
                         (0, b"[app]\nname=it's \\; \xc3\xa9\nlist=a  b\n", b""))
        self.assertEqual(run_module("get", "--format=lines", path)[1],
                         b"[app] name = it's ; \xc3\xa9\n[app] list = a  b\n[zlib] level = 9\n")
        status, out, _ = run_module("get", "--format=json", path)
        self.assertEqual(status, 0)
        self.assertEqual(json.loads(out.decode("utf-8")),
                         {"app": {"name": "it's ; \u00e9", "list": "a  b"}, "zlib": {"level": "9"}})
        control = run_module("get", "--format=json", seen(self.file(b"[s]\nk=a\x01b\n", "c.ini")))
        self.assertEqual(json.loads(control[1].decode("utf-8")), {"s": {"k": "a\x01b"}})
        # Keys without a value, one of them ended by a NUL byte.
        bare = run("--allow-no-value", "get", "--format=json",
                   seen(self.file(b"[s]\nk\nn\0\n", "n.ini")))
        self.assertEqual(json.loads(bare[1].decode("utf-8")), {"s": {"k": None, "n": None}})
        status, out, _ = run_module("get", "--format=sh", path, "app")
        self.assertEqual(status, 0)
        if not WINE:
            shown = subprocess.run(["sh", "-c", 'eval "$1"; printf "%s|%s" "$name" "$list"', "sh",
                                    out], stdout=subprocess.PIPE, check=True).stdout
            self.assertEqual(shown, b"it's ; \xc3\xa9|a  b")
        for refused in (("get", "--format=sh", seen(self.file(b"[php]\nzlib.output=On\n", "p.ini")),
                         "php"),
                        ("get", "--format=json", seen(self.file(b"[s]\nk=\xff\n", "l.ini"))),
                        ("get", "--format=sh", path), ("get", "--format=xml", path)):
            with self.subTest(refused=refused):
                status, out, err = run_module(*refused)
                self.assertEqual((status, out), (2, b""))
        self.assertIn(b"zlib.output", run_module("get", "--format=sh", seen(
            os.path.join(self.directory, "p.ini")), "php")[2])

    def test_sections_filters_and_changes(self):
        original = b"[a]\nk=1\n; about b\n[b]\nk=2\n"
        cases = [
            (("del", "-v", "b"), b"[a]\nk=1\n; about b\n", b"changed"),
            (("set", "-v", "c"), original + b"[c]\n", b"changed"),
            (("set", "-v", "a"), original, b"unchanged"),
            (("del", "--all", "a", "k"), b"[a]\n; about b\n[b]\nk=2\n", b""),
        ]
        for args, expected, said in cases:
            with self.subTest(args=args):
                status, err, content = self.edit(original, *args)
                self.assertEqual((status, content), (0, expected))
                self.assertTrue(err.endswith(said + (b"\n" if said else b"")), err)
        # Removed, then made again: empty, at the end.
        path = self.file(original)
        self.assertEqual(run_module("del", seen(path), "a")[0], 0)
        self.assertEqual(run_module("set", seen(path), "a")[0], 0)
        self.assertEqual(self.read(path), b"[b]\nk=2\n[a]\n")
        # A filter: standard input to standard output, changed or not.
        self.assertEqual(run_module("set", "-", "a", "k", "3", stdin=original),
                         (0, original.replace(b"k=1", b"k=3"), b""))
        self.assertEqual(run_module("del", "-", "x", "y", stdin=original),
                         (1, original, b"inifile: -: no section [x]\n"))
        # --existing: only what is there.
        self.assertEqual(self.edit(original, "set", "--existing", "a", "new", "1")[0::2],
                         (1, original))
        self.assertEqual(self.edit(original, "set", "--existing", "x", "k", "1")[:2],
                         (1, b"inifile: " + seen(os.path.join(self.directory, "settings.ini"))
                          .encode() + b": no section [x]\n"))
        self.assertEqual(self.edit(original, "set", "--existing", "a", "k", "5")[0::2],
                         (0, original.replace(b"k=1", b"k=5")))
        # A missing file is made by set, and is trouble for del.
        missing = os.path.join(self.directory, "new.ini")
        self.assertEqual(run_module("del", seen(missing), "s", "k")[0], 2)
        self.assertEqual(run_module("set", seen(missing), "s", "k", "v")[0], 0)
        self.assertEqual(self.read(missing), b"[s]\nk=v\n")

    def test_merge_is_one_edit_of_all_or_nothing(self):
        original = b"[a]\nk=1 ; kept\n[b]\nx=1\n"
        path = self.file(original)
        merged = b"[a]\nk=2\nnew=3\n[c]\ny=4\n"
        self.assertEqual(run_module("merge", seen(path), stdin=merged), (0, b"", b""))
        self.assertEqual(self.read(path), b"[a]\nk=2 ; kept\nnew=3\n[b]\nx=1\n[c]\ny=4\n")
        # One entry the file cannot hold (a section named with ';'): none is set.
        refused = b"[a]\nk=9\n[x\\;y]\nz=1\n"
        before = self.read(path)
        status, out, err = run_module("merge", seen(path), stdin=refused)
        self.assertEqual((status, self.read(path)), (2, before))
        # From a file, into a filter.
        source = self.file(merged, "defaults.ini")
        self.assertEqual(run_module("merge", "-", seen(source), stdin=b"[a]\nk=0\n")[0:2],
                         (0, b"[a]\nk=2\nnew=3\n[c]\ny=4\n"))


class SafetyTest(FileTestCase):
    """What an edit does to the file under it: one at a time, refusals
    before anything is read, links kept."""

    def test_parallel_sets_keep_every_update(self):
        path = self.file(b"[s]\n")
        writers, keys = (2, 3) if WINE else (4, 8)

        def write(writer):
            return [run_module("set", seen(path), "s", "k%d_%d" % (writer, key), "v")[0]
                    for key in range(keys)]

        with concurrent.futures.ThreadPoolExecutor(writers) as pool:
            statuses = sum(pool.map(write, range(writers)), [])
        self.assertEqual(statuses, [0] * (writers * keys))
        self.assertEqual(self.read(path).count(b"=v\n"), writers * keys)
        self.assertEqual(os.listdir(self.directory), ["settings.ini"])

    def test_refuses_what_it_must_not_edit(self):
        read_only = self.file(b"[s]\nk=1\n", "read-only.ini")
        os.chmod(read_only, 0o444)
        cases = [(read_only, b"read-only"), (self.directory, b"not a regular file")]
        if not WINE:
            fifo = os.path.join(self.directory, "fifo")
            os.mkfifo(fifo)
            cases.append((fifo, b"not a regular file"))
        for path, reason in cases:
            with self.subTest(path=path):
                status, out, err = run_module("set", seen(path), "s", "k", "2")
                self.assertEqual(status, 2)
                self.assertIn(reason, err)
        self.assertEqual(self.read(read_only), b"[s]\nk=1\n")

    def test_output_that_cannot_be_written_is_trouble(self):
        if not os.path.exists("/dev/full"):
            self.skipTest("no /dev/full here")
        path = self.file(b"[s]\nk=1\n")
        command = ([WINE] if WINE else []) + [COMMAND, "get", seen(path), "s", "k"]
        with open("/dev/full", "wb") as full, tempfile.TemporaryFile() as err:
            status = subprocess.run(command, stdout=full, stderr=err, timeout=300).returncode
            err.seek(0)
            self.assertEqual(status, 2)
            self.assertIn(b"standard output", err.read())

    def test_wait_for_another_edit_is_bounded(self):
        if WINE:
            self.skipTest("holds the lock with flock")
        path = self.file(b"[s]\nk=1\n")
        with open(path, "rb") as held:
            fcntl.flock(held, fcntl.LOCK_EX)
            started = time.monotonic()
            status, _, err = run_module("--wait=1", "set", path, "s", "k", "2")
            waited = time.monotonic() - started
        self.assertEqual(status, 2)
        self.assertIn(b"being edited", err)
        self.assertLess(waited, 5)

    def test_links_and_streams(self):
        if WINE:
            self.skipTest("Windows edits the path as given")
        link = os.path.join(self.directory, "link.ini")
        os.symlink("missing.ini", link)
        self.assertEqual(run_module("set", link, "s", "k", "v")[0], 0)
        self.assertTrue(os.path.islink(link))
        self.assertEqual(self.read(link), b"[s]\nk=v\n")
        piped = subprocess.run([COMMAND, "set", "/dev/stdin", "s", "k", "v"], input=b"[s]\n",
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=300)
        self.assertEqual(piped.returncode, 2)
        self.assertIn(b"not a regular file", piped.stderr)

    def test_symbolic_link_stays(self):
        if WINE:
            self.skipTest("Windows edits the path as given")
        target = self.file(b"[s]\nk=1\n", "target.ini")
        link = os.path.join(self.directory, "link.ini")
        os.symlink("target.ini", link)
        self.assertEqual(run_module("set", link, "s", "k", "2")[0], 0)
        self.assertTrue(os.path.islink(link))
        self.assertEqual(self.read(target), b"[s]\nk=2\n")


def as_nobody():
    """The prefix that runs a command as user nobody (group nogroup), or None
    where that cannot be done here: natively, as root, with setpriv."""
    if WINE or os.geteuid() != 0 or not shutil.which("setpriv"):
        return None
    return ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]


class KeepsTest(FileTestCase):
    """Everything about an edited file is kept, whoever edits it, and any
    name that can be edited can be."""

    def setUp(self):
        super().setUp()
        os.chmod(self.directory, 0o777)  # another user's edits write here too

    def test_owner_mode_acl_attributes_and_links_are_kept(self):
        if WINE or os.geteuid() != 0:
            self.skipTest("gives a file to another user: natively, as root")
        path = self.file(b"[s]\nk=1\n")
        shutil.chown(path, "daemon", "nogroup")
        os.chmod(path, 0o640)
        try:
            os.setxattr(path, "user.note", b"kept")
        except OSError as error:
            self.skipTest("no user attributes here: %s" % error)
        acl = shutil.which("setfacl") and shutil.which("getfacl")
        if acl:
            subprocess.run(["setfacl", "-m", "u:nobody:rw", path], check=True)
        before = os.stat(path)
        listed = acl and subprocess.run(["getfacl", "-c", path], stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL).stdout
        self.assertEqual(run_module("set", path, "s", "k", "2")[0], 0)
        after = os.stat(path)
        self.assertEqual((after.st_uid, after.st_gid, after.st_mode),
                         (before.st_uid, before.st_gid, before.st_mode))
        self.assertEqual(os.getxattr(path, "user.note"), b"kept")
        if acl:
            self.assertEqual(subprocess.run(["getfacl", "-c", path], stdout=subprocess.PIPE,
                                            stderr=subprocess.DEVNULL).stdout, listed)
        # Another hard link sees the new text: the file is written in place.
        link = os.path.join(self.directory, "link.ini")
        os.link(path, link)
        self.assertEqual(run_module("set", path, "s", "k", "3")[0], 0)
        self.assertEqual(self.read(link), b"[s]\nk=3\n")
        self.assertEqual(sorted(os.listdir(self.directory)), ["link.ini", "settings.ini"])

    def test_another_users_edit_keeps_the_owner(self):
        prefix = as_nobody()
        if prefix is None:
            self.skipTest("runs the command as nobody: natively, as root, with setpriv")
        path = self.file(b"[s]\nk=1\n")
        shutil.chown(path, "daemon", "nogroup")
        os.chmod(path, 0o2660)
        before = os.stat(path)
        self.assertEqual(run_module("set", path, "s", "k", "2", prefix=prefix)[0], 0)
        after = os.stat(path)
        self.assertEqual((after.st_uid, after.st_gid, after.st_mode),
                         (before.st_uid, before.st_gid, before.st_mode))
        self.assertEqual(self.read(path), b"[s]\nk=2\n")
        # A folder its user may write in but not read: the edit is done.
        folder = os.path.join(self.directory, "unreadable")
        os.mkdir(folder)
        inside = self.file(b"[s]\nk=1\n", "unreadable/settings.ini")
        for made in (folder, inside):
            shutil.chown(made, "nobody", "nogroup")
        os.chmod(folder, 0o300)
        self.assertEqual(run_module("set", inside, "s", "k", "2", prefix=prefix)[:2], (0, b""))
        self.assertEqual(self.read(inside), b"[s]\nk=2\n")

    def test_any_name(self):
        # Relative, Greek, Japanese (whatever the code page), 255 bytes long,
        # and deeper than 260 characters.
        deep = os.path.join(*["d" * 40] * 7)
        os.makedirs(os.path.join(self.directory, deep))
        names = ["relative.ini", "\u03a9\u03bc\u03ad\u03b3\u03b1.ini", "\u65e5\u672c.ini",
                 os.path.join(deep, "deep.ini")] + ([] if WINE else ["n" * 251 + ".ini"])
        for name in names:
            with self.subTest(length=len(name)):
                self.file(b"[s]\n", name)
                self.assertEqual(run_module("set", name, "s", "k", "v", cwd=self.directory)[:2],
                                 (0, b""))
                self.assertEqual(run_module("get", name, "s", "k", cwd=self.directory)[:2],
                                 (0, b"v\n"))
                self.assertEqual(self.read(os.path.join(self.directory, name)), b"[s]\nk=v\n")
        self.assertEqual(sorted(os.listdir(self.directory)),
                         sorted([name for name in names if os.sep not in name] + ["d" * 40]))

    def test_a_console_shows_values_as_they_are(self):
        if not WINE or not shutil.which("script"):
            self.skipTest("a console under wine, on a terminal that script(1) gives it")
        path = self.file("[s]\nk=\u0152uvre-\u20ac\n".encode("utf-8"))
        command = " ".join(shlex.quote(word) for word in [WINE, COMMAND, "get", path, "s", "k"])
        shown = subprocess.run(["script", "-qec", command, os.devnull], stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, timeout=300).stdout
        self.assertIn("\u0152uvre-\u20ac".encode("utf-8"), shown)
        self.assertEqual(run("get", seen(path), "s", "k")[1], "\u0152uvre-\u20ac\n".encode("utf-8"))


class FaultTest(FileTestCase):
    """Reads and writes that fail, and an edit killed halfway: the file
    keeps its text, and nothing stays beside it for long."""

    def setUp(self):
        if not FAULT_SHIM:
            self.skipTest("needs the fault library (native builds without sanitizers)")
        super().setUp()
        self.original = b"[s]\n" + b"".join(b"k%d=%s\n" % (i, b"v" * 40) for i in range(5000))
        self.path = self.file(self.original)

    def faulty(self, fault, *args):
        env = dict(os.environ, LD_PRELOAD=FAULT_SHIM, **fault)
        return run_module(*args, env=env)

    def test_failed_read_or_write_keeps_the_file(self):
        for fault in ({"INIFILE_FAIL_READ": "1"}, {"INIFILE_FAIL_READ": "2"},
                      {"INIFILE_FAIL_WRITE": "1"}, {"INIFILE_FAIL_FSYNC": "1"}):
            with self.subTest(fault=fault):
                status, _, err = self.faulty(fault, "set", self.path, "s", "k1", "new")
                self.assertEqual(status, 2)
                self.assertIn(b"Input/output error", err)
                self.assertEqual(self.read(self.path), self.original)
                self.assertEqual(os.listdir(self.directory), ["settings.ini"])
        # A read that fails midway is no end of the file for get and check.
        for command in (("get", self.path, "s", "k4999"), ("check", self.path)):
            with self.subTest(command=command):
                status, out, err = self.faulty({"INIFILE_FAIL_READ": "3"}, *command)
                self.assertEqual((status, out), (2, b""))
                self.assertIn(b"cannot read", err)

    def test_a_folder_that_cannot_be_flushed_is_a_warning(self):
        status, _, err = self.faulty({"INIFILE_FAIL_FSYNC": "2"}, "set", self.path, "s", "k1", "new")
        self.assertEqual(status, 0)
        self.assertIn(b"warning: the folder could not be flushed: Input/output error", err)
        self.assertIn(b"k1=new\n", self.read(self.path))

    def test_killed_while_creating_leaves_no_file(self):
        missing = os.path.join(self.directory, "missing.ini")
        status, _, _ = self.faulty({"INIFILE_KILL_AT_WRITE": "1"}, "set", missing, "s", "k", "v")
        self.assertEqual(status, -9)
        self.assertFalse(os.path.exists(missing))
        self.assertEqual(run_module("set", missing, "s", "k", "v")[0], 0)
        self.assertEqual(os.listdir(self.directory).count("missing.ini"), 1)
        self.assertEqual(len(os.listdir(self.directory)), 2)

    def test_killed_edit_leaves_the_old_text_and_the_next_edit_cleans_up(self):
        status, _, _ = self.faulty({"INIFILE_KILL_AT_WRITE": "1"}, "set", self.path, "s", "k1", "new")
        self.assertEqual(status, -9)
        self.assertEqual(self.read(self.path), self.original)
        self.assertEqual(run_module("set", self.path, "s", "k1", "new")[0], 0)
        self.assertEqual(self.read(self.path), self.original.replace(b"k1=" + b"v" * 40, b"k1=new"))
        self.assertEqual(os.listdir(self.directory), ["settings.ini"])


def main():
    global COMMAND, WINE, FAULT_SHIM, MANUAL
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--command", required=True, help="the inifile executable")
    parser.add_argument("--wine", help="the wine loader that runs a Windows build")
    parser.add_argument("--fault-shim", help="the library that makes reads and writes fail")
    parser.add_argument("--manual", help="the manual page, whose examples are run")
    options, remaining = parser.parse_known_args()
    COMMAND = os.path.abspath(options.command)
    WINE = options.wine
    FAULT_SHIM = options.fault_shim and os.path.abspath(options.fault_shim)
    MANUAL = options.manual
    if WINE:
        # Wine takes the Unix side of names and arguments in the locale's
        # encoding; C.UTF-8, which every Debian system has, keeps them UTF-8.
        os.environ["LC_ALL"] = "C.UTF-8"
    unittest.main(argv=[sys.argv[0]] + remaining)


if __name__ == "__main__":
    main()
