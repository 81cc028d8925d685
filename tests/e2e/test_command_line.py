"""The command line: switches, the root directory and where it comes from."""

import contextlib
import os
import shlex
import shutil
import subprocess
import tempfile

import distribution
from distribution import (InstallerTest, QUESTION, as_installer_path, cannot_open, inexact_root,
                          ini_escape, installed, second_root, sep, unknown_switch,
                          unrecordable_root, windows)


class SwitchTest(InstallerTest):

    def test_unknown_switch_is_refused(self):
        # The root comes first, so only the switch stands in the way; -S shows
        # that the quiet switch is told apart by case.
        for switch in ("-x", "-", "-S"):
            with self.subTest(switch=switch):
                dist = self.distribution()
                result = dist.install(switch, stdin=b"y\n")
                self.assert_output(result, 1, stderr=unknown_switch(switch))
                self.assert_nothing_created(dist)

    def test_anything_after_s_counts_as_quiet(self):
        dist = self.distribution()
        # Were the answer read, "no" would choose the full start-up.
        result = dist.run(["-silent", dist.installer_root()], stdin=b"no\n")
        self.assert_output(result, 0)
        self.assert_installed(dist, minimal=True)

    def test_quiet_switch_and_root_in_either_order(self):
        first = self.distribution()
        result = first.run(["-s", first.installer_root()], stdin=b"no\n")
        self.assert_output(result, 0)
        self.assert_installed(first, minimal=True)

        second = self.distribution()
        result = second.run([second.installer_root(), "-s", "-s"], stdin=b"no\n")
        self.assert_output(result, 0)
        self.assert_installed(second, minimal=True)


class RootArgumentTest(InstallerTest):

    def test_second_root_is_named(self):
        dist = self.distribution()
        other = dist.seen("other")
        result = dist.run(["-s", dist.installer_root(), other])
        self.assert_output(result, 1, stderr=second_root(other))
        self.assert_nothing_created(dist)

    def test_first_fault_stops_the_walk(self):
        dist = self.distribution()
        result = dist.run([dist.installer_root(), "-x", dist.seen("other")])
        self.assert_output(result, 1, stderr=unknown_switch("-x"))
        self.assert_nothing_created(dist)

    def test_empty_root_is_taken_as_given(self):
        # The description is then looked for at the top of the file system;
        # this only holds where nobody has put one there.
        if os.path.lexists("/Install.ini"):
            self.skipTest("/Install.ini exists on this machine")
        dist = self.distribution()
        result = dist.run(["-s", ""])
        self.assert_output(result, 1, stderr=cannot_open(sep() + "Install.ini"))
        self.assert_nothing_created(dist)

    def test_name_with_a_code_page_letter_installs(self):
        # Recorded as the installer got it: code-page bytes on Windows (the
        # launchers read vnt.ini through the same code page), the file
        # name's own bytes elsewhere.
        dist = self.distribution(root_name="M\u00fcller")
        self.assert_output(dist.install("-s"), 0)
        self.assert_installed(dist, minimal=True)
        self.assertIn(b"M\xfcller" if windows() else b"M\xc3\xbcller",
                      dist.read(dist.bin_file("vnt.ini")))

    def test_trailing_separator_is_kept_verbatim(self):
        dist = self.distribution()
        root = dist.installer_root() + sep()
        result = dist.run(["-s", root])
        self.assert_output(result, 0)
        runtime_bin = sep().join([root, "vrun-1.2", "bin"])
        expected = b"[vantra]\nBindir=%s\nProgname=vnt\nRootdir=%s\n" % (
            ini_escape(runtime_bin), ini_escape(root))
        self.assertEqual(dist.read(dist.bin_file("vnt.ini")), expected)
        self.assertEqual(dist.read(os.path.join(dist.runtime_bin, "vnt.ini")), expected)

    def test_quotes_backslashes_and_spaces_before_and_in_the_root(self):
        # Windows hands the installer one command line, which the C runtime
        # splits into argv; the wide form of the root must be taken from the
        # same argument, or the root is refused as inexact.
        switches = ['-s"a b"', '-s\\"q', '-s\\\\ x\\', "-s \"\"\" y"]
        dist = self.distribution(root_name="my dist")
        root = dist.installer_root() + sep()
        result = dist.run(switches + [root], stdin=b"no\n")
        self.assert_output(result, 0)
        self.assertIn(b"Rootdir=%s\n" % ini_escape(root), dist.read(dist.bin_file("vnt.ini")))


class RootFromExecutableTest(InstallerTest):

    def test_installer_in_the_root_without_arguments(self):
        dist = self.distribution()
        program = dist.copy_installer_into_root()
        result = dist.run([], stdin=b"y\n", program=program)
        self.assert_output(result, 0, stdout=QUESTION + installed("1.2"))
        # Rootdir names the folder of the executable (the temporary folder is
        # resolved, links and all), not the working directory of the run.
        self.assert_installed(dist, minimal=True)


def paths_under(top):
    return sorted(os.path.join(directory, name) for directory, subdirectories, files in
                  os.walk(top) for name in subdirectories + files)


class CodePageTest(InstallerTest):
    """Windows hands the installer its root through the system's code page
    (1252 in these runs), which bends a character that it cannot hold into
    '?' or a look-alike: such a root is refused before anything else."""

    LOOK_ALIKE = "\uff41bc"  # fullwidth a, best-fitted to plain "abc"
    UNMAPPABLE = "\u738b"  # a letter that code page 1252 has nothing for

    def setUp(self):
        if not windows():
            self.skipTest("only Windows passes the root through a code page")

    def test_best_fit_root_argument_is_refused(self):
        dist = self.distribution(root_name="abc")
        look_alike = os.path.join(dist.top, self.LOOK_ALIKE)
        os.mkdir(look_alike)
        root = as_installer_path(look_alike)
        result = dist.run(["-s", root])
        self.assert_output(result, 1, stderr=inexact_root(root))
        self.assert_nothing_created(dist)
        self.assertEqual(os.listdir(look_alike), [])

    def test_executable_folder_outside_the_code_page_is_refused(self):
        # Best fit: the installer alone in the look-alike of a complete
        # distribution "abc". Unmappable: a complete distribution of its own,
        # whose name the code page makes "?". Either way the question must
        # not come, nor any file.
        for label, root_name, folder_name in (("best fit", "abc", self.LOOK_ALIKE),
                                              ("unmappable", self.UNMAPPABLE, self.UNMAPPABLE)):
            with self.subTest(label):
                dist = self.distribution(root_name=root_name)
                folder = os.path.join(dist.top, folder_name)
                os.makedirs(folder, exist_ok=True)
                program = os.path.join(folder, os.path.basename(distribution.INSTALLER))
                shutil.copy2(distribution.INSTALLER, program)
                before = paths_under(dist.top)
                result = dist.run([], stdin=b"y\n", program=program)
                self.assert_output(result, 1, stderr=inexact_root(as_installer_path(folder)))
                self.assertEqual(paths_under(dist.top), before)


class UnrecordableRootTest(InstallerTest):

    def test_root_with_line_break_or_outer_space_is_refused(self):
        cases = [
            ("line feed", "line\nfeed", ""),
            ("carriage return", "carriage\rreturn", ""),
            ("trailing space", "trailing ", ""),
            ("leading space", "dist", " "),
        ]
        for label, root_name, prefix in cases:
            with self.subTest(label):
                dist = self.distribution(root_name=root_name)
                root = prefix + dist.installer_root()
                with dist.input_file(b"y\n") as stdin:
                    result = dist.run([root], stdin=stdin)
                    self.assertEqual(os.lseek(stdin.fileno(), 0, os.SEEK_CUR), 0,
                                     "standard input was read")
                self.assert_output(result, 1, stderr=unrecordable_root(root))
                self.assert_nothing_created(dist)

    def test_space_inside_root_is_fine(self):
        dist = self.distribution(root_name="my dist")
        result = dist.install("-s")
        self.assert_output(result, 0)
        self.assert_installed(dist, minimal=True)


class WideTest(InstallerTest):
    """What the wide file functions, the console and double-byte code pages
    give a Windows user: any length of root, text on a console as it is
    meant, names cut by character."""

    def test_root_deeper_than_260_characters_installs(self):
        dist = self.distribution(root_name=os.path.join(*["d" * 40] * 7))
        self.assertGreater(len(dist.installer_root()), 260)
        self.assert_output(dist.install("-s"), 0)
        self.assert_installed(dist, minimal=True)

    def test_a_console_shows_the_code_page_text(self):
        if not windows() or not shutil.which("script"):
            self.skipTest("a console under wine, on a terminal that script(1) gives it")
        dist = self.distribution()
        missing = as_installer_path(os.path.join(dist.top, "\u0152uvre-\u20ac"))
        # Redirected: the code page's bytes, as ever.
        result = dist.run(["-s", missing])
        self.assertIn(b"\x8cuvre-\x80", result.stderr)
        # On a console: the characters themselves (the terminal's UTF-8).
        command = " ".join(shlex.quote(word) for word in
                           distribution.command_line(distribution.INSTALLER, ["-s", missing]))
        shown = subprocess.run(["script", "-qec", command, os.devnull], stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, timeout=300).stdout
        self.assertIn("\u0152uvre-\u20ac".encode("utf-8"), shown)

    def test_names_in_a_double_byte_code_page(self):
        # ソフト in code page 932 holds the byte of '\' as a trail byte: the
        # release of that name installs, and so does an installer of that
        # name from its own folder.
        if not windows():
            self.skipTest("only Windows passes names through a code page")
        locales = self.japanese_locale()
        name = "\u30bd\u30d5\u30c8"
        stored = name.encode("cp932")
        dist = self.distribution(root_name=name, vsn=name, description=b"[Install]\nVSN=" +
                                 stored.replace(b"\\", b"\\\\") + b"\nSYSTEM_VSN=R1\n")
        program = os.path.join(dist.root, name + ".exe")
        shutil.copy2(distribution.INSTALLER, program)
        environment = dict(LOCPATH=locales, LC_ALL="ja_JP.UTF-8")
        with patched_environment(environment):
            distribution.run_program(distribution.INSTALLER, ["-x"])  # wine takes the locale in
            self.assert_output(dist.run(["-s", dist.installer_root()]), 0)
            # vnt.ini records the code page's bytes, escaped as the format
            # escapes a backslash byte.
            escaped = stored.replace(b"\\", b"\\\\")
            self.assertIn(b"vrun-" + escaped + b"\\\\bin", dist.read(dist.bin_file("vnt.ini")))
            shutil.rmtree(dist.bin)
            self.assert_output(dist.run(["-s"], program=program), 0)
        self.assertTrue(os.path.isfile(dist.bin_file("start.boot")))

    def japanese_locale(self):
        """A folder holding ja_JP.UTF-8 for LOCPATH, compiled for the test."""
        if not shutil.which("localedef") or not os.path.exists("/usr/share/i18n/locales/ja_JP"):
            self.skipTest("needs glibc's localedef and its ja_JP source to give wine code "
                          "page 932")
        folder = tempfile.mkdtemp(prefix="install-locale-")
        self.addCleanup(shutil.rmtree, folder, True)
        subprocess.run(["localedef", "-i", "ja_JP", "-f", "UTF-8",
                        os.path.join(folder, "ja_JP.UTF-8")], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return folder


@contextlib.contextmanager
def patched_environment(values):
    """os.environ with `values` for the time of the block."""
    saved = {name: os.environ.get(name) for name in values}
    os.environ.update(values)
    try:
        yield
    finally:
        for name, value in saved.items():
            if value is None:
                os.environ.pop(name, None)
            else:
                os.environ[name] = value
